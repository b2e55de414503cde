// The plane model read from hand-written X files: materials and their ambient colour, textures
// by name from the current directory, the bounding radius as loaded, the vertex format brought
// to position, normal and texture pair, and drawing subset by subset.
#include "aircraft/plane_model.h"

#include <gtest/gtest.h>

#include "aircraft/plane_fixtures.h"

namespace {

// Three triangles on their own vertices, one per material; the positions' mean is (1, 1, 1) and
// the farthest of them lies sqrt(6) from it (3 from the origin).
const char* kPositions =
    "  9;\n"
    "  0.0;0.0;0.0;,\n"
    "  3.0;0.0;0.0;,\n"
    "  0.0;3.0;0.0;,\n"
    "  0.0;0.0;3.0;,\n"
    "  2.0;1.0;1.0;,\n"
    "  1.0;2.0;2.0;,\n"
    "  1.0;1.0;-1.0;,\n"
    "  0.0;1.0;2.0;,\n"
    "  2.0;1.0;2.0;;\n"
    "  3;\n"
    "  3;0,1,2;,\n"
    "  3;3,4,5;,\n"
    "  3;6,7,8;;\n";

const char* kMaterials =
    "  MeshMaterialList {\n"
    "    3;\n"
    "    3;\n"
    "    0,\n"
    "    1,\n"
    "    2;;\n"
    "    Material {\n"
    "      1.0;0.0;0.0;1.0;;\n"
    "      10.0;\n"
    "      0.5;0.25;0.125;;\n"
    "      0.1;0.2;0.3;;\n"
    "      TextureFilename { \"media/skin.dds\"; }\n"
    "    }\n"
    "    Material {\n"
    "      0.0;0.0;1.0;0.5;;\n"
    "      2.0;\n"
    "      0.0;0.0;0.0;;\n"
    "      0.0;0.0;0.0;;\n"
    "    }\n"
    "    Material {\n"
    "      0.0;1.0;0.0;1.0;;\n"
    "      1.0;\n"
    "      0.0;0.0;0.0;;\n"
    "      0.0;0.0;0.0;;\n"
    "      TextureFilename { \"media\\\\nowhere.dds\"; }\n"
    "    }\n"
    "  }\n";

// Every normal straight up: not what the faces would give.
const char* kNormals =
    "  MeshNormals {\n"
    "    9;\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;,\n"
    "    0.0;1.0;0.0;;\n"
    "    3;\n"
    "    3;0,1,2;,\n"
    "    3;3,4,5;,\n"
    "    3;6,7,8;;\n"
    "  }\n";

const char* kTextureCoords =
    "  MeshTextureCoords {\n"
    "    9;\n"
    "    0.0;0.0;,\n"
    "    1.0;0.0;,\n"
    "    0.0;1.0;,\n"
    "    0.25;0.25;,\n"
    "    0.5;0.5;,\n"
    "    0.75;0.75;,\n"
    "    0.0;0.5;,\n"
    "    0.5;0.0;,\n"
    "    1.0;1.0;;\n"
    "  }\n";

std::string xFile(bool normals, bool textureCoords) {
    std::string text = "xof 0303txt 0032\n\nMesh plane {\n";
    text += kPositions;
    text += kMaterials;
    if (normals)
        text += kNormals;
    if (textureCoords)
        text += kTextureCoords;
    text += "}\n";
    return text;
}

class PlaneModelTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        std::filesystem::create_directories("models");
        writeDds("media/skin.dds", 4, 4, 0xFFFFFFFF);
    }
    void writeModel(const std::string& text) {
        std::ofstream out("models/plane.x", std::ios::binary);
        out << text;
    }
    // The vertex of the loaded mesh at a position (the loader may order vertices its own way).
    const MeshVertex* vertexAt(Vec3 p) const {
        for (const MeshVertex& v : model.mesh->data().vertices)
            if (std::fabs(v.position.x - p.x) < 1e-5f && std::fabs(v.position.y - p.y) < 1e-5f &&
                std::fabs(v.position.z - p.z) < 1e-5f)
                return &v;
        return nullptr;
    }

    ScratchDirectory dir;
    PlaneModel model{"models/plane.x"};
};

TEST_F(PlaneModelTest, MaterialsAreCopiedWithAmbientTakenFromDiffuse) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    ASSERT_EQ(model.materialCount, 3u);
    ASSERT_EQ(model.materials.size(), 3u);
    const Material& red = model.materials[0];
    EXPECT_EQ(red.diffuse, (Colour4{1, 0, 0, 1}));
    EXPECT_EQ(red.ambient, red.diffuse);
    EXPECT_FLOAT_EQ(red.power, 10);
    EXPECT_NEAR(red.specular.r, 0.5f, 1e-6);
    EXPECT_NEAR(red.specular.g, 0.25f, 1e-6);
    EXPECT_NEAR(red.specular.b, 0.125f, 1e-6);
    EXPECT_NEAR(red.emissive.r, 0.1f, 1e-6);
    EXPECT_NEAR(red.emissive.b, 0.3f, 1e-6);
    const Material& blue = model.materials[1];
    EXPECT_EQ(blue.diffuse, (Colour4{0, 0, 1, 0.5f}));
    EXPECT_EQ(blue.ambient, (Colour4{0, 0, 1, 0.5f}));
    EXPECT_EQ(model.materials[2].ambient, (Colour4{0, 1, 0, 1}));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(PlaneModelTest, TexturesAreFoundFromTheCurrentDirectoryOrSilentlyLeftOut) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    ASSERT_EQ(model.textures.size(), 3u);
    // "media/skin.dds" names the file beside models/, not models/media/skin.dds.
    ASSERT_NE(model.textures[0], nullptr);
    EXPECT_EQ(model.textures[0]->width(), 4u);
    EXPECT_EQ(model.textures[1], nullptr);  // no name
    EXPECT_EQ(model.textures[2], nullptr);  // named, but not there
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(PlaneModelTest, RadiusIsMeasuredFromTheMeanOfThePositions) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    EXPECT_NEAR(model.boundingRadius, std::sqrt(6.0f), 1e-5f);
    // Not re-centred: the mesh keeps its own origin.
    EXPECT_NE(vertexAt({0, 0, 0}), nullptr);
    EXPECT_NE(vertexAt({1, 2, 2}), nullptr);
}

TEST_F(PlaneModelTest, FullFormatKeepsTheFilesNormalsAndTextureCoordinates) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    ASSERT_NE(model.mesh, nullptr);
    EXPECT_EQ(device->count("CreateMesh"), 1u);
    const MeshData& data = model.mesh->data();
    EXPECT_EQ(data.fvf, kFvfPositionNormalTex);
    EXPECT_EQ(data.vertices.size(), 9u);
    EXPECT_EQ(data.indices.size(), 9u);
    for (const MeshVertex& v : data.vertices) {
        EXPECT_NEAR(v.normal.x, 0, 1e-6);
        EXPECT_NEAR(v.normal.y, 1, 1e-6);
        EXPECT_NEAR(v.normal.z, 0, 1e-6);
    }
    const MeshVertex* v = vertexAt({2, 1, 1});
    ASSERT_NE(v, nullptr);
    EXPECT_FLOAT_EQ(v->u, 0.5f);
    EXPECT_FLOAT_EQ(v->v, 0.5f);
    EXPECT_EQ(model.mesh->subsetCount(), 3u);
    EXPECT_EQ(data.faceSubsets, (std::vector<uint32_t>{0, 1, 2}));
}

TEST_F(PlaneModelTest, PositionsOnlyAreConvertedWithNormalsFromTheFaces) {
    writeModel(xFile(false, false));
    ASSERT_EQ(model.load(*device), 1);
    ASSERT_NE(model.mesh, nullptr);
    const MeshData& data = model.mesh->data();
    EXPECT_EQ(data.fvf, kFvfPositionNormalTex);
    // The first triangle lies in z = 0, wound (0,0,0), (3,0,0), (0,3,0): its normal is +z.
    for (Vec3 p : {Vec3{0, 0, 0}, Vec3{3, 0, 0}, Vec3{0, 3, 0}}) {
        const MeshVertex* v = vertexAt(p);
        ASSERT_NE(v, nullptr);
        EXPECT_NEAR(v->normal.x, 0, 1e-5);
        EXPECT_NEAR(v->normal.y, 0, 1e-5);
        EXPECT_NEAR(v->normal.z, 1, 1e-5);
        EXPECT_EQ(v->u, 0.0f);
        EXPECT_EQ(v->v, 0.0f);
    }
    EXPECT_NEAR(model.boundingRadius, std::sqrt(6.0f), 1e-5f);
}

TEST_F(PlaneModelTest, PartialFormatsGetFaceNormalsAndKeepWhatTheyHad) {
    // Normals without texture coordinates: converted, so the file's normals are worked out again.
    writeModel(xFile(true, false));
    ASSERT_EQ(model.load(*device), 1);
    EXPECT_EQ(model.mesh->data().fvf, kFvfPositionNormalTex);
    const MeshVertex* v = vertexAt({3, 0, 0});
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->normal.z, 1, 1e-5);
    EXPECT_NEAR(v->normal.y, 0, 1e-5);

    // Texture coordinates without normals: the coordinates stay.
    writeModel(xFile(false, true));
    ASSERT_EQ(model.load(*device), 1);
    v = vertexAt({1, 2, 2});
    ASSERT_NE(v, nullptr);
    EXPECT_FLOAT_EQ(v->u, 0.75f);
    EXPECT_FLOAT_EQ(v->v, 0.75f);
    EXPECT_NEAR(length(v->normal), 1, 1e-5);
}

TEST_F(PlaneModelTest, DrawSetsEachMaterialAndTextureBeforeItsSubset) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    device->reset();
    EXPECT_EQ(model.draw(*device), 1);
    std::vector<std::string> ops;
    for (const auto& c : device->calls) ops.push_back(c.op);
    EXPECT_EQ(ops, (std::vector<std::string>{"SetMaterial", "SetTexture", "DrawSubset",
                                             "SetMaterial", "SetTexture", "DrawSubset",
                                             "SetMaterial", "SetTexture", "DrawSubset"}));
    auto materials = device->callsOf("SetMaterial");
    auto textures = device->callsOf("SetTexture");
    auto subsets = device->callsOf("DrawSubset");
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(materials[i].material, model.materials[i]);
        EXPECT_EQ(textures[i].index, 0u);
        EXPECT_EQ(textures[i].object, model.textures[i].get());
        EXPECT_EQ(subsets[i].index, i);
    }
}

TEST_F(PlaneModelTest, MissingOrBrokenFileSaysSoAndLeavesNoMesh) {
    EXPECT_EQ(model.load(*device), 0);
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text first, then an English line.
    EXPECT_EQ(window.messages[0].substr(0, window.messages[0].find('\n')),
              "Ｘファイルの読み込みに失敗しました");
    EXPECT_NE(window.messages[0].find('\n'), std::string::npos);
    EXPECT_EQ(window.captions[0], "Dravik");
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_EQ(model.draw(*device), 0);

    writeModel("xof 0303txt 0032\nMesh broken {\n  4;\n  0.0;0.0;");
    EXPECT_EQ(model.load(*device), 0);
    EXPECT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(device->count("CreateMesh"), 0u);
}

TEST_F(PlaneModelTest, ReleaseLeavesNothingToDraw) {
    writeModel(xFile(true, true));
    ASSERT_EQ(model.load(*device), 1);
    model.release();
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_TRUE(model.materials.empty());
    EXPECT_TRUE(model.textures.empty());
    device->reset();
    EXPECT_EQ(model.draw(*device), 0);
    EXPECT_TRUE(device->calls.empty());
    model.release();
}

}  // namespace
