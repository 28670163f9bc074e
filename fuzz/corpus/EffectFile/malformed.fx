float gameTime = 1.0
technique Broken
{
    pass P0 { VertexShader = VS; PixelShader = PS; }
}
@vertex
void VS() { gl_Position = inPosition; }
@fragment
void PS() { fragColor = vec4(1.0); }
