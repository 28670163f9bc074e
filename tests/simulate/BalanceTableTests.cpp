// The win-rate tables of the simulator, on battles whose results are worked out by hand.
#include "BalanceTable.h"
#include "Requisition.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <sstream>

namespace {

constexpr size_t A = 0, B = 1, C = 2;

// Battle 1: the first army spends 100 on A and 100 on B, the second 200 on C; the first wins.
// Battle 2: the first army spends 50 on A and 150 on C, the second 200 on B; the second wins.
BalanceTable TwoBattles()
{
    BalanceTable table(3);
    table.Add({100, 100, 0}, {0, 0, 200}, 1.0);
    table.Add({50, 0, 150}, {0, 200, 0}, 0.0);
    return table;
}

} // namespace

TEST(BalanceTableTest, ClassRatesWeighTheArmysShare)
{
    const BalanceTable table = TwoBattles();
    // A: half of a winning army (0.5 of a win), a quarter of a losing one: 0.5 / 0.75.
    EXPECT_DOUBLE_EQ(table.ClassWeight(A), 0.75);
    EXPECT_NEAR(table.ClassRate(A), 2.0 / 3.0, 1e-12);
    // B: half of a winning army, then all of one: 1.5 / 1.5.
    EXPECT_DOUBLE_EQ(table.ClassWeight(B), 1.5);
    EXPECT_DOUBLE_EQ(table.ClassRate(B), 1.0);
    // C: all of a losing army, then three quarters of one.
    EXPECT_DOUBLE_EQ(table.ClassWeight(C), 1.75);
    EXPECT_DOUBLE_EQ(table.ClassRate(C), 0.0);
}

TEST(BalanceTableTest, PairingsWeighBothShares)
{
    const BalanceTable table = TwoBattles();
    struct Case {
        size_t row, column;
        double weight, rate;
    };
    const Case cases[] = {
        // Battle 1 puts half an army of A against a whole army of C; battle 2 has no C against A.
        {A, C, 0.5, 1.0},
        {C, A, 0.5, 0.0},
        // Battle 2: a quarter of A against a whole B, lost.
        {A, B, 0.25, 0.0},
        {B, A, 0.25, 1.0},
        // Battle 1: half a B against all of C (won); battle 2: all of B against three quarters of C (won).
        {B, C, 1.25, 1.0},
        {C, B, 1.25, 0.0},
        // Never met: even.
        {A, A, 0.0, 0.5},
        {C, C, 0.0, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << " against " << c.column);
        EXPECT_DOUBLE_EQ(table.PairWeight(c.row, c.column), c.weight);
        EXPECT_DOUBLE_EQ(table.PairRate(c.row, c.column), c.rate);
    }
}

TEST(BalanceTableTest, DrawsCountHalfAndMirrorsStayEven)
{
    BalanceTable table(3);
    table.Add({200, 0, 0}, {200, 0, 0}, 0.5);
    table.Add({150, 50, 0}, {75, 0, 125}, 1.0);
    // A: half a win on each side of the draw (both armies all A), then 0.75 of a win and 0.375 of a loss:
    // 1.75 / 3.125.
    EXPECT_DOUBLE_EQ(table.ClassWeight(A), 3.125);
    EXPECT_DOUBLE_EQ(table.ClassRate(A), 0.56);
    // A against A: 1 from the draw (0.5 + 0.5 won), then 0.75 x 0.375 won and 0.375 x 0.75 lost.
    EXPECT_DOUBLE_EQ(table.PairRate(A, A), 0.5);
    // An army that spent nothing adds nothing, and a malformed battle is ignored.
    table.Add({0, 0, 0}, {0, 0, 0}, 1.0);
    table.Add({1, 2}, {3, 4}, 1.0);
    EXPECT_DOUBLE_EQ(table.ClassWeight(A), 3.125);
    EXPECT_DOUBLE_EQ(table.ClassWeight(B), 0.25);
}

TEST(BalanceTableTest, PrintsOneLinePerClassAndTheMatrix)
{
    std::ostringstream out;
    TwoBattles().Print(out, {"Alpha", "Beta", "Gamma"});
    const std::string text = out.str();
    EXPECT_NE(text.find("Alpha          66.7%"), std::string::npos) << text;
    EXPECT_NE(text.find("Beta          100.0%"), std::string::npos) << text;
    EXPECT_NE(text.find("Gamma           0.0%"), std::string::npos) << text;
}

TEST(RequisitionTest, ArmiesSpendTheBudgetUntilNothingIsAffordable)
{
    const Requisition roster({{"a.txt", "A", 25}, {"b.txt", "B", 50}, {"c.txt", "C", 75}});
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        const std::vector<int> army = roster.Buy(random);
        const std::vector<int> spent = roster.Spending(army);
        // 25, 50 and 75 always add up to the whole 200 in the end.
        EXPECT_EQ(std::accumulate(spent.begin(), spent.end(), 0), 200);
        EXPECT_GE(army.size(), 3u);
        EXPECT_LE(army.size(), 8u);
    }
}

TEST(RequisitionTest, LeftoversAndFreeClasses)
{
    std::mt19937 random(1);
    // 200 buys two of a class at 75; the 50 left affords nothing.
    const Requisition dear({{"k.txt", "K", 75}});
    EXPECT_EQ(dear.Buy(random), (std::vector<int>{0, 0}));
    // A class that costs nothing is never bought (it would be bought for ever).
    const Requisition freebie({{"f.txt", "F", 0}, {"m.txt", "M", 25}});
    EXPECT_EQ(freebie.Buy(random), std::vector<int>(8, 1));
    EXPECT_EQ(freebie.Spending({1, 1, 0, 5, -1}), (std::vector<int>{0, 50}));
    EXPECT_TRUE(freebie.Buy(random, 24).empty());
    EXPECT_EQ(freebie.IndexOfFile("m.txt"), 1);
    EXPECT_EQ(freebie.IndexOfFile("x.txt"), -1);
}
