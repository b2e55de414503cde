// DirectX X model files (text and binary) loaded through assimp into one mesh with one subset per
// material, in the file's own coordinates, winding and texture names; plus bounding radius and
// vertex normals of such a mesh.
#include "gfx/model_file.h"

#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "gfx/texture_file.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Pre-check of the file before assimp sees it.
//
// assimp's X importer (5.2) trusts the file: face indices equal to the vertex count, normal
// indices, skin weight indices, a material list without materials, very long frame names, deep
// frame nesting and huge element counts all lead it to read or write outside its buffers or to
// allocate without bound. So the file is first walked here with the same grammar and the same
// tokens as that importer's parser, and refused when any of those would happen. Wherever the
// two could read a file differently, the check refuses it, so a file it accepts is read by both
// in the same way.
//
// On the way it keeps the texture names exactly as written: the importer turns "\\" into "\".

constexpr uint64_t kMaxFaces = 2000000;
constexpr uint64_t kMaxCorners = 3000000;
constexpr uint64_t kMaxNormals = 3000000;
constexpr uint64_t kMaxWeights = 3000000;
constexpr uint32_t kMaxMaterialEntries = 4096;
constexpr uint32_t kMaxMeshes = 65536;
constexpr uint32_t kMaxFrames = 65536;
constexpr uint32_t kMaxFrameDepth = 128;
constexpr size_t kMaxNameLength = 1000;  // the importer copies frame names into 1024 bytes
constexpr uint32_t kMaxDataSets = 8;     // texture coordinate and colour sets of one mesh
// The importer's mesh conversion visits every face once per material of its mesh, and every
// vertex once per material and bone; this bounds that work.
constexpr uint64_t kMaxImportWork = 200000000;

bool isSpaceChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigitChar(char c) {
    return c >= '0' && c <= '9';
}
char lowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

class XFileCheck {
  public:
    XFileCheck(const uint8_t* data, size_t size)
        : p_(reinterpret_cast<const char*>(data)), end_(p_ + size) {}

    bool run(std::string& error);

    // The first texture name of every material the importer makes, in the importer's order of
    // materials; "" for a material without one.
    std::vector<std::string> materialTextures;
    // The faces and face corners the importer will hand over: a check that both read the file
    // alike.
    uint64_t importedFaces = 0, importedCorners = 0;
    bool isBinary() const { return binary_; }
    // Meshes outside any frame next to a single top-level frame: the importer would put them
    // into that frame (moving them with it) in place of the frame's own mesh list, which it
    // loses and leaks.
    bool needsOwnRoot() const { return roots_.size() == 1 && !globalMeshes_.empty(); }

  private:
    struct MeshInfo {
        std::vector<std::string> textures;  // one per material defined in the mesh
        uint64_t faces = 0, corners = 0;    // of the faces the importer keeps
    };
    struct FrameInfo {
        std::string name;
        std::vector<MeshInfo> meshes;
        std::vector<size_t> children;
    };
    static constexpr size_t kNoFrame = size_t(-1);

    bool fail(const std::string& what);
    size_t remaining() const { return size_t(end_ - p_); }
    char at(size_t k) const { return remaining() > k ? p_[k] : '\0'; }

    // Tokens, as the importer's parser reads them.
    void skipLine();
    void skipSpace();
    bool token(std::string& s);
    bool expect(const char* what);
    bool binWord(uint32_t& v);
    bool binDWord(uint32_t& v);
    bool readInt(uint32_t& v);
    bool readFloat();
    bool readFloats(int count);
    bool readVector(int count);
    bool separator();
    bool semicolon();
    void testSeparator();
    bool readString(std::string& s);
    bool readHead(std::string* name);
    bool skipDigits(const char*& c);
    // Reads the members of an open object up to its closing brace, handing each first token to
    // member(token); false at the end of the data ("unexpected end of data in <what>") or as
    // soon as member() returns false.
    template <typename Member>
    bool members(const char* what, Member member);

    // Data objects.
    bool parseFile();
    bool parseTemplate();
    bool parseFrame(size_t parent, uint32_t depth);
    bool parseMesh(MeshInfo& info);
    bool parseNormals(uint32_t faces);
    bool parseMaterialList(uint32_t faces, MeshInfo& info, uint32_t& entries,
                           std::vector<uint32_t>& faceMaterials);
    bool parseMaterial(std::vector<std::string>& textures);
    bool parseAnimationSet();
    bool parseAnimation();
    bool parseAnimationKey();
    bool parseUnknown();

    void filterFrame(size_t frame);
    void collectFrame(size_t frame);
    void collectMesh(const MeshInfo& mesh);

    const char* p_;
    const char* end_;
    bool binary_ = false;
    uint32_t floatSize_ = 4;
    uint32_t listCount_ = 0;  // numbers left in the current binary list
    uint32_t line_ = 1;
    std::string error_;

    std::vector<FrameInfo> frames_;
    std::vector<size_t> roots_;
    std::vector<std::string> globalMaterials_;
    std::vector<MeshInfo> globalMeshes_;
    uint64_t vertices_ = 0, faces_ = 0, corners_ = 0, normals_ = 0, normalCorners_ = 0;
    uint64_t weights_ = 0, work_ = 0;
    uint32_t meshes_ = 0, materialEntries_ = 0;
    bool lostFrames_ = false;
};

bool XFileCheck::fail(const std::string& what) {
    if (error_.empty()) {
        error_ = binary_ ? what : what + " (line " + std::to_string(line_) + ")";
    }
    return false;
}

void XFileCheck::skipLine() {
    while (p_ < end_) {
        if (*p_ == '\n' || *p_ == '\r') {
            ++p_;
            ++line_;
            return;
        }
        ++p_;
    }
}

void XFileCheck::skipSpace() {
    for (;;) {
        while (p_ < end_ && isSpaceChar(*p_)) {
            if (*p_ == '\n')
                ++line_;
            ++p_;
        }
        if (p_ >= end_)
            return;
        if ((at(0) == '/' && at(1) == '/') || at(0) == '#') {
            skipLine();
        } else {
            return;
        }
    }
}

bool XFileCheck::binWord(uint32_t& v) {
    if (remaining() < 2)
        return false;
    const auto* q = reinterpret_cast<const uint8_t*>(p_);
    v = uint32_t(q[0]) | uint32_t(q[1]) << 8;
    p_ += 2;
    return true;
}

bool XFileCheck::binDWord(uint32_t& v) {
    if (remaining() < 4)
        return false;
    const auto* q = reinterpret_cast<const uint8_t*>(p_);
    v = uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16 | uint32_t(q[3]) << 24;
    p_ += 4;
    return true;
}

// An empty token means the end of the data (binary files also end at an unknown token).
bool XFileCheck::token(std::string& s) {
    s.clear();
    if (!binary_) {
        skipSpace();
        while (p_ < end_ && !isSpaceChar(*p_)) {
            const char c = *p_;
            if (c == ';' || c == '}' || c == '{' || c == ',') {
                if (s.empty()) {
                    s.push_back(c);
                    ++p_;
                }
                break;
            }
            s.push_back(c);
            ++p_;
        }
        return true;
    }

    if (remaining() < 2)
        return true;
    uint32_t tok = 0, length = 0;
    binWord(tok);
    switch (tok) {
        case 1:  // name
            if (!binDWord(length) || length > remaining())
                return fail("truncated name");
            s.assign(p_, length);
            p_ += length;
            return true;
        case 2:  // string and its terminator
            if (!binDWord(length) || uint64_t(length) + 2 > remaining()) {
                return fail("truncated string");
            }
            s.assign(p_, length);
            p_ += length + 2;
            return true;
        case 3:
            if (remaining() < 4)
                return fail("truncated integer");
            p_ += 4;
            s = "<integer>";
            return true;
        case 5:
            if (remaining() < 16)
                return fail("truncated GUID");
            p_ += 16;
            s = "<guid>";
            return true;
        case 6:
            if (!binDWord(length) || uint64_t(length) * 4 > remaining()) {
                return fail("truncated integer list");
            }
            p_ += size_t(length) * 4;
            s = "<int_list>";
            return true;
        case 7:
            if (!binDWord(length) || uint64_t(length) * floatSize_ > remaining()) {
                return fail("truncated float list");
            }
            p_ += size_t(length) * floatSize_;
            s = "<flt_list>";
            return true;
        default:
            break;
    }
    static const struct {
        uint32_t token;
        const char* text;
    } kKeywords[] = {
        {0x0a, "{"},     {0x0b, "}"},      {0x0c, "("},       {0x0d, ")"},
        {0x0e, "["},     {0x0f, "]"},      {0x10, "<"},       {0x11, ">"},
        {0x12, "."},     {0x13, ","},      {0x14, ";"},       {0x1f, "template"},
        {0x28, "WORD"},  {0x29, "DWORD"},  {0x2a, "FLOAT"},   {0x2b, "DOUBLE"},
        {0x2c, "CHAR"},  {0x2d, "UCHAR"},  {0x2e, "SWORD"},   {0x2f, "SDWORD"},
        {0x30, "void"},  {0x31, "string"}, {0x32, "unicode"}, {0x33, "cstring"},
        {0x34, "array"},
    };
    for (const auto& keyword : kKeywords) {
        if (keyword.token == tok) {
            s = keyword.text;
            return true;
        }
    }
    return true;  // unknown token: the parser stops here as at the end of the data
}

bool XFileCheck::expect(const char* what) {
    std::string s;
    if (!token(s))
        return false;
    if (s != what)
        return fail(std::string("'") + what + "' expected");
    return true;
}

bool XFileCheck::separator() {
    if (binary_)
        return true;
    std::string s;
    if (!token(s))
        return false;
    if (s != "," && s != ";")
        return fail("separator expected");
    return true;
}

bool XFileCheck::semicolon() {
    if (binary_)
        return true;
    return expect(";");
}

void XFileCheck::testSeparator() {
    if (binary_)
        return;
    skipSpace();
    if (p_ < end_ && (*p_ == ';' || *p_ == ','))
        ++p_;
}

bool XFileCheck::readInt(uint32_t& v) {
    if (binary_) {
        if (listCount_ == 0) {
            uint32_t tag = 0;
            if (!binWord(tag))
                return fail("unexpected end of data");
            if (tag == 6) {
                if (!binDWord(listCount_))
                    return fail("unexpected end of data");
            } else if (tag == 3) {
                listCount_ = 1;
            } else {
                return fail("integer expected");
            }
        }
        --listCount_;
        if (!binDWord(v))
            return fail("unexpected end of data");
        return true;
    }
    skipSpace();
    bool negative = false;
    if (at(0) == '-') {
        negative = true;
        ++p_;
    }
    if (!isDigitChar(at(0)))
        return fail("number expected");
    uint32_t number = 0;
    while (p_ < end_ && isDigitChar(*p_)) {
        number = number * 10 + uint32_t(*p_ - '0');
        ++p_;
    }
    if (!separator())
        return false;
    v = negative ? 0u - number : number;
    return true;
}

// Moves past a run of digits; runs long enough to overflow the importer's reader are refused,
// since it then stops in the middle of the number.
bool XFileCheck::skipDigits(const char*& c) {
    const char* start = c;
    while (c < end_ && isDigitChar(*c)) ++c;
    if (c - start > 18)
        return fail("number too long");
    return true;
}

bool XFileCheck::readFloat() {
    if (binary_) {
        if (listCount_ == 0) {
            uint32_t tag = 0;
            if (!binWord(tag))
                return fail("unexpected end of data");
            if (tag != 7)
                return fail("float list expected");
            if (!binDWord(listCount_))
                return fail("unexpected end of data");
        }
        --listCount_;
        if (remaining() < floatSize_)
            return fail("unexpected end of data");
        p_ += floatSize_;
        return true;
    }
    skipSpace();
    // Some exporters write "1.#IND00" and the like for invalid numbers; the importer's special
    // handling of them skips a character too many, so they are refused.
    if ((at(0) == '1' && at(1) == '.' && at(2) == '#') ||
        (at(0) == '-' && at(1) == '1' && at(2) == '.' && at(3) == '#')) {
        return fail("invalid number");
    }
    const char* c = p_;
    auto ch = [&](size_t k) { return size_t(end_ - c) > k ? c[k] : '\0'; };
    auto matches = [&](const char* word) {
        for (size_t k = 0; word[k]; ++k) {
            if (lowerChar(ch(k)) != word[k])
                return false;
        }
        return true;
    };
    if (ch(0) == '-' || ch(0) == '+')
        ++c;
    if (matches("nan")) {
        c += 3;
    } else if (matches("inf")) {
        c += 3;
        if (matches("inity"))
            c += 5;
    } else {
        const bool point = ch(0) == '.' || ch(0) == ',';
        if (!isDigitChar(ch(0)) && !(point && isDigitChar(ch(1))))
            return fail("number expected");
        if (!point && !skipDigits(c))
            return false;
        if ((ch(0) == '.' || ch(0) == ',') && isDigitChar(ch(1))) {
            ++c;
            while (c < end_ && isDigitChar(*c)) ++c;
        } else if (ch(0) == '.') {
            ++c;
        }
        if (ch(0) == 'e' || ch(0) == 'E') {
            ++c;
            if (ch(0) == '-' || ch(0) == '+')
                ++c;
            if (!isDigitChar(ch(0)))
                return fail("number expected");
            if (!skipDigits(c))
                return false;
        }
    }
    p_ = c;
    return separator();
}

bool XFileCheck::readFloats(int count) {
    for (int i = 0; i < count; ++i) {
        if (!readFloat())
            return false;
    }
    return true;
}

bool XFileCheck::readVector(int count) {
    if (!readFloats(count))
        return false;
    testSeparator();
    return true;
}

bool XFileCheck::readString(std::string& s) {
    if (binary_)
        return token(s);
    s.clear();
    skipSpace();
    if (p_ >= end_ || *p_ != '"')
        return fail("quotation mark expected");
    ++p_;
    while (p_ < end_ && *p_ != '"') s.push_back(*p_++);
    if (remaining() < 2 || p_[1] != ';')
        return fail("string must end with '\";'");
    p_ += 2;
    return true;
}

bool XFileCheck::readHead(std::string* name) {
    std::string s;
    if (!token(s))
        return false;
    if (s != "{") {
        if (name)
            *name = s;
        return expect("{");
    }
    return true;
}

bool XFileCheck::run(std::string& error) {
    if (remaining() < 16 || std::memcmp(p_, "xof ", 4) != 0) {
        error = "not an X file";
        return false;
    }
    const std::string format(p_ + 8, 4);
    if (format == "txt ") {
        binary_ = false;
    } else if (format == "bin ") {
        binary_ = true;
    } else if (format == "tzip" || format == "bzip") {
        error = "compressed X files are not supported";
        return false;
    } else {
        error = "unknown X file format '" + format + "'";
        return false;
    }
    const std::string floatBits(p_ + 12, 4);
    if (floatBits != "0032" && floatBits != "0064") {
        error = "unknown float size '" + floatBits + "'";
        return false;
    }
    floatSize_ = floatBits == "0064" ? 8 : 4;
    p_ += 16;
    if (!binary_)
        skipLine();

    if (!parseFile()) {
        error = error_;
        return false;
    }
    materialTextures = globalMaterials_;
    for (size_t root : roots_) {
        filterFrame(root);
        collectFrame(root);
    }
    for (const MeshInfo& mesh : globalMeshes_) collectMesh(mesh);
    if (lostFrames_) {
        error = "an unnamed frame holds both meshes and frames; the importer would drop the frames";
        return false;
    }
    return true;
}

void XFileCheck::collectMesh(const MeshInfo& mesh) {
    materialTextures.insert(materialTextures.end(), mesh.textures.begin(), mesh.textures.end());
    importedFaces += mesh.faces;
    importedCorners += mesh.corners;
}

// The importer folds an unnamed only child that holds meshes into its parent, and drops that
// child's own children with it.
void XFileCheck::filterFrame(size_t frame) {
    FrameInfo& node = frames_[frame];
    if (node.children.size() == 1 && node.meshes.empty()) {
        FrameInfo& child = frames_[node.children[0]];
        if (child.name.empty() && !child.meshes.empty()) {
            if (!child.children.empty())
                lostFrames_ = true;
            node.meshes = std::move(child.meshes);
            node.children.clear();
        }
    }
    for (size_t c : node.children) filterFrame(c);
}

// Materials are made frame by frame: a frame's own meshes before those of its children.
void XFileCheck::collectFrame(size_t frame) {
    for (const MeshInfo& mesh : frames_[frame].meshes) collectMesh(mesh);
    for (size_t c : frames_[frame].children) collectFrame(c);
}

bool XFileCheck::parseFile() {
    for (;;) {
        std::string s;
        if (!token(s))
            return false;
        if (s.empty())
            return true;
        bool ok = true;
        uint32_t ignored = 0;
        if (s == "template") {
            ok = parseTemplate();
        } else if (s == "Frame") {
            ok = parseFrame(kNoFrame, 1);
        } else if (s == "Mesh") {
            MeshInfo mesh;
            ok = parseMesh(mesh);
            globalMeshes_.push_back(std::move(mesh));
        } else if (s == "AnimTicksPerSecond") {
            ok = readHead(nullptr) && readInt(ignored) && expect("}");
        } else if (s == "AnimationSet") {
            ok = parseAnimationSet();
        } else if (s == "Material") {
            ok = parseMaterial(globalMaterials_);
        } else if (s != "}") {
            ok = parseUnknown();
        }
        if (!ok)
            return false;
    }
}

template <typename Member>
bool XFileCheck::members(const char* what, Member member) {
    for (;;) {
        std::string s;
        if (!token(s))
            return false;
        if (s.empty())
            return fail(std::string("unexpected end of data in ") + what);
        if (s == "}")
            return true;
        if (!member(s))
            return false;
    }
}

bool XFileCheck::parseTemplate() {
    std::string guid;
    return readHead(nullptr) && token(guid) &&
           members("template", [](const std::string&) { return true; });
}

bool XFileCheck::parseFrame(size_t parent, uint32_t depth) {
    std::string name;
    if (!readHead(&name))
        return false;
    if (depth > kMaxFrameDepth)
        return fail("frames nested too deeply");
    if (frames_.size() >= kMaxFrames)
        return fail("too many frames");
    if (name.size() > kMaxNameLength)
        return fail("frame name too long");
    const size_t index = frames_.size();
    frames_.push_back(FrameInfo{name, {}, {}});
    if (parent == kNoFrame) {
        roots_.push_back(index);
    } else {
        frames_[parent].children.push_back(index);
    }
    return members("frame", [&](const std::string& s) {
        if (s == "Frame")
            return parseFrame(index, depth + 1);
        if (s == "FrameTransformMatrix")
            return readHead(nullptr) && readFloats(16) && semicolon() && expect("}");
        if (s == "Mesh") {
            MeshInfo mesh;
            const bool ok = parseMesh(mesh);
            frames_[index].meshes.push_back(std::move(mesh));
            return ok;
        }
        return parseUnknown();
    });
}

bool XFileCheck::parseMesh(MeshInfo& info) {
    if (!readHead(nullptr))
        return false;
    if (++meshes_ > kMaxMeshes)
        return fail("too many meshes");
    uint32_t vertexCount = 0, faceCount = 0;
    if (!readInt(vertexCount))
        return false;
    if (vertexCount > kMaxModelVertices - vertices_)
        return fail("too many vertices");
    vertices_ += vertexCount;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        if (!readVector(3))
            return false;
    }
    if (!readInt(faceCount))
        return false;
    if (faceCount > kMaxFaces - faces_)
        return fail("too many faces");
    faces_ += faceCount;
    uint64_t meshCorners = 0;
    std::vector<uint32_t> faceSizes, faceMaterials;
    for (uint32_t f = 0; f < faceCount; ++f) {
        uint32_t count = 0;
        if (!readInt(count))
            return false;
        if (count > kMaxCorners - corners_)
            return fail("too many face indices");
        corners_ += count;
        meshCorners += count;
        faceSizes.push_back(count);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t index = 0;
            if (!readInt(index))
                return false;
            if (index >= vertexCount)
                return fail("face index out of range");
        }
        testSeparator();
    }

    bool hadNormals = false, hadMaterials = false;
    uint32_t texSets = 0, colourSets = 0, bones = 0, entries = 0;
    const bool read = members("mesh", [&](const std::string& s) {
        bool ok = true;
        uint32_t count = 0, index = 0;
        if (s == "MeshNormals") {
            if (hadNormals)
                return fail("second MeshNormals in one mesh");
            hadNormals = true;
            ok = parseNormals(faceCount);
        } else if (s == "MeshTextureCoords") {
            if (++texSets > kMaxDataSets)
                return fail("too many texture coordinate sets");
            ok = readHead(nullptr) && readInt(count);
            if (ok && count != vertexCount)
                return fail("texture coordinate count mismatch");
            for (uint32_t i = 0; ok && i < count; ++i) ok = readVector(2);
            ok = ok && expect("}");
        } else if (s == "MeshVertexColors") {
            if (++colourSets > kMaxDataSets)
                return fail("too many vertex colour sets");
            ok = readHead(nullptr) && readInt(count);
            if (ok && count != vertexCount)
                return fail("vertex colour count mismatch");
            for (uint32_t i = 0; ok && i < count; ++i) {
                ok = readInt(index);
                if (ok && index >= vertexCount)
                    return fail("vertex colour index out of range");
                ok = ok && readVector(4);
                if (ok && !binary_) {
                    skipSpace();
                    if (at(0) == ';' || at(0) == ',')
                        ++p_;
                }
            }
            ok = ok && expect("}");
        } else if (s == "MeshMaterialList") {
            if (hadMaterials)
                return fail("second MeshMaterialList in one mesh");
            hadMaterials = true;
            ok = parseMaterialList(faceCount, info, entries, faceMaterials);
        } else if (s == "XSkinMeshHeader") {
            ok = readHead(nullptr) && readInt(count) && readInt(count) && readInt(count) &&
                 expect("}");
        } else if (s == "SkinWeights") {
            std::string bone;
            ok = readHead(nullptr) && readString(bone) && readInt(count);
            if (ok && count > kMaxWeights - weights_)
                return fail("too many skin weights");
            weights_ += count;
            for (uint32_t i = 0; ok && i < count; ++i) {
                ok = readInt(index);
                if (ok && index >= vertexCount)
                    return fail("skin weight index out of range");
            }
            for (uint32_t i = 0; ok && i < count; ++i) ok = readFloat();  // the weights
            ok = ok && readFloats(16) && semicolon() && expect("}");      // offset matrix
            ++bones;
        } else {
            ok = parseUnknown();  // VertexDuplicationIndices and anything else
        }
        return ok;
    });
    if (!read)
        return false;
    const uint64_t materials = std::max<uint32_t>(entries, 1);
    work_ += materials * faceCount + materials * bones * (uint64_t(vertexCount) + meshCorners);
    if (work_ > kMaxImportWork)
        return fail("mesh too complex");

    // The importer makes one mesh per material of the list from the faces using it, and skips
    // such a mesh when its faces have no corners at all; faces naming a material the list does
    // not hold are dropped. One index in the list stands for every face.
    std::vector<uint64_t> groupFaces(materials, 0), groupCorners(materials, 0);
    for (uint32_t f = 0; f < faceCount; ++f) {
        const uint32_t material =
            faceMaterials.empty() ? 0 : faceMaterials[faceMaterials.size() == 1 ? 0 : f];
        if (material < materials) {
            ++groupFaces[material];
            groupCorners[material] += faceSizes[f];
        }
    }
    for (uint64_t g = 0; g < materials; ++g) {
        if (groupCorners[g] > 0) {
            info.faces += groupFaces[g];
            info.corners += groupCorners[g];
        }
    }
    return true;
}

bool XFileCheck::parseNormals(uint32_t faces) {
    uint32_t normalCount = 0, faceCount = 0;
    if (!readHead(nullptr) || !readInt(normalCount))
        return false;
    if (normalCount > kMaxNormals - normals_)
        return fail("too many normals");
    normals_ += normalCount;
    for (uint32_t i = 0; i < normalCount; ++i) {
        if (!readVector(3))
            return false;
    }
    if (!readInt(faceCount))
        return false;
    if (faceCount != faces)
        return fail("normal face count does not match face count");
    for (uint32_t f = 0; f < faceCount; ++f) {
        uint32_t count = 0;
        if (!readInt(count))
            return false;
        if (count > kMaxCorners - normalCorners_)
            return fail("too many normal indices");
        normalCorners_ += count;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t index = 0;
            if (!readInt(index))
                return false;
            if (index >= normalCount)
                return fail("normal index out of range");
        }
        testSeparator();
    }
    return expect("}");
}

bool XFileCheck::parseMaterialList(uint32_t faces, MeshInfo& info, uint32_t& entries,
                                   std::vector<uint32_t>& faceMaterials) {
    uint32_t declared = 0, indexCount = 0;
    if (!readHead(nullptr) || !readInt(declared) || !readInt(indexCount))
        return false;
    // One index for all faces is allowed, but only when there are faces to copy it to.
    if (indexCount != faces && !(indexCount == 1 && faces > 0)) {
        return fail("material index count does not match face count");
    }
    for (uint32_t i = 0; i < indexCount; ++i) {
        uint32_t index = 0;
        if (!readInt(index))
            return false;
        faceMaterials.push_back(index);
    }
    if (!binary_ && at(0) == ';')
        ++p_;
    const bool read = members("material list", [&](const std::string& s) {
        if (s == "{") {
            std::string name;
            const bool ok = token(name) && expect("}");
            ++entries;
            if (++materialEntries_ > kMaxMaterialEntries)
                return fail("too many materials");
            return ok;
        }
        if (s == "Material") {
            ++entries;
            return parseMaterial(info.textures);
        }
        return s == ";" || parseUnknown();
    });
    if (!read)
        return false;
    if (indexCount > 0 && entries == 0)
        return fail("material list without materials");
    return true;
}

bool XFileCheck::parseMaterial(std::vector<std::string>& textures) {
    if (!readHead(nullptr))
        return false;
    if (++materialEntries_ > kMaxMaterialEntries)
        return fail("too many materials");
    // Face colour (RGBA), power, specular (RGB), emissive (RGB).
    if (!readVector(4) || !readFloat() || !readVector(3) || !readVector(3))
        return false;
    std::string texture;
    bool haveTexture = false;
    const bool read = members("material", [&](const std::string& s) {
        if (s != "TextureFilename" && s != "TextureFileName" && s != "NormalmapFilename" &&
            s != "NormalmapFileName")
            return parseUnknown();
        std::string name;
        if (!readHead(nullptr) || !readString(name) || !expect("}"))
            return false;
        if (name.size() > kMaxNameLength)
            return fail("texture name too long");
        if (!haveTexture && (s == "TextureFilename" || s == "TextureFileName")) {
            texture = name.substr(0, name.find('\0'));  // a name ends at a zero byte
            haveTexture = true;
        }
        return true;
    });
    if (!read)
        return false;
    textures.push_back(texture);
    return true;
}

bool XFileCheck::parseAnimationSet() {
    return readHead(nullptr) && members("animation set", [this](const std::string& s) {
               return s == "Animation" ? parseAnimation() : parseUnknown();
           });
}

bool XFileCheck::parseAnimation() {
    return readHead(nullptr) && members("animation", [this](const std::string& s) {
               if (s == "AnimationKey")
                   return parseAnimationKey();
               if (s == "{") {
                   std::string frame;
                   return token(frame) && expect("}");
               }
               return parseUnknown();  // AnimationOptions and anything else
           });
}

bool XFileCheck::parseAnimationKey() {
    uint32_t type = 0, keys = 0;
    if (!readHead(nullptr) || !readInt(type) || !readInt(keys))
        return false;
    for (uint32_t k = 0; k < keys; ++k) {
        uint32_t time = 0, count = 0;
        if (!readInt(time) || !readInt(count))
            return false;
        bool ok = true;
        switch (type) {
            case 0:
                ok = count == 4 && readFloats(4) && semicolon();
                break;
            case 1:
            case 2:
                ok = count == 3 && readVector(3);
                break;
            case 3:
            case 4:
                ok = count == 16 && readFloats(16) && semicolon();
                break;
            default:
                return fail("unknown animation key type");
        }
        if (!ok)
            return fail("bad animation key");
        if (!separator())
            return false;
    }
    return expect("}");
}

bool XFileCheck::parseUnknown() {
    std::string s;
    for (;;) {
        if (!token(s))
            return false;
        if (s.empty())
            return fail("unexpected end of data in unknown object");
        if (s == "{")
            break;
    }
    for (uint32_t depth = 1; depth > 0;) {
        if (!token(s))
            return false;
        if (s.empty())
            return fail("unexpected end of data in unknown object");
        if (s == "{")
            ++depth;
        if (s == "}")
            --depth;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Conversion of the imported scene into one mesh.

std::string collapseBackslashes(std::string name) {
    for (size_t at = name.find("\\\\"); at != std::string::npos; at = name.find("\\\\")) {
        name.replace(at, 2, "\\");
    }
    return name;
}

bool materialHasTexture(const aiMaterial& material, const std::string& name) {
    for (int type = aiTextureType_NONE; type <= aiTextureType_UNKNOWN; ++type) {
        const auto textureType = aiTextureType(type);
        for (unsigned i = 0; i < material.GetTextureCount(textureType); ++i) {
            aiString path;
            if (material.GetTexture(textureType, i, &path) == AI_SUCCESS && name == path.C_Str()) {
                return true;
            }
        }
    }
    return false;
}

Colour4 materialColour(const aiMaterial& material, const char* key, unsigned type, unsigned index,
                       Colour4 fallback) {
    aiColor4D c;
    if (material.Get(key, type, index, c) != AI_SUCCESS)
        return fallback;
    return {c.r, c.g, c.b, c.a};
}

struct VertexKey {
    uint32_t instance;
    uint32_t bits[8];
    bool operator==(const VertexKey& other) const {
        return instance == other.instance && std::memcmp(bits, other.bits, sizeof bits) == 0;
    }
};

struct VertexKeyHash {
    size_t operator()(const VertexKey& key) const {
        uint64_t h = 1469598103934665603ull ^ key.instance;
        for (uint32_t b : key.bits) h = (h ^ b) * 1099511628211ull;
        return size_t(h);
    }
};

class SceneConverter {
  public:
    explicit SceneConverter(const aiScene& scene)
        : scene_(scene), visited_(scene.mNumMeshes, false) {}

    bool convert(const std::vector<std::string>& textures, ModelData& out, std::string& error);

  private:
    bool visit(const aiNode& node, const aiMatrix4x4& parent, uint32_t depth);
    bool addMeshes(const std::vector<unsigned>& meshes, const aiMatrix4x4& transform);
    bool addMesh(const aiMesh& mesh, const aiMatrix4x4& transform, bool identity,
                 const aiMatrix3x3& normalTransform);
    bool fail(const std::string& message) {
        error_ = message;
        return false;
    }

    const aiScene& scene_;
    std::vector<bool> visited_;
    std::string error_;
    std::vector<MeshVertex> vertices_;
    std::vector<uint32_t> triangles_;  // three indices each
    std::vector<uint32_t> subsets_;    // one per triangle
    std::unordered_map<VertexKey, uint32_t, VertexKeyHash> joined_;
    uint32_t instance_ = 0;
    bool allNormals_ = true, allColours_ = true;
    uint32_t texSets_ = 8;
    bool anyTriangles_ = false;
};

bool SceneConverter::convert(const std::vector<std::string>& textures, ModelData& out,
                             std::string& error) {
    const uint32_t materialCount = scene_.mNumMaterials;
    if (!scene_.mRootNode || scene_.mNumMeshes == 0 || !scene_.mMeshes || materialCount == 0 ||
        !scene_.mMaterials) {
        error = "the file holds no mesh";
        return false;
    }
    // The importer adds one grey material when the file has none.
    const bool defaultMaterial = textures.empty() && materialCount == 1;
    if (textures.size() != materialCount && !defaultMaterial) {
        error = "the importer's materials do not match the file's";
        return false;
    }
    if (!visit(*scene_.mRootNode, aiMatrix4x4(), 0)) {
        error = error_;
        return false;
    }
    if (std::find(visited_.begin(), visited_.end(), false) != visited_.end()) {
        error = "a mesh outside the frame hierarchy";
        return false;
    }
    if (!anyTriangles_) {
        error = "the file holds no triangles";
        return false;
    }
    if (vertices_.size() > kMaxModelVertices) {
        error = "more than " + std::to_string(kMaxModelVertices) + " vertices";
        return false;
    }

    out = ModelData{};
    for (uint32_t i = 0; i < materialCount; ++i) {
        const aiMaterial* source = scene_.mMaterials[i];
        if (!source) {
            error = "missing material";
            return false;
        }
        ModelMaterial material;
        material.material.diffuse =
            materialColour(*source, AI_MATKEY_COLOR_DIFFUSE, Colour4{0, 0, 0, 1});
        material.material.specular =
            materialColour(*source, AI_MATKEY_COLOR_SPECULAR, Colour4{0, 0, 0, 1});
        material.material.emissive =
            materialColour(*source, AI_MATKEY_COLOR_EMISSIVE, Colour4{0, 0, 0, 1});
        float power = 0;
        if (source->Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS)
            material.material.power = power;
        if (!defaultMaterial) {
            material.textureFile = textures[i];
            if (!material.textureFile.empty() &&
                !materialHasTexture(*source, collapseBackslashes(material.textureFile))) {
                error = "the importer's texture names do not match the file's";
                return false;
            }
        }
        out.materials.push_back(std::move(material));
    }

    MeshData& mesh = out.mesh;
    mesh.fvf = kFvfXyz | (allNormals_ ? kFvfNormal : 0) | (allColours_ ? kFvfDiffuse : 0) |
               (texSets_ << 8);
    mesh.vertices = std::move(vertices_);
    // Triangles sorted by subset, each subset keeping the file's order.
    std::vector<uint32_t> start(materialCount + 1, 0);
    for (uint32_t s : subsets_) ++start[s + 1];
    for (uint32_t i = 0; i < materialCount; ++i) start[i + 1] += start[i];
    const size_t triangleCount = subsets_.size();
    mesh.indices.resize(triangleCount * 3);
    mesh.faceSubsets.resize(triangleCount);
    for (size_t t = 0; t < triangleCount; ++t) {
        const uint32_t slot = start[subsets_[t]]++;
        mesh.faceSubsets[slot] = subsets_[t];
        std::copy_n(&triangles_[t * 3], 3, &mesh.indices[size_t(slot) * 3]);
    }
    return true;
}

bool SceneConverter::visit(const aiNode& node, const aiMatrix4x4& parent, uint32_t depth) {
    if (depth > kMaxFrameDepth + 2)
        return fail("frames nested too deeply");
    const aiMatrix4x4 transform = parent * node.mTransformation;
    if (node.mNumMeshes > 0 && !node.mMeshes)
        return fail("node without its mesh list");
    const std::vector<unsigned> meshes(node.mMeshes, node.mMeshes + node.mNumMeshes);
    if (!addMeshes(meshes, transform))
        return false;
    if (node.mNumChildren > 0 && !node.mChildren)
        return fail("node without its children");
    for (unsigned i = 0; i < node.mNumChildren; ++i) {
        if (!node.mChildren[i] || !visit(*node.mChildren[i], transform, depth + 1)) {
            return error_.empty() ? fail("missing node") : false;
        }
    }
    return true;
}

// Vertices are joined only within the meshes of one frame.
bool SceneConverter::addMeshes(const std::vector<unsigned>& meshes, const aiMatrix4x4& transform) {
    const bool identity = transform.IsIdentity();
    // Normals go through the inverse transpose, kept at their own length in addMesh.
    aiMatrix3x3 normalTransform(transform);
    if (!identity) {
        const float det = normalTransform.Determinant();
        if (det != 0 && std::isfinite(det))
            normalTransform.Inverse().Transpose();
    }
    ++instance_;
    joined_.clear();
    for (unsigned index : meshes) {
        if (index >= scene_.mNumMeshes || !scene_.mMeshes[index] || visited_[index])
            return fail("bad mesh index");
        visited_[index] = true;
        if (!addMesh(*scene_.mMeshes[index], transform, identity, normalTransform))
            return false;
    }
    return true;
}

bool SceneConverter::addMesh(const aiMesh& mesh, const aiMatrix4x4& transform, bool identity,
                             const aiMatrix3x3& normalTransform) {
    if (mesh.mNumVertices == 0 || !mesh.mVertices)
        return fail("mesh without vertices");
    if (mesh.mMaterialIndex >= scene_.mNumMaterials)
        return fail("material index out of range");
    if (mesh.mNumFaces > 0 && !mesh.mFaces)
        return fail("mesh without its faces");
    const aiVector3D* uv = mesh.mTextureCoords[0];

    // The importer hands over one vertex per face corner; equal ones are joined again.
    std::vector<uint32_t> remap(mesh.mNumVertices, UINT32_MAX);
    auto vertexIndex = [&](unsigned source, uint32_t& result) {
        if (remap[source] != UINT32_MAX) {
            result = remap[source];
            return true;
        }
        MeshVertex v;
        aiVector3D p = mesh.mVertices[source];
        if (!identity)
            p = transform * p;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return fail("vertex position not finite");
        v.position = {p.x, p.y, p.z};
        if (mesh.mNormals) {
            aiVector3D n = mesh.mNormals[source];
            if (!identity) {
                const float length = n.Length();
                n = normalTransform * n;
                const float transformed = n.Length();
                if (transformed > 0)
                    n *= length / transformed;
            }
            if (std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z))
                v.normal = {n.x, n.y, n.z};
        }
        if (uv && std::isfinite(uv[source].x) && std::isfinite(uv[source].y)) {
            v.u = uv[source].x;
            v.v = uv[source].y;
        }
        VertexKey key{instance_, {}};
        std::memcpy(key.bits, &v, sizeof key.bits);
        auto [it, added] = joined_.try_emplace(key, uint32_t(vertices_.size()));
        if (added) {
            if (vertices_.size() >= kMaxModelVertices) {
                return fail("more than " + std::to_string(kMaxModelVertices) + " vertices");
            }
            vertices_.push_back(v);
        }
        remap[source] = it->second;
        result = it->second;
        return true;
    };

    bool added = false;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices < 3)
            continue;  // points and lines are not drawn
        if (!face.mIndices)
            return fail("face without indices");
        for (unsigned i = 0; i < face.mNumIndices; ++i) {
            if (face.mIndices[i] >= mesh.mNumVertices)
                return fail("face index out of range");
        }
        uint32_t first = 0, previous = 0, current = 0;
        if (!vertexIndex(face.mIndices[0], first) || !vertexIndex(face.mIndices[1], previous)) {
            return false;
        }
        // Polygons become fans around their first corner.
        for (unsigned i = 2; i < face.mNumIndices; ++i) {
            if (!vertexIndex(face.mIndices[i], current))
                return false;
            triangles_.insert(triangles_.end(), {first, previous, current});
            subsets_.push_back(mesh.mMaterialIndex);
            previous = current;
        }
        added = true;
    }
    if (added) {
        anyTriangles_ = true;
        allNormals_ = allNormals_ && mesh.mNormals != nullptr;
        allColours_ = allColours_ && mesh.mColors[0] != nullptr;
        uint32_t sets = 0;
        while (sets < AI_MAX_NUMBER_OF_TEXTURECOORDS && mesh.mTextureCoords[sets]) ++sets;
        texSets_ = std::min(texSets_, std::min<uint32_t>(sets, 8));
    }
    return true;
}

}  // namespace

bool loadModelFromXBuffer(const uint8_t* data, size_t size, ModelData& out, std::string& error) {
    out = ModelData{};
    if (!data || size == 0) {
        error = "empty X file";
        return false;
    }
    XFileCheck check(data, size);
    if (!check.run(error)) {
        error = "X file: " + error;
        return false;
    }
    // A second, empty top-level frame makes the importer give the meshes outside any frame a
    // root node of their own.
    std::vector<uint8_t> extended;
    if (check.needsOwnRoot()) {
        extended.assign(data, data + size);
        if (check.isBinary()) {
            const uint8_t frame[] = {1, 0, 5, 0, 0, 0, 'F', 'r', 'a', 'm', 'e', 0x0a, 0, 0x0b, 0};
            extended.insert(extended.end(), std::begin(frame), std::end(frame));
        } else {
            const std::string frame = "\nFrame {\n}\n";
            extended.insert(extended.end(), frame.begin(), frame.end());
        }
        data = extended.data();
        size = extended.size();
        check = XFileCheck(data, size);
        if (!check.run(error)) {
            error = "X file: " + error;
            return false;
        }
    }
    // The importer hands the mesh over mirrored (z negated), with v flipped and the winding
    // reversed; converting it to left-handed undoes all three.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(
        data, size, aiProcess_ConvertToLeftHanded | aiProcess_ValidateDataStructure, "x");
    if (!scene) {
        error = std::string("X file: ") + importer.GetErrorString();
        return false;
    }
    if (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) {
        error = "X file: incomplete scene";
        return false;
    }
    uint64_t faces = 0, corners = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        if (scene->mMeshes && scene->mMeshes[i]) {
            faces += scene->mMeshes[i]->mNumFaces;
            corners += scene->mMeshes[i]->mNumVertices;
        }
    }
    if (faces != check.importedFaces || corners != check.importedCorners) {
        error = "X file: the importer read the file differently from its check";
        return false;
    }
    SceneConverter converter(*scene);
    if (!converter.convert(check.materialTextures, out, error)) {
        out = ModelData{};
        error = "X file: " + error;
        return false;
    }
    return true;
}

bool loadModelFromX(const std::string& path, ModelData& out, std::string& error) {
    out = ModelData{};
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, kMaxModelFileBytes, bytes, error))
        return false;
    if (!loadModelFromXBuffer(bytes.data(), bytes.size(), out, error)) {
        error = localPath(path) + ": " + error;
        return false;
    }
    return true;
}

float computeBoundingRadius(const std::vector<MeshVertex>& vertices) {
    if (vertices.empty())
        return 0;
    double cx = 0, cy = 0, cz = 0;
    for (const MeshVertex& v : vertices) {
        cx += v.position.x;
        cy += v.position.y;
        cz += v.position.z;
    }
    const double n = double(vertices.size());
    cx /= n;
    cy /= n;
    cz /= n;
    double largest = 0;
    for (const MeshVertex& v : vertices) {
        const double dx = v.position.x - cx, dy = v.position.y - cy, dz = v.position.z - cz;
        largest = std::max(largest, dx * dx + dy * dy + dz * dz);
    }
    return float(std::sqrt(largest));
}

void computeNormals(MeshData& mesh) {
    std::vector<Vec3> sums(mesh.vertices.size());
    const size_t count = mesh.vertices.size();
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const uint32_t i0 = mesh.indices[t], i1 = mesh.indices[t + 1], i2 = mesh.indices[t + 2];
        if (i0 >= count || i1 >= count || i2 >= count)
            continue;
        const Vec3 p0 = mesh.vertices[i0].position;
        const Vec3 faceNormal =
            cross(mesh.vertices[i1].position - p0, mesh.vertices[i2].position - p0);
        const float len = length(faceNormal);
        if (!(len > 0) || !std::isfinite(len))
            continue;  // degenerate faces have no direction
        const Vec3 unit = faceNormal * (1.0f / len);
        for (uint32_t i : {i0, i1, i2}) sums[i] = sums[i] + unit;
    }
    for (size_t i = 0; i < count; ++i) {
        const float len = length(sums[i]);
        mesh.vertices[i].normal = len > 0 ? sums[i] * (1.0f / len) : Vec3{};
    }
}
