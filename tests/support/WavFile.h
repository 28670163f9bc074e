#pragma once
// 16-bit PCM WAV files for the sound tests: a square wave of the given amplitude that flips every 50 frames
// (amplitude 0: silence).

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string WavBytes(int rate, int channels, int frames, int16_t amplitude = 20000)
{
    std::string wav;
    auto put = [&wav](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const auto block = static_cast<uint32_t>(channels * 2);
    const uint32_t dataBytes = block * static_cast<uint32_t>(frames);
    wav += "RIFF";
    put(36 + dataBytes, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2); // PCM
    put(static_cast<uint32_t>(channels), 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate) * block, 4);
    put(block, 2);
    put(16, 2);
    wav += "data";
    put(dataBytes, 4);
    for (int i = 0; i < frames * channels; ++i)
        put(static_cast<uint16_t>((i / channels / 50) % 2 ? amplitude : -amplitude), 2);
    return wav;
}

inline void WriteWav(const std::filesystem::path& path, int rate, int channels, int frames, int16_t amplitude = 20000)
{
    std::ofstream(path, std::ios::binary) << WavBytes(rate, channels, frames, amplitude);
}
