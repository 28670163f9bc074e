// The unit classes and their abilities: one definition file per class and one spell file per ability the
// classes name. The readers take these files by line position, so the line layouts below are fixed; only the
// labels left of the "=" are free text.
//
// Balance notes. A unit's health is ten times its strength and its mana ten times its intelligence; a normal
// attack deals about twice the strength and costs 6 action points, a move needs 5. Every class has at least 12
// action points (a move and an attack in one turn), a defend radius of at least 2 and its own mix of range,
// armour, speed and abilities. Physical abilities cost no mana (but the assassin's killing touch); spells do,
// within what their casters hold.
#include "DataWriter.h"
#include "Writers.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct SpellSpec {
    const char* file; // bare file name
    const char* name;
    std::vector<std::string> description;
    const char* type;
    int manaCost;
    int amount; // negative harms, positive helps
    int initiativeCost;
    int range;
    int duration;
    int areaRadius;
    float castTime;
    const char* target;
    const char* effect;
    const char* school;
    int actionPoints;
    std::vector<std::string> castEmitters;
    std::vector<std::string> secondEmitters;
    std::vector<std::string> targetEmitters;
    LineEnd ending = LineEnd::Unix;
};

// Emitter files named by the game's own constants.
const std::string Fireball = "fireballEmitter.txt";
const std::string Focus = "focusEmitter.txt";
const std::string Defend = "defendEmitter.txt";
const std::string Burst = "burstEmitter.txt";
const std::string Hit = "hitEmitter.txt";
const std::string Blood = "bloodEmitter.txt";
const std::string Glow = "defaultEmitter.txt";

std::vector<SpellSpec> Spells()
{
    return {
        // Pikeman.
        {"PikeThrust.txt", "Pike Thrust", {"A long thrust that reaches a foe two hexes away."}, "Ability", 0, -22, 10, 2,
         0, 0, 0.5f, "ENEMY", "HEALTH", "NATURE", 7, {}, {}, {Hit, Blood}},
        {"MeleeSpirit.txt", "Melee Spirit", {"The pikeman steels himself: more strength", "for two turns."}, "Ability",
         0, 4, 5, 0, 2, 0, 0.5f, "TEAM", "STR", "NATURE", 4, {Focus}, {}, {Glow}},
        {"Phalanx.txt", "Phalanx", {"Plants the pike and holds the line until the next turn."}, "Ability", 0, 0, 0, 0,
         1, 0, 0.5f, "TEAM", "PHALANX", "HOLY", 2, {Defend}, {}, {}},
        // Militia.
        {"ShieldBash.txt", "Shield Bash", {"A blow with the shield that sets the foe's next turn back."}, "Ability", 0,
         30, 5, 1, 0, 0, 0.5f, "ENEMY", "INITIATIVE", "NATURE", 6, {}, {}, {Hit}},
        {"FirstAid.txt", "First Aid", {"Bandages a wounded ally next to the militiaman."}, "Ability", 0, 25, 10, 1, 0,
         0, 1.0f, "TEAM", "HEALTH", "HOLY", 5, {Glow}, {}, {Glow}},
        {"SurgeOfSpeed.txt", "Surge of Speed", {"Two more hexes of movement for two turns."}, "Ability", 0, 2, 5, 1, 2,
         0, 0.5f, "TEAM", "MOVEMENT_RADIUS", "NATURE", 3, {}, {}, {Glow}},
        // Paladin.
        {"HolyLight.txt", "Holy Light", {"Heals an ally within three hexes."}, "Spell", 20, 40, 10, 3, 0, 0, 1.0f,
         "TEAM", "HEALTH", "HOLY", 6, {Glow}, {Glow}, {Glow}},
        {"DivineShield.txt", "Divine Shield", {"Wards an ally against all harm for one turn."}, "Spell", 30, 0, 15, 2, 1,
         0, 1.0f, "TEAM", "INVINCIBLE", "HOLY", 6, {Glow}, {}, {}},
        {"Pulverize.txt", "Pulverize", {"A crushing overhead blow."}, "Ability", 0, -30, 15, 1, 0, 0, 0.75f, "ENEMY",
         "HEALTH", "HOLY", 8, {}, {}, {Hit, Blood}},
        {"Consecration.txt", "Consecration", {"Holy fire burns every foe around the paladin."}, "Spell", 25, -15, 15, 0,
         0, 2, 1.0f, "ENEMY", "HEALTH", "HOLY", 7, {Burst}, {Glow}, {Hit}},
        // Mage.
        {"PillarOfFlames.txt", "Pillar of Flames", {"Flames rise from the ground and scorch an area", "up to five hexes away."},
         "Spell", 30, -20, 15, 5, 0, 2, 1.0f, "ENEMY", "HEALTH", "ARCANE", 7, {Fireball}, {Burst}, {Hit}},
        {"Thundershackle.txt", "Thundershackle", {"Binds a foe's legs: two hexes less movement", "for two turns."},
         "Spell", 15, -2, 10, 5, 2, 0, 1.0f, "ENEMY", "MOVEMENT_RADIUS", "ARCANE", 5, {Fireball}, {}, {Glow}},
        {"ArcaneMissile.txt", "Arcane Missile", {"A volley of arcane bolts."}, "Spell", 10, -18, 10, 6, 0, 0, 1.0f,
         "ENEMY", "HEALTH", "ARCANE", 6, {}, {}, {Hit}},
        // Combat mage.
        {"LightningBolt.txt", "Lightning Bolt", {"A bolt of lightning strikes one foe."}, "Spell", 25, -28, 15, 5, 0, 0,
         1.25f, "ENEMY", "HEALTH", "ARCANE", 7, {}, {}, {Hit, Burst}, LineEnd::Windows},
        {"ShardsOfIce.txt", "Shards of Ice", {"Ice bursts from the ground over an area."}, "Spell", 25, -16, 15, 4, 0, 2,
         1.0f, "ENEMY", "HEALTH", "ARCANE", 7, {Burst}, {Burst}, {Hit}},
        {"ManaDrain.txt", "Mana Drain", {"Draws the mana out of a foe."}, "Spell", 5, -25, 10, 4, 0, 0, 1.0f, "ENEMY",
         "MANA", "SHADOW", 5, {Fireball}, {}, {Glow}},
        {"BattleFocus.txt", "Battle Focus", {"Sharpens the combat mage's mind for two turns."}, "Spell", 10, 5, 5, 0, 2,
         0, 0.5f, "TEAM", "INTELLI", "ARCANE", 3, {Focus}, {}, {Glow}},
        // Healer.
        {"Heal.txt", "Heal", {"Mends the wounds of an ally within four hexes."}, "Spell", 15, 35, 10, 4, 0, 0, 1.0f,
         "TEAM", "HEALTH", "HOLY", 5, {Glow}, {}, {Glow}},
        {"ManaSpring.txt", "Mana Spring", {}, "Spell", 5, 30, 10, 3, 0, 0, 1.0f, "TEAM", "MANA", "HOLY", 4, {Glow}, {},
         {Glow}},
        {"Blessing.txt", "Blessing", {"Three more action points for an ally", "for two turns."}, "Spell", 20, 3, 10, 3, 2,
         0, 1.0f, "TEAM", "AP_BONUS", "HOLY", 5, {Glow}, {}, {Glow}},
        {"PrayerOfHealing.txt", "Prayer of Healing", {"Heals every ally near the healer."}, "Spell", 35, 20, 20, 0, 0, 3,
         1.5f, "TEAM", "HEALTH", "HOLY", 8, {Glow}, {Glow}, {Glow}},
        // Rogue.
        {"FlashingStrike.txt", "Flashing Strike", {"A quick strike from the shadows."}, "Ability", 0, -20, 10, 1, 0, 0,
         0.5f, "ENEMY", "HEALTH", "SHADOW", 7, {}, {}, {Hit, Blood}},
        {"NaturesVigor.txt", "Nature's Vigor", {"More agility for two turns."}, "Ability", 0, 4, 5, 0, 2, 0, 0.5f,
         "TEAM", "AGILLY", "NATURE", 3, {Focus}, {}, {Glow}},
        {"CriticalStrike.txt", "Critical Strike", {"A blow aimed at a weak spot."}, "Ability", 0, -26, 15, 1, 0, 0, 0.75f,
         "ENEMY", "HEALTH", "SHADOW", 8, {}, {}, {Hit, Blood}},
        {"Camouflage.txt", "Camouflage", {"Slips past defended zones for one turn."}, "Ability", 0, 0, 5, 0, 1, 0, 0.5f,
         "TEAM", "DEFEND_FREE", "NATURE", 3, {}, {}, {}},
        // Assassin.
        {"SlashingStrike.txt", "Slashing Strike", {"A thrown dagger that reaches two hexes."}, "Ability", 0, -22, 10, 2, 0,
         0, 0.5f, "ENEMY", "HEALTH", "SHADOW", 7, {}, {}, {Hit, Blood}},
        {"FanOfDaggers.txt", "Fan of Daggers", {"Daggers fly at every foe around the assassin."}, "Ability", 0, -14, 15,
         0, 0, 2, 0.75f, "ENEMY", "HEALTH", "SHADOW", 8, {Burst}, {}, {Blood}},
        {"AssassinsTouch.txt", "Assassin's Touch", {"A touch that kills the weak and leaves the strong", "at death's door."},
         "Ability", 40, -1, 25, 1, 0, 0, 1.0f, "ENEMY", "HEALTH", "SHADOW", 10, {}, {}, {Blood}},
        {"ShadowSight.txt", "Shadow Sight", {"A better chance of critical hits for two turns."}, "Ability", 0, 25, 5, 0, 2,
         0, 0.5f, "TEAM", "CRITICAL_MORE", "SHADOW", 3, {Focus}, {}, {Glow}},
        // Scout.
        {"MudSling.txt", "Mud Sling", {"Mud in the eyes: the foe misses more often", "for two turns."}, "Ability", 0, 20,
         5, 4, 2, 0, 0.5f, "ENEMY", "MISS_MORE", "NATURE", 5, {}, {}, {Hit}},
        {"ShrapnelShot.txt", "Shrapnel Shot", {"A burst of shrapnel over an area."}, "Ability", 0, -12, 10, 5, 0, 2, 0.75f,
         "ENEMY", "HEALTH", "NATURE", 7, {}, {Burst}, {Hit}},
        // Knight.
        {"Warcry.txt", "Warcry", {"Weakens every foe around the knight and", "emboldens every ally."}, "Ability", 0, -3, 10,
         0, 2, 3, 0.75f, "ENEMY", "STR", "HOLY", 6, {Burst}, {}, {Glow}},
        {"Charge.txt", "Charge!", {"The knight's next turn comes sooner."}, "Ability", 0, -40, 0, 0, 0, 0, 0.5f, "TEAM",
         "INITIATIVE", "HOLY", 4, {}, {}, {}},
        {"UnrelentingAssault.txt", "Unrelenting Assault", {"A flurry of heavy blows."}, "Ability", 0, -32, 20, 1, 0, 0,
         1.0f, "ENEMY", "HEALTH", "NATURE", 9, {}, {}, {Hit, Blood}},
        {"SweepingStrike.txt", "Sweeping Strike", {"A wide swing at every foe around the knight."}, "Ability", 0, -18, 15,
         0, 0, 2, 0.75f, "ENEMY", "HEALTH", "NATURE", 8, {}, {}, {Blood}},
        // Archer.
        {"PoisonArrow.txt", "Poison Arrow", {"A poisoned arrow: damage at every turn", "for three turns."}, "Ability", 0,
         -6, 10, 6, 3, 0, 0.5f, "ENEMY", "HEALTH", "NATURE", 6, {}, {}, {Glow}},
        {"LongShot.txt", "Long Shot", {"An arrow that flies nine hexes."}, "Ability", 0, -16, 10, 9, 0, 0, 0.5f, "ENEMY",
         "HEALTH", "NATURE", 7, {}, {}, {Hit}},
        {"AimedShot.txt", "Aimed Shot", {"A careful shot that hits hard."}, "Ability", 0, -24, 15, 6, 0, 0, 1.0f, "ENEMY",
         "HEALTH", "NATURE", 9, {}, {}, {Hit, Blood}},
    };
}

// "Label = value". Built by appending: GCC 12 warns wrongly about a literal added in front of a temporary string.
std::string Field(const char* label, const std::string& value)
{
    return std::string(label).append(" = ").append(value);
}

std::string Format(const char* format, float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<double>(value));
    return buffer;
}

void WriteSpell(const std::filesystem::path& directory, const SpellSpec& spell)
{
    std::vector<std::string> lines;
    lines.push_back(Field("Name", spell.name));
    for (const std::string& text : spell.description)
        lines.push_back(Field("Description", text));
    lines.push_back(Field("Spell Type", spell.type));
    lines.push_back(Field("Mana Cost", std::to_string(spell.manaCost)));
    lines.push_back(Field("Amount", std::to_string(spell.amount)));
    lines.push_back(Field("Initiative Cost", std::to_string(spell.initiativeCost)));
    lines.push_back(Field("Range", std::to_string(spell.range)));
    lines.push_back(Field("Duration", std::to_string(spell.duration)));
    lines.push_back(Field("Area Radius", std::to_string(spell.areaRadius)));
    lines.push_back(Field("Cast Time", Format("%.2f", spell.castTime)));
    lines.push_back(Field("Target", spell.target));
    lines.push_back(Field("Effect Type", spell.effect));
    lines.push_back(Field("School", spell.school));
    lines.push_back(Field("Action Points", std::to_string(spell.actionPoints)));
    const std::vector<std::string>* lists[] = {&spell.castEmitters, &spell.secondEmitters, &spell.targetEmitters};
    const char* labels[] = {"Cast Emitters", "Area Emitters", "Target Emitters"};
    for (int i = 0; i < 3; ++i) {
        lines.push_back(Field(labels[i], std::to_string(lists[i]->size())));
        lines.insert(lines.end(), lists[i]->begin(), lists[i]->end());
    }
    WriteTextFile(directory / spell.file, lines, spell.ending);
}

struct UnitSpec {
    const char* file;
    const char* name;
    const char* creature;
    const char* unitClass;
    const char* primary;
    const char* size;
    const char* armour;
    const char* rating;
    const char* model;
    const char* title;
    const char* motto;
    float meleeHitTime;
    float criticalHitTime;
    float thirdHitTime;
    int meleeRange;
    int rangedRange;
    int movementRadius;
    int defendRadius;
    int actionPoints;
    int arcane, nature, holy, shadow;
    int strength, agility, intelligence, speed;
    float initiativeFactor, secondFactor, thirdFactor;
    std::vector<std::pair<std::string, int>> abilities;
    LineEnd ending = LineEnd::Unix;
};

std::vector<UnitSpec> Units()
{
    return {
        {"Pikeman.txt", "Pikeman", "HUMAN", "PIKEMAN", "STRENGTH", "MEDIUM_SIZE", "CHAINMAIL", "MEDIUM", "pikeman.x",
         "Pikeman", "Hold the line.", 0.55f, 0.70f, 0.90f, 2, 0, 4, 3, 14, 0, 10, 0, 0, 9, 5, 2, 12, 1.0f, 1.0f, 1.0f,
         {{"Pike Thrust", 3}, {"Melee Spirit", 2}, {"Phalanx", 1}}},
        {"Militia.txt", "Militia", "HUMAN", "MILITIA", "STRENGTH", "MEDIUM_SIZE", "LEATHER", "LOW", "militia.x",
         "Militiaman", "For the village!", 0.45f, 0.60f, 0.80f, 1, 0, 4, 2, 12, 0, 0, 0, 0, 7, 5, 2, 14, 1.0f, 1.0f,
         1.0f, {{"Shield Bash", 2}, {"First Aid", 2}, {"Surge of Speed", 1}}},
        {"Paladin.txt", "Paladin", "HUMAN", "PALADIN", "STRENGTH", "MEDIUM_SIZE", "FULLPLATE", "HIGH", "paladin.x",
         "Paladin", "The light protects.", 0.60f, 0.80f, 1.00f, 1, 0, 3, 2, 14, 0, 0, 40, 10, 11, 3, 6, 9, 1.0f, 1.0f,
         1.0f, {{"Holy Light", 2}, {"Divine Shield", 1}, {"Pulverize", 2}, {"Consecration", 1}}},
        {"Mage.txt", "Mage", "HUMAN", "MAGE", "INTELLIGENCE", "MEDIUM_SIZE", "CLOTH", "LOW", "mage.x", "Mage",
         "Knowledge is fire.", 0.50f, 0.65f, 0.80f, 1, 4, 4, 2, 12, 30, 0, 0, 0, 4, 4, 12, 13, 1.0f, 1.0f, 1.0f,
         {{"Pillar of Flames", 2}, {"Thundershackle", 2}, {"Arcane Missile", 4}}},
        {"CombatMage.txt", "Combat Mage", "HUMAN", "COMBAT_MAGE", "INTELLIGENCE", "MEDIUM_SIZE", "LEATHER", "LOW",
         "combatMage.x", "Combat Mage", "Steel and storm.", 0.50f, 0.70f, 0.85f, 1, 3, 4, 2, 14, 25, 0, 0, 10, 6, 4, 10,
         12, 1.0f, 1.0f, 1.0f,
         {{"Lightning Bolt", 3}, {"Shards of Ice", 2}, {"Mana Drain", 2}, {"Battle Focus", 2}}},
        {"Healer.txt", "Healer", "HUMAN", "HEALER", "INTELLIGENCE", "MEDIUM_SIZE", "CLOTH", "LOW", "healer.x", "Healer",
         "No one falls today.", 0.50f, 0.65f, 0.80f, 1, 0, 4, 2, 12, 0, 10, 35, 0, 5, 4, 11, 11, 1.0f, 1.0f, 1.0f,
         {{"Heal", 4}, {"Mana Spring", 2}, {"Blessing", 2}, {"Prayer of Healing", 1}}},
        {"Rogue.txt", "Rogue", "HUMAN", "ROGUE", "AGILITY", "SMALL", "LEATHER", "MEDIUM", "rogue.x", "Rogue",
         "Now you see me.", 0.35f, 0.50f, 0.65f, 1, 0, 6, 2, 16, 0, 20, 0, 10, 6, 10, 3, 17, 1.0f, 1.0f, 1.0f,
         {{"Flashing Strike", 3}, {"Nature's Vigor", 2}, {"Critical Strike", 2}, {"Camouflage", 1}}},
        {"Assassin.txt", "Assassin", "HUMAN", "ASSASSIN", "AGILITY", "MEDIUM_SIZE", "LEATHER", "MEDIUM", "assassin.x",
         "Assassin", "One cut is enough.", 0.40f, 0.55f, 0.70f, 1, 0, 5, 2, 16, 0, 0, 0, 30, 7, 11, 4, 18, 1.0f, 1.0f,
         1.0f, {{"Slashing Strike", 3}, {"Fan of Daggers", 2}, {"Assassin's Touch", 1}, {"Shadow Sight", 2}}},
        {"Scout.txt", "Scout", "HUMAN", "SCOUT", "AGILITY", "SMALL", "LEATHER", "LOW", "scout.x", "Scout",
         "Eyes on the ridge.", 0.40f, 0.55f, 0.70f, 1, 5, 7, 2, 16, 0, 25, 0, 0, 5, 8, 3, 20, 1.0f, 1.0f, 1.0f,
         {{"Mud Sling", 3}, {"Shrapnel Shot", 2}}},
        {"Knight.txt", "Knight", "HUMAN", "KNIGHT", "STRENGTH", "LARGE", "HALFPLATE", "HIGH", "knight.x", "Knight",
         "For the crown!", 0.60f, 0.75f, 0.95f, 1, 0, 5, 3, 14, 0, 0, 20, 0, 10, 5, 3, 15, 1.0f, 1.0f, 1.0f,
         {{"Warcry", 2}, {"Charge!", 1}, {"Unrelenting Assault", 2}, {"Sweeping Strike", 2}}, LineEnd::Windows},
        {"Archer.txt", "Archer", "HUMAN", "ARCHER", "AGILITY", "MEDIUM_SIZE", "LEATHER", "LOW", "archer.x", "Archer",
         "Loose!", 0.45f, 0.60f, 0.75f, 1, 7, 4, 2, 14, 0, 15, 0, 0, 5, 9, 3, 14, 1.0f, 1.0f, 1.0f,
         {{"Poison Arrow", 2}, {"Long Shot", 3}, {"Aimed Shot", 2}}},
    };
}

void WriteUnit(const std::filesystem::path& directory, const UnitSpec& unit)
{
    auto text = [](const char* label, const std::string& value) { return Field(label, value); };
    auto number = [&](const char* label, int value) { return text(label, std::to_string(value)); };
    auto real = [&](const char* label, float value) { return text(label, Format("%.2f", value)); };

    std::vector<std::string> lines = {
        std::string("[").append(unit.name).append(" Definition]"),
        text("Name", unit.name),
        text("Creature Type", unit.creature),
        text("Class", unit.unitClass),
        text("Primary Attribute", unit.primary),
        text("Size", unit.size),
        text("Armour", unit.armour),
        text("Physical Resistance", unit.rating),
        "",
        "[Presentation]",
        text("Model", unit.model),
        text("Title", unit.title),
        text("Motto", unit.motto),
        real("Melee Hit Time", unit.meleeHitTime),
        real("Critical Hit Time", unit.criticalHitTime),
        real("Follow-up Hit Time", unit.thirdHitTime),
        number("Melee Range", unit.meleeRange),
        number("Ranged Range", unit.rangedRange),
        number("Movement Radius", unit.movementRadius),
        number("Defend Radius", unit.defendRadius),
        number("Action Points", unit.actionPoints),
        "",
        "[Resistances]",
        number("Arcane", unit.arcane),
        number("Nature", unit.nature),
        number("Holy", unit.holy),
        number("Shadow", unit.shadow),
        "",
        "[Attributes]",
        number("Strength", unit.strength),
        number("Agility", unit.agility),
        number("Intelligence", unit.intelligence),
        number("Speed", unit.speed),
        "",
        "[Factors]",
        real("Initiative Factor", unit.initiativeFactor),
        real("Second Factor", unit.secondFactor),
        real("Third Factor", unit.thirdFactor),
        "",
        "[Abilities]",
    };
    for (const auto& [ability, uses] : unit.abilities)
        lines.push_back(Field(ability.c_str(), std::to_string(uses)));
    WriteTextFile(directory / unit.file, lines, unit.ending);
}

} // namespace

void WriteDefinitions(const std::filesystem::path& root)
{
    const std::filesystem::path spells = DataDirectory(root, "Config Files/Spells");
    for (const SpellSpec& spell : Spells())
        WriteSpell(spells, spell);
    const std::filesystem::path humans = DataDirectory(root, "Config Files/Humans");
    for (const UnitSpec& unit : Units())
        WriteUnit(humans, unit);
}
