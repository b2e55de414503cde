// Loaded models written out as text and read back: the fixtures in data/x_fixtures hold what the
// game's plane and the third-party X files load to, vertex by vertex, triangle by triangle and
// material by material.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include "gfx/model_file.h"

inline std::string fixtureNumber(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));  // enough digits to read it back
    return text;
}

inline void appendColour(std::string& out, const Colour4& c) {
    for (float v : {c.r, c.g, c.b, c.a}) out += " " + fixtureNumber(v);
}

// One line per value group: "fvf", "vertex" (position, normal, u, v), "triangle" (three indices
// and the subset), "material" (diffuse, ambient, specular, emissive, power) followed by its
// "texture" line holding the name as written, to the end of the line.
inline std::string modelFixtureText(const ModelData& model) {
    std::string out = "fvf " + std::to_string(model.mesh.fvf) + "\n";
    out += "vertices " + std::to_string(model.mesh.vertices.size()) + "\n";
    for (const MeshVertex& v : model.mesh.vertices) {
        out += "vertex";
        for (float f : {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y,
                        v.normal.z, v.u, v.v}) {
            out += " " + fixtureNumber(f);
        }
        out += "\n";
    }
    const size_t triangles = model.mesh.faceSubsets.size();
    out += "triangles " + std::to_string(triangles) + "\n";
    for (size_t t = 0; t < triangles && t * 3 + 2 < model.mesh.indices.size(); ++t) {
        out += "triangle";
        for (size_t k = 0; k < 3; ++k) out += " " + std::to_string(model.mesh.indices[t * 3 + k]);
        out += " " + std::to_string(model.mesh.faceSubsets[t]) + "\n";
    }
    out += "materials " + std::to_string(model.materials.size()) + "\n";
    for (const ModelMaterial& m : model.materials) {
        out += "material";
        appendColour(out, m.material.diffuse);
        appendColour(out, m.material.ambient);
        appendColour(out, m.material.specular);
        appendColour(out, m.material.emissive);
        out += " " + fixtureNumber(m.material.power) + "\n";
        out += "texture " + m.textureFile + "\n";
    }
    return out;
}

inline bool readColour(std::istream& in, Colour4& c) {
    return bool(in >> c.r >> c.g >> c.b >> c.a);
}

// The reverse of modelFixtureText; false when the text is not such a fixture.
inline bool parseModelFixture(const std::string& text, ModelData& model) {
    model = ModelData{};
    std::istringstream in(text);
    std::string word;
    size_t count = 0;
    if (!(in >> word >> model.mesh.fvf) || word != "fvf")
        return false;
    if (!(in >> word >> count) || word != "vertices")
        return false;
    model.mesh.vertices.resize(count);
    for (MeshVertex& v : model.mesh.vertices) {
        if (!(in >> word >> v.position.x >> v.position.y >> v.position.z >> v.normal.x >>
              v.normal.y >> v.normal.z >> v.u >> v.v) ||
            word != "vertex") {
            return false;
        }
    }
    if (!(in >> word >> count) || word != "triangles")
        return false;
    model.mesh.indices.resize(count * 3);
    model.mesh.faceSubsets.resize(count);
    for (size_t t = 0; t < count; ++t) {
        if (!(in >> word >> model.mesh.indices[t * 3] >> model.mesh.indices[t * 3 + 1] >>
              model.mesh.indices[t * 3 + 2] >> model.mesh.faceSubsets[t]) ||
            word != "triangle") {
            return false;
        }
    }
    if (!(in >> word >> count) || word != "materials")
        return false;
    model.materials.resize(count);
    for (ModelMaterial& m : model.materials) {
        Material& mat = m.material;
        if (!(in >> word) || word != "material" || !readColour(in, mat.diffuse) ||
            !readColour(in, mat.ambient) || !readColour(in, mat.specular) ||
            !readColour(in, mat.emissive) || !(in >> mat.power)) {
            return false;
        }
        in.ignore(1);  // the end of the material's line
        std::string line;
        if (!std::getline(in, line) || line.rfind("texture ", 0) != 0)
            return false;
        m.textureFile = line.substr(8);
    }
    return true;
}
