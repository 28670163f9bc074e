// A small effect with two techniques, used by the effect tests.
shared float4x4 viewProjMatrix;
float4x4 worldMatrix;
float gameTime = 2.5;
float4 tint = {1.0, 0.5, 0.25};     /* w left at zero */
float3 bones[4];
int boneCount = 3;
bool useFog = true;
shared float sharedScale = 4.0;
texture pBaseTexture { AddressU = Clamp; AddressV = Mirror; MinFilter = Point; };
texture pNormalMapTexture;
varying float2 texCoord;

technique Opaque
{
    pass P0
    {
        VertexShader = MainVS;
        PixelShader = MainPS;
        ZEnable = false;
        CullMode = CW;
    }
}

technique Glow
{
    pass Base
    {
        VertexShader = MainVS;
        PixelShader = MainPS;
    }
    pass Add
    {
        VertexShader = MainVS;
        PixelShader = GlowPS;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        ZWriteEnable = false;
        BlendOp = RevSubtract;
    }
}

@vertex
void MainVS()
{
    texCoord = inTexCoord0.xy;
    gl_Position = viewProjMatrix * (worldMatrix * vec4(inPosition.xyz, 1.0));
}

@fragment
void MainPS()
{
    fragColor = texture(pBaseTexture, texCoord) * tint;
}

void GlowPS()
{
    fragColor = vec4(gameTime * sharedScale);
}
