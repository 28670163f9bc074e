#pragma once
// The units' samples: footsteps, weapons, spells, pain and death, and the spoken lines of the classes that talk.

#include <filesystem>

enum class VoiceSource
{
    // Spoken by espeak-ng when it is installed; a line it cannot speak falls back to the stand-in.
    Speech,
    // Always the synthesized vocal burst, so that the output does not depend on what is installed.
    StandIn
};

// Writes every unit sample into the given directory (created when missing). Returns the number of files.
int WriteUnitSounds(const std::filesystem::path& directory, VoiceSource voices);
