// Fragment shader of the tree mesh: the lit colour modulated by the
// material's diffuse texture (unit 0), as the fixed pipeline's default
// texture environment does. The texture's alpha cuts out the leaf shapes:
// blending uses it, and fully transparent fragments are dropped so that they
// leave the depth buffer alone.
#version 120

uniform sampler2D diffuseTex;
uniform bool useDiffuseTex;  // texturing on and the material's texture has an image

varying vec4 litColor;
varying vec2 diffuseCoord;

void main()
{
    vec4 color = litColor;
    if (useDiffuseTex)
        color *= texture2D(diffuseTex, diffuseCoord);
    if (color.a < 1.0 / 512.0)
        discard;
    gl_FragColor = color;
}
