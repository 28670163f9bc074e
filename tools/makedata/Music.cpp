// The two music tracks: the menu tune as a WAV file and the battle tune as an MP3, each a few seconds of a
// generated melody so that the build stays quick. The MP3 is encoded here so the game's MP3 path is exercised
// by real data.
#include "DataWriter.h"
#include "Writers.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr int MUSIC_RATE = 44100;
constexpr int MUSIC_CHANNELS = 2;
constexpr double PI = 3.14159265358979323846;

struct Note {
    double frequency; // 0 for a rest
    double seconds;
};

// Interleaved 16-bit stereo. Each note has a short attack and release so that the joins do not click; the
// second channel carries the fifth above, quieter, for a little width.
std::vector<int16_t> RenderTune(const std::vector<Note>& notes)
{
    std::vector<int16_t> samples;
    for (const Note& note : notes) {
        const int frames = static_cast<int>(note.seconds * MUSIC_RATE);
        const int ramp = MUSIC_RATE / 100;
        for (int i = 0; i < frames; ++i) {
            double envelope = 1.0;
            if (i < ramp)
                envelope = static_cast<double>(i) / ramp;
            else if (frames - i < ramp)
                envelope = static_cast<double>(frames - i) / ramp;
            const double t = static_cast<double>(i) / MUSIC_RATE;
            double left = 0.0;
            double right = 0.0;
            if (note.frequency > 0.0) {
                left = 0.30 * std::sin(2.0 * PI * note.frequency * t);
                right = 0.20 * std::sin(2.0 * PI * note.frequency * 1.5 * t) + 0.10 * left;
            }
            samples.push_back(static_cast<int16_t>(std::lround(left * envelope * 32767.0)));
            samples.push_back(static_cast<int16_t>(std::lround(right * envelope * 32767.0)));
        }
    }
    return samples;
}

void WriteMp3(const std::filesystem::path& path, const std::vector<int16_t>& samples)
{
    lame_global_flags* lame = lame_init();
    if (!lame)
        throw std::runtime_error("cannot start the MP3 encoder");
    lame_set_in_samplerate(lame, MUSIC_RATE);
    lame_set_out_samplerate(lame, MUSIC_RATE);
    lame_set_num_channels(lame, MUSIC_CHANNELS);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    // The info frame records the encoder delay and padding, so decoders that read it give back exactly the
    // frames that were encoded.
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("cannot configure the MP3 encoder");
    }

    const int frames = static_cast<int>(samples.size() / MUSIC_CHANNELS);
    std::vector<unsigned char> encoded(static_cast<size_t>(frames + frames / 4 + 7200 + 2 * 7200));
    int written = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames, encoded.data(),
                                                 static_cast<int>(encoded.size()));
    if (written >= 0) {
        const int flushed =
            lame_encode_flush(lame, encoded.data() + written, static_cast<int>(encoded.size()) - written);
        written = flushed >= 0 ? written + flushed : flushed;
    }
    if (written < 0) {
        lame_close(lame);
        throw std::runtime_error("cannot encode " + path.string());
    }
    encoded.resize(static_cast<size_t>(written));

    // The info frame is only known once everything is encoded; it replaces the placeholder at the start.
    std::vector<unsigned char> tag(2880);
    const size_t tagBytes = lame_get_lametag_frame(lame, tag.data(), tag.size());
    lame_close(lame);
    if (tagBytes > 0 && tagBytes <= tag.size() && tagBytes <= encoded.size())
        std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagBytes), encoded.begin());

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(encoded.data()), static_cast<std::streamsize>(encoded.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// Note frequencies, equal temperament from A4 = 440 Hz.
double Pitch(int semitonesFromA4)
{
    return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

} // namespace

void WriteMusic(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Sound/Music");
    std::filesystem::create_directories(dir);

    // A slow minor phrase for the menus: 3 s.
    const std::vector<Note> menu = {
        {Pitch(-9), 0.5}, {Pitch(-5), 0.5}, {Pitch(-2), 0.5}, {Pitch(0), 0.75}, {Pitch(-2), 0.25}, {Pitch(-5), 0.5},
    };
    WriteWav(dir / "Varnholt_MenuMusicTemp.wav", MUSIC_RATE, MUSIC_CHANNELS, RenderTune(menu));

    // A quicker marching figure for the battle, looped by the game: 3 s.
    std::vector<Note> battle;
    for (int bar = 0; bar < 3; ++bar) {
        const int root = bar == 1 ? -7 : -12;
        battle.push_back({Pitch(root), 0.25});
        battle.push_back({Pitch(root + 7), 0.25});
        battle.push_back({Pitch(root + 3), 0.25});
        battle.push_back({Pitch(root + 7), 0.25});
    }
    WriteMp3(dir / "timberwolf.mp3", RenderTune(battle));
}
