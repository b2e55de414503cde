// The GLSL programs of the GL device: the scene programs (meshes and point sprites, lit and
// fogged as the fixed-function pipeline did) and the screen-space sprite program.
#pragma once

#include <epoxy/gl.h>

struct GlSceneUniforms {
    GLint instances, instanceBase, projection, pixelOffset;
    GLint lighting, normalizeNormals, specularEnable, hasColour;
    GLint ambient;
    GLint lightCount, lightToward, lightDiffuse, lightSpecular, lightAmbient;
    GLint pointScale, pointSize, pointSizeMin, pointSizeMax, pointScaleFactors, viewportHeight;
    GLint texture;
    GLint fogDensity, fogColour;
};

struct GlSpriteUniforms {
    GLint texture, colour;
};

struct GlSceneProgram {
    GLuint program = 0;
    GlSceneUniforms uniforms{};
    bool failed = false;  // it did not compile: not tried again
};

// The scene program comes in variants by texturing, shading, point sprites and fog mode.
constexpr int kGlSceneVariants = 32;
int glSceneVariant(bool textured, bool flatShading, bool pointSprite, int fogMode);

struct GlPrograms {
    GLuint sprite = 0;
    GlSpriteUniforms spriteUniforms{};

    // Compiles the shaders, the sprite program and the common scene variants, with their samplers
    // on the given texture units; false with the compiler's log on stderr.
    bool build(GLint textureUnit, GLint instanceUnit);
    // The variant, compiled on first use; null when it cannot be built. Keeps the current program.
    const GlSceneProgram* scene(int variant);
    void release();

  private:
    GLuint sceneVertex_ = 0;
    GLint textureUnit_ = 0, instanceUnit_ = 0;
    GlSceneProgram scenes_[kGlSceneVariants];
};

// Attribute slots shared by the device's vertex arrays and the scene program.
constexpr GLuint kAttribPosition = 0;
constexpr GLuint kAttribNormal = 1;
constexpr GLuint kAttribColour = 2;
constexpr GLuint kAttribTexCoord = 3;

// Fog modes as the scene program takes them.
constexpr int kGlFogOff = 0;
constexpr int kGlFogExp = 1;
constexpr int kGlFogExp2 = 2;
constexpr int kGlFogLinear = 3;
