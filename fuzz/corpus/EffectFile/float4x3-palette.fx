float4x3 p[2];
technique T { pass P { VertexShader = V; PixelShader = F; } }
@vertex
void V() { gl_Position = p[5]; }
@fragment
void F() { fragColor = vec4(1.0); }
