// Names of the render states, for logs and test output.
#include "gfx/graphics_device.h"

const char* renderStateName(RenderState state) {
    switch (state) {
        case RenderState::CullMode:
            return "CullMode";
        case RenderState::Lighting:
            return "Lighting";
        case RenderState::SpecularEnable:
            return "SpecularEnable";
        case RenderState::ShadeMode:
            return "ShadeMode";
        case RenderState::ZEnable:
            return "ZEnable";
        case RenderState::ZWriteEnable:
            return "ZWriteEnable";
        case RenderState::Ambient:
            return "Ambient";
        case RenderState::NormalizeNormals:
            return "NormalizeNormals";
        case RenderState::AlphaBlendEnable:
            return "AlphaBlendEnable";
        case RenderState::SrcBlend:
            return "SrcBlend";
        case RenderState::DestBlend:
            return "DestBlend";
        case RenderState::FogEnable:
            return "FogEnable";
        case RenderState::FogColor:
            return "FogColor";
        case RenderState::FogTableMode:
            return "FogTableMode";
        case RenderState::FogVertexMode:
            return "FogVertexMode";
        case RenderState::FogDensity:
            return "FogDensity";
        case RenderState::PointSpriteEnable:
            return "PointSpriteEnable";
        case RenderState::PointScaleEnable:
            return "PointScaleEnable";
        case RenderState::PointSize:
            return "PointSize";
        case RenderState::PointSizeMin:
            return "PointSizeMin";
        case RenderState::PointScaleA:
            return "PointScaleA";
        case RenderState::PointScaleB:
            return "PointScaleB";
        case RenderState::PointScaleC:
            return "PointScaleC";
        case RenderState::Count:
            break;
    }
    return "?";
}
