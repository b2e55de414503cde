// The plane's X file, read back with a small text X-file reader of this test's own: structure,
// counts, materials, the texture it names, and that every face is wound to face outward.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "gfx/model_file.h"
#include "media_files.h"

namespace {

// A data object: its template name, optional instance name, the numbers and strings in it
// (list separators dropped), and the objects nested inside.
struct XObject {
    std::string type, name;
    std::vector<double> numbers;
    std::vector<std::string> strings;
    std::vector<std::unique_ptr<XObject>> children;

    const XObject* child(const std::string& t) const {
        for (const auto& c : children) {
            if (c->type == t) {
                return c.get();
            }
        }
        return nullptr;
    }
};

class XReader {
  public:
    explicit XReader(std::string text) : text_(std::move(text)) {}

    bool read(std::vector<std::unique_ptr<XObject>>& objects, std::string& error) {
        if (text_.compare(0, 16, "xof 0303txt 0032") != 0) {
            error = "not a text X file of version 3.3 with 32-bit floats";
            return false;
        }
        pos_ = 16;
        while (skipSpace(), pos_ < text_.size()) {
            auto obj = std::make_unique<XObject>();
            if (!readObject(*obj, 0, error)) {
                return false;
            }
            objects.push_back(std::move(obj));
        }
        return true;
    }

  private:
    void skipSpace() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '#' || text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') {
                    ++pos_;
                }
            } else {
                return;
            }
        }
    }

    std::string word() {
        size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    bool readObject(XObject& obj, int depth, std::string& error) {
        if (depth > 32) {
            error = "objects nested too deeply";
            return false;
        }
        obj.type = word();
        if (obj.type.empty() || obj.type == "template") {
            error = "expected a data object at offset " + std::to_string(pos_);
            return false;
        }
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] != '{') {
            obj.name = word();
            skipSpace();
        }
        if (pos_ >= text_.size() || text_[pos_] != '{') {
            error = "missing '{' after " + obj.type;
            return false;
        }
        ++pos_;
        while (skipSpace(), pos_ < text_.size() && text_[pos_] != '}') {
            char c = text_[pos_];
            if (c == ';' || c == ',') {
                ++pos_;
            } else if (c == '"') {
                size_t end = text_.find('"', pos_ + 1);
                if (end == std::string::npos) {
                    error = "unterminated string";
                    return false;
                }
                obj.strings.push_back(text_.substr(pos_ + 1, end - pos_ - 1));
                pos_ = end + 1;
            } else if (c == '-' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
                char* end = nullptr;
                double v = std::strtod(text_.c_str() + pos_, &end);
                if (end == text_.c_str() + pos_ || !std::isfinite(v)) {
                    error = "bad number at offset " + std::to_string(pos_);
                    return false;
                }
                obj.numbers.push_back(v);
                pos_ = end - text_.c_str();
            } else if (std::isalpha(static_cast<unsigned char>(c))) {
                auto child = std::make_unique<XObject>();
                if (!readObject(*child, depth + 1, error)) {
                    return false;
                }
                obj.children.push_back(std::move(child));
            } else {
                error = std::string("unexpected '") + c + "' in " + obj.type;
                return false;
            }
        }
        if (pos_ >= text_.size()) {
            error = "unterminated " + obj.type;
            return false;
        }
        ++pos_;
        return true;
    }

    std::string text_;
    size_t pos_ = 0;
};

struct V {
    double x, y, z;
};
V operator-(V a, V b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V cross(V a, V b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(V a, V b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
double length(V a) {
    return std::sqrt(dot(a, a));
}

struct Material {
    double diffuse[4];
    std::string texture;
};

// The mesh as the file states it, with every count checked against the numbers present.
struct PlaneFile {
    std::vector<V> positions, normals;
    std::vector<std::vector<uint32_t>> faces, normalFaces;
    std::vector<double> uvs;
    std::vector<uint32_t> faceMaterials;
    std::vector<Material> materials;
};

::testing::AssertionResult takeFaces(const std::vector<double>& n, size_t& i, size_t count,
                                     size_t vertexCount, std::vector<std::vector<uint32_t>>& out) {
    for (size_t f = 0; f < count; ++f) {
        if (i >= n.size() || n[i] < 3 || n[i] > 64) {
            return ::testing::AssertionFailure() << "face " << f << " has a bad corner count";
        }
        size_t corners = static_cast<size_t>(n[i++]);
        std::vector<uint32_t> face;
        for (size_t c = 0; c < corners; ++c) {
            if (i >= n.size() || n[i] < 0 || n[i] >= vertexCount) {
                return ::testing::AssertionFailure() << "face " << f << " indexes past the list";
            }
            face.push_back(static_cast<uint32_t>(n[i++]));
        }
        out.push_back(face);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult loadPlane(PlaneFile& plane) {
    std::vector<uint8_t> bytes = readMediaFile("myplane.x");
    if (bytes.empty()) {
        return ::testing::AssertionFailure() << "myplane.x is missing";
    }
    std::vector<std::unique_ptr<XObject>> objects;
    std::string error;
    if (!XReader(std::string(bytes.begin(), bytes.end())).read(objects, error)) {
        return ::testing::AssertionFailure() << "myplane.x: " << error;
    }
    const XObject* mesh = nullptr;
    int meshes = 0;
    std::vector<const XObject*> pending;
    for (const auto& o : objects) {
        pending.push_back(o.get());
    }
    while (!pending.empty()) {  // the mesh may sit inside frames
        const XObject* o = pending.back();
        pending.pop_back();
        if (o->type == "Mesh") {
            mesh = o;
            ++meshes;
        } else {
            for (const auto& c : o->children) {
                pending.push_back(c.get());
            }
        }
    }
    if (meshes != 1) {
        return ::testing::AssertionFailure() << meshes << " meshes instead of one";
    }

    const std::vector<double>& n = mesh->numbers;
    size_t i = 0;
    if (n.empty() || n[0] < 3 || n[0] > 65535) {
        return ::testing::AssertionFailure() << "bad vertex count";
    }
    size_t nv = static_cast<size_t>(n[i++]);
    if (n.size() < 1 + 3 * nv + 1) {
        return ::testing::AssertionFailure() << "vertex list shorter than its count";
    }
    for (size_t v = 0; v < nv; ++v, i += 3) {
        plane.positions.push_back({n[i], n[i + 1], n[i + 2]});
    }
    size_t nf = static_cast<size_t>(n[i++]);
    auto result = takeFaces(n, i, nf, nv, plane.faces);
    if (!result) {
        return result;
    }
    if (i != n.size()) {
        return ::testing::AssertionFailure() << "stray numbers after the Mesh faces";
    }

    const XObject* normals = mesh->child("MeshNormals");
    if (!normals || normals->numbers.empty()) {
        return ::testing::AssertionFailure() << "no MeshNormals";
    }
    const std::vector<double>& nn = normals->numbers;
    size_t count = static_cast<size_t>(nn[0]);
    i = 1;
    if (nn.size() < 1 + 3 * count + 1) {
        return ::testing::AssertionFailure() << "normal list shorter than its count";
    }
    for (size_t k = 0; k < count; ++k, i += 3) {
        plane.normals.push_back({nn[i], nn[i + 1], nn[i + 2]});
    }
    size_t nfn = static_cast<size_t>(nn[i++]);
    result = takeFaces(nn, i, nfn, count, plane.normalFaces);
    if (!result) {
        return result;
    }
    if (i != nn.size()) {
        return ::testing::AssertionFailure() << "stray numbers in MeshNormals";
    }

    const XObject* uv = mesh->child("MeshTextureCoords");
    if (!uv || uv->numbers.empty() || uv->numbers.size() != 1 + 2 * uv->numbers[0]) {
        return ::testing::AssertionFailure() << "MeshTextureCoords missing or miscounted";
    }
    plane.uvs.assign(uv->numbers.begin() + 1, uv->numbers.end());

    const XObject* list = mesh->child("MeshMaterialList");
    if (!list || list->numbers.size() < 2) {
        return ::testing::AssertionFailure() << "no MeshMaterialList";
    }
    size_t materialCount = static_cast<size_t>(list->numbers[0]);
    size_t indexCount = static_cast<size_t>(list->numbers[1]);
    if (list->numbers.size() != 2 + indexCount) {
        return ::testing::AssertionFailure() << "material index list miscounted";
    }
    for (size_t k = 0; k < indexCount; ++k) {
        plane.faceMaterials.push_back(static_cast<uint32_t>(list->numbers[2 + k]));
    }
    for (const auto& c : list->children) {
        if (c->type != "Material" || c->numbers.size() != 11) {
            return ::testing::AssertionFailure() << "bad material entry " << c->type;
        }
        Material m{{c->numbers[0], c->numbers[1], c->numbers[2], c->numbers[3]}, {}};
        if (const XObject* t = c->child("TextureFilename")) {
            if (t->strings.size() != 1) {
                return ::testing::AssertionFailure() << "TextureFilename without one name";
            }
            m.texture = t->strings[0];
        }
        plane.materials.push_back(m);
    }
    if (plane.materials.size() != materialCount) {
        return ::testing::AssertionFailure()
               << plane.materials.size() << " materials listed, " << materialCount << " counted";
    }
    return ::testing::AssertionSuccess();
}

// Parts are the groups of faces that share corner positions.
std::vector<std::vector<size_t>> partsOf(const PlaneFile& plane) {
    std::map<std::tuple<long, long, long>, size_t> ids;
    std::vector<size_t> vertexPoint(plane.positions.size());
    for (size_t v = 0; v < plane.positions.size(); ++v) {
        const V& p = plane.positions[v];
        auto key =
            std::make_tuple(std::lround(p.x * 1e4), std::lround(p.y * 1e4), std::lround(p.z * 1e4));
        vertexPoint[v] = ids.emplace(key, ids.size()).first->second;
    }
    std::vector<size_t> parent(ids.size());
    for (size_t k = 0; k < parent.size(); ++k) {
        parent[k] = k;
    }
    auto find = [&](size_t k) {
        while (parent[k] != k) {
            k = parent[k] = parent[parent[k]];
        }
        return k;
    };
    for (const auto& face : plane.faces) {
        for (size_t c = 1; c < face.size(); ++c) {
            parent[find(vertexPoint[face[c]])] = find(vertexPoint[face[0]]);
        }
    }
    std::map<size_t, std::vector<size_t>> groups;
    for (size_t f = 0; f < plane.faces.size(); ++f) {
        groups[find(vertexPoint[plane.faces[f][0]])].push_back(f);
    }
    std::vector<std::vector<size_t>> parts;
    for (auto& [root, faces] : groups) {
        parts.push_back(faces);
    }
    return parts;
}

class PlaneModelFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(loadPlane(plane)); }
    PlaneFile plane;
};

TEST_F(PlaneModelFile, NormalsAndTextureCoordinatesMatchTheVertices) {
    EXPECT_EQ(plane.normals.size(), plane.positions.size());
    EXPECT_EQ(plane.uvs.size(), 2 * plane.positions.size());
    ASSERT_EQ(plane.normalFaces.size(), plane.faces.size());
    for (size_t f = 0; f < plane.faces.size(); ++f) {
        EXPECT_EQ(plane.normalFaces[f].size(), plane.faces[f].size()) << "face " << f;
    }
    for (const V& n : plane.normals) {
        EXPECT_NEAR(length(n), 1.0, 1e-3);
    }
    // Where a texture is applied, the mapping stays on the picture: no wrapped seams.
    for (size_t f = 0; f < plane.faces.size() && f < plane.faceMaterials.size(); ++f) {
        uint32_t m = plane.faceMaterials[f];
        if (m >= plane.materials.size() || plane.materials[m].texture.empty()) {
            continue;
        }
        for (uint32_t v : plane.faces[f]) {
            for (double t : {plane.uvs[2 * v], plane.uvs[2 * v + 1]}) {
                EXPECT_TRUE(t >= 0.0 && t <= 1.0) << "face " << f << " maps off its texture: " << t;
            }
        }
    }
}

TEST_F(PlaneModelFile, EachMaterialIsOneSubsetWithItsOwnColour) {
    ASSERT_GE(plane.materials.size(), 3u);
    ASSERT_EQ(plane.faceMaterials.size(), plane.faces.size());
    std::vector<int> uses(plane.materials.size(), 0);
    for (uint32_t m : plane.faceMaterials) {
        ASSERT_LT(m, plane.materials.size());
        ++uses[m];
    }
    for (size_t m = 0; m < uses.size(); ++m) {
        EXPECT_GT(uses[m], 0) << "material " << m << " has no faces: an empty subset";
    }
    int translucent = 0, textured = 0;
    for (size_t a = 0; a < plane.materials.size(); ++a) {
        const Material& m = plane.materials[a];
        for (double c : m.diffuse) {
            EXPECT_TRUE(c >= 0.0 && c <= 1.0);
        }
        if (m.diffuse[3] < 1.0) {
            ++translucent;
            EXPECT_NEAR(m.diffuse[3], 0.5, 0.15) << "the canopy should be half see-through";
        }
        textured += !m.texture.empty();
        for (size_t b = a + 1; b < plane.materials.size(); ++b) {
            const double* p = m.diffuse;
            const double* q = plane.materials[b].diffuse;
            double d = std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]);
            EXPECT_GT(d, 0.2) << "materials " << a << " and " << b << " share a colour";
        }
    }
    EXPECT_EQ(translucent, 1);
    EXPECT_GE(textured, 1);
}

TEST_F(PlaneModelFile, NamedTextureExistsBesideTheGameAndIsOpaque) {
    for (const Material& m : plane.materials) {
        if (m.texture.empty()) {
            continue;
        }
        // The game resolves the name against its working folder, the one holding media/.
        EXPECT_EQ(m.texture.rfind("media/", 0), 0u) << m.texture;
        std::string name = m.texture.substr(m.texture.find('/') + 1);
        std::vector<uint8_t> bytes = readMediaFile(name);
        ASSERT_GE(bytes.size(), 128u) << m.texture << " is missing";
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "DDS ");
        for (size_t i = 128 + 3; i < bytes.size(); i += 4) {
            ASSERT_EQ(bytes[i], 255) << m.texture << " has see-through texels";
        }
    }
}

TEST_F(PlaneModelFile, EveryFaceIsWoundOutwardOfItsConvexPart) {
    std::vector<std::vector<size_t>> parts = partsOf(plane);
    EXPECT_GE(parts.size(), 5u) << "fuselage, wings, tailplane, fin and canopy";
    for (size_t p = 0; p < parts.size(); ++p) {
        std::set<uint32_t> corners;
        for (size_t f : parts[p]) {
            corners.insert(plane.faces[f].begin(), plane.faces[f].end());
        }
        V centre{0, 0, 0};
        for (uint32_t v : corners) {
            centre = {centre.x + plane.positions[v].x, centre.y + plane.positions[v].y,
                      centre.z + plane.positions[v].z};
        }
        centre = {centre.x / corners.size(), centre.y / corners.size(), centre.z / corners.size()};
        for (size_t f : parts[p]) {
            const auto& face = plane.faces[f];
            V a = plane.positions[face[0]], b = plane.positions[face[1]],
              c = plane.positions[face[2]];
            V n = cross(b - a, c - a);  // the file's own numbers, as the game culls them
            double len = length(n);
            ASSERT_GT(len, 1e-9) << "degenerate face " << f;
            n = {n.x / len, n.y / len, n.z / len};
            EXPECT_LT(dot(n, centre - a), 0.0)
                << "face " << f << " of part " << p << " is wound inward";
            for (uint32_t v : corners) {  // convex: no corner of the part lies outside a face
                ASSERT_LE(dot(n, plane.positions[v] - a), 1e-4)
                    << "part " << p << " is not convex at face " << f;
            }
            for (size_t k = 0; k < face.size(); ++k) {
                const V& vn = plane.normals[plane.normalFaces[f][k]];
                EXPECT_GT(dot(vn, n), 0.5) << "normal at corner " << k << " of face " << f
                                           << " disagrees with the winding";
            }
        }
    }
}

TEST_F(PlaneModelFile, SmallSymmetricPlaneWithItsNoseAlongMinusZ) {
    V lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    for (const V& p : plane.positions) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    double lengthZ = hi.z - lo.z, span = hi.x - lo.x, height = hi.y - lo.y;
    EXPECT_GT(lengthZ, 1.0);
    EXPECT_LT(std::max(lengthZ, span), 30.0) << "a few units in size";
    EXPECT_GT(span, height * 2) << "wings span wider than the plane is tall";
    EXPECT_GT(lengthZ, height * 2);
    // Left and right mirror each other.
    std::set<std::tuple<long, long, long>> points;
    for (const V& p : plane.positions) {
        points.insert({std::lround(p.x * 1e3), std::lround(p.y * 1e3), std::lround(p.z * 1e3)});
    }
    int unmatched = 0;
    for (const V& p : plane.positions) {
        unmatched += !points.count(
            {std::lround(-p.x * 1e3), std::lround(p.y * 1e3), std::lround(p.z * 1e3)});
    }
    EXPECT_EQ(unmatched, 0);
    // The canopy is forward of the middle and the fin, the highest point, at the back: the
    // nose is at -z.
    double canopyZ = 0, finZ = 0;
    int canopyCorners = 0, finCorners = 0;
    for (size_t f = 0; f < plane.faces.size(); ++f) {
        bool clear = plane.materials[plane.faceMaterials[f]].diffuse[3] < 1.0;
        for (uint32_t v : plane.faces[f]) {
            if (clear) {
                canopyZ += plane.positions[v].z;
                ++canopyCorners;
            }
            if (plane.positions[v].y > hi.y - 0.1 * height) {
                finZ += plane.positions[v].z;
                ++finCorners;
            }
        }
    }
    double middle = (lo.z + hi.z) / 2;
    ASSERT_GT(canopyCorners, 0);
    ASSERT_GT(finCorners, 0);
    EXPECT_LT(canopyZ / canopyCorners, middle);
    EXPECT_GT(finZ / finCorners, middle);
}

TEST(PlaneModelImport, TheGamesModelLoaderReadsIt) {
    ModelData model;
    std::string error;
    ASSERT_TRUE(loadModelFromX(mediaPath("myplane.x"), model, error)) << error;
    EXPECT_GE(model.materials.size(), 3u);
    // Normals and one set of texture coordinates: the format the game draws without converting.
    EXPECT_EQ(model.mesh.fvf, kFvfPositionNormalTex);
    int textured = 0;
    for (const ModelMaterial& material : model.materials) {
        if (!material.textureFile.empty()) {
            EXPECT_EQ(material.textureFile, "media/planeskin.dds");
            ++textured;
        }
    }
    EXPECT_GE(textured, 1);
    EXPECT_GT(model.mesh.faceSubsets.size(), 100u);
}

}  // namespace
