// Builds the plane from lofted convex parts and writes it as a text X file.
#include "plane_model.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <functional>

namespace {

Vec3f operator+(Vec3f a, Vec3f b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3f operator-(Vec3f a, Vec3f b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3f operator*(Vec3f a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(Vec3f a, Vec3f b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3f cross(Vec3f a, Vec3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3f normalized(Vec3f a) {
    float len = std::sqrt(dot(a, a));
    return len > 0.0f ? a * (1.0f / len) : a;
}
bool samePoint(Vec3f a, Vec3f b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

using Ring = std::vector<Vec3f>;
using UvMap = std::function<void(Vec3f, float&, float&)>;

struct Triangle {
    Vec3f p[3];
    Vec3f normal;  // unit, outward
};

// One convex part: its triangles, oriented outward, and how its points map to the texture.
struct Part {
    std::vector<Triangle> triangles;
    uint32_t material = 0;
    UvMap uv;
};

// Normals of neighbouring faces closer than this are blended, so the round parts shade
// smoothly while wing edges and end caps stay sharp.
const float kSmoothCos = std::cos(50.0f * 3.14159265f / 180.0f);

// Winding: the game views the model through a right-handed camera and culls triangles that
// appear clockwise on screen. A triangle a, b, c therefore faces outward when the plain cross
// product (b - a) x (c - a) of the coordinates as written points out of its part, the same
// order that Direct3D-authored X files use. Every part here is convex, so "out" is simply
// away from the part's centre, and each triangle is ordered against that centre.
void addTriangle(Part& part, Vec3f centre, Vec3f a, Vec3f b, Vec3f c) {
    Vec3f n = cross(b - a, c - a);
    if (dot(n, n) < 1e-12f) {
        return;  // degenerate: nothing to draw
    }
    if (dot(n, a - centre) < 0.0f) {
        std::swap(b, c);
        n = n * -1.0f;
    }
    part.triangles.push_back({{a, b, c}, normalized(n)});
}

// A closed solid through the rings (each ring a convex polygon, all with the same number of
// points in the same order), with flat caps on the first and last ring.
Part loft(const std::vector<Ring>& rings, uint32_t material, UvMap uv) {
    Part part;
    part.material = material;
    part.uv = std::move(uv);
    Vec3f centre;
    size_t count = 0;
    for (const Ring& r : rings) {
        for (Vec3f p : r) {
            centre = centre + p;
            ++count;
        }
    }
    centre = centre * (1.0f / count);
    for (size_t i = 0; i + 1 < rings.size(); ++i) {
        const Ring& a = rings[i];
        const Ring& b = rings[i + 1];
        for (size_t k = 0; k < a.size(); ++k) {
            size_t k1 = (k + 1) % a.size();
            addTriangle(part, centre, a[k], a[k1], b[k1]);
            addTriangle(part, centre, a[k], b[k1], b[k]);
        }
    }
    for (const Ring* cap : {&rings.front(), &rings.back()}) {
        for (size_t k = 1; k + 1 < cap->size(); ++k) {
            addTriangle(part, centre, (*cap)[0], (*cap)[k], (*cap)[k + 1]);
        }
    }
    return part;
}

Ring ellipseRing(float z, float rx, float ry, float yCentre, int sides) {
    Ring r;
    for (int k = 0; k < sides; ++k) {
        float a = 2.0f * 3.14159265f * k / sides;
        r.push_back({rx * std::cos(a), yCentre + ry * std::sin(a), z});
    }
    return r;
}

// Wing-like section: leading edge, upper crest, trailing edge, lower crest. `across` is the
// unit direction of the section's thickness (up for wings, sideways for the fin).
Ring airfoil(Vec3f leadingEdge, float chord, Vec3f across) {
    return {leadingEdge, leadingEdge + Vec3f{0, 0, 0.30f * chord} + across * (0.10f * chord),
            leadingEdge + Vec3f{0, 0, chord},
            leadingEdge + Vec3f{0, 0, 0.35f * chord} + across * (-0.035f * chord)};
}

Ring symmetricAirfoil(Vec3f leadingEdge, float chord, Vec3f across) {
    return {leadingEdge, leadingEdge + Vec3f{0, 0, 0.35f * chord} + across * (0.05f * chord),
            leadingEdge + Vec3f{0, 0, chord},
            leadingEdge + Vec3f{0, 0, 0.35f * chord} + across * (-0.05f * chord)};
}

// The canopy's section: an upper half-ellipse closed by a flat floor.
Ring canopyRing(float z, float scale) {
    Ring r;
    const int points = 8;
    for (int k = 0; k < points; ++k) {
        float a = 3.14159265f * k / (points - 1);
        r.push_back({0.34f * scale * std::cos(a), 0.30f + 0.68f * scale * std::sin(a), z});
    }
    return r;
}

// Fuselage stations: (z, radius). The radius profile is concave, so the body stays convex.
struct Station {
    float z, radius;
};
constexpr Station kFuselage[] = {{-3.0f, 0.22f}, {-2.6f, 0.42f}, {-2.0f, 0.52f}, {-1.0f, 0.55f},
                                 {0.0f, 0.50f},  {1.5f, 0.33f},  {3.0f, 0.10f}};
constexpr float kFuselageHeight = 1.1f;  // vertical radius over horizontal radius
constexpr float kNoseZ = -3.0f, kTailZ = 3.0f;

void sideProjection(Vec3f p, float& u, float& v) {
    const float top = 0.55f * kFuselageHeight;
    u = (p.z - kNoseZ) / (kTailZ - kNoseZ);
    v = (top - p.y) / (2.0f * top);
}

// The untextured parts still carry coordinates: a projection of the whole model's box,
// from above or from the side.
constexpr Vec3f kModelMin{-3.6f, -1.1f, -3.5f}, kModelMax{3.6f, 1.4f, 3.1f};

void topProjection(Vec3f p, float& u, float& v) {
    u = (p.x - kModelMin.x) / (kModelMax.x - kModelMin.x);
    v = (p.z - kModelMin.z) / (kModelMax.z - kModelMin.z);
}

void boxSideProjection(Vec3f p, float& u, float& v) {
    u = (p.z - kModelMin.z) / (kModelMax.z - kModelMin.z);
    v = (kModelMax.y - p.y) / (kModelMax.y - kModelMin.y);
}

std::vector<Part> planeParts() {
    enum : uint32_t { kBody, kPaint, kCanopy, kMetal };
    std::vector<Part> parts;

    std::vector<Ring> body;
    for (const Station& s : kFuselage) {
        body.push_back(ellipseRing(s.z, s.radius, s.radius * kFuselageHeight, 0.0f, 12));
    }
    parts.push_back(loft(body, kBody, sideProjection));

    parts.push_back(loft(
        {ellipseRing(-2.98f, 0.19f, 0.19f, 0.0f, 12), ellipseRing(-3.20f, 0.15f, 0.15f, 0.0f, 12),
         ellipseRing(-3.36f, 0.08f, 0.08f, 0.0f, 12), ellipseRing(-3.42f, 0.02f, 0.02f, 0.0f, 12)},
        kMetal, topProjection));
    Ring propFront = {{-0.09f, -1.05f, -3.28f},
                      {0.09f, -1.05f, -3.28f},
                      {0.09f, 1.05f, -3.28f},
                      {-0.09f, 1.05f, -3.28f}};
    Ring propBack = propFront;
    for (Vec3f& p : propBack) {
        p.z = -3.22f;
    }
    parts.push_back(loft({propFront, propBack}, kMetal, topProjection));

    // Wings with a little dihedral, and the tailplane, one convex slab per side; each root
    // section sits inside the fuselage.
    const Vec3f up{0, 1, 0};
    for (float side : {1.0f, -1.0f}) {
        parts.push_back(loft({airfoil({0.35f * side, -0.20f, -1.55f}, 1.30f, up),
                              airfoil({3.60f * side, 0.08f, -1.25f}, 0.75f, up)},
                             kPaint, topProjection));
        parts.push_back(loft({airfoil({0.08f * side, 0.05f, 2.20f}, 0.75f, up),
                              airfoil({1.45f * side, 0.07f, 2.45f}, 0.45f, up)},
                             kPaint, topProjection));
    }
    const Vec3f sideways{1, 0, 0};
    parts.push_back(loft({symmetricAirfoil({0, 0.10f, 1.90f}, 1.10f, sideways),
                          symmetricAirfoil({0, 1.35f, 2.55f}, 0.50f, sideways)},
                         kPaint, boxSideProjection));

    parts.push_back(
        loft({canopyRing(-2.05f, 0.30f), canopyRing(-1.70f, 0.80f), canopyRing(-1.30f, 1.00f),
              canopyRing(-0.90f, 0.90f), canopyRing(-0.45f, 0.35f)},
             kCanopy, boxSideProjection));
    return parts;
}

std::vector<ModelMaterial> planeMaterials() {
    return {
        {{1.0f, 1.0f, 1.0f, 1.0f}, 24.0f, {0.35f, 0.35f, 0.35f, 1}, {0, 0, 0, 1}, kPlaneSkinName},
        {{0.86f, 0.16f, 0.10f, 1.0f}, 16.0f, {0.30f, 0.30f, 0.30f, 1}, {0, 0, 0, 1}, ""},
        {{0.45f, 0.70f, 0.95f, 0.5f},
         60.0f,
         {0.90f, 0.90f, 0.90f, 1},
         {0.04f, 0.06f, 0.10f, 1},
         ""},
        {{0.30f, 0.30f, 0.33f, 1.0f}, 30.0f, {0.60f, 0.60f, 0.60f, 1}, {0, 0, 0, 1}, ""},
    };
}

// Index of an identical vertex already in the mesh, or of a new one.
uint32_t vertexIndex(PlaneMesh& mesh, const ModelVertex& v, size_t partStart) {
    for (size_t i = partStart; i < mesh.vertices.size(); ++i) {
        const ModelVertex& w = mesh.vertices[i];
        if (samePoint(w.position, v.position) && samePoint(w.normal, v.normal) && w.u == v.u &&
            w.v == v.v) {
            return static_cast<uint32_t>(i);
        }
    }
    mesh.vertices.push_back(v);
    return static_cast<uint32_t>(mesh.vertices.size() - 1);
}

float clean(float v) {
    return std::abs(v) < 5e-7f ? 0.0f : v;
}  // no "-0.000000"

bool printAll(FILE* f, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

// Appends printf-style text; the X file is written with six decimals throughout.
[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    out += buf;
}

}  // namespace

PlaneMesh buildPlane() {
    PlaneMesh mesh;
    mesh.materials = planeMaterials();
    for (const Part& part : planeParts()) {
        size_t partStart = mesh.vertices.size();
        for (const Triangle& t : part.triangles) {
            ModelFace face;
            face.material = part.material;
            for (int c = 0; c < 3; ++c) {
                ModelVertex v;
                v.position = t.p[c];
                Vec3f sum;
                for (const Triangle& other : part.triangles) {
                    bool touches = samePoint(other.p[0], t.p[c]) || samePoint(other.p[1], t.p[c]) ||
                                   samePoint(other.p[2], t.p[c]);
                    if (touches && dot(other.normal, t.normal) >= kSmoothCos) {
                        sum = sum + other.normal;
                    }
                }
                v.normal = normalized(sum);
                part.uv(v.position, v.u, v.v);
                face.index[c] = vertexIndex(mesh, v, partStart);
            }
            mesh.faces.push_back(face);
        }
    }
    return mesh;
}

bool writeXFile(const std::string& path, const PlaneMesh& mesh) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "writeXFile: cannot create '%s'\n", path.c_str());
        return false;
    }
    const size_t nv = mesh.vertices.size(), nf = mesh.faces.size();
    std::string out = "xof 0303txt 0032\n\nMesh PlaneMesh {\n";
    out += " " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        Vec3f p = mesh.vertices[i].position;
        appendf(out, " %.6f;%.6f;%.6f;", clean(p.x), clean(p.y), clean(p.z));
        out += i + 1 < nv ? ",\n" : ";\n";
    }
    std::string faceList = " " + std::to_string(nf) + ";\n";
    for (size_t i = 0; i < nf; ++i) {
        const ModelFace& face = mesh.faces[i];
        faceList += " 3;" + std::to_string(face.index[0]) + "," + std::to_string(face.index[1]) +
                    "," + std::to_string(face.index[2]) + ";";
        faceList += i + 1 < nf ? ",\n" : ";\n";
    }
    out += faceList;

    out += "\n MeshNormals {\n  " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        Vec3f n = mesh.vertices[i].normal;
        appendf(out, "  %.6f;%.6f;%.6f;", clean(n.x), clean(n.y), clean(n.z));
        out += i + 1 < nv ? ",\n" : ";\n";
    }
    out += " " + faceList;  // one normal per vertex, so the normal faces repeat the faces
    out += " }\n";

    out += "\n MeshTextureCoords {\n  " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        appendf(out, "  %.6f;%.6f;", clean(mesh.vertices[i].u), clean(mesh.vertices[i].v));
        out += i + 1 < nv ? ",\n" : ";\n";
    }
    out += " }\n";

    out += "\n MeshMaterialList {\n  " + std::to_string(mesh.materials.size()) + ";\n  " +
           std::to_string(nf) + ";\n";
    for (size_t i = 0; i < nf; ++i) {
        out += "  " + std::to_string(mesh.faces[i].material);
        out += i + 1 < nf ? ",\n" : ";\n";
    }
    for (const ModelMaterial& m : mesh.materials) {
        // Diffuse with alpha, specular power, specular colour, emissive colour.
        appendf(out,
                "\n  Material {\n   %.6f;%.6f;%.6f;%.6f;;\n   %.6f;\n   %.6f;%.6f;%.6f;;\n"
                "   %.6f;%.6f;%.6f;;\n",
                m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a, m.power, m.specular.r,
                m.specular.g, m.specular.b, m.emissive.r, m.emissive.g, m.emissive.b);
        if (!m.texture.empty()) {
            out += "   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
        }
        out += "  }\n";
    }
    out += " }\n}\n";

    bool ok = printAll(f, out);
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "writeXFile: short write to '%s'\n", path.c_str());
    }
    return ok;
}
