// The plane and the hand-written model written in the binary form (32- and 64-bit floats) and
// compressed (text and binary, in large and small blocks) load to the same mesh as the text
// file; broken compressed files are refused with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "gfx/model_file.h"
#include "x_files.h"
#include "x_writer.h"

namespace {

std::string planeText() {
    std::ifstream in(std::string(DRAVIK_MEDIA_DIR) + "/myplane.x", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ModelData loadBytes(const std::vector<uint8_t>& bytes) {
    ModelData model;
    std::string error;
    EXPECT_TRUE(loadModelFromXBuffer(bytes.data(), bytes.size(), model, error)) << error;
    return model;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Positions within `ulps` units in the last place: the text form's decimals are rounded by
// the reader's own rule, the binary writer's by the C library's; all else exactly equal.
void expectSameMesh(const ModelData& a, const ModelData& b, int ulps) {
    ASSERT_EQ(a.mesh.vertices.size(), b.mesh.vertices.size());
    auto near = [ulps](float x, float y) {
        return std::fabs(x - y) <=
               ulps * std::ldexp(1.0f, std::ilogb(std::fmax(1e-30f, std::fabs(y))) - 23);
    };
    for (size_t i = 0; i < a.mesh.vertices.size(); ++i) {
        const MeshVertex &p = a.mesh.vertices[i], &q = b.mesh.vertices[i];
        ASSERT_TRUE(near(p.position.x, q.position.x) && near(p.position.y, q.position.y) &&
                    near(p.position.z, q.position.z) && near(p.normal.x, q.normal.x) &&
                    near(p.normal.y, q.normal.y) && near(p.normal.z, q.normal.z) &&
                    near(p.u, q.u) && near(p.v, q.v))
            << "vertex " << i;
    }
    EXPECT_EQ(a.mesh.fvf, b.mesh.fvf);
    EXPECT_EQ(a.mesh.indices, b.mesh.indices);
    EXPECT_EQ(a.mesh.faceSubsets, b.mesh.faceSubsets);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); ++i) {
        EXPECT_EQ(a.materials[i].textureFile, b.materials[i].textureFile);
        const Material &m = a.materials[i].material, &n = b.materials[i].material;
        EXPECT_TRUE(near(m.diffuse.r, n.diffuse.r) && near(m.diffuse.a, n.diffuse.a) &&
                    near(m.power, n.power) && near(m.specular.g, n.specular.g) &&
                    near(m.emissive.b, n.emissive.b))
            << "material " << i;
    }
}

TEST(ModelForms, BinaryPlaneLoadsLikeTheTextPlane) {
    const std::string text = planeText();
    ASSERT_FALSE(text.empty());
    const ModelData fromText = loadBytes(bytesOf(text));
    ASSERT_GT(fromText.mesh.faceSubsets.size(), 100u);
    for (bool doubles : {false, true}) {
        SCOPED_TRACE(doubles ? "64-bit floats" : "32-bit floats");
        const std::vector<uint8_t> binary = xwriter::binaryFromText(text, doubles);
        ASSERT_EQ(std::string(binary.begin(), binary.begin() + 16),
                  doubles ? "xof 0303bin 0064" : "xof 0303bin 0032");
        expectSameMesh(loadBytes(binary), fromText, 1);
    }
    // The hand-written model's frames, normals and references come through as well.
    const std::string model = handWrittenModel();
    expectSameMesh(loadBytes(xwriter::binaryFromText(model, false)), loadBytes(bytesOf(model)), 1);
}

TEST(ModelForms, CompressedPlaneLoadsExactlyLikeItsUncompressedForm) {
    const std::vector<uint8_t> text = bytesOf(planeText());
    const std::vector<uint8_t> binary = xwriter::binaryFromText(planeText(), false);
    for (const auto* file : {&text, &binary}) {
        const ModelData expected = loadBytes(*file);
        // One block per 32 KiB, and many small blocks that refer back into the ones before.
        for (size_t block : {size_t(32768), size_t(1000)}) {
            SCOPED_TRACE(block);
            const std::vector<uint8_t> packed = xwriter::compressed(*file, block);
            EXPECT_LT(packed.size(), file->size() / 2);
            expectSameMesh(loadBytes(packed), expected, 0);
        }
    }
}

std::string failure(const std::vector<uint8_t>& bytes) {
    ModelData model;
    std::string error;
    EXPECT_FALSE(loadModelFromXBuffer(bytes.data(), bytes.size(), model, error));
    EXPECT_TRUE(model.mesh.vertices.empty());
    return error;
}

TEST(ModelForms, BrokenCompressedFilesAreRefused) {
    const std::vector<uint8_t> good = xwriter::compressed(bytesOf(handWrittenModel()), 512);
    ASSERT_GT(good.size(), 16u + 4 + 3 * 8);
    loadBytes(good);

    // Cut anywhere: a block, its sizes or its signature runs past the end.
    for (size_t size = 16; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        failure({good.begin(), good.begin() + long(size)});
    }
    // The first block's sizes (bytes 20 and 22), signature (24) and stream (26).
    auto garbled = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = uint8_t(value);
        bytes[at + 1] = uint8_t(value >> 8);
        return failure(bytes);
    };
    EXPECT_NE(garbled(20, 0).find("bad compressed block"), std::string::npos);       // nothing
    EXPECT_NE(garbled(20, 0x9000).find("bad compressed block"), std::string::npos);  // > 32 KiB
    EXPECT_NE(garbled(22, 0xF000).find("bad compressed block"), std::string::npos);  // past end
    EXPECT_NE(garbled(24, 'X').find("bad compressed block"), std::string::npos);     // not "CK"
    EXPECT_NE(garbled(20, 100).find("does not inflate to its size"), std::string::npos);
    EXPECT_NE(garbled(26, 0xFFFF).find("does not inflate to its size"), std::string::npos);

    // More data than the file says it has, and a size beyond what a model file may be.
    std::vector<uint8_t> bytes = good;
    bytes[16] = 100;
    bytes[17] = bytes[18] = bytes[19] = 0;
    EXPECT_NE(failure(bytes).find("larger than the file's size"), std::string::npos);
    bytes[19] = 0x10;
    EXPECT_NE(failure(bytes).find("larger than"), std::string::npos);
    // A compressed file whose inflated body is not a model.
    EXPECT_FALSE(failure(xwriter::compressed(bytesOf("xof 0303txt 0032\nFrame { Mesh {"))).empty());
}

TEST(ModelForms, BinaryStringsEndWithAShortOrALongTerminator) {
    // The binary form documents a 32-bit terminator after a string; writers use 16 bits.
    std::vector<uint8_t> file = binaryQuad();
    const std::string name = "media\\\\quad.bmp";
    auto at = std::search(file.begin(), file.end(), name.begin(), name.end()) + long(name.size());
    ASSERT_EQ(at[0], 0x14);
    file.insert(at + 2, {0, 0});
    EXPECT_EQ(loadBytes(file).materials.at(0).textureFile, name);
}

TEST(ModelForms, BinaryTemplatesAreSkipped) {
    BinaryX x;
    x.word(31).name("Mesh").open().word(5);
    for (int i = 0; i < 16; ++i) x.bytes.push_back(uint8_t(i));
    x.word(41).name("nVertices").word(20).word(52).name("Vector").name("vertices").word(14);
    x.name("nVertices").word(15).word(20).word(14).word(18).word(18).word(18).word(15).close();
    const std::vector<uint8_t> quad = binaryQuad();
    x.bytes.insert(x.bytes.end(), quad.begin() + 16, quad.end());
    EXPECT_EQ(loadBytes(x.bytes).mesh.faceSubsets.size(), 2u);
}

}  // namespace
