#pragma once
// The classes a player can buy on the deployment screen, with their definition files and prices, and the
// random armies the simulator buys with them: classes drawn one at a time among those the requisition left
// still affords, until none is affordable.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class Requisition
{
public:
    // What the deployment screen gives each player to spend.
    static constexpr int kBudget = 200;

    struct Entry {
        std::string file;
        std::string name;
        int cost = 0;
    };

    // The eleven definition files the deployment screen sells, in the order of its buttons.
    static const std::vector<std::string>& ClassFiles();

    Requisition() = default;
    explicit Requisition(std::vector<Entry> entries) : entries(std::move(entries)) { }

    const std::vector<Entry>& GetEntries() const { return entries; }
    int IndexOfFile(const std::string& file) const;

    // Indices into the entries of one army bought with budget; the draws come from random.
    std::vector<int> Buy(std::mt19937& random, int budget = kBudget) const;
    // Requisition spent on each class of the army (indexed like the entries).
    std::vector<int> Spending(const std::vector<int>& army) const;

private:
    std::vector<Entry> entries;
};
