#pragma once

// The counters each player keeps for the end screen, added to by the unit rules. Their order is the order of the
// player's table of counters; two of its places are never written.
enum class Statistic
{
    KILLS,
    DAMAGE_DEALT,
    // The summed amounts of ability effects the player's units cast.
    SPELL_AMOUNT,
    CRITICAL_HITS,
    ATTACKS,
    ABILITIES_USED,
    UNWRITTEN_SEVENTH,
    KILLING_BLOWS_SUFFERED,
    // Turns begun by the player's units.
    TURNS,
    // Hexes entered during walks.
    HEXES_MOVED,
    // Missed attacks of the player's units, plus what ability use adds.
    MISSES,
    UNWRITTEN_TWELFTH,
    COUNT
};
