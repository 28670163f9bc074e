#pragma once
// The base fixture of the battle's tests: the board's pulse and everything below as at start.

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "support/SceneTest.h"

class BattleTest : public SceneTest
{
public:
    static void ResetForTests()
    {
        HexGrid::SetCurrent(nullptr);
        Hex::ResetForTests();
        SceneTest::ResetForTests();
    }

protected:
    void SetUp() override { ResetForTests(); }
    void TearDown() override { ResetForTests(); }
};
