#include "BalanceTable.h"

#include <cstdio>
#include <numeric>
#include <ostream>

namespace {

std::vector<double> Shares(const std::vector<int>& spending)
{
    const double total = std::accumulate(spending.begin(), spending.end(), 0.0);
    std::vector<double> shares(spending.size(), 0.0);
    if (total <= 0.0)
        return shares;
    for (size_t i = 0; i < spending.size(); ++i)
        shares[i] = spending[i] / total;
    return shares;
}

std::string Cell(const char* format, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

BalanceTable::BalanceTable(size_t classes)
    : classes(classes), classWins(classes, 0.0), classWeight(classes, 0.0), pairWins(classes * classes, 0.0),
      pairWeight(classes * classes, 0.0)
{ }

void BalanceTable::Add(const std::vector<int>& firstSpending, const std::vector<int>& secondSpending,
                       double firstResult)
{
    if (firstSpending.size() != classes || secondSpending.size() != classes)
        return;
    const std::vector<double> shares[2] = {Shares(firstSpending), Shares(secondSpending)};
    const double results[2] = {firstResult, 1.0 - firstResult};
    for (int side = 0; side < 2; ++side) {
        const std::vector<double>& own = shares[side];
        const std::vector<double>& other = shares[1 - side];
        for (size_t a = 0; a < classes; ++a) {
            if (own[a] == 0.0)
                continue;
            classWins[a] += own[a] * results[side];
            classWeight[a] += own[a];
            for (size_t b = 0; b < classes; ++b) {
                const double weight = own[a] * other[b];
                pairWins[a * classes + b] += weight * results[side];
                pairWeight[a * classes + b] += weight;
            }
        }
    }
}

double BalanceTable::ClassRate(size_t c) const
{
    return classWeight[c] > 0.0 ? classWins[c] / classWeight[c] : 0.5;
}

double BalanceTable::PairRate(size_t a, size_t b) const
{
    const double weight = pairWeight[a * classes + b];
    return weight > 0.0 ? pairWins[a * classes + b] / weight : 0.5;
}

void BalanceTable::Print(std::ostream& out, const std::vector<std::string>& names) const
{
    const auto name = [&names](size_t c) { return c < names.size() ? names[c] : "class " + std::to_string(c); };
    out << "class win rates (weighted by each army's requisition share; draws count half):\n";
    for (size_t c = 0; c < classes; ++c) {
        std::string label = name(c);
        label.resize(14, ' ');
        out << "  " << label << Cell("%5.1f%%", 100.0 * ClassRate(c)) << "   over " << Cell("%.1f", ClassWeight(c))
            << " weighted battles\n";
    }
    out << "pairings (row's win rate against column, per cent):\n";
    out << "              ";
    for (size_t b = 0; b < classes; ++b) {
        std::string label = name(b).substr(0, 5);
        label.resize(6, ' ');
        out << label;
    }
    out << "\n";
    for (size_t a = 0; a < classes; ++a) {
        std::string label = name(a);
        label.resize(14, ' ');
        out << label;
        for (size_t b = 0; b < classes; ++b)
            out << Cell("%5.0f ", 100.0 * PairRate(a, b));
        out << "\n";
    }
}
