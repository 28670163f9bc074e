#include "ui/DeploymentRoster.h"

#include "battle/ClassUnit.h"

namespace {

// A class's cost is read from the class table; the badge is the texture that shows it.
struct RosterEntry {
    const char* file;
    UnitClass unitClass;
    const char* badge;
    float distance;
};

constexpr RosterEntry ENTRIES[DeploymentRoster::SIZE] = {
    {"Militia.txt", UnitClass::MILITIA, "25.tga", 100.0f},
    {"Scout.txt", UnitClass::SCOUT, "25.tga", 90.0f},
    {"Mage.txt", UnitClass::MAGE, "25.tga", 110.0f},
    {"Pikeman.txt", UnitClass::PIKEMAN, "50.tga", 110.0f},
    {"Archer.txt", UnitClass::ARCHER, "50.tga", 110.0f},
    {"Rogue.txt", UnitClass::ROGUE, "50.tga", 90.0f},
    {"Healer.txt", UnitClass::HEALER, "50.tga", 110.0f},
    {"CombatMage.txt", UnitClass::COMBAT_MAGE, "50.tga", 120.0f},
    {"Knight.txt", UnitClass::KNIGHT, "75.tga", 110.0f},
    {"Paladin.txt", UnitClass::PALADIN, "75.tga", 130.0f},
    {"Assassin.txt", UnitClass::ASSASSIN, "75.tga", 90.0f},
};

const char* const DESCRIPTIONS[DeploymentRoster::SIZE] = {
    // Militia
    "Militia are the backbone of any dependable army.\n"
    "Through rigorous training from only the most\n"
    "skilled warriors across the world, Phalanx\n"
    "Militia are proven to be an effective and dependable\n"
    "frontline troop. Equipped with a sturdy buckler\n"
    "and short sword, these troops can easily defend\n"
    "large areas and hold their ground against any foe.",
    // Scout
    "The scout is a durable unit that benefits from\n"
    "agility and dexterity over intellect or strength.\n"
    "Scouts are capable melee fighters, however they rely\n"
    "on their speed and mobility to survive due to their\n"
    "light, leather armour. Scouts who rush face first into\n"
    "battle rarely live to tell their tale. Instead, scouts\n"
    "excel at out manoeuvring opponents in combat while\n"
    "scoring ranged attacks with their sling for added damage.",
    // Mage
    "Mages represent the path of intellect and wisdom.\n"
    "They are trained in various elemental spells which\n"
    "can be called upon during battle. Although Mages\n"
    "are capable spellcasters and army support units,\n"
    "they are physically weak compared to that of a\n"
    "militia unit. Mages are also restricted from high\n"
    "level spells which are reserved for Priests and\n"
    "Archmages.",
    // Pikeman
    "Pikemen are battle-hardened militia who have proven\n"
    "their worth through countless victories upon the\n"
    "battlefield. Due to the extra strength and experience,\n"
    "Pikemen are able to fight effectively wearing half-\n"
    "plated armour. The pikeman's great range allows\n"
    "them to defend large areas of the battlefield.",
    // Archer
    "Archers are scouts who favour ranged combat over\n"
    "melee. As archers have trained in the use of bows,\n"
    "they can pick off targets from a distance without\n"
    "having to worry about a counter-attack. Unfortunately,\n"
    "archers are only equipped with leather armour and\n"
    "will not last long in a face to face confrontation",
    // Rogue
    "The rogue is a faster version of a scout. Rogues\n"
    "have no ranged capabilities, however they are \n"
    "extremely agile and can easily flank an unsuspecting\n"
    "foe. The rogue\x92"
    "s high agility also allows them to\n"
    "perform more actions in battle as well as benefit from\n"
    "higher dodge rates. A properly commanded rogue can\n"
    "easily turn the tides of battle.",
    // Healer
    "Priests are experienced mages who have chosen the\n"
    "path of purity. Although their physical prowess\n"
    "leaves much to be desired, their defensive magical\n"
    "capabilities are unrivalled. Priests have access to\n"
    "an assortment of powerful magical spells that can\n"
    "turn a feeble ally into an unstoppable juggernaut.",
    // CombatMage
    "Combat Mages are unmatched in their ability to\n"
    "unleash destruction upon the battlefield. Trained\n"
    "deeply in the arts of elemental magic, a combat\n"
    "mage can cast powerful spells which inflict serious\n"
    "damage to multiple targets at once. Unfortunately,\n"
    "the archmage's physical capabilities are quite weak.\n"
    "",
    // Knight
    "A soldier who has shown acts of true courage and\n"
    "valour become honoured knights. Knights are trained\n"
    "to fight prominently in full plated armour while\n"
    "wielding two-handed long swords. Due to the knight's\n"
    "large build and heavy armour, they are able to rush\n"
    "face first into battle while engaging multiple\n"
    "opponents at once.",
    // Paladin
    "Soldiers who have chosen the path of purity and\n"
    "intellect over pure brawn become paladins of faith.\n"
    "Although a paladin is offensively weaker than the\n"
    "knight, paladins have access to a small assortment of\n"
    "holy spells. The paladin is equipped with full plated\n"
    "armour and wield a two handed war hammer. A paladin\n"
    "is a capable front line warrior who can perform various\n"
    "offensive and defensive spells in the heat of battle.",
    // Assassin
    "The assassin is a rogue who has trained prominently\n"
    "in the arts of stealth and melee. The assassin is\n"
    "quick and deadly up close, his small physique and\n"
    "agility allow for a high dodge rate and plenty\n"
    "of mobility. Assassins have an added ability to\n"
    "cloak their movement for short durations which\n"
    "allows them to rush straight through an enemy\x92"
    "s defence.",
};

bool InRoster(int index)
{
    return index >= 0 && index < DeploymentRoster::SIZE;
}

} // namespace

const char* DeploymentRoster::ClassFile(int index)
{
    return InRoster(index) ? ENTRIES[index].file : "";
}

int DeploymentRoster::Cost(int index)
{
    return InRoster(index) ? ClassUnit::Info(ENTRIES[index].unitClass).cost : 0;
}

const char* DeploymentRoster::CostBadge(int index)
{
    return InRoster(index) ? ENTRIES[index].badge : "";
}

float DeploymentRoster::PreviewDistance(int index)
{
    return InRoster(index) ? ENTRIES[index].distance : 100.0f;
}

const char* DeploymentRoster::Description(int index)
{
    return InRoster(index) ? DESCRIPTIONS[index] : "";
}

std::string DeploymentRoster::IconTexture(int index)
{
    std::string name = ClassFile(index);
    if (name.size() >= 4)
        name.resize(name.size() - 4);
    return name + "Icon.tga";
}

DeploymentRoster::Point DeploymentRoster::BoxTopLeft(int index)
{
    if (index < 3)
        return {190.0f + 108.0f * index, 30.0f};
    if (index < 8)
        return {90.0f + 108.0f * (index - 3), 128.0f};
    return {65.0f + 108.0f * (index - 8), 227.0f};
}
