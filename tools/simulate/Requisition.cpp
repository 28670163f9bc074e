#include "Requisition.h"

const std::vector<std::string>& Requisition::ClassFiles()
{
    static const std::vector<std::string> files = {"Militia.txt", "Scout.txt",   "Mage.txt",    "Pikeman.txt",
                                                   "Archer.txt",  "Rogue.txt",   "Healer.txt",  "CombatMage.txt",
                                                   "Knight.txt",  "Paladin.txt", "Assassin.txt"};
    return files;
}

int Requisition::IndexOfFile(const std::string& file) const
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].file == file)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> Requisition::Buy(std::mt19937& random, int budget) const
{
    std::vector<int> army;
    for (;;) {
        std::vector<int> affordable;
        for (size_t i = 0; i < entries.size(); ++i) {
            // A class that costs nothing would be bought for ever.
            if (entries[i].cost > 0 && entries[i].cost <= budget)
                affordable.push_back(static_cast<int>(i));
        }
        if (affordable.empty())
            return army;
        const int pick = affordable[random() % affordable.size()];
        army.push_back(pick);
        budget -= entries[static_cast<size_t>(pick)].cost;
    }
}

std::vector<int> Requisition::Spending(const std::vector<int>& army) const
{
    std::vector<int> spent(entries.size(), 0);
    for (int index : army) {
        if (index >= 0 && static_cast<size_t>(index) < entries.size())
            spent[static_cast<size_t>(index)] += entries[static_cast<size_t>(index)].cost;
    }
    return spent;
}
