#pragma once
// The base fixture of the battle's tests: the board's pulse and everything below as at start.

#include "battle/Hex.h"
#include "support/SceneTest.h"

class BattleTest : public SceneTest
{
public:
    static void ResetForTests()
    {
        Hex::ResetForTests();
        SceneTest::ResetForTests();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
