// A pre-transformed textured quad, point sampled: each texel of a small texture fills a block of pixels.
texture pBaseTexture { AddressU = Clamp; AddressV = Clamp; MinFilter = Point; MagFilter = Point; MipFilter = None; };
float4 tint = {1.0, 1.0, 1.0, 1.0};
varying float2 texCoord;
varying float4 diffuse;

technique Screen
{
    pass P0
    {
        VertexShader = ScreenVS;
        PixelShader = ScreenPS;
        ZEnable = false;
        AlphaBlendEnable = false;
        CullMode = None;
    }
}

@vertex
void ScreenVS()
{
    gl_Position = fxPixelToClip(inPosition);
    texCoord = inTexCoord0.xy;
    diffuse = inDiffuse;
}

@fragment
void ScreenPS()
{
    fragColor = texture(pBaseTexture, texCoord) * diffuse * tint;
}
