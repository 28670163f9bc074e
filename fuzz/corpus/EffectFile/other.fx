// Shares "sharedScale" and "viewProjMatrix" with sample.fx, keeps its own "gameTime".
shared float sharedScale = 9.0;
shared float4x4 viewProjMatrix;
float gameTime = 7.0;

technique Only
{
    pass P0
    {
        VertexShader = VS;
        PixelShader = PS;
    }
}

@common
vec4 Scaled(vec4 v) { return v * sharedScale * gameTime; }

@vertex
void VS() { gl_Position = Scaled(viewProjMatrix * inPosition); }

@fragment
void PS() { fragColor = vec4(1.0); }
