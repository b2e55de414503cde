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

// Per instance, 12 texels from uInstanceBase + gl_InstanceID on: world x view (4 rows), its
// inverse transpose (3 rows), the material's diffuse, ambient, specular, emissive colours and
// power.
uniform samplerBuffer uInstances;
uniform int uInstanceBase;
uniform mat4 uProjection;
uniform vec2 uPixelOffset;      // half a pixel right and down, in normalised device units

uniform bool uLighting;
uniform bool uNormalizeNormals;
uniform bool uSpecularEnable;
uniform bool uHasColour;        // the vertices carry a diffuse colour
uniform vec3 uAmbient;
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
    int at = (uInstanceBase + gl_InstanceID) * 12;
    mat4 worldView = mat4(texelFetch(uInstances, at), texelFetch(uInstances, at + 1),
                          texelFetch(uInstances, at + 2), texelFetch(uInstances, at + 3));
    mat3 normalMatrix = mat3(texelFetch(uInstances, at + 4).xyz,
                             texelFetch(uInstances, at + 5).xyz,
                             texelFetch(uInstances, at + 6).xyz);
    vec4 materialDiffuse = texelFetch(uInstances, at + 7);
    vec4 materialAmbient = texelFetch(uInstances, at + 8);
    vec4 materialSpecular = texelFetch(uInstances, at + 9);
    vec4 materialEmissive = texelFetch(uInstances, at + 10);
    float materialPower = texelFetch(uInstances, at + 11).x;

    vec4 eye = worldView * vec4(aPosition, 1.0);
    vec4 clip = uProjection * eye;
    // Pixel centres sit on whole coordinates on the original platform and its depth runs 0..1.
    clip.xy += uPixelOffset * clip.w;
    clip.z = 2.0 * clip.z - clip.w;
    gl_Position = clip;

    vec4 diffuse;
    vec3 specular = vec3(0.0);
    if (uLighting) {
        vec3 n = normalMatrix * aNormal;
        if (uNormalizeNormals && dot(n, n) > 0.0) n = normalize(n);
        // The vertex colour stands in for the material's diffuse colour when there is one.
        vec4 md = uHasColour ? aColour : materialDiffuse;
        vec3 toEye = dot(eye.xyz, eye.xyz) > 0.0 ? normalize(-eye.xyz) : vec3(0.0, 0.0, 1.0);
        vec3 colour = materialEmissive.rgb + uAmbient * materialAmbient.rgb;
        for (int i = 0; i < uLightCount; ++i) {
            colour += uLightAmbient[i] * materialAmbient.rgb;
            float nl = dot(n, uLightToward[i]);
            if (nl > 0.0) {
                colour += uLightDiffuse[i] * md.rgb * nl;
                if (uSpecularEnable) {
                    vec3 h = normalize(toEye + uLightToward[i]);
                    float nh = dot(n, h);
                    float s = nh > 0.0 ? (materialPower > 0.0 ? pow(nh, materialPower) : 1.0)
                                       : 0.0;
                    specular += uLightSpecular[i] * s;
                }
            }
        }
        diffuse = vec4(clamp(colour, 0.0, 1.0), clamp(md.a, 0.0, 1.0));
        specular = clamp(specular * materialSpecular.rgb, 0.0, 1.0);
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

// Compiled once per combination of the switches below (set by the lines put in front of it), so
// that each draw runs only the work its states ask for.
const char* kSceneFragment = R"(
in vec4 vDiffuse;
flat in vec4 vDiffuseFlat;
in vec3 vSpecular;
flat in vec3 vSpecularFlat;
in vec2 vTexCoord;
in float vEyeDepth;

uniform sampler2D uTexture;
uniform float uFogDensity;
uniform vec3 uFogColour;

out vec4 oColour;

void main() {
#if FLAT_SHADING
    vec4 diffuse = vDiffuseFlat;
    vec3 specular = vSpecularFlat;
#else
    vec4 diffuse = vDiffuse;
    vec3 specular = vSpecular;
#endif
    // Texture stage 0: colour = texture x diffuse, alpha = texture alpha.
    vec4 c = diffuse;
#if TEXTURED
    // A point sprite's texture coordinates run across the point, (0,0) at its top-left.
#if POINT_SPRITE
    vec4 t = texture(uTexture, gl_PointCoord);
#else
    vec4 t = texture(uTexture, vTexCoord);
#endif
    c = vec4(t.rgb * diffuse.rgb, t.a);
#endif
    c.rgb = min(c.rgb + specular, vec3(1.0));
#if FOG_MODE != 0
    float d = max(vEyeDepth, 0.0);
#if FOG_MODE == 1
    float f = exp(-uFogDensity * d);
#elif FOG_MODE == 2
    float f = exp(-(uFogDensity * d) * (uFogDensity * d));
#else
    float f = 1.0 - d;
#endif
    f = clamp(f, 0.0, 1.0);
    c.rgb = f * c.rgb + (1.0 - f) * uFogColour;
#endif
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

GLuint link(GLuint vs, GLuint fs, const char* what) {
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
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

int glSceneVariant(bool textured, bool flatShading, bool pointSprite, int fogMode) {
    return (fogMode & 3) | (textured ? 4 : 0) | (flatShading ? 8 : 0) | (pointSprite ? 16 : 0);
}

bool GlPrograms::build(GLint textureUnit, GLint instanceUnit) {
    textureUnit_ = textureUnit;
    instanceUnit_ = instanceUnit;
    sceneVertex_ = compile(GL_VERTEX_SHADER, kSceneVertex, "scene vertex");
    GLuint spriteVs = compile(GL_VERTEX_SHADER, kSpriteVertex, "sprite vertex");
    GLuint spriteFs = compile(GL_FRAGMENT_SHADER, kSpriteFragment, "sprite fragment");
    if (spriteVs && spriteFs)
        sprite = link(spriteVs, spriteFs, "sprite");
    if (spriteVs)
        glDeleteShader(spriteVs);
    if (spriteFs)
        glDeleteShader(spriteFs);
    // The game's most common draws, made now so that a shader fault shows at start-up: fogged
    // and unfogged untextured meshes, fogged textured meshes.
    if (!sceneVertex_ || !sprite || !scene(glSceneVariant(false, false, false, kGlFogExp)) ||
        !scene(glSceneVariant(false, false, false, kGlFogOff)) ||
        !scene(glSceneVariant(true, false, false, kGlFogExp))) {
        release();
        return false;
    }
    glUseProgram(sprite);
    spriteUniforms.texture = glGetUniformLocation(sprite, "uTexture");
    spriteUniforms.colour = glGetUniformLocation(sprite, "uColour");
    glUniform1i(spriteUniforms.texture, textureUnit_);
    return true;
}

const GlSceneProgram* GlPrograms::scene(int variant) {
    if (variant < 0 || variant >= kGlSceneVariants || !sceneVertex_)
        return nullptr;
    GlSceneProgram& p = scenes_[variant];
    if (p.program)
        return &p;
    if (p.failed)
        return nullptr;
    const std::string source = "#version 330 core\n#define FOG_MODE " +
                               std::to_string(variant & 3) + "\n#define TEXTURED " +
                               std::to_string((variant >> 2) & 1) + "\n#define FLAT_SHADING " +
                               std::to_string((variant >> 3) & 1) + "\n#define POINT_SPRITE " +
                               std::to_string((variant >> 4) & 1) + "\n" + kSceneFragment;
    GLuint fs = compile(GL_FRAGMENT_SHADER, source.c_str(), "scene fragment");
    p.program = fs ? link(sceneVertex_, fs, "scene") : 0;
    if (fs)
        glDeleteShader(fs);
    if (!p.program) {
        p.failed = true;
        return nullptr;
    }
    auto at = [&p](const char* name) { return glGetUniformLocation(p.program, name); };
    GlSceneUniforms& u = p.uniforms;
    u.instances = at("uInstances");
    u.instanceBase = at("uInstanceBase");
    u.projection = at("uProjection");
    u.pixelOffset = at("uPixelOffset");
    u.lighting = at("uLighting");
    u.normalizeNormals = at("uNormalizeNormals");
    u.specularEnable = at("uSpecularEnable");
    u.hasColour = at("uHasColour");
    u.ambient = at("uAmbient");
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
    u.fogDensity = at("uFogDensity");
    u.fogColour = at("uFogColour");
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    glUseProgram(p.program);
    glUniform1i(u.texture, textureUnit_);
    glUniform1i(u.instances, instanceUnit_);
    glUseProgram(static_cast<GLuint>(current));
    return &p;
}

void GlPrograms::release() {
    for (GlSceneProgram& p : scenes_) {
        if (p.program)
            glDeleteProgram(p.program);
        p = GlSceneProgram{};
    }
    if (sceneVertex_)
        glDeleteShader(sceneVertex_);
    if (sprite)
        glDeleteProgram(sprite);
    sceneVertex_ = sprite = 0;
}
