#pragma once
// Win rates of the classes from many battles between mixed armies. Each army is counted by the share of its
// requisition spent on each class: an army that spent 150 of its 200 on knights and won adds 0.75 of a win
// and 0.75 of a battle to the knight. A class's win rate is its weighted wins over its weighted battles; a
// draw counts half a win for both sides. A pairing A against B weighs each battle by A's share in one army
// times B's share in the other, from both sides; A against A is one half by construction.

#include <iosfwd>
#include <string>
#include <vector>

class BalanceTable
{
public:
    explicit BalanceTable(size_t classes);

    // One battle: what each army spent on each class (indexed by class), and the first army's result (1 won,
    // 0.5 drawn, 0 lost). An army that spent nothing adds nothing.
    void Add(const std::vector<int>& firstSpending, const std::vector<int>& secondSpending, double firstResult);

    size_t GetClassCount() const { return classes; }
    // Weighted battles of the class (the sum of its shares).
    double ClassWeight(size_t c) const { return classWeight[c]; }
    // 0.5 for a class that never fought.
    double ClassRate(size_t c) const;
    double PairWeight(size_t a, size_t b) const { return pairWeight[a * classes + b]; }
    // The rate of class a in battles against class b; 0.5 when they never met.
    double PairRate(size_t a, size_t b) const;

    // The per-class rates and the pairing matrix as text tables.
    void Print(std::ostream& out, const std::vector<std::string>& names) const;

private:
    size_t classes;
    std::vector<double> classWins;
    std::vector<double> classWeight;
    std::vector<double> pairWins;
    std::vector<double> pairWeight;
};
