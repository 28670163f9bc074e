#include "ui/DeploymentRoster.h"

#include <gtest/gtest.h>

#include <string>

// The roster's prices come from the class table (Militia, Scout and Mage 25; Pikeman, Archer, Rogue, Healer and
// Combat Mage 50; Knight, Paladin and Assassin 75), and each badge shows the price the requisition charges.
TEST(DeploymentRosterTest, EachPriceIsTheClassCostAndItsBadgeShowsIt)
{
    const int expected[DeploymentRoster::SIZE] = {25, 25, 25, 50, 50, 50, 50, 50, 75, 75, 75};
    for (int k = 0; k < DeploymentRoster::SIZE; ++k) {
        EXPECT_EQ(DeploymentRoster::Cost(k), expected[k]) << k;
        EXPECT_EQ(std::string(DeploymentRoster::CostBadge(k)), std::to_string(expected[k]) + ".tga") << k;
    }
    EXPECT_EQ(DeploymentRoster::Cost(DeploymentRoster::SIZE), 0);
    EXPECT_EQ(DeploymentRoster::Cost(-1), 0);
}
