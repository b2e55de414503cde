// X model files for the model tests: a hand-written text model whose every value is known, and a
// writer for the binary form of the format.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/model_file.h"

// Two frames (Body translated, Wing rotated and moved inside it), a quad and two triangles in
// Body with two materials, one triangle in Wing with a third material. Texture coordinates are
// binary fractions so that they come back exactly.
inline std::string handWrittenModel(const std::string& redTexture = ".\\media\\wing.dds") {
    return R"(xof 0303txt 0032
// Test model
Frame Body {
  FrameTransformMatrix {
    1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 10.0,20.0,30.0,1.0;;
  }
  Mesh BodyMesh {
    5;
    0.0;0.0;0.0;,
    1.0;0.0;0.0;,
    1.0;1.0;0.0;,
    0.0;1.0;0.0;,
    0.5;0.5;2.0;;
    3;
    4;0,1,2,3;,
    3;0,4,1;,
    3;2,4,3;;
    MeshNormals {
      2;
      0.0;0.0;-1.0;,
      0.0;1.0;0.0;;
      3;
      4;0,0,0,0;,
      3;1,1,1;,
      3;1,1,1;;
    }
    MeshTextureCoords {
      5;
      0.25;0.5;,
      0.75;0.5;,
      0.75;0.25;,
      0.0;1.0;,
      0.5;0.125;;
    }
    MeshMaterialList {
      2;
      3;
      1,0,1;;
      Material Red {
        1.0;0.0;0.0;1.0;;
        10.0;
        0.5;0.5;0.5;;
        0.1;0.2;0.3;;
        TextureFilename { ")" +
           redTexture + R"("; }
      }
      Material Glass {
        0.0;0.5;1.0;0.5;;
        0.0;
        0.0;0.0;0.0;;
        0.0;0.0;0.0;;
      }
    }
  }
  Frame Wing {
    FrameTransformMatrix {
      0.0,1.0,0.0,0.0, -1.0,0.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,5.0,1.0;;
    }
    Mesh WingMesh {
      3;
      1.0;0.0;0.0;,
      2.0;0.0;0.0;,
      1.0;0.0;1.0;;
      1;
      3;0,1,2;;
      MeshNormals {
        1;
        0.0;1.0;0.0;;
        1;
        3;0,0,0;;
      }
      MeshTextureCoords {
        3;
        0.0;0.0;,
        1.0;0.0;,
        0.0;1.0;;
      }
      MeshMaterialList {
        1;
        1;
        0;;
        Material Green {
          0.0;1.0;0.0;1.0;;
          5.0;
          1.0;1.0;1.0;;
          0.0;0.0;0.0;;
          TextureFilename { "tex/green.png"; }
        }
      }
    }
  }
}
)";
}

// Tokens of the binary X format.
class BinaryX {
  public:
    explicit BinaryX(bool doubles = false) {
        const std::string header = doubles ? "xof 0303bin 0064" : "xof 0303bin 0032";
        bytes.assign(header.begin(), header.end());
        doubles_ = doubles;
    }
    BinaryX& word(uint16_t v) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
        return *this;
    }
    BinaryX& dword(uint32_t v) { return word(uint16_t(v)).word(uint16_t(v >> 16)); }
    BinaryX& name(const std::string& s) {
        word(1).dword(uint32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    BinaryX& string(const std::string& s) {
        word(2).dword(uint32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return word(0x14);  // terminating semicolon
    }
    BinaryX& open() { return word(0x0a); }
    BinaryX& close() { return word(0x0b); }
    BinaryX& ints(const std::vector<uint32_t>& values) {
        word(6).dword(uint32_t(values.size()));
        for (uint32_t v : values) dword(v);
        return *this;
    }
    BinaryX& floats(const std::vector<double>& values) {
        word(7).dword(uint32_t(values.size()));
        for (double v : values) {
            if (doubles_) {
                uint64_t bits;
                std::memcpy(&bits, &v, 8);
                dword(uint32_t(bits)).dword(uint32_t(bits >> 32));
            } else {
                const float f = float(v);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                dword(bits);
            }
        }
        return *this;
    }

    std::vector<uint8_t> bytes;

  private:
    bool doubles_ = false;
};

// One quad (two triangles after loading) with normals, texture coordinates and one textured
// material, in a frame moved by (0, 0, 7).
inline std::vector<uint8_t> binaryQuad(bool doubles = false) {
    BinaryX x(doubles);
    x.name("Frame").name("Root").open();
    x.name("FrameTransformMatrix")
        .open()
        .floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 7, 1})
        .close();
    x.name("Mesh").name("Quad").open();
    x.ints({4});
    x.floats({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
    x.ints({1, 4, 0, 1, 2, 3});
    x.name("MeshNormals").open().ints({1}).floats({0, 0, -1}).ints({1, 4, 0, 0, 0, 0}).close();
    x.name("MeshTextureCoords").open().ints({4}).floats({0, 0, 1, 0, 1, 1, 0, 1}).close();
    x.name("MeshMaterialList").open().ints({1, 1, 0});
    x.name("Material").open().floats({0.25, 0.5, 0.75, 1, 8, 0.5, 0.5, 0.5, 0, 0, 0});
    x.name("TextureFilename").open().string("media\\\\quad.bmp").close();
    x.close();  // Material
    x.close();  // MeshMaterialList
    x.close();  // Mesh
    x.close();  // Frame
    return x.bytes;
}

inline bool loadText(const std::string& text, ModelData& out, std::string& error) {
    return loadModelFromXBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out,
                                error);
}
