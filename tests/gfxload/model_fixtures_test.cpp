// The game's plane and the third-party X files load to exactly the vertices, triangles, subsets,
// materials and texture names kept in data/x_fixtures. DRAVIK_WRITE_X_FIXTURES=1 writes the
// fixtures from the loader instead (only when its output is meant to change).
#include "model_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "x_files.h"

namespace {

const std::string kFixtures = std::string(DRAVIK_SOURCE_DIR) + "/tests/gfxload/data/x_fixtures/";
const std::string kRealFiles = std::string(DRAVIK_SOURCE_DIR) + "/tests/gfxload/data/x/";

struct FixtureCase {
    std::string name;  // of the fixture
    std::string path;  // of the X file; empty for the hand-written model
};

std::vector<FixtureCase> fixtureCases() {
    std::vector<FixtureCase> cases = {{"myplane", std::string(DRAVIK_MEDIA_DIR) + "/myplane.x"},
                                      {"hand_written", ""}};
    for (const char* name : {"test_cube_text", "test", "kwxport_test_cubewithvcolors",
                             "cube_withRGBAVertexColor", "malformed_fvf_texcoord_oob"}) {
        cases.push_back({name, kRealFiles + name + ".x"});
    }
    return cases;
}

bool loadCase(const FixtureCase& c, ModelData& model, std::string& error) {
    return c.path.empty() ? loadText(handWrittenModel(), model, error)
                          : loadModelFromX(c.path, model, error);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writingFixtures() {
    const char* write = std::getenv("DRAVIK_WRITE_X_FIXTURES");
    return write && std::string(write) == "1";
}

// The eight floats of a vertex, bit for bit (so that -0 and 0 differ).
std::array<uint32_t, 8> vertexBits(const MeshVertex& v) {
    std::array<uint32_t, 8> bits;
    std::memcpy(bits.data(), &v, sizeof bits);
    return bits;
}

void expectSameVertex(const MeshVertex& a, const MeshVertex& b) {
    EXPECT_EQ(vertexBits(a), vertexBits(b))
        << "loaded   " << modelFixtureText(ModelData{MeshData{0, {a}, {}, {}}, {}}) << "expected "
        << modelFixtureText(ModelData{MeshData{0, {b}, {}, {}}, {}});
}

void expectSameModel(const ModelData& loaded, const ModelData& expected) {
    EXPECT_EQ(loaded.mesh.fvf, expected.mesh.fvf);
    ASSERT_EQ(loaded.mesh.vertices.size(), expected.mesh.vertices.size());
    for (size_t i = 0; i < expected.mesh.vertices.size(); ++i) {
        SCOPED_TRACE("vertex " + std::to_string(i));
        expectSameVertex(loaded.mesh.vertices[i], expected.mesh.vertices[i]);
        if (::testing::Test::HasFailure())
            return;  // one vertex is enough to show a difference
    }
    EXPECT_EQ(loaded.mesh.indices, expected.mesh.indices);
    EXPECT_EQ(loaded.mesh.faceSubsets, expected.mesh.faceSubsets);
    ASSERT_EQ(loaded.materials.size(), expected.materials.size());
    for (size_t i = 0; i < expected.materials.size(); ++i) {
        SCOPED_TRACE("material " + std::to_string(i));
        EXPECT_EQ(loaded.materials[i].material, expected.materials[i].material);
        EXPECT_EQ(loaded.materials[i].textureFile, expected.materials[i].textureFile);
    }
}

TEST(ModelFixtures, PlaneAndThirdPartyFilesLoadAsRecorded) {
    for (const FixtureCase& c : fixtureCases()) {
        SCOPED_TRACE(c.name);
        ModelData loaded;
        std::string error;
        ASSERT_TRUE(loadCase(c, loaded, error)) << error;
        const std::string fixturePath = kFixtures + c.name + ".txt";
        if (writingFixtures()) {
            std::filesystem::create_directories(kFixtures);
            std::ofstream(fixturePath, std::ios::binary) << modelFixtureText(loaded);
            continue;
        }
        ModelData expected;
        ASSERT_TRUE(parseModelFixture(readText(fixturePath), expected)) << fixturePath;
        expectSameModel(loaded, expected);
    }
}

TEST(ModelFixtures, FixtureTextReadsBackToTheSameModel) {
    // The fixture format itself: every field survives the trip, signed zeros and names with
    // spaces and backslashes included.
    ModelData model;
    std::string error;
    ASSERT_TRUE(loadText(handWrittenModel("C:\\\\my textures\\\\wing.dds"), model, error)) << error;
    model.mesh.vertices[0].normal.x = -0.0f;
    model.mesh.vertices[1].u = 0.1f;
    model.materials[1].material.ambient = {0.3f, 0.6f, 0.9f, 1e-7f};
    ModelData back;
    ASSERT_TRUE(parseModelFixture(modelFixtureText(model), back));
    expectSameModel(back, model);
    EXPECT_TRUE(std::signbit(back.mesh.vertices[0].normal.x));
    EXPECT_EQ(back.materials[0].textureFile, "C:\\\\my textures\\\\wing.dds");
    EXPECT_FALSE(parseModelFixture("fvf 274\nvertices 2\nvertex 1 2 3\n", back));
}

}  // namespace
