// GLSL sources of the GL device and their compilation. The scene program lights each vertex
// (Gouraud), modulates by texture stage 0 and fogs each pixel, as the original pipeline did.
#include "platform/gl_shaders.h"

#include <cstdio>
#include <string>

namespace {

const char* kSceneVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aTexCoord;

const int kMaxLights = 8;

uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;     // inverse transpose of world x view
uniform vec2 uPixelOffset;      // half a pixel right and down, in normalised device units

uniform bool uLighting;
uniform bool uNormalizeNormals;
uniform bool uSpecularEnable;
uniform bool uHasColour;        // the vertices carry a diffuse colour
uniform vec3 uAmbient;
uniform vec4 uMaterialDiffuse;
uniform vec4 uMaterialAmbient;
uniform vec4 uMaterialSpecular;
uniform vec4 uMaterialEmissive;
uniform float uMaterialPower;
uniform int uLightCount;
uniform vec3 uLightToward[kMaxLights];   // unit vectors towards the lights, view space
uniform vec3 uLightDiffuse[kMaxLights];
uniform vec3 uLightSpecular[kMaxLights];
uniform vec3 uLightAmbient[kMaxLights];

uniform bool uPointScale;
uniform float uPointSize;
uniform float uPointSizeMin;
uniform float uPointSizeMax;
uniform vec3 uPointScaleFactors;   // A, B, C
uniform float uViewportHeight;

out vec4 vDiffuse;
flat out vec4 vDiffuseFlat;
out vec3 vSpecular;
flat out vec3 vSpecularFlat;
out vec2 vTexCoord;
out float vEyeDepth;

void main() {
    vec4 eye = uWorldView * vec4(aPosition, 1.0);
    vec4 clip = uProjection * eye;
    // Pixel centres sit on whole coordinates on the original platform and its depth runs 0..1.
    clip.xy += uPixelOffset * clip.w;
    clip.z = 2.0 * clip.z - clip.w;
    gl_Position = clip;

    vec4 diffuse;
    vec3 specular = vec3(0.0);
    if (uLighting) {
        vec3 n = uNormalMatrix * aNormal;
        if (uNormalizeNormals && dot(n, n) > 0.0) n = normalize(n);
        // The vertex colour stands in for the material's diffuse colour when there is one.
        vec4 md = uHasColour ? aColour : uMaterialDiffuse;
        vec3 toEye = dot(eye.xyz, eye.xyz) > 0.0 ? normalize(-eye.xyz) : vec3(0.0, 0.0, 1.0);
        vec3 colour = uMaterialEmissive.rgb + uAmbient * uMaterialAmbient.rgb;
        for (int i = 0; i < uLightCount; ++i) {
            colour += uLightAmbient[i] * uMaterialAmbient.rgb;
            float nl = dot(n, uLightToward[i]);
            if (nl > 0.0) {
                colour += uLightDiffuse[i] * md.rgb * nl;
                if (uSpecularEnable) {
                    vec3 h = normalize(toEye + uLightToward[i]);
                    float nh = dot(n, h);
                    float s = nh > 0.0 ? (uMaterialPower > 0.0 ? pow(nh, uMaterialPower) : 1.0)
                                       : 0.0;
                    specular += uLightSpecular[i] * s;
                }
            }
        }
        diffuse = vec4(clamp(colour, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
        specular = clamp(specular * uMaterialSpecular.rgb, 0.0, 1.0);
    } else {
        diffuse = uHasColour ? aColour : vec4(1.0);
    }
    vDiffuse = diffuse;
    vDiffuseFlat = diffuse;
    vSpecular = specular;
    vSpecularFlat = specular;
    vTexCoord = aTexCoord;
    vEyeDepth = -eye.z;

    float size = uPointSize;
    if (uPointScale) {
        float d = length(eye.xyz);
        float q = uPointScaleFactors.x + uPointScaleFactors.y * d + uPointScaleFactors.z * d * d;
        size = q > 0.0 ? uViewportHeight * uPointSize * sqrt(1.0 / q) : uPointSizeMax;
    }
    gl_PointSize = clamp(size, uPointSizeMin, uPointSizeMax);
}
)";

const char* kSceneFragment = R"(#version 330 core
in vec4 vDiffuse;
flat in vec4 vDiffuseFlat;
in vec3 vSpecular;
flat in vec3 vSpecularFlat;
in vec2 vTexCoord;
in float vEyeDepth;

uniform sampler2D uTexture;
uniform bool uTextured;
uniform bool uFlatShading;
uniform bool uPointSprite;    // texture coordinates across the point, (0,0) at its top-left
uniform int uFogMode;         // 0 off, 1 exp, 2 exp2, 3 linear from 0 to 1
uniform float uFogDensity;
uniform vec3 uFogColour;

out vec4 oColour;

void main() {
    vec4 diffuse = uFlatShading ? vDiffuseFlat : vDiffuse;
    vec3 specular = uFlatShading ? vSpecularFlat : vSpecular;
    // Texture stage 0: colour = texture x diffuse, alpha = texture alpha.
    vec4 c = diffuse;
    if (uTextured) {
        vec4 t = texture(uTexture, uPointSprite ? gl_PointCoord : vTexCoord);
        c = vec4(t.rgb * diffuse.rgb, t.a);
    }
    c.rgb = min(c.rgb + specular, vec3(1.0));
    if (uFogMode != 0) {
        float d = max(vEyeDepth, 0.0);
        float f;
        if (uFogMode == 1) f = exp(-uFogDensity * d);
        else if (uFogMode == 2) f = exp(-(uFogDensity * d) * (uFogDensity * d));
        else f = 1.0 - d;
        f = clamp(f, 0.0, 1.0);
        c.rgb = f * c.rgb + (1.0 - f) * uFogColour;
    }
    oColour = c;
}
)";

const char* kSpriteVertex = R"(#version 330 core
layout(location = 0) in vec4 aPosition;   // clip space
layout(location = 1) in vec2 aTexCoord;
out vec2 vTexCoord;
void main() {
    gl_Position = aPosition;
    vTexCoord = aTexCoord;
}
)";

const char* kSpriteFragment = R"(#version 330 core
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform vec4 uColour;
out vec4 oColour;
void main() {
    oColour = texture(uTexture, vTexCoord) * uColour;
}
)";

GLuint compile(GLenum kind, const char* source, const char* what) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE)
        return shader;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? length : 1, '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    std::fprintf(stderr, "GlPrograms::build: the %s shader does not compile: %s\n", what,
                 log.c_str());
    glDeleteShader(shader);
    return 0;
}

GLuint link(const char* vertexSource, const char* fragmentSource, const char* what) {
    GLuint vs = compile(GL_VERTEX_SHADER, vertexSource, what);
    GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, fragmentSource, what) : 0;
    if (!vs || !fs) {
        if (vs)
            glDeleteShader(vs);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok == GL_TRUE)
        return program;
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? length : 1, '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    std::fprintf(stderr, "GlPrograms::build: the %s program does not link: %s\n", what,
                 log.c_str());
    glDeleteProgram(program);
    return 0;
}

}  // namespace

bool GlPrograms::build() {
    scene = link(kSceneVertex, kSceneFragment, "scene");
    sprite = link(kSpriteVertex, kSpriteFragment, "sprite");
    if (!scene || !sprite) {
        release();
        return false;
    }
    auto at = [this](const char* name) { return glGetUniformLocation(scene, name); };
    GlSceneUniforms& u = sceneUniforms;
    u.worldView = at("uWorldView");
    u.projection = at("uProjection");
    u.normalMatrix = at("uNormalMatrix");
    u.pixelOffset = at("uPixelOffset");
    u.lighting = at("uLighting");
    u.normalizeNormals = at("uNormalizeNormals");
    u.specularEnable = at("uSpecularEnable");
    u.hasColour = at("uHasColour");
    u.ambient = at("uAmbient");
    u.materialDiffuse = at("uMaterialDiffuse");
    u.materialAmbient = at("uMaterialAmbient");
    u.materialSpecular = at("uMaterialSpecular");
    u.materialEmissive = at("uMaterialEmissive");
    u.materialPower = at("uMaterialPower");
    u.lightCount = at("uLightCount");
    u.lightToward = at("uLightToward");
    u.lightDiffuse = at("uLightDiffuse");
    u.lightSpecular = at("uLightSpecular");
    u.lightAmbient = at("uLightAmbient");
    u.pointScale = at("uPointScale");
    u.pointSize = at("uPointSize");
    u.pointSizeMin = at("uPointSizeMin");
    u.pointSizeMax = at("uPointSizeMax");
    u.pointScaleFactors = at("uPointScaleFactors");
    u.viewportHeight = at("uViewportHeight");
    u.texture = at("uTexture");
    u.textured = at("uTextured");
    u.flatShading = at("uFlatShading");
    u.pointSprite = at("uPointSprite");
    u.fogMode = at("uFogMode");
    u.fogDensity = at("uFogDensity");
    u.fogColour = at("uFogColour");
    spriteUniforms.texture = glGetUniformLocation(sprite, "uTexture");
    spriteUniforms.colour = glGetUniformLocation(sprite, "uColour");
    return true;
}

void GlPrograms::release() {
    if (scene)
        glDeleteProgram(scene);
    if (sprite)
        glDeleteProgram(sprite);
    scene = sprite = 0;
}
