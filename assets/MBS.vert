// Vertex shader of the tree mesh. Every vertex is stored in its element's
// frame; the element's current 4x4 matrix M (element -> display space) sits in
// the float texture matrixTex as four adjacent texels of one row, one column
// of M per texel (R, G, B, A = rows 0..3). Texture coordinate set 1 addresses
// the centre of the first texel; fXOffset is the distance between texels.
//
// Lighting is computed per vertex exactly as the fixed-function pipeline does
// for light 0 (ambient, diffuse, specular; local light, no local viewer, one
// side), with the normal as stored, in the element's frame: both drawing
// paths then give the same colours.
#version 120

uniform sampler2D matrixTex;
uniform float fXOffset;
uniform bool lightOn;       // light 0 enabled (GL_LIGHT0)

varying vec4 litColor;      // lit colour, clamped like the fixed pipeline's
varying vec2 diffuseCoord;  // diffuse texture coordinate (unit 0)

void main()
{
    vec2 m = gl_MultiTexCoord1.st;
    mat4 M = mat4(texture2DLod(matrixTex, m, 0.0),
                  texture2DLod(matrixTex, m + vec2(fXOffset, 0.0), 0.0),
                  texture2DLod(matrixTex, m + vec2(2.0 * fXOffset, 0.0), 0.0),
                  texture2DLod(matrixTex, m + vec2(3.0 * fXOffset, 0.0), 0.0));
    // The fourth row of M is ignored, as on the processor path: w stays 1.
    vec4 p = vec4((M * vec4(gl_Vertex.xyz, 1.0)).xyz, 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * p;
    diffuseCoord = gl_MultiTexCoord0.st;

    // The fixed pipeline's lighting equation for light 0 in eye space.
    vec4 color = gl_FrontLightModelProduct.sceneColor;
    if (lightOn) {
        vec3 eyePos = (gl_ModelViewMatrix * p).xyz;
        vec3 n = gl_NormalMatrix * gl_Normal;
        vec4 lp = gl_LightSource[0].position;
        vec3 l;
        float attenuation = 1.0;
        if (lp.w != 0.0) {
            vec3 d = lp.xyz / lp.w - eyePos;
            float dist = length(d);
            l = d / dist;
            attenuation = 1.0 / (gl_LightSource[0].constantAttenuation +
                                 gl_LightSource[0].linearAttenuation * dist +
                                 gl_LightSource[0].quadraticAttenuation * dist * dist);
        } else {
            l = normalize(lp.xyz);
        }
        float nDotL = max(dot(n, l), 0.0);
        vec4 light = gl_FrontLightProduct[0].ambient + nDotL * gl_FrontLightProduct[0].diffuse;
        if (nDotL > 0.0) {
            vec3 h = normalize(l + vec3(0.0, 0.0, 1.0));
            float nDotH = max(dot(n, h), 0.0);
            float f = gl_FrontMaterial.shininess > 0.0 ? pow(nDotH, gl_FrontMaterial.shininess) : 1.0;
            light += f * gl_FrontLightProduct[0].specular;
        }
        color += attenuation * light;
    }
    color.a = gl_FrontMaterial.diffuse.a;
    litColor = clamp(color, 0.0, 1.0);
}
