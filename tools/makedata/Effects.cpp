// The effect files of the default data, in our effect-file format (GLSL with a declaration header; the
// format is described in platform/d3dx9/EffectFile.h). The parameter and technique names are the ones
// the game sets and selects.
#include "DataWriter.h"
#include "Writers.h"

#include <sstream>

namespace {

// The post-process pass: the scene texture drawn onto the pre-transformed screen quad. While the screen
// shakes the picture moves by a small offset that swings with the game time, proportional to
// shakeMagnitude (0 at rest, so the picture stands still). The scene target has the back buffer's size, so
// the picture is sampled one to one, without filtering (a shake moves it by whole pixels).
constexpr const char* POST_PROCESS = R"(// The scene, drawn onto the screen through the post-process pass.
texture PostProcessTexture { AddressU = Clamp; AddressV = Clamp; MinFilter = Point; MagFilter = Point;
                             MipFilter = None; };
float4x4 viewProjMatrix;
float gameTime = 0.0;
float gameSpeed = 1.0;
float tElapsed = 0.0;
float shakeMagnitude = 0.0;

varying float2 texCoord;
varying float4 diffuse;
varying float2 shakeOffset;

technique PostProcess
{
    pass P0
    {
        VertexShader = PostProcessVS;
        PixelShader = PostProcessPS;
        ZEnable = false;
        ZWriteEnable = false;
        AlphaBlendEnable = false;
        AlphaTestEnable = false;
        CullMode = None;
    }
}

@vertex
// Pixels of shift per unit of shakeMagnitude: a shake of 30 moves the picture by up to 7.5 pixels.
const float SHAKE_PIXELS_PER_UNIT = 0.25;

// The screen quad's vertices are back-buffer pixels (XYZRHW). The shake moves the whole picture alike, so
// it is worked out once per vertex rather than once per pixel.
void PostProcessVS()
{
    gl_Position = fxPixelToClip(inPosition);
    texCoord = inTexCoord0.xy;
    diffuse = inDiffuse;
    vec2 size = vec2(textureSize(PostProcessTexture, 0));
    vec2 swing = vec2(sin(gameTime * 83.0), cos(gameTime * 71.0));
    shakeOffset = shakeMagnitude * SHAKE_PIXELS_PER_UNIT * swing / size;
}

@fragment
void PostProcessPS()
{
    fragColor = texture(PostProcessTexture, texCoord + shakeOffset) * diffuse;
}
)";

// Models and level objects. "Basic" draws textured and coloured geometry through worldViewProjMatrix;
// "StaticObjectTechnique" adds the level's light; "BumpMappingBasic" is the glows' technique, lit and
// blended by their alpha. The textures are shared so that an effect of the same pool that draws the
// skinned models sees the textures set here. As for the units, a texel comes from the nearest mip level
// alone: trees, rocks and houses stand a few dozen pixels tall, and blending two levels for each of their
// pixels doubled the texture reads for a difference of a step or two of brightness at a level's edge.
constexpr const char* BASIC = R"(// Textured models and level objects.
float4x4 worldViewProjMatrix;
float4x4 worldMatrix;
shared texture pBaseTexture { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear;
                              MipFilter = Point; };
shared texture pNormalMapTexture { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear;
                                   MipFilter = Linear; };
float3 LightDirection = {0.6967330, 0.6270597, 0.3483665};
float3 LightPosition;
float3 LightDiffuseColor = {255.0, 255.0, 255.0};
float4 FogData = {5000.0, 20000.0, 0.0000666667, 0.66};
float gameTime = 0.0;
float gameSpeed = 1.0;
float tElapsed = 0.0;

varying float2 texCoord;
varying float4 diffuse;
varying float3 normal;

technique Basic
{
    pass P0
    {
        VertexShader = BasicVS;
        PixelShader = BasicPS;
    }
}

technique StaticObjectTechnique
{
    pass P0
    {
        VertexShader = BasicVS;
        PixelShader = LitPS;
    }
}

technique BumpMappingBasic
{
    pass P0
    {
        VertexShader = BasicVS;
        PixelShader = LitPS;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
    }
}

@vertex
void BasicVS()
{
    gl_Position = worldViewProjMatrix * vec4(inPosition.xyz, 1.0);
    texCoord = inTexCoord0.xy;
    diffuse = inDiffuse;
    normal = (worldMatrix * vec4(inNormal, 0.0)).xyz;
}

@fragment
// Share of the light that reaches faces turned away from it.
const float AMBIENT = 0.45;

void BasicPS()
{
    fragColor = texture(pBaseTexture, texCoord) * diffuse;
}

void LitPS()
{
    vec4 base = texture(pBaseTexture, texCoord) * diffuse;
    float facing = 0.0;
    if (dot(normal, normal) > 0.0 && dot(LightDirection, LightDirection) > 0.0)
        facing = max(dot(normalize(normal), normalize(LightDirection)), 0.0);
    vec3 light = LightDiffuseColor / 255.0 * (AMBIENT + (1.0 - AMBIENT) * facing);
    fragColor = vec4(base.rgb * light, base.a);
}
)";

// Skinned units. The palette matrices carry each bone's offset, pose and the camera's view, so the vertex
// shader blends up to four of them (the last weight is one less the others) into one matrix that takes the
// vertex into view space, and then projects. The palette holds only the three columns of each matrix that an
// affine matrix needs: a quarter less for the shader to read per bone, and per vertex on a software
// rasterizer, where the vertices of the units are most of their cost. A unit stands a few dozen pixels tall on
// the battle screen and its triangles are about a pixel each, so the light is worked out per vertex (in view
// space, where the palette leaves the skin) and a pixel only tints its texel with it: the normal map's relief
// is finer than a pixel of a unit at that size and is not sampled. The texel comes from the nearest mip level
// alone: the rasterizer shades each of those tiny triangles as a block of pixels, and blending two levels for
// every one of them cost as much as the rest of the units' pixels together, for no difference a player sees.
constexpr const char* SKINNED_MESH = R"(// Skinned, lit units.
float4x3 mWorldMatrixArray[35];
float4x4 projectionMatrix;
int CurNumBones = 3;
shared texture pBaseTexture { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear;
                              MipFilter = Point; };
shared texture pNormalMapTexture { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear;
                                   MipFilter = Linear; };
float3 LightDirection = {0.6967330, 0.6270597, 0.3483665};
// The direction towards the light turned into the view, where the palette leaves the normals; the game sets
// it at every draw from the level's direction and the camera.
float3 ViewLightDirection = {0.0, 0.0, -1.0};
float3 LightPosition;
float3 LightDiffuseColor = {255.0, 255.0, 255.0};
float4 FogData = {5000.0, 20000.0, 0.0000666667, 0.66};

varying float2 texCoord;
varying float3 light;

technique AnimationTechnique
{
    pass P0
    {
        VertexShader = SkinVS;
        PixelShader = BumpPS;
        ZEnable = true;
        ZWriteEnable = true;
        AlphaBlendEnable = false;
        CullMode = CCW;
    }
}

technique SkinnedCharacterBump
{
    pass P0
    {
        VertexShader = SkinVS;
        PixelShader = BumpPS;
        ZEnable = true;
        ZWriteEnable = true;
        AlphaBlendEnable = false;
        CullMode = CCW;
    }
}

@vertex
// Share of the light that reaches faces turned away from it.
const float AMBIENT = 0.4;
// What is left of a vertex's weights once the rest would move it by less than a hundredth of a pixel.
const float USED_UP = 0.00001;

void SkinVS()
{
    // The blended matrix as its three columns; bone b's are the palette's registers 3b to 3b + 2. The
    // influences are taken until the vertex's weights are used up: most vertices follow one bone alone,
    // and the shader runs over a few neighbouring vertices at once, which mostly lie on the same part of
    // the figure and so stop together.
    vec4 column0 = vec4(0.0);
    vec4 column1 = vec4(0.0);
    vec4 column2 = vec4(0.0);
    int explicitWeights = clamp(CurNumBones, 0, 3);
    float remaining = 1.0;
    for (int i = 0; i <= explicitWeights; ++i) {
        float weight = i < explicitWeights ? inBlendWeight[i] : remaining;
        int bone = 3 * int(inBlendIndices[i]);
        column0 += weight * mWorldMatrixArray[bone];
        column1 += weight * mWorldMatrixArray[bone + 1];
        column2 += weight * mWorldMatrixArray[bone + 2];
        remaining -= weight;
        if (remaining < USED_UP)
            break;
    }
    vec4 position = vec4(inPosition.xyz, 1.0);
    vec3 viewPosition = vec3(dot(column0, position), dot(column1, position), dot(column2, position));
    vec3 normal = vec3(dot(column0.xyz, inNormal), dot(column1.xyz, inNormal), dot(column2.xyz, inNormal));
    float facing = 0.0;
    if (dot(ViewLightDirection, ViewLightDirection) > 0.0 && dot(normal, normal) > 0.0)
        facing = max(dot(normalize(normal), normalize(ViewLightDirection)), 0.0);
    light = LightDiffuseColor / 255.0 * (AMBIENT + (1.0 - AMBIENT) * facing);
    texCoord = inTexCoord0.xy;
    gl_Position = projectionMatrix * vec4(viewPosition, 1.0);
}

@fragment
void BumpPS()
{
    vec4 base = texture(pBaseTexture, texCoord);
    fragColor = vec4(base.rgb * light, base.a);
}
)";

std::vector<std::string> Lines(const char* text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

} // namespace

void WriteEffects(const std::filesystem::path& root)
{
    const std::filesystem::path directory = DataDirectory(root, "Effect Files");
    WriteTextFile(directory / "postProcess.fx", Lines(POST_PROCESS));
    WriteTextFile(directory / "basic.fx", Lines(BASIC));
    WriteTextFile(directory / "SkinnedMesh.fx", Lines(SKINNED_MESH));
}
