// X models from other people and from attackers: real files load with sensible subsets and
// materials or fail with an error; truncated, garbled and forged files fail without crashing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gfx/model_file.h"
#include "x_files.h"

namespace {

const std::string kRealFiles = std::string(DRAVIK_SOURCE_DIR) + "/tests/gfxload/data/x/";

// What every successful load must hold, whatever the file.
void expectConsistent(const ModelData& model) {
    const MeshData& mesh = model.mesh;
    ASSERT_FALSE(mesh.vertices.empty());
    ASSERT_FALSE(model.materials.empty());
    ASSERT_EQ(mesh.indices.size() % 3, 0u);
    ASSERT_EQ(mesh.faceSubsets.size(), mesh.indices.size() / 3);
    ASSERT_FALSE(mesh.indices.empty());
    for (uint32_t index : mesh.indices) ASSERT_LT(index, mesh.vertices.size());
    for (size_t i = 0; i < mesh.faceSubsets.size(); ++i) {
        ASSERT_LT(mesh.faceSubsets[i], model.materials.size());
        if (i > 0) {
            ASSERT_LE(mesh.faceSubsets[i - 1], mesh.faceSubsets[i]);
        }
    }
    for (const MeshVertex& v : mesh.vertices) {
        ASSERT_TRUE(std::isfinite(v.position.x) && std::isfinite(v.position.y) &&
                    std::isfinite(v.position.z));
    }
    ASSERT_TRUE(std::isfinite(computeBoundingRadius(mesh.vertices)));
}

bool loadBytes(const std::vector<uint8_t>& bytes, ModelData& model, std::string& error) {
    const bool ok = loadModelFromXBuffer(bytes.data(), bytes.size(), model, error);
    if (ok) {
        expectConsistent(model);
    } else {
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(model.mesh.vertices.empty());
    }
    return ok;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

size_t trianglesOfSubset(const ModelData& model, uint32_t subset) {
    return size_t(std::count(model.mesh.faceSubsets.begin(), model.mesh.faceSubsets.end(), subset));
}

TEST(RealXFiles, EachLoadsSensiblyOrFailsWithAnError) {
    size_t files = 0, loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kRealFiles)) {
        if (entry.path().extension() != ".x")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        ModelData model;
        std::string error;
        if (loadModelFromX(entry.path().string(), model, error)) {
            expectConsistent(model);
            EXPECT_GT(computeBoundingRadius(model.mesh.vertices), 0.0f);
            ++loaded;
        } else {
            EXPECT_NE(error.find(entry.path().filename().string()), std::string::npos) << error;
        }
    }
    EXPECT_EQ(files, 6u);
    EXPECT_EQ(loaded, 5u);
}

TEST(RealXFiles, WhatTheyHold) {
    ModelData model;
    std::string error;
    // A cube with a global material used by reference, in a frame that swaps y and z.
    ASSERT_TRUE(loadModelFromX(kRealFiles + "test_cube_text.x", model, error)) << error;
    EXPECT_EQ(model.mesh.indices.size(), 36u);
    ASSERT_EQ(model.materials.size(), 1u);
    EXPECT_EQ(model.mesh.fvf, kFvfPositionNormalTex);
    EXPECT_NEAR(model.materials[0].material.diffuse.r, 0.639216f, 1e-6f);

    // Three materials on faces 0-1, 2-3 and 4-11; texture names with doubled backslashes.
    ASSERT_TRUE(loadModelFromX(kRealFiles + "kwxport_test_cubewithvcolors.x", model, error))
        << error;
    ASSERT_EQ(model.materials.size(), 3u);
    EXPECT_EQ(trianglesOfSubset(model, 0), 2u);
    EXPECT_EQ(trianglesOfSubset(model, 1), 2u);
    EXPECT_EQ(trianglesOfSubset(model, 2), 8u);
    EXPECT_EQ(model.materials[1].textureFile,
              "C:\\\\code\\\\sourceforge\\\\kwxport\\\\trunkMerged\\\\test\\\\data\\\\top.tga");
    EXPECT_EQ(model.mesh.fvf, kFvfPositionNormalTex | kFvfDiffuse);  // it has vertex colours

    // The same file with CRLF line ends.
    ModelData crlf;
    ASSERT_TRUE(loadModelFromX(kRealFiles + "cube_withRGBAVertexColor.x", crlf, error)) << error;
    EXPECT_EQ(crlf.mesh.indices, model.mesh.indices);
    EXPECT_EQ(crlf.materials.size(), 3u);

    ASSERT_TRUE(loadModelFromX(kRealFiles + "test.x", model, error)) << error;
    EXPECT_EQ(model.mesh.indices.size(), 36u);
    ASSERT_EQ(model.materials.size(), 1u);
    EXPECT_EQ(model.materials[0].textureFile, ".\\\\test.png");

    // Texture coordinates declared through FVFData, which is not read: the triangle remains.
    ASSERT_TRUE(loadModelFromX(kRealFiles + "malformed_fvf_texcoord_oob.x", model, error));
    EXPECT_EQ(model.mesh.indices.size(), 3u);
    EXPECT_EQ(model.mesh.fvf, kFvfXyz);

    // A skin weight for vertex 1000000 of 24 names a vertex the mesh does not have.
    EXPECT_FALSE(loadModelFromX(kRealFiles + "malformed_skinweights_oob.x", model, error));
    EXPECT_NE(error.find("skin weight index out of range"), std::string::npos) << error;
}

TEST(HostileXFiles, GarbageAndWrongHeadersFail) {
    ModelData model;
    std::string error;
    EXPECT_FALSE(loadModelFromXBuffer(nullptr, 0, model, error));
    for (const std::string& text :
         {std::string("xof "), std::string("xof 0303txt 003"), std::string("not an x file at all"),
          std::string("xof 0303tzip0032 compressed data"), std::string("xof 0303txt 0016\n"),
          std::string("xof 0303abc 0032\nFrame {}"), std::string("xof 0303txt 0032\n"),
          std::string("xof 0303txt 0032\n}}}}{{{{"), std::string("xof 0303txt 0032\nMesh"),
          std::string("xof 0303bin 0032\x01\x00\xff\xff\xff\xff", 22)}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(loadBytes(bytesOf(text), model, error));
    }
    std::vector<uint8_t> noise(4096);
    uint32_t state = 12345;
    for (uint8_t& b : noise) b = uint8_t((state = state * 214013 + 2531011) >> 16);
    EXPECT_FALSE(loadBytes(noise, model, error));
    std::copy_n("xof 0303bin 0032", 16, noise.begin());
    EXPECT_FALSE(loadBytes(noise, model, error));
}

TEST(HostileXFiles, EveryTruncationOfTextAndBinaryFilesIsHandled) {
    ModelData model;
    std::string error;
    const std::vector<uint8_t> text = bytesOf(handWrittenModel());
    size_t loaded = 0;
    for (size_t size = 0; size < text.size(); ++size) {
        loaded += loadBytes({text.begin(), text.begin() + size}, model, error);
    }
    // Only cuts in the trailing white space leave a whole file.
    EXPECT_LE(loaded, 2u);

    const std::vector<uint8_t> binary = binaryQuad();
    for (size_t size = 0; size < binary.size(); ++size) {
        loadBytes({binary.begin(), binary.begin() + size}, model, error);
    }
}

TEST(HostileXFiles, GarbledBytesNeverCrash) {
    ModelData model;
    std::string error;
    const std::vector<uint8_t> binary = binaryQuad();
    for (size_t i = 16; i < binary.size(); ++i) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0x07), uint8_t(0x7F), uint8_t(0xFF)}) {
            std::vector<uint8_t> garbled = binary;
            garbled[i] = value;
            loadBytes(garbled, model, error);
        }
    }
    // Every digit of the text model turned into a 9: counts and indices go out of range.
    const std::string text = handWrittenModel();
    for (size_t i = 17; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '8')
            continue;
        std::string garbled = text;
        garbled[i] = '9';
        loadBytes(bytesOf(garbled), model, error);
        garbled[i] = ';';
        loadBytes(bytesOf(garbled), model, error);
    }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string failureOf(const std::string& text, int line = __builtin_LINE()) {
    SCOPED_TRACE(line);
    ModelData model;
    std::string error;
    EXPECT_FALSE(loadBytes(bytesOf(text), model, error));
    return error;
}

TEST(HostileXFiles, ForgedCountsAndIndicesAreRefused) {
    const std::string model = handWrittenModel();
    // Counts far beyond the data: refused before anything is allocated for them.
    EXPECT_NE(failureOf(replaced(model, "    5;\n", "    4000000000;\n")).find("too many vertices"),
              std::string::npos);
    EXPECT_NE(
        failureOf(replaced(model, "    3;\n    4;0,1,2,3;,", "    3000000000;\n    4;0,1,2,3;,"))
            .find("too many faces"),
        std::string::npos);
    failureOf(replaced(model, "4;0,1,2,3;,", "4000000000;0,1,2,3;,"));
    // A face index equal to the vertex count is one past the end.
    EXPECT_NE(failureOf(replaced(model, "3;2,4,3;;", "3;2,5,3;;")).find("face index"),
              std::string::npos);
    EXPECT_NE(failureOf(replaced(model, "3;1,1,1;,", "3;1,2,1;,")).find("normal index"),
              std::string::npos);
    failureOf(replaced(model, "      4;0,0,0,0;,", "      4;0,0,0,-1;,"));
    failureOf(
        replaced(model, "    MeshTextureCoords {\n      5;", "    MeshTextureCoords {\n      4;"));
    // A material list whose indices name materials it does not have.
    failureOf(
        replaced(model, "        0;;\n        Material Green", "        0;;\n        Junk Green"));
    EXPECT_NE(
        failureOf(
            replaced(model,
                     "        1;\n        1;\n        0;;\n        Material Green {"
                     "\n          0.0;1.0;0.0;1.0;;\n          5.0;\n          1.0;1.0;1.0;;\n"
                     "          0.0;0.0;0.0;;\n          TextureFilename { \"tex/green.png\"; }\n"
                     "        }\n",
                     "        0;\n        1;\n        0;;\n"))
            .find("material list without materials"),
        std::string::npos);
    // Two face materials for three faces.
    EXPECT_NE(failureOf(replaced(model, "      3;\n      1,0,1;;", "      2;\n      1,0;;"))
                  .find("material index count"),
              std::string::npos);
}

TEST(HostileXFiles, StructuralAbuseIsRefused) {
    std::string deep = "xof 0303txt 0032\n";
    for (int i = 0; i < 100000; ++i) deep += "Frame {\n";
    EXPECT_NE(failureOf(deep).find("nested too deeply"), std::string::npos);

    const std::string longName =
        "xof 0303txt 0032\nFrame " + std::string(5000, 'n') +
        " { Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; } }\n";
    EXPECT_NE(failureOf(longName).find("frame name too long"), std::string::npos);

    // Two material lists would give the faces two materials each.
    const std::string twoLists =
        replaced(handWrittenModel(), "      MeshMaterialList {\n        1;",
                 "      MeshMaterialList { 1; 1; 0;; { Green } }\n"
                 "      MeshMaterialList {\n        1;");
    EXPECT_NE(failureOf(twoLists).find("second MeshMaterialList"), std::string::npos);

    // Binary strings and lists whose length runs past the end of the data.
    BinaryX huge;
    huge.name("Frame").open().name("Mesh").open().word(2).dword(0xFFFFFFF0);
    ModelData model;
    std::string error;
    EXPECT_FALSE(loadBytes(huge.bytes, model, error));
    BinaryX list;
    list.name("Mesh").open().word(6).dword(0x40000001).dword(3);
    EXPECT_FALSE(loadBytes(list.bytes, model, error));
}

TEST(HostileXFiles, ZeroBytesInTextAreCharactersOfAWord) {
    // Words, and the objects skipped over, move past a zero byte instead of stopping at it.
    const std::string mesh = "Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; ";
    ModelData model;
    std::string error;
    for (const std::string& text :
         {"KeyValuePair { " + std::string(1, '\0') + " }\n" + mesh + "}\n",
          mesh + std::string(1, '\0') + " { } }\n", mesh + "Junk " + std::string(3, '\0') + "}\n",
          mesh + std::string(1, '\0')}) {
        loadBytes(bytesOf("xof 0303txt 0032\n" + text), model, error);
    }
    EXPECT_TRUE(loadBytes(
        bytesOf("xof 0303txt 0032\nKeyValuePair { " + std::string(1, '\0') + " }\n" + mesh + "}\n"),
        model, error))
        << error;
}

TEST(HostileXFiles, FilesWithoutTrianglesFail) {
    ModelData model;
    std::string error;
    EXPECT_FALSE(loadBytes(bytesOf("xof 0303txt 0032\nFrame Empty { }\n"), model, error));
    EXPECT_FALSE(loadBytes(bytesOf("xof 0303txt 0032\nMesh { 2; 0.0;0.0;0.0;, 1.0;0.0;0.0;; "
                                   "1; 2;0,1;; }\n"),
                           model, error));
    EXPECT_FALSE(loadBytes(bytesOf("xof 0303txt 0032\nMesh { 0; 0; }\n"), model, error));
    // Positions that are not numbers.
    EXPECT_FALSE(loadBytes(bytesOf("xof 0303txt 0032\nMesh { 3; nan;0.0;0.0;, 1.0;0.0;0.0;, "
                                   "0.0;inf;0.0;; 1; 3;0,1,2;; }\n"),
                           model, error));
}

}  // namespace
