#pragma once
// Constants shared by the whole game: the hexagon geometry of the board and the names of the assets the code
// asks for. Assets are always named through these constants, never by a literal at the point of use.
//
// The strings have internal linkage: every source file holds its own copy, so no file depends on the order in
// which another file's globals are built.

#include <string>
#include <vector>

class TextLabel;

// A hexagon of side 64 world units. 30 degrees is taken as the single-precision 0.5235987901687622; sine and
// cosine of that, times 64, round to these single-precision values.
constexpr float HEX_SIDE = 64.0f;
constexpr float HEX_SIDE_SIN30 = 32.0f;
constexpr float HEX_SIDE_COS30 = 55.42562484741211f;
constexpr float HEX_SPAN_VERTEX = 2.0f * HEX_SIDE_SIN30 + HEX_SIDE;
constexpr float HEX_SPAN_FLAT = 2.0f * HEX_SIDE_COS30;

// Level files.
const std::string TerrainFile = "terrainFile.txt";
const std::string LightMapTexture = "lightmap.tga";

// Unit shadow.
const std::string ShadowDecalTexture = "shadowDecal.tga";

// Hex overlays.
const std::string HexMovementTexture = "HexMovement.tga";
const std::string HexDefendedTexture = "HexDefended.tga";
const std::string HexDefendedMouseOverTexture = "HexDefendedMouseOver.tga";
const std::string HexMovementMouseOverTexture = "HexMovementMouseOver.tga";
const std::string HexBlockedMouseOverTexture = "HexBlockedMouseOver.tga";
const std::string HexAttackMouseOverTexture = "HexAttackMouseOver.tga";
const std::string HexAttackInRangeTexture = "HexAttackInRange.tga";
const std::string HexSpellInRangeTexture = "HexSpellInRange.tga";
const std::string HexSpellMouseOverTexture = "HexSpellMouseOver.tga";
const std::string HexPlayer1Texture = "HexPlayer1.tga";
const std::string HexPlayer2Texture = "HexPlayer2.tga";
const std::string HexDefendedPlayer1Texture = "HexDefendedPlayer1.tga";
const std::string HexDefendedPlayer2Texture = "HexDefendedPlayer2.tga";
// The board also shows these three, which the hex grid asks for by name like the others.
const std::string HexBlockedTexture = "HexBlocked.tga";
const std::string HexJustOutOfRangeTexture = "HexJustOutOfRange.tga";
const std::string HexMouseOverTexture = "HexMouseOver.tga";

// Board decals.
const std::string TargetedDecalTexture = "TargetedDecal.tga";
const std::string SelectedDecalTexture = "SelectedDecal.tga";
const std::string AreaOfEffectDecalTexture = "AreaOfEffectDecal.tga";

// What a texture that cannot be found is replaced by.
const std::string DefaultTexture = "default.tga";

// Icons and the battle HUD.
const std::string TempIconTexture = "tempIcon.tga";
const std::string MouseIconTexture = "mouseIcon.tga";
const std::string PlayerIcon1Texture = "playaIcon1.tga";
const std::string PlayerIcon2Texture = "playaIcon2.tga";
const std::string PlayerIcon3Texture = "playaIcon3.tga";
const std::string MouseOverIconTexture = "mouseOverIcon.tga";
const std::string SelectedIconTexture = "selectedIcon_f9.tga";
const std::string HumanGuiTexture = "HumanGUI.tga";
const std::string MoveButtonTexture = "bMove_f2.tga";
const std::string AttackButtonTexture = "bAttack_f2.tga";
const std::string DefendButtonTexture = "bDefend_f2.tga";
const std::string MagicButtonTexture = "bMagic_f2.tga";
const std::string FocusButtonTexture = "bFocus_f2.tga";
const std::string EndButtonTexture = "bEnd_f2.tga";
const std::string LeftTurnTexture = "left_turn.tga";
const std::string RightTurnTexture = "right_turn.tga";
const std::string LifeTexture = "Life_t.tga";
const std::string ScrollOverTexture = "Scroll_Over.tga";
const std::string HelpTextWindowTexture = "GUI_HelpTextWindow.tga";
const std::string MainMenuButtonTexture = "GUI_MainMenuButton.tga";
const std::string TurnOrderTexture = "GUI_TurnOrder.tga";

// Particle emitter files.
const std::string FireballEmitterFile = "fireballEmitter.txt";
const std::string FocusEmitterFile = "focusEmitter.txt";
const std::string DefendEmitterFile = "defendEmitter.txt";
const std::string DefaultEmitterFile = "defaultEmitter.txt";
const std::string BloodEmitterFile = "bloodEmitter.txt";
const std::string HitEmitterFile = "hitEmitter.txt";
const std::string BurstEmitterFile = "burstEmitter.txt";

// Fallbacks for sounds and meshes.
const std::string DefaultSound = "defaultSound.wav";
const std::string DefaultMesh = "default.x";
const std::string MeshFile = "mesh.x";
const std::string ShipMesh = "ship.x";

// Effect files. "basic.fx" has two names; both are in use.
const std::string BasicEffect = "basic.fx";
const std::string DefaultEffect = "basic.fx";
const std::string PostProcessEffect = "postProcess.fx";
const std::string SkinnedMeshEffect = "SkinnedMesh.fx";

// Animation-set names of the unit models. "Die" has two names; both are in use.
const std::string AnimWalk = "Walk";
const std::string AnimIdle = "Idle";
const std::string AnimDie = "Die";
const std::string AnimMeleeAttack = "MeleeAttack";
const std::string AnimDefend = "Defend";
const std::string AnimFocus = "Focus";
const std::string AnimHit = "Hit";
const std::string AnimCast = "Cast";
const std::string AnimMagicHit = "MagicHit";
const std::string AnimDeath = "Die";
const std::string AnimRangedAttack = "RangedAttack";
const std::string AnimBlock = "Block";
const std::string AnimDodge = "Dodge";
const std::string AnimCriticalAttack = "CriticalAttack";

// The text labels queued for this frame's sprite batch. One list for the whole process (unlike the constants
// above); the queue owns nothing.
extern std::vector<TextLabel*> SpriteDrawQueue;
