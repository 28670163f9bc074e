#pragma once
// Constants shared by the whole game: the hexagon geometry of the board and the names of the assets the code
// asks for. Assets are always named through these constants, never by a literal at the point of use.
//
// The strings have internal linkage: every source file holds its own copy, so no file depends on the order in
// which another file's globals are built.

#include <string>
#include <vector>

// A hexagon of side 64 world units. 30 degrees is taken as the single-precision 0.5235987901687622; sine and
// cosine of that, times 64, round to these single-precision values.
constexpr float HEX_SIDE = 64.0f;
constexpr float HEX_SIDE_SIN30 = 32.0f;
constexpr float HEX_SIDE_COS30 = 55.42562484741211f;
constexpr float HEX_SPAN_VERTEX = 2.0f * HEX_SIDE_SIN30 + HEX_SIDE;
constexpr float HEX_SPAN_FLAT = 2.0f * HEX_SIDE_COS30;

// Level files.
const std::string TERRAIN_FILE = "terrainFile.txt";
const std::string LIGHT_MAP_TEXTURE = "lightmap.tga";

// Unit shadow.
const std::string SHADOW_DECAL_TEXTURE = "shadowDecal.tga";

// Hex overlays.
const std::string HEX_MOVEMENT_TEXTURE = "HexMovement.tga";
const std::string HEX_DEFENDED_TEXTURE = "HexDefended.tga";
const std::string HEX_DEFENDED_MOUSE_OVER_TEXTURE = "HexDefendedMouseOver.tga";
const std::string HEX_MOVEMENT_MOUSE_OVER_TEXTURE = "HexMovementMouseOver.tga";
const std::string HEX_BLOCKED_MOUSE_OVER_TEXTURE = "HexBlockedMouseOver.tga";
const std::string HEX_ATTACK_MOUSE_OVER_TEXTURE = "HexAttackMouseOver.tga";
const std::string HEX_ATTACK_IN_RANGE_TEXTURE = "HexAttackInRange.tga";
const std::string HEX_SPELL_IN_RANGE_TEXTURE = "HexSpellInRange.tga";
const std::string HEX_SPELL_MOUSE_OVER_TEXTURE = "HexSpellMouseOver.tga";
const std::string HEX_PLAYER1_TEXTURE = "HexPlayer1.tga";
const std::string HEX_PLAYER2_TEXTURE = "HexPlayer2.tga";
const std::string HEX_DEFENDED_PLAYER1_TEXTURE = "HexDefendedPlayer1.tga";
const std::string HEX_DEFENDED_PLAYER2_TEXTURE = "HexDefendedPlayer2.tga";
// The board also shows these three, which the hex grid asks for by name like the others.
const std::string HEX_BLOCKED_TEXTURE = "HexBlocked.tga";
const std::string HEX_JUST_OUT_OF_RANGE_TEXTURE = "HexJustOutOfRange.tga";
const std::string HEX_MOUSE_OVER_TEXTURE = "HexMouseOver.tga";

// Board decals.
const std::string TARGETED_DECAL_TEXTURE = "TargetedDecal.tga";
const std::string SELECTED_DECAL_TEXTURE = "SelectedDecal.tga";
const std::string AREA_OF_EFFECT_DECAL_TEXTURE = "AreaOfEffectDecal.tga";

// What a texture that cannot be found is replaced by.
const std::string DEFAULT_TEXTURE = "default.tga";

// Icons and the battle HUD.
const std::string TEMP_ICON_TEXTURE = "tempIcon.tga";
const std::string MOUSE_ICON_TEXTURE = "mouseIcon.tga";
const std::string PLAYER_ICON1_TEXTURE = "playaIcon1.tga";
const std::string PLAYER_ICON2_TEXTURE = "playaIcon2.tga";
const std::string PLAYER_ICON3_TEXTURE = "playaIcon3.tga";
const std::string MOUSE_OVER_ICON_TEXTURE = "mouseOverIcon.tga";
const std::string SELECTED_ICON_TEXTURE = "selectedIcon_f9.tga";
const std::string HUMAN_GUI_TEXTURE = "HumanGUI.tga";
const std::string MOVE_BUTTON_TEXTURE = "bMove_f2.tga";
const std::string ATTACK_BUTTON_TEXTURE = "bAttack_f2.tga";
const std::string DEFEND_BUTTON_TEXTURE = "bDefend_f2.tga";
const std::string MAGIC_BUTTON_TEXTURE = "bMagic_f2.tga";
const std::string FOCUS_BUTTON_TEXTURE = "bFocus_f2.tga";
const std::string END_BUTTON_TEXTURE = "bEnd_f2.tga";
const std::string LEFT_TURN_TEXTURE = "left_turn.tga";
const std::string RIGHT_TURN_TEXTURE = "right_turn.tga";
const std::string LIFE_TEXTURE = "Life_t.tga";
const std::string SCROLL_OVER_TEXTURE = "Scroll_Over.tga";
const std::string HELP_TEXT_WINDOW_TEXTURE = "GUI_HelpTextWindow.tga";
const std::string MAIN_MENU_BUTTON_TEXTURE = "GUI_MainMenuButton.tga";
const std::string TURN_ORDER_TEXTURE = "GUI_TurnOrder.tga";

// Particle emitter files.
const std::string FIREBALL_EMITTER_FILE = "fireballEmitter.txt";
const std::string FOCUS_EMITTER_FILE = "focusEmitter.txt";
const std::string DEFEND_EMITTER_FILE = "defendEmitter.txt";
const std::string DEFAULT_EMITTER_FILE = "defaultEmitter.txt";
const std::string BLOOD_EMITTER_FILE = "bloodEmitter.txt";
const std::string HIT_EMITTER_FILE = "hitEmitter.txt";
const std::string BURST_EMITTER_FILE = "burstEmitter.txt";

// Fallbacks for sounds and meshes.
const std::string DEFAULT_SOUND = "defaultSound.wav";
const std::string DEFAULT_MESH = "default.x";
const std::string MESH_FILE = "mesh.x";
const std::string SHIP_MESH = "ship.x";

// Effect files. "basic.fx" has two names; both are in use.
const std::string BASIC_EFFECT = "basic.fx";
const std::string DEFAULT_EFFECT = "basic.fx";
const std::string POST_PROCESS_EFFECT = "postProcess.fx";
const std::string SKINNED_MESH_EFFECT = "SkinnedMesh.fx";

// Animation-set names of the unit models. "Die" has two names; both are in use.
const std::string ANIM_WALK = "Walk";
const std::string ANIM_IDLE = "Idle";
const std::string ANIM_DIE = "Die";
const std::string ANIM_MELEE_ATTACK = "MeleeAttack";
const std::string ANIM_DEFEND = "Defend";
const std::string ANIM_FOCUS = "Focus";
const std::string ANIM_HIT = "Hit";
const std::string ANIM_CAST = "Cast";
const std::string ANIM_MAGIC_HIT = "MagicHit";
const std::string ANIM_DEATH = "Die";
const std::string ANIM_RANGED_ATTACK = "RangedAttack";
const std::string ANIM_BLOCK = "Block";
const std::string ANIM_DODGE = "Dodge";
const std::string ANIM_CRITICAL_ATTACK = "CriticalAttack";
