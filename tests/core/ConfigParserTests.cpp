#include "core/ConfigParser.h"
#include "win32/Log.h"

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

TEST(ConfigParser, SplitKeepsTheNameAndReturnsTheCountButLeavesMalformedLinesAlone)
{
    const struct {
        const char* line;
        int count;
        const char* name;
    } cases[] = {{"Fireball = 3", 3, "Fireball"},
                 {"Nature's Vigor = 12", 12, "Nature's Vigor"},
                 {"Charge! =", 0, "Charge!"},
                 {"Fireball 3", 0, "Fireball 3"},
                 {"= 3", 0, "= 3"},
                 {"", 0, ""}};
    for (const auto& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(SplitConfigLineInt(line), c.count) << c.line;
        EXPECT_EQ(line, c.name);
    }
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

TEST(ConfigParser, NanIsNoNumber)
{
    // atof reads these as NaN, which no comparison can bound: they are malformed, like any other text.
    for (const char* line : {"Cast Time = nan", "Cast Time = NAN(123)", "Cast Time = -nan"})
        EXPECT_EQ(ParseConfigFloat(line), 0.0f) << line;
    EXPECT_EQ(ParseConfigFloat("Cast Time = inf"), FLT_MAX);
}

TEST(ConfigParser, BoundsHoldNumbersToTheirRange)
{
    struct Case {
        int value, lowest, highest, expected;
    };
    const Case cases[] = {{5, -10, 10, 5},   {-10, -10, 10, -10}, {10, -10, 10, 10},
                          {11, -10, 10, 10}, {INT_MIN, 0, 7, 0},  {INT_MAX, -3, 3, 3}};
    LogCapture log;
    for (const Case& c : cases)
        EXPECT_EQ(BoundConfigInt(c.value, c.lowest, c.highest, "unit.txt", "strength"), c.expected) << c.value;
    // One warning for each of the three values outside.
    ASSERT_EQ(log.Count("config.out_of_range"), 3);
    EXPECT_NE(log.Records().front().text.find("unit.txt: strength 11"), std::string::npos);

    EXPECT_EQ(BoundConfigFloat(FLT_MAX, -100.0f, 100.0f, "spell.txt", "cast time"), 100.0f);
    EXPECT_EQ(BoundConfigFloat(-FLT_MAX, -100.0f, 100.0f, "spell.txt", "cast time"), -100.0f);
    EXPECT_EQ(BoundConfigFloat(2.5f, -100.0f, 100.0f, "spell.txt", "cast time"), 2.5f);
    EXPECT_EQ(log.Count("config.out_of_range"), 5);
}

TEST(ConfigParser, OverLongLinesAreCutAndTheirRestSkipped)
{
    // A line of 70000 characters, then an ordinary one; and an over-long last line without an end.
    const std::string longLine = "Name = " + std::string(70000 - 7, 'x');
    std::istringstream in(longLine + "\r\nMana Cost = 25\n" + std::string(MAX_CONFIG_LINE + 5, 'y'));
    LogCapture log;
    std::string line;
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line.size(), MAX_CONFIG_LINE);
    EXPECT_EQ(line.compare(0, 8, "Name = x"), 0);
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(ParseConfigInt(line), 25);
    ASSERT_TRUE(ReadConfigLine(in, line));
    EXPECT_EQ(line, std::string(MAX_CONFIG_LINE, 'y'));
    EXPECT_FALSE(ReadConfigLine(in, line));
    EXPECT_EQ(log.Count("config.long_line"), 2);

    // A line of exactly the limit is whole and says nothing.
    std::istringstream exact(std::string(MAX_CONFIG_LINE, 'z') + "\nend");
    ASSERT_TRUE(ReadConfigLine(exact, line));
    EXPECT_EQ(line.size(), MAX_CONFIG_LINE);
    ASSERT_TRUE(ReadConfigLine(exact, line));
    EXPECT_EQ(line, "end");
    EXPECT_EQ(log.Count("config.long_line"), 2);
}
