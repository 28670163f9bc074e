// The class models' textures: one cell per material, each in its region's pattern and the class's colours.
#include "AtlasPainter.h"
#include "ModelAtlas.h"

void WriteAtlasTextures(const std::filesystem::path& directory, const std::string& name, const Palette& palette)
{
    static const Pattern patterns[] = {Pattern::FLAT,    Pattern::FACE,   Pattern::HAIR,    Pattern::WEAVE,
                                       Pattern::WEAVE,   Pattern::STRIPE, Pattern::LEATHER, Pattern::BRUSHED,
                                       Pattern::RINGS,   Pattern::GRAIN,  Pattern::GLOW,    Pattern::TWIST,
                                       Pattern::LEATHER, Pattern::FLAT,   Pattern::PLATES,  Pattern::EMBLEM};
    AtlasPainter painter(AtlasSize, AtlasCells);
    for (int i = 0; i < static_cast<int>(Region::COUNT); ++i) {
        const uint32_t colour = palette[static_cast<size_t>(i)];
        uint32_t second = palette[static_cast<size_t>(Region::TRIM)];
        if (static_cast<Region>(i) == Region::FACE)
            second = 0x3A2A20; // eyes
        if (static_cast<Region>(i) == Region::PLATE)
            second = palette[static_cast<size_t>(Region::METAL)];
        painter.Paint(i, patterns[i], colour, second);
    }
    painter.Write(directory, name);
}
