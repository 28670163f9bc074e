// "terrain.fx": the ground. Textures 1 and 2 share the ground by the weights the terrain works out from the
// slope (flat ground and steep faces); textures 3 and 4 lie over them by their own weights (paths, snow,
// paving). The light map is laid over the whole map, and the fog factor follows the distance from the eye.
#include "DataWriter.h"
#include "Writers.h"

#include <sstream>
#include <string>

namespace {

constexpr const char* TERRAIN = R"(// The ground of a level.
float4x4 worldViewProjMatrix;
texture pTexture1 { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear; MipFilter = Point; };
texture pTexture2 { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear; MipFilter = Point; };
texture pTexture3 { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear; MipFilter = Point; };
texture pTexture4 { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear; MipFilter = Point; };
texture pLightTexture { AddressU = Clamp; AddressV = Clamp; MinFilter = Linear; MagFilter = Linear;
                        MipFilter = None; };
float4 FogData = {5000.0, 20000.0, 0.0000666667, 0.66};
// Toward the level's light; the same direction the models are lit from.
float3 LightDirection = {0.6967330, 0.6270597, 0.3483665};

varying float2 uv1;
varying float2 uv2;
varying float2 uv3;
varying float2 uv4;
varying float3 light;
varying float4 weights;
varying float3 fogAdd;

)";

constexpr const char* TERRAIN_SHADERS = R"(@vertex
// Half a texel of the 128-texel light map, so that each vertex reads its own texel's centre.
const float HALF_TEXEL = 0.5 / 128.0;
// The light map's values are kept below full so that lit slopes can stand out; this brings flat ground
// back to the textures' own brightness.
const float LIGHT_GAIN = 1.25;
// The light map is even over open ground, so the slopes are shaded by their facing as well: a face turned
// away from the light keeps this share of it.
const float SHADE_FLOOR = 0.6;

void TerrainVS()
{
    gl_Position = worldViewProjMatrix * vec4(inPosition.xyz, 1.0);
    uv1 = inTexCoord0.xy;
    uv2 = inTexCoord1.xy;
    uv3 = inTexCoord2.xy;
    uv4 = inTexCoord3.xy;
    // The light map's rows run along z and its columns along x: u from the column, v from the row. It holds
    // one texel per vertex, so reading it here and letting the rasteriser blend it between vertices gives
    // what a bilinear read per pixel would, for a fifth of the ground's texture reads.
    float facing = max(dot(normalize(inNormal), normalize(LightDirection)), 0.0);
    float shade = SHADE_FLOOR + (1.0 - SHADE_FLOOR) * facing / max(normalize(LightDirection).y, 0.01);
    light = textureLod(pLightTexture, inTexCoord4.yx + vec2(HALF_TEXEL), 0.0).rgb * LIGHT_GAIN * min(shade, 1.3);
    weights = inDiffuse;
    // Fog goes by the distance along the view, which changes little across a triangle of the ground: its
    // factor scales the light and the fog colour's share is added, both worked out here, so that a pixel
    // pays one multiply-add for its fog instead of the blend after the program.
    float clear = fxFog.x != 0.0 ? clamp((FogData.y - gl_Position.w) * FogData.z, 0.0, 1.0) : 1.0;
    light *= clear;
    fogAdd = (1.0 - clear) * fxFog.yzw;
}

@fragment
// The constant arguments leave out, when the program is compiled, the reads of the textures not wanted. A
// texture left out weighs nothing, or no more than a fading few 255ths, at every corner of the triangles
// drawn with it. The flat ground and the steep faces share by the weights of those read, so that where one
// of them is left out the other holds the whole ground.
void Ground(bool withOne, bool withTwo, bool withThree, bool withFour)
{
    vec4 ground = vec4(0.0);
    if (withOne)
        ground += texture(pTexture1, uv1) * weights.r;
    if (withTwo)
        ground += texture(pTexture2, uv2) * weights.g;
    float share = (withOne ? weights.r : 0.0) + (withTwo ? weights.g : 0.0);
    if (share > 0.0)
        ground /= share;
    if (withThree)
        ground = mix(ground, texture(pTexture3, uv3), clamp(weights.b, 0.0, 1.0));
    if (withFour)
        ground = mix(ground, texture(pTexture4, uv4), clamp(weights.a, 0.0, 1.0));
    fragColor = vec4(ground.rgb * light + fogAdd, 1.0);
}

void TerrainPS()
{
    Ground(true, true, true, true);
}
)";

// The ground is opaque: it needs neither blending nor the alpha test.
std::string Technique(const std::string& name, const std::string& shader)
{
    return "technique " + name +
           "\n{\n    pass P0\n    {\n        VertexShader = TerrainVS;\n        PixelShader = " + shader +
           ";\n        AlphaBlendEnable = false;\n        AlphaTestEnable = false;\n    }\n}\n\n";
}

// One technique for each set of ground textures a triangle can weigh (bit k: texture k + 1), named after the
// textures it reads, as the terrain looks them up: GroundOne, GroundTwo, GroundOneTwo, ... GroundNone.
constexpr const char* NUMBERS[4] = {"One", "Two", "Three", "Four"};

std::string SetName(unsigned set)
{
    std::string name = "Ground";
    for (unsigned k = 0; k < 4; ++k)
        if (set & 1u << k)
            name += NUMBERS[k];
    return set == 0 ? name + "None" : name;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

} // namespace

void WriteTerrainEffect(const std::filesystem::path& root)
{
    constexpr unsigned SETS = 16;
    std::string text = TERRAIN;
    text += Technique("Basic", "TerrainPS");
    for (unsigned set = 0; set < SETS; ++set)
        text += Technique(SetName(set), SetName(set) + "PS");
    text += TERRAIN_SHADERS;
    for (unsigned set = 0; set < SETS; ++set) {
        text += "\nvoid " + SetName(set) + "PS()\n{\n    Ground(";
        for (unsigned k = 0; k < 4; ++k)
            text += std::string(set & 1u << k ? "true" : "false") + (k < 3 ? ", " : ");\n}\n");
    }
    WriteTextFile(DataDirectory(root, "Effect Files") / "terrain.fx", Lines(text));
}
