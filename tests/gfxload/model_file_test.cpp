// X models: a file whose every value is known comes back with exactly its positions, winding,
// normals, texture coordinates, subsets and materials, in text and binary form; the vertex
// format says what the file had; bounding radius and normals follow their definitions.
#include "gfx/model_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "temp_files.h"
#include "x_files.h"

namespace {

using Triangle = std::array<std::array<float, 3>, 3>;

std::array<float, 3> xyz(Vec3 v) {
    return {v.x, v.y, v.z};
}

// Triangles as the positions of their corners, in index order.
std::vector<Triangle> trianglePositions(const MeshData& mesh) {
    std::vector<Triangle> out;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        out.push_back({xyz(mesh.vertices.at(mesh.indices[i]).position),
                       xyz(mesh.vertices.at(mesh.indices[i + 1]).position),
                       xyz(mesh.vertices.at(mesh.indices[i + 2]).position)});
    }
    return out;
}

const MeshVertex& corner(const MeshData& mesh, size_t triangle, int k) {
    return mesh.vertices.at(mesh.indices.at(triangle * 3 + k));
}

ModelData load(const std::string& text) {
    ModelData model;
    std::string error;
    EXPECT_TRUE(loadText(text, model, error)) << error;
    return model;
}

// What the hand-written model must give, after its frame transforms.
const std::array<float, 3> kP0{10, 20, 30}, kP1{11, 20, 30}, kP2{11, 21, 30}, kP3{10, 21, 30},
    kP4{10.5f, 20.5f, 32};
const std::array<float, 3> kW0{10, 21, 35}, kW1{10, 22, 35}, kW2{10, 21, 36};

TEST(ModelFile, HandWrittenModelKeepsItsGeometryAndWinding) {
    const ModelData model = load(handWrittenModel());
    const MeshData& mesh = model.mesh;
    // Subset 0 (Red): the second face; subset 1 (Glass): the quad as a fan around its first
    // corner, then the third face; subset 2 (Green): the wing's triangle. Corners in file order.
    const std::vector<Triangle> expected = {
        {kP0, kP4, kP1}, {kP0, kP1, kP2}, {kP0, kP2, kP3}, {kP2, kP4, kP3}, {kW0, kW1, kW2}};
    EXPECT_EQ(trianglePositions(mesh), expected);
    EXPECT_EQ(mesh.faceSubsets, (std::vector<uint32_t>{0, 1, 1, 1, 2}));
    EXPECT_EQ(mesh.fvf, kFvfPositionNormalTex);
    // Corners sharing position, normal and texture coordinates share a vertex: the quad's four,
    // the two triangles' five distinct corners, and the wing's three.
    EXPECT_EQ(mesh.vertices.size(), 12u);
}

TEST(ModelFile, HandWrittenModelKeepsNormalsAndTextureCoordinates) {
    const MeshData mesh = load(handWrittenModel()).mesh;
    const std::array<float, 3> up{0, 1, 0}, back{0, 0, -1};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(xyz(corner(mesh, 0, k).normal), up);    // second face: normal 1
        EXPECT_EQ(xyz(corner(mesh, 1, k).normal), back);  // quad: normal 0
        EXPECT_EQ(xyz(corner(mesh, 2, k).normal), back);
        EXPECT_EQ(xyz(corner(mesh, 3, k).normal), up);
        // The wing frame turns x into y and y into -x; its normal turns with it.
        const std::array<float, 3> wingNormal{-1, 0, 0};
        EXPECT_EQ(xyz(corner(mesh, 4, k).normal), wingNormal);
    }
    // Vertex 0, 4 and 1 of the body file, then vertex 0, 1, 2 of the wing.
    EXPECT_EQ(corner(mesh, 0, 0).u, 0.25f);
    EXPECT_EQ(corner(mesh, 0, 0).v, 0.5f);
    EXPECT_EQ(corner(mesh, 0, 1).u, 0.5f);
    EXPECT_EQ(corner(mesh, 0, 1).v, 0.125f);
    EXPECT_EQ(corner(mesh, 0, 2).u, 0.75f);
    EXPECT_EQ(corner(mesh, 0, 2).v, 0.5f);
    EXPECT_EQ(corner(mesh, 2, 2).u, 0.0f);  // quad's fourth corner
    EXPECT_EQ(corner(mesh, 2, 2).v, 1.0f);
    EXPECT_EQ(corner(mesh, 4, 1).u, 1.0f);
    EXPECT_EQ(corner(mesh, 4, 1).v, 0.0f);
}

TEST(ModelFile, HandWrittenModelKeepsItsMaterialsInFileOrder) {
    const ModelData model = load(handWrittenModel());
    ASSERT_EQ(model.materials.size(), 3u);
    const Material& red = model.materials[0].material;
    EXPECT_EQ(red.diffuse, (Colour4{1, 0, 0, 1}));
    EXPECT_EQ(red.power, 10.0f);
    EXPECT_EQ(red.specular, (Colour4{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(red.emissive, (Colour4{0.1f, 0.2f, 0.3f, 1}));
    EXPECT_EQ(red.ambient, Colour4{});
    EXPECT_EQ(model.materials[0].textureFile, ".\\media\\wing.dds");

    const Material& glass = model.materials[1].material;
    EXPECT_EQ(glass.diffuse, (Colour4{0, 0.5f, 1, 0.5f}));
    EXPECT_EQ(glass.power, 0.0f);
    EXPECT_EQ(model.materials[1].textureFile, "");

    EXPECT_EQ(model.materials[2].material.diffuse, (Colour4{0, 1, 0, 1}));
    EXPECT_EQ(model.materials[2].material.power, 5.0f);
    EXPECT_EQ(model.materials[2].textureFile, "tex/green.png");
}

TEST(ModelFile, TextureNamesStayExactlyAsWritten) {
    // No escapes: doubled backslashes stay doubled, the name must not change.
    EXPECT_EQ(load(handWrittenModel("..\\\\media\\\\wing.dds")).materials[0].textureFile,
              "..\\\\media\\\\wing.dds");
    EXPECT_EQ(load(handWrittenModel("a/b\\c.dds")).materials[0].textureFile, "a/b\\c.dds");
    EXPECT_EQ(load(handWrittenModel("")).materials[0].textureFile, "");
}

TEST(ModelFile, BinaryFilesLoadLikeTextFiles) {
    for (bool doubles : {false, true}) {
        SCOPED_TRACE(doubles ? "64-bit floats" : "32-bit floats");
        const std::vector<uint8_t> file = binaryQuad(doubles);
        ModelData model;
        std::string error;
        ASSERT_TRUE(loadModelFromXBuffer(file.data(), file.size(), model, error)) << error;
        const std::vector<Triangle> expected = {{{{0, 0, 7}, {2, 0, 7}, {2, 2, 7}}},
                                                {{{0, 0, 7}, {2, 2, 7}, {0, 2, 7}}}};
        EXPECT_EQ(trianglePositions(model.mesh), expected);
        EXPECT_EQ(model.mesh.fvf, kFvfPositionNormalTex);
        EXPECT_EQ(model.mesh.faceSubsets, (std::vector<uint32_t>{0, 0}));
        EXPECT_EQ(corner(model.mesh, 1, 1).u, 1.0f);
        EXPECT_EQ(corner(model.mesh, 1, 1).v, 1.0f);
        EXPECT_EQ(xyz(corner(model.mesh, 0, 0).normal), (std::array<float, 3>{0, 0, -1}));
        ASSERT_EQ(model.materials.size(), 1u);
        EXPECT_EQ(model.materials[0].material.diffuse, (Colour4{0.25f, 0.5f, 0.75f, 1}));
        EXPECT_EQ(model.materials[0].material.power, 8.0f);
        EXPECT_EQ(model.materials[0].textureFile, "media\\\\quad.bmp");
    }
}

// One triangle with the given optional parts.
std::string triangleFile(bool normals, bool uv, bool colours) {
    std::string text =
        "xof 0303txt 0032\nMesh Tri {\n 3; 1.0;2.0;3.0;, 4.0;5.0;6.0;, 7.0;8.0;9.5;;\n"
        " 1; 3;0,1,2;;\n";
    if (normals)
        text += " MeshNormals { 1; 0.0;0.0;1.0;; 1; 3;0,0,0;; }\n";
    if (uv)
        text += " MeshTextureCoords { 3; 0.5;0.5;, 1.0;0.0;, 0.0;0.75;; }\n";
    if (colours) {
        text +=
            " MeshVertexColors { 3; 0;1.0;0.0;0.0;1.0;;, 1;0.0;1.0;0.0;1.0;;, "
            "2;0.0;0.0;1.0;1.0;;; }\n";
    }
    return text + "}\n";
}

TEST(ModelFile, VertexFormatSaysWhatTheFileHad) {
    const ModelData bare = load(triangleFile(false, false, false));
    EXPECT_EQ(bare.mesh.fvf, kFvfXyz);
    for (const MeshVertex& v : bare.mesh.vertices) {
        EXPECT_EQ(xyz(v.normal), (std::array<float, 3>{0, 0, 0}));
        EXPECT_EQ(v.u, 0.0f);
        EXPECT_EQ(v.v, 0.0f);
    }
    // A file without materials gets a single grey material.
    ASSERT_EQ(bare.materials.size(), 1u);
    EXPECT_EQ(bare.materials[0].textureFile, "");
    EXPECT_EQ(bare.mesh.faceSubsets, (std::vector<uint32_t>{0}));

    const ModelData withNormals = load(triangleFile(true, false, false));
    EXPECT_EQ(withNormals.mesh.fvf, kFvfPositionNormal);
    EXPECT_EQ(xyz(withNormals.mesh.vertices[0].normal), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(withNormals.mesh.vertices[0].u, 0.0f);

    const ModelData withUv = load(triangleFile(false, true, false));
    EXPECT_EQ(withUv.mesh.fvf, kFvfXyz | kFvfTex1);
    EXPECT_EQ(xyz(withUv.mesh.vertices[0].normal), (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(corner(withUv.mesh, 0, 2).v, 0.75f);

    EXPECT_EQ(load(triangleFile(true, true, false)).mesh.fvf, kFvfPositionNormalTex);
    EXPECT_EQ(load(triangleFile(true, true, true)).mesh.fvf, kFvfPositionNormalTex | kFvfDiffuse);
}

TEST(ModelFile, TextureCoordinatesThatAreNotBinaryFractionsStayClose) {
    std::string text = triangleFile(false, true, false);
    text.replace(text.find("0.0;0.75;"), 9, "0.3;0.1;");
    const ModelData model = load(text);
    EXPECT_FLOAT_EQ(corner(model.mesh, 0, 2).u, 0.3f);
    EXPECT_NEAR(corner(model.mesh, 0, 2).v, 0.1f, 1e-7);
}

std::string triangleAtZ(const std::string& name, const std::string& z) {
    return "Mesh " + name + " { 3; 0.0;0.0;" + z + ";, 1.0;0.0;" + z + ";, 0.0;1.0;" + z +
           ";; 1; 3;0,1,2;; }\n";
}
const std::string kMoveZ5 =
    " FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
    "0.0,0.0,5.0,1.0;; }\n";

std::vector<float> cornerZ(const MeshData& mesh) {
    std::vector<float> z;
    for (uint32_t i : mesh.indices) z.push_back(mesh.vertices[i].position.z);
    return z;
}

TEST(ModelFile, MeshesOutsideFramesAreNotMovedByTheFrames) {
    // A top-level mesh next to a frame with a mesh of its own: both come back, each placed as
    // the file says.
    const ModelData both = load("xof 0303txt 0032\nFrame Root {\n" + kMoveZ5 +
                                triangleAtZ("A", "0.0") + "}\n" + triangleAtZ("B", "1.0"));
    std::vector<float> z = cornerZ(both.mesh);
    std::sort(z.begin(), z.end());
    EXPECT_EQ(z, (std::vector<float>{1, 1, 1, 5, 5, 5}));

    const ModelData outside =
        load("xof 0303txt 0032\nFrame Root {\n" + kMoveZ5 + "}\n" + triangleAtZ("B", "1.0"));
    EXPECT_EQ(cornerZ(outside.mesh), (std::vector<float>{1, 1, 1}));

    // The same in a binary file.
    BinaryX binary;
    binary.name("Frame").name("Root").open();
    binary.name("FrameTransformMatrix").open();
    binary.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}).close();
    binary.name("Mesh").open().ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0});
    binary.ints({1, 3, 0, 1, 2}).close().close();
    binary.name("Mesh").open().ints({3}).floats({0, 0, 1, 1, 0, 1, 0, 1, 1});
    binary.ints({1, 3, 0, 1, 2}).close();
    ModelData fromBinary;
    std::string error;
    ASSERT_TRUE(loadModelFromXBuffer(binary.bytes.data(), binary.bytes.size(), fromBinary, error))
        << error;
    z = cornerZ(fromBinary.mesh);
    std::sort(z.begin(), z.end());
    EXPECT_EQ(z, (std::vector<float>{1, 1, 1, 5, 5, 5}));

    // Several top-level frames: each moves only its own meshes.
    const ModelData frames =
        load("xof 0303txt 0032\nFrame One {\n" + kMoveZ5 + triangleAtZ("A", "0.0") +
             "}\nFrame Two {\n" + triangleAtZ("B", "1.0") + "}\n");
    EXPECT_EQ(cornerZ(frames.mesh), (std::vector<float>{5, 5, 5, 1, 1, 1}));
}

TEST(ModelFile, UnnamedFramesAreFramesLikeAnyOther) {
    // An unnamed frame holding a mesh and a frame below it: both meshes, each where its frames
    // put it.
    const std::string nested = "xof 0303txt 0032\nFrame Root {\n" + kMoveZ5 + " Frame {\n" +
                               triangleAtZ("A", "0.0") + " Frame Below {\n" + kMoveZ5 +
                               triangleAtZ("B", "1.0") + "}\n}\n}\n";
    EXPECT_EQ(cornerZ(load(nested).mesh), (std::vector<float>{5, 5, 5, 11, 11, 11}));
}

const std::string kTriangle = " 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;\n";

TEST(ModelFile, MaterialsComeTopLevelFirstThenMeshByMeshThenTheDefault) {
    const std::string file =
        "xof 0303txt 0032\n"
        "Material Shared { 1.0;0.0;0.0;1.0;; 2.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
        "Mesh B {" +
        kTriangle +
        " 1; 3;0,1,2;; }\n"
        "Frame F { Mesh A {" +
        kTriangle +
        " 2; 3;0,1,2;, 3;0,2,1;;\n"
        "  MeshMaterialList { 3; 2; 1,2;; { Shared }\n"
        "   Material Own { 0.0;1.0;0.0;1.0;; 3.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
        "   { Late } } } }\n"
        "Material Late { 0.0;0.0;1.0;1.0;; 4.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n";
    const ModelData model = load(file);
    // Shared and Late (top level, by name wherever they stand), A's own, then the grey material
    // of B, which has no material list.
    ASSERT_EQ(model.materials.size(), 4u);
    EXPECT_EQ(model.materials[0].material.power, 2.0f);
    EXPECT_EQ(model.materials[1].material.power, 4.0f);
    EXPECT_EQ(model.materials[2].material.power, 3.0f);
    EXPECT_EQ(model.materials[3].material.diffuse, (Colour4{0.5f, 0.5f, 0.5f, 1}));
    // A's first face uses Own, its second Late; B's face the grey one.
    EXPECT_EQ(model.mesh.faceSubsets, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(corner(model.mesh, 0, 1).position.y, 1.0f);  // A's second face, wound 0, 2, 1

    ModelData refused;
    std::string error;
    std::string unknown = file;
    unknown.replace(unknown.find("{ Late }"), 8, "{ Nope }");
    EXPECT_FALSE(loadText(unknown, refused, error));
    EXPECT_NE(error.find("unknown material 'Nope'"), std::string::npos) << error;
    std::string outOfRange = file;
    outOfRange.replace(outOfRange.find("1,2;; {"), 5, "1,3;;");
    EXPECT_FALSE(loadText(outOfRange, refused, error));
    EXPECT_NE(error.find("face material index out of range"), std::string::npos) << error;
}

TEST(ModelFile, TemplatesCommentsClassIdsAndUnknownObjectsAreSkipped) {
    const ModelData model = load(
        "xof 0303txt 0032\n# a comment { with a brace\n"
        "template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; [...] }\n"
        "KeyValuePair { \"note\"; \"a } in a string\"; }\n"
        "Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> // class id\n" +
        kTriangle + " 1; 3;0,1,2;;\n DeclData { 1; 2;0;3;0;; 0; } FVFData { 256; 0; } }\n");
    EXPECT_EQ(model.mesh.indices, (std::vector<uint32_t>{0, 1, 2}));
}

TEST(ModelFile, NumbersPolygonsAndMissingNormalIndices) {
    // Exponents, signs, a missing whole part or fraction; a pentagon becomes a fan of three, a
    // line is not drawn; the normal face gives the pentagon's first corners only.
    const ModelData model = load(
        "xof 0303txt 0032\nMesh { 5; 1e1;-.5;+2.;, 0;0;0;, 1.0;0;0;, 1.5;1;0;, 0.5;2E-1;0;;\n"
        " 2; 5;0,1,2,3,4;, 2;0,1;;\n"
        " MeshNormals { 1; 0.0;0.0;1.0;; 2; 2;0,0;, 0;; } }\n");
    ASSERT_EQ(model.mesh.faceSubsets.size(), 3u);
    EXPECT_EQ(xyz(corner(model.mesh, 0, 0).position), (std::array<float, 3>{10, -0.5f, 2}));
    EXPECT_EQ(corner(model.mesh, 2, 2).position.y, 0.2f);
    EXPECT_EQ(corner(model.mesh, 0, 1).normal.z, 1.0f);
    EXPECT_EQ(corner(model.mesh, 0, 2).normal.z, 0.0f);  // no normal index for it
    EXPECT_EQ(model.mesh.fvf, kFvfPositionNormal);
    const std::string good = "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
    load(good);
    auto refused = [&](const std::string& at, const char* bad) {
        std::string text = good;
        text.replace(text.find(at), 1, bad);
        ModelData model;
        std::string error;
        return !loadText(text, model, error) && !error.empty();
    };
    for (const char* bad : {"1.#IND00", "nan", "1e99", "--1", "0x10", "1.5.", "e5"}) {
        EXPECT_TRUE(refused("1;0;0;", bad)) << bad << " as a coordinate";
    }
    for (const char* bad : {"1.5", "x", "99999999999", "1e1"}) {
        EXPECT_TRUE(refused("1; 3;", bad)) << bad << " as a count";
    }
}

TEST(ModelFile, LoadsFromAWindowsStyleName) {
    TempDir dir;
    dir.write("media/myplane.x", handWrittenModel());
    ModelData model;
    std::string error;
    ASSERT_TRUE(loadModelFromX(dir.path() + "\\media\\myplane.x", model, error)) << error;
    EXPECT_EQ(model.materials.size(), 3u);

    EXPECT_FALSE(loadModelFromX(dir.file("absent.x"), model, error));
    EXPECT_NE(error.find("absent.x"), std::string::npos);
    EXPECT_TRUE(model.mesh.vertices.empty());
    EXPECT_TRUE(model.materials.empty());
}

TEST(BoundingRadius, CentreIsTheMeanOfThePositions) {
    auto at = [](float x, float y, float z) {
        MeshVertex v;
        v.position = {x, y, z};
        return v;
    };
    // Mean (1, 0, 0): radius 3. The middle of the bounding box (2, 0, 0) would give 2.
    EXPECT_FLOAT_EQ(computeBoundingRadius({at(0, 0, 0), at(0, 0, 0), at(0, 0, 0), at(4, 0, 0)}),
                    3.0f);
    EXPECT_FLOAT_EQ(computeBoundingRadius({at(1, 2, 3), at(1, 2, 5)}), 1.0f);
    EXPECT_EQ(computeBoundingRadius({at(5, 5, 5)}), 0.0f);
    EXPECT_EQ(computeBoundingRadius({}), 0.0f);
    // The model is not re-centred: far from the origin the radius stays that of the shape.
    EXPECT_FLOAT_EQ(computeBoundingRadius({at(1000, 0, 0), at(1002, 0, 0)}), 1.0f);
}

TEST(ComputeNormals, EachVertexAveragesTheFacesUsingIt) {
    MeshData mesh;
    mesh.fvf = kFvfPositionNormalTex;
    auto add = [&](float x, float y, float z) {
        MeshVertex v;
        v.position = {x, y, z};
        v.normal = {9, 9, 9};
        mesh.vertices.push_back(v);
    };
    // A fold along the y axis: one face in z = 0 and one in x = 0, sharing vertices 0 and 1.
    add(0, 0, 0);              // 0
    add(0, 1, 0);              // 1
    add(1, 0, 0);              // 2
    add(0, 0, 1);              // 3
    add(7, 7, 7);              // 4: used by no face
    mesh.indices = {0, 1, 2,   // (v1 - v0) x (v2 - v0) = (0, 0, -1)
                    0, 3, 1,   // (0, 0, 1) x (0, 1, 0) = (-1, 0, 0)
                    2, 2, 3};  // degenerate: adds nothing
    computeNormals(mesh);
    const float h = std::sqrt(0.5f);
    auto near = [](Vec3 a, Vec3 b) {
        return std::fabs(a.x - b.x) < 1e-6f && std::fabs(a.y - b.y) < 1e-6f &&
               std::fabs(a.z - b.z) < 1e-6f;
    };
    EXPECT_TRUE(near(mesh.vertices[0].normal, {-h, 0, -h}));
    EXPECT_TRUE(near(mesh.vertices[1].normal, {-h, 0, -h}));
    EXPECT_TRUE(near(mesh.vertices[2].normal, {0, 0, -1}));
    EXPECT_TRUE(near(mesh.vertices[3].normal, {-1, 0, 0}));
    EXPECT_TRUE(near(mesh.vertices[4].normal, {0, 0, 0}));
    EXPECT_EQ(mesh.fvf, kFvfPositionNormalTex);
}

TEST(ComputeNormals, LargeAndSmallFacesWeighTheSame) {
    MeshData mesh;
    for (Vec3 p : {Vec3{0, 0, 0}, Vec3{100, 0, 0}, Vec3{0, 100, 0}, Vec3{0, 0, 0.01f}}) {
        MeshVertex v;
        v.position = p;
        mesh.vertices.push_back(v);
    }
    // A big face in z = 0 facing -z and a tiny one in y = 0 facing -y, sharing vertex 0.
    mesh.indices = {0, 2, 1, 0, 1, 3, 0, 1, 99};  // the last one points outside the mesh
    computeNormals(mesh);
    EXPECT_NEAR(mesh.vertices[0].normal.y, mesh.vertices[0].normal.z, 1e-6f);
}

}  // namespace
