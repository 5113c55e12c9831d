// Fragment shader of the tree mesh: the lit colour modulated by the
// material's diffuse texture (unit 0), as the fixed pipeline's default
// texture environment does. The texture's alpha cuts out the leaf shapes
// through the same blending as on the fixed-function path (enabled by the
// drawing around this program); fragments are not discarded, so that the
// depth buffer, and with it the picture, is the same on both paths.
#version 120

uniform sampler2D diffuseTex;
uniform bool useDiffuseTex;  // the material's texture has an image

varying vec4 litColor;
varying vec2 diffuseCoord;

void main()
{
    vec4 color = litColor;
    if (useDiffuseTex)
        color *= texture2D(diffuseTex, diffuseCoord);
    gl_FragColor = color;
}
