#include "core/ConfigParser.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <sstream>

TEST(ConfigParser, ReadsOrdinaryValueLines)
{
    EXPECT_EQ(ParseConfigInt("Mana Cost = 25"), 25);
    EXPECT_EQ(ParseConfigInt("Amount = -40"), -40);
    EXPECT_FLOAT_EQ(ParseConfigFloat("Cast Time = 1.5"), 1.5f);
    EXPECT_FLOAT_EQ(ParseConfigFloat("Cast Time = -0.25"), -0.25f);
    EXPECT_EQ(ParseConfigString("Name = Fireball"), "Fireball");
    // The value starts two characters after the "=", whatever stands there.
    EXPECT_EQ(ParseConfigString("Name =Fireball"), "ireball");
    EXPECT_EQ(ParseConfigString("Name = Lightning Bolt  "), "Lightning Bolt  ");
    // Only the first "=" counts.
    EXPECT_EQ(ParseConfigString("Formula = a = b"), "a = b");
}

TEST(ConfigParser, NumbersLikeTheRuntime)
{
    EXPECT_EQ(ParseConfigInt("Range = 3 hexes"), 3);
    EXPECT_EQ(ParseConfigInt("Range = many"), 0);
    EXPECT_FLOAT_EQ(ParseConfigFloat("Factor = x"), 0.0f);
    EXPECT_EQ(ParseConfigInt("Amount = 2.9"), 2);
    // Out of the 32-bit range: clamped, not wrapped.
    EXPECT_EQ(ParseConfigInt("Amount = 99999999999"), INT_MAX);
    EXPECT_EQ(ParseConfigInt("Amount = -99999999999"), INT_MIN);
    EXPECT_EQ(ParseConfigFloat("Cast Time = 1e300"), FLT_MAX);
    EXPECT_EQ(ParseConfigFloat("Cast Time = -1e300"), -FLT_MAX);
}

TEST(ConfigParser, NeverReadsPastTheEndOfALine)
{
    EXPECT_EQ(ParseConfigString("Name ="), "");
    EXPECT_EQ(ParseConfigInt("Mana Cost ="), 0);
    EXPECT_FLOAT_EQ(ParseConfigFloat("Cast Time ="), 0.0f);
    EXPECT_EQ(ParseConfigString("Name = "), "");
    EXPECT_EQ(ParseConfigString(""), "");
    EXPECT_EQ(ParseConfigInt(""), 0);
    EXPECT_FLOAT_EQ(ParseConfigFloat(""), 0.0f);
}

TEST(ConfigParser, LineWithoutEqualsDropsItsFirstCharacter)
{
    EXPECT_EQ(ParseConfigString("xFireball"), "Fireball");
    EXPECT_EQ(ParseConfigInt(" 42"), 42);
    EXPECT_EQ(ParseConfigString("x"), "");
}

TEST(ConfigParser, SplitKeepsTheNameAndReturnsTheCount)
{
    std::string line = "Fireball = 3";
    EXPECT_EQ(SplitConfigLineInt(line), 3);
    EXPECT_EQ(line, "Fireball");

    line = "Nature's Vigor = 12";
    EXPECT_EQ(SplitConfigLineInt(line), 12);
    EXPECT_EQ(line, "Nature's Vigor");

    line = "Charge! =";
    EXPECT_EQ(SplitConfigLineInt(line), 0);
    EXPECT_EQ(line, "Charge!");
}

TEST(ConfigParser, SplitLeavesMalformedLinesAlone)
{
    std::string line = "Fireball 3";
    EXPECT_EQ(SplitConfigLineInt(line), 0);
    EXPECT_EQ(line, "Fireball 3");

    line = "= 3";
    EXPECT_EQ(SplitConfigLineInt(line), 0);
    EXPECT_EQ(line, "= 3");

    line.clear();
    EXPECT_EQ(SplitConfigLineInt(line), 0);
    EXPECT_EQ(line, "");
}

TEST(ConfigParser, WindowsLineEndsReadLikeUnixOnes)
{
    std::istringstream in("Name = Fireball\r\nMana Cost = 25\r\n\r\nlast\n\r\r\nno end");
    std::string line;
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(ParseConfigString(line), "Fireball");
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(ParseConfigInt(line), 25);
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line, "last");
    // Only one carriage return is dropped.
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line, "\r");
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line, "no end");
    EXPECT_FALSE(ReadConfigLine(in, line));
}
