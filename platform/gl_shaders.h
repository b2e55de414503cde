// The two GLSL programs of the GL device: the scene program (meshes and point sprites, lit and
// fogged as the fixed-function pipeline did) and the screen-space sprite program.
#pragma once

#include <epoxy/gl.h>

struct GlSceneUniforms {
    GLint worldView, projection, normalMatrix, pixelOffset;
    GLint lighting, normalizeNormals, specularEnable, hasColour;
    GLint ambient, materialDiffuse, materialAmbient, materialSpecular, materialEmissive,
        materialPower;
    GLint lightCount, lightToward, lightDiffuse, lightSpecular, lightAmbient;
    GLint pointScale, pointSize, pointSizeMin, pointSizeMax, pointScaleFactors, viewportHeight;
    GLint texture, textured, flatShading, pointSprite;
    GLint fogMode, fogDensity, fogColour;
};

struct GlSpriteUniforms {
    GLint texture, colour;
};

struct GlPrograms {
    GLuint scene = 0, sprite = 0;
    GlSceneUniforms sceneUniforms{};
    GlSpriteUniforms spriteUniforms{};

    // Compiles and links both; false with the compiler's log on stderr.
    bool build();
    void release();
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
