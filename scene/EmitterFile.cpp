#include "scene/EmitterFile.h"

#include <algorithm>
#include <istream>

namespace {

// Formatted extraction over the file's words. The first failure sticks: every later read fails too, and
// problem names the first field that could not be read.
class TokenReader
{
public:
    explicit TokenReader(std::istream& in) : m_in(in) { }

    bool Failed() const { return !m_problem.empty(); }
    const std::string& Problem() const { return m_problem; }

    bool Word(std::string& out, const char* what)
    {
        if (Failed())
            return false;
        if (!(m_in >> out))
            return Fail(what, "ends early");
        return true;
    }
    bool Separator(const char* what)
    {
        if (Failed())
            return false;
        char c = 0;
        if (!(m_in >> c))
            return Fail(what, "ends early");
        return true;
    }
    bool Number(float& out, const char* what)
    {
        if (Failed())
            return false;
        float value = 0.0f;
        if (!(m_in >> value))
            return Fail(what, "is not a number");
        out = value;
        return true;
    }
    bool Integer(int& out, const char* what)
    {
        if (Failed())
            return false;
        int value = 0;
        if (!(m_in >> value))
            return Fail(what, "is not a whole number");
        out = value;
        return true;
    }
    // label = value
    bool LabelledWord(std::string& out, const char* what)
    {
        std::string label;
        return Word(label, what) && Separator(what) && Word(out, what);
    }
    bool LabelledNumber(float& out, const char* what)
    {
        std::string label;
        return Word(label, what) && Separator(what) && Number(out, what);
    }
    bool LabelledInteger(int& out, const char* what)
    {
        std::string label;
        return Word(label, what) && Separator(what) && Integer(out, what);
    }
    bool LabelledVector(D3DXVECTOR3& out, const char* what, bool ignoredFourth = false)
    {
        std::string label;
        D3DXVECTOR3 v;
        float ignored = 0.0f;
        if (!(Word(label, what) && Separator(what) && Number(v.x, what) && Number(v.y, what) && Number(v.z, what)))
            return false;
        if (ignoredFourth && !Number(ignored, what))
            return false;
        out = v;
        return true;
    }
    bool LabelledFlag(bool& out, const char* what)
    {
        std::string value;
        if (!LabelledWord(value, what))
            return false;
        out = value == "True";
        return true;
    }

private:
    bool Fail(const char* what, const char* how)
    {
        m_problem = std::string(what) + " " + how;
        return false;
    }

    std::istream& m_in;
    std::string m_problem;
};

// Windows-authored files end their lines with a carriage return that a Linux text stream keeps.
void StripCarriageReturn(std::string& line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
}

enum class Section
{
    NONE,
    DIRECTION,
    COLOUR,
    SPEED,
    SIZE
};

Section SectionOf(const std::string& line)
{
    if (line == "[Direction List]")
        return Section::DIRECTION;
    if (line == "[Color List]")
        return Section::COLOUR;
    if (line == "[Speed List]")
        return Section::SPEED;
    if (line == "[Size List]")
        return Section::SIZE;
    return Section::NONE;
}

bool ReadEntry(TokenReader& tokens, Section section, EmitterFile& file)
{
    std::string label;
    switch (section) {
    case Section::DIRECTION: {
        DirectionKey key;
        if (!(tokens.Number(key.startTime, "a direction key") && tokens.Number(key.scale, "a direction key") &&
              tokens.Word(label, "a direction key") && tokens.Separator("a direction key") &&
              tokens.Number(key.x, "a direction key") && tokens.Number(key.y, "a direction key") &&
              tokens.Number(key.z, "a direction key")))
            return false;
        file.directionKeys.push_back(key);
        return true;
    }
    case Section::COLOUR: {
        ColourKey key;
        float ignored = 0.0f;
        if (!(tokens.Number(key.startTime, "a colour key") && tokens.Number(key.scale, "a colour key") &&
              tokens.Word(label, "a colour key") && tokens.Separator("a colour key") &&
              tokens.Number(key.red, "a colour key") && tokens.Number(key.green, "a colour key") &&
              tokens.Number(key.blue, "a colour key") && tokens.Number(ignored, "a colour key")))
            return false;
        file.colourKeys.push_back(key);
        return true;
    }
    case Section::SPEED:
    case Section::SIZE: {
        const char* what = section == Section::SPEED ? "a speed key" : "a size key";
        ScalarKey key;
        if (!(tokens.Number(key.startTime, what) && tokens.Number(key.factor, what) && tokens.Number(key.value, what)))
            return false;
        (section == Section::SPEED ? file.speedKeys : file.sizeKeys).push_back(key);
        return true;
    }
    case Section::NONE:
        break;
    }
    return true;
}

} // namespace

std::string EmitterFile::Parse(std::istream& in)
{
    TokenReader tokens(in);
    EmitterSettings& s = settings;

    std::string first;
    if (!tokens.Word(first, "the first line"))
        return tokens.Problem();
    if (first == "Particle") {
        std::string ignored;
        float fileVersion = 0.0f;
        if (tokens.Word(ignored, "the header") && tokens.Word(ignored, "the header") &&
            tokens.Number(fileVersion, "the header's version"))
            version = fileVersion;
        std::string blend;
        if (tokens.LabelledWord(blend, "the blend line")) {
            if (blend == "Add")
                s.blendOp = 1;
            else if (blend == "RevSubtract")
                s.blendOp = 3;
        }
        tokens.LabelledWord(s.textureName, "the texture line");
    } else {
        // Without the header the first word was the texture line's label.
        if (tokens.Separator("the texture line"))
            tokens.Word(s.textureName, "the texture line");
    }

    tokens.LabelledNumber(s.rightScale, "the right scale");
    tokens.LabelledNumber(s.upScale, "the up scale");
    tokens.LabelledFlag(s.rightFromCamera, "the right-from-camera flag");
    tokens.LabelledFlag(s.upFromCamera, "the up-from-camera flag");
    if (version >= 0.2f) {
        tokens.LabelledFlag(s.directionFromFirstKey, "the first-direction flag");
        tokens.LabelledFlag(s.colourFromFirstKey, "the first-colour flag");
        tokens.LabelledFlag(s.sizeFromFirstKey, "the first-size flag");
        tokens.LabelledFlag(s.speedFromFirstKey, "the first-speed flag");
    }
    D3DXVECTOR3 ignoredVector;
    tokens.LabelledVector(s.origin, "the origin");
    tokens.LabelledVector(ignoredVector, "the unused vector");
    tokens.LabelledVector(s.spawnExtents, "the spawn extents");
    tokens.LabelledVector(s.directionVariance, "the direction variance");
    tokens.LabelledVector(s.colourVariance, "the colour variance", true);
    tokens.LabelledVector(s.oscillationFrequency, "the oscillation frequency");
    tokens.LabelledVector(s.oscillationAmplitude, "the oscillation amplitude");
    std::string word;
    if (tokens.LabelledWord(word, "the emitter type")) {
        if (word == "PROJECTILE")
            s.type = EMITTER_PROJECTILE;
        else if (word == "SPELL")
            s.type = EMITTER_SPELL;
        else if (word == "AMBIENT")
            s.type = EMITTER_AMBIENT;
        else if (word == "RAY")
            s.type = EMITTER_RAY;
    }
    if (version >= 0.3f && tokens.LabelledWord(word, "the shape")) {
        if (word == "SQUARE")
            s.shape = EMITTER_SQUARE;
        else if (word == "CIRCLE")
            s.shape = EMITTER_CIRCLE;
    }
    tokens.LabelledInteger(s.perBurst, "the burst count");
    if (tokens.LabelledInteger(s.poolSize, "the pool size"))
        s.poolSize = std::clamp(s.poolSize, 0, MAX_PARTICLE_POOL);
    tokens.LabelledNumber(s.life, "the life");
    tokens.LabelledNumber(s.interval, "the interval");
    tokens.LabelledNumber(s.projectileDelay, "the projectile delay");
    tokens.LabelledNumber(s.duration, "the duration");
    tokens.LabelledNumber(s.oscillationSpeed, "the oscillation speed");
    tokens.LabelledNumber(s.projectileSpeed, "the projectile speed");
    tokens.LabelledNumber(s.sizeVariance, "the size variance");
    tokens.LabelledNumber(s.speedVariance, "the speed variance");
    tokens.LabelledNumber(s.lifeVariance, "the life variance");
    if (tokens.Failed())
        return tokens.Problem();

    // The rest is lines: section headers open a list of entries that runs up to the next "[" or the end.
    std::string line;
    while (std::getline(in, line)) {
        StripCarriageReturn(line);
        const Section section = SectionOf(line);
        if (section == Section::NONE)
            continue;
        for (;;) {
            in >> std::ws;
            const int next = in.peek();
            if (next == std::char_traits<char>::eof() || next == '[')
                break;
            if (!ReadEntry(tokens, section, *this))
                return tokens.Problem();
        }
    }
    return {};
}
