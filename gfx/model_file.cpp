// DirectX X model files (text, binary and their MSZIP-compressed forms) read into one mesh with
// one subset per material, in the file's own coordinates, winding and texture names; plus
// bounding radius and vertex normals of such a mesh.
#include "gfx/model_file.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "gfx/texture_file.h"

namespace {

// Every count in a file is checked against these and against the bytes left before anything is
// allocated for it.
constexpr uint64_t kMaxFaces = 2000000;
constexpr uint64_t kMaxCorners = 3000000;
constexpr uint64_t kMaxNormals = 3000000;
constexpr uint32_t kMaxMaterials = 4096;
constexpr uint32_t kMaxMeshes = 65536;
constexpr uint32_t kMaxFrames = 65536;
constexpr uint32_t kMaxFrameDepth = 128;
constexpr size_t kMaxNameLength = 1000;
constexpr uint32_t kMaxDataSets = 8;  // texture coordinate and colour sets of one mesh
constexpr size_t kMszipBlock = 32768;

using Matrix4 = std::array<std::array<float, 4>, 4>;  // applied to row vectors: p' = p x M

constexpr Matrix4 kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// ---------------------------------------------------------------------------------------------
// Compressed files: after the header a 32-bit size of the whole uncompressed file, then blocks of
// at most 32 KiB, each a 16-bit uncompressed size, a 16-bit size of what follows, "CK" and a
// deflate stream that may refer back to the block before it.

uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

bool inflateBlocks(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                   std::string& error) {
    if (size < 4) {
        error = "compressed file without its size";
        return false;
    }
    const uint32_t total = le32(data);
    if (total > kMaxModelFileBytes) {
        error = "compressed file larger than " + std::to_string(kMaxModelFileBytes) + " bytes";
        return false;
    }
    size_t at = 4;
    while (at < size) {
        if (size - at < 6) {
            error = "truncated compressed block";
            return false;
        }
        const uint32_t plain = le16(data + at), packed = le16(data + at + 2);
        at += 4;
        if (plain == 0 || plain > kMszipBlock || packed < 2 || packed > size - at ||
            data[at] != 'C' || data[at + 1] != 'K') {
            error = "bad compressed block";
            return false;
        }
        if (out.size() + plain > total) {
            error = "compressed blocks larger than the file's size";
            return false;
        }
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
            error = "inflate could not start";
            return false;
        }
        // The history of the blocks before this one, as deflate's dictionary.
        const size_t history = std::min(out.size(), kMszipBlock);
        const size_t start = out.size();
        int result =
            history ? inflateSetDictionary(&z, out.data() + start - history, uInt(history)) : Z_OK;
        out.resize(start + plain);
        z.next_in = const_cast<Bytef*>(data + at + 2);
        z.avail_in = packed - 2;
        z.next_out = out.data() + start;
        z.avail_out = plain;
        if (result == Z_OK)
            result = inflate(&z, Z_FINISH);
        const bool whole = result == Z_STREAM_END && z.avail_out == 0;
        inflateEnd(&z);
        if (!whole) {
            error = "compressed block does not inflate to its size";
            return false;
        }
        at += packed;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Tokens and values of the text and binary forms.

enum class Token { End, Name, String, Open, Close, Guid, Separator, Template, Other };

bool isSpaceChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigitChar(char c) {
    return c >= '0' && c <= '9';
}
bool endsWord(char c) {
    return isSpaceChar(c) || (c != '\0' && std::strchr("{}\";,<", c));
}

class XTokens {
  public:
    XTokens(const uint8_t* data, size_t size, bool binary, bool doubles)
        : p_(data), end_(data + size), binary_(binary), floatSize_(doubles ? 8 : 4) {}

    const std::string& error() const { return error_; }
    bool fail(const std::string& what) {
        if (error_.empty())
            error_ = binary_ ? what : what + " (line " + std::to_string(line()) + ")";
        return false;
    }
    // Whether `count` items of `numbers` numbers each can still be in the file: every number
    // takes at least one byte.
    bool holds(uint64_t count, uint64_t numbers) const {
        return count * numbers <= uint64_t(end_ - p_);
    }

    // The next token outside the data; text and the contents of binary lists are skipped.
    bool next(Token& token, std::string* text = nullptr);
    bool readInt(uint32_t& value);
    bool readFloat(float& value);
    bool readString(std::string& value);
    // After an object's opening brace: its optional class id.
    void skipGuid();
    // To the closing brace of the object whose contents are being read.
    bool skipToClose(const char* what);

  private:
    size_t left() const { return size_t(end_ - p_); }
    uint32_t line() const { return 1 + uint32_t(std::count(start_, p_, '\n')); }
    void skipSpace();
    void skipFiller();
    bool nextList(bool floats);
    bool textNumber(bool integer, double& value);

    const uint8_t* p_;
    const uint8_t* end_;
    const uint8_t* start_ = p_;
    bool binary_;
    uint32_t floatSize_;
    uint32_t listLeft_ = 0;  // values left in the binary list being read
    bool listFloats_ = false;
    std::string error_;
};

void XTokens::skipSpace() {
    while (p_ < end_) {
        if (isSpaceChar(char(*p_))) {
            ++p_;
        } else if (*p_ == '#' || (*p_ == '/' && left() > 1 && p_[1] == '/')) {
            while (p_ < end_ && *p_ != '\n') ++p_;
        } else {
            return;
        }
    }
}

// Text separators between values are not checked: a value ends where its characters end.
void XTokens::skipFiller() {
    for (skipSpace(); p_ < end_ && (*p_ == ',' || *p_ == ';'); skipSpace()) ++p_;
}

bool XTokens::next(Token& token, std::string* text) {
    if (text)
        text->clear();
    if (binary_) {
        p_ += std::min<uint64_t>(left(), uint64_t(listLeft_) * (listFloats_ ? floatSize_ : 4));
        listLeft_ = 0;
        if (left() < 2) {
            token = Token::End;
            return true;
        }
        const uint32_t tag = le16(p_);
        p_ += 2;
        uint32_t length = 0;
        if (tag == 1 || tag == 2 || tag == 6 || tag == 7) {
            if (left() < 4)
                return fail("truncated token");
            length = le32(p_);
            p_ += 4;
        }
        const uint64_t bytes = tag == 6   ? uint64_t(length) * 4
                               : tag == 7 ? uint64_t(length) * floatSize_
                               : tag == 3 ? 4
                               : tag == 5 ? 16
                                          : length;
        if (bytes > left())
            return fail("token runs past the end of the data");
        if ((tag == 1 || tag == 2) && text)
            text->assign(reinterpret_cast<const char*>(p_), length);
        p_ += bytes;
        token = tag == 1                 ? Token::Name
                : tag == 2               ? Token::String
                : tag == 5               ? Token::Guid
                : tag == 10              ? Token::Open
                : tag == 11              ? Token::Close
                : tag == 19 || tag == 20 ? Token::Separator
                : tag == 31              ? Token::Template
                : tag == 3 || tag == 6 || tag == 7 || (tag >= 12 && tag <= 18) ||
                        (tag >= 40 && tag <= 52)
                    ? Token::Other
                    : Token::End;
        if (token == Token::End)
            return fail("unknown token " + std::to_string(tag));
        return true;
    }
    skipSpace();
    if (p_ >= end_) {
        token = Token::End;
        return true;
    }
    const char c = char(*p_);
    if (c == '"' || c == '<') {
        const auto* close =
            static_cast<const uint8_t*>(std::memchr(p_ + 1, c == '"' ? '"' : '>', left() - 1));
        if (!close)
            return fail(c == '"' ? "unterminated string" : "unterminated class id");
        if (text)
            text->assign(reinterpret_cast<const char*>(p_ + 1), size_t(close - p_ - 1));
        p_ = close + 1;
        token = c == '"' ? Token::String : Token::Guid;
        return true;
    }
    if (c == '{' || c == '}' || c == ',' || c == ';') {
        ++p_;
        token = c == '{' ? Token::Open : c == '}' ? Token::Close : Token::Separator;
        return true;
    }
    const uint8_t* word = p_;
    while (p_ < end_ && !endsWord(char(*p_))) ++p_;
    if (text)
        text->assign(reinterpret_cast<const char*>(word), size_t(p_ - word));
    token = Token::Name;
    return true;
}

bool XTokens::nextList(bool floats) {
    while (listLeft_ == 0) {
        if (left() < 2)
            return fail("unexpected end of data");
        const uint32_t tag = le16(p_);
        if (tag == 19 || tag == 20) {  // separators between lists
            p_ += 2;
            continue;
        }
        if (tag == 3 && !floats) {
            p_ += 2;
            listLeft_ = 1;
        } else if (tag == (floats ? 7u : 6u) && left() >= 6) {
            listLeft_ = le32(p_ + 2);
            p_ += 6;
        } else {
            return fail(floats ? "float list expected" : "integer list expected");
        }
        listFloats_ = floats;
    }
    if (listFloats_ != floats)
        return fail(floats ? "float expected" : "integer expected");
    if (left() < (floats ? floatSize_ : 4))
        return fail("unexpected end of data");
    --listLeft_;
    return true;
}

// A decimal number as the game's plane has always been read: the whole part as an integer
// turned into a float, the first 15 digits of the fraction scaled in double precision, turned
// into a float and added in single precision, then an exponent as a power of ten in single
// precision. Correct rounding would change the last bit of some of the plane's coordinates.
bool XTokens::textNumber(bool integer, double& value) {
    skipFiller();
    const bool negative = p_ < end_ && *p_ == '-';
    if (negative || (p_ < end_ && *p_ == '+'))
        ++p_;
    const uint8_t* digits = p_;
    uint64_t whole = 0;
    while (p_ < end_ && isDigitChar(char(*p_)) && p_ - digits < 19)
        whole = whole * 10 + uint64_t(*p_++ - '0');
    const bool hadDigits = p_ > digits;
    float number = float(whole);
    if (!integer && p_ < end_ && *p_ == '.') {
        ++p_;
        uint64_t fraction = 0;
        int places = 0;
        for (; p_ < end_ && isDigitChar(char(*p_)); ++p_) {
            if (places < 15) {
                fraction = fraction * 10 + uint64_t(*p_ - '0');
                ++places;
            }
        }
        static const double kScale[] = {1,    1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                        1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
        number += float(double(fraction) * kScale[places]);
        if (!hadDigits && places == 0)
            return fail("number expected");
    } else if (!hadDigits) {
        return fail("number expected");
    }
    if (!integer && p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
        ++p_;
        const bool down = p_ < end_ && *p_ == '-';
        if (down || (p_ < end_ && *p_ == '+'))
            ++p_;
        int exponent = 0;
        for (; p_ < end_ && isDigitChar(char(*p_)); ++p_)
            exponent = std::min(exponent * 10 + (*p_ - '0'), 999);
        number *= std::pow(10.0f, float(down ? -exponent : exponent));
    }
    if (p_ < end_ && !endsWord(char(*p_)))
        return fail(integer ? "integer expected" : "number expected");
    value = integer ? double(whole) : double(number);
    if (negative)
        value = -value;
    return true;
}

bool XTokens::readInt(uint32_t& value) {
    if (binary_) {
        if (!nextList(false))
            return false;
        value = le32(p_);
        p_ += 4;
        return true;
    }
    double number = 0;
    if (!textNumber(true, number))
        return false;
    if (std::fabs(number) > 4294967295.0)
        return fail("integer out of range");
    // A negative count or index wraps around and is refused as out of range by its user.
    value = number < 0 ? 0u - uint32_t(-number) : uint32_t(number);
    return true;
}

bool XTokens::readFloat(float& value) {
    if (binary_) {
        if (!nextList(true))
            return false;
        if (floatSize_ == 8) {
            double d;
            std::memcpy(&d, p_, 8);
            value = float(d);
        } else {
            std::memcpy(&value, p_, 4);
        }
        p_ += floatSize_;
    } else {
        double number = 0;
        if (!textNumber(false, number))
            return false;
        value = float(number);
    }
    if (!std::isfinite(value))
        return fail("number out of range");
    return true;
}

bool XTokens::readString(std::string& value) {
    Token token;
    do {
        if (!next(token, &value))
            return false;
    } while (token == Token::Separator);
    if (token != Token::String)
        return fail("string expected");
    // The binary terminator is documented as 32 bits and written as 16 by some.
    if (binary_ && left() >= 2 && (le16(p_) == 19 || le16(p_) == 20)) {
        p_ += 2;
        if (left() >= 2 && le16(p_) == 0)
            p_ += 2;
    }
    return true;
}

void XTokens::skipGuid() {
    if (binary_) {
        if (left() >= 18 && le16(p_) == 5)
            p_ += 18;
        return;
    }
    skipSpace();
    if (p_ < end_ && *p_ == '<') {
        Token token;
        next(token);
    }
}

bool XTokens::skipToClose(const char* what) {
    for (uint32_t depth = 1;;) {
        Token token;
        if (!next(token))
            return false;
        if (token == Token::End)
            return fail(std::string("unexpected end of data in ") + what);
        if (token == Token::Open)
            ++depth;
        if (token == Token::Close && --depth == 0)
            return true;
    }
}

// ---------------------------------------------------------------------------------------------
// The file's objects.

struct XMesh {
    std::vector<Vec3> positions;
    std::vector<uint32_t> faceStarts;  // one more than there are faces
    std::vector<uint32_t> corners;
    bool hasNormals = false;
    std::vector<Vec3> normals;
    std::vector<uint32_t> normalStarts, normalCorners;
    uint32_t texSets = 0, colourSets = 0;
    std::vector<std::array<float, 2>> uv;  // the first set
    bool hasMaterialList = false;
    std::vector<uint32_t> faceMaterials;  // one per face, into materials
    // Per material of the list: an own material (index into ownMaterials) or a reference.
    std::vector<ModelMaterial> ownMaterials;
    std::vector<int32_t> materialOwn;        // -1 for a reference
    std::vector<std::string> materialNames;  // the name referred to
    std::vector<uint32_t> subsets;           // filled when the subsets are numbered
};

struct XFrame {
    Matrix4 local = kIdentity;
    std::vector<XMesh> meshes;
    std::vector<size_t> children;
};

class XFileReader {
  public:
    explicit XFileReader(XTokens& tokens) : in_(tokens) {}
    bool read();
    bool build(ModelData& out, std::string& error);

  private:
    bool fail(const std::string& what) { return in_.fail(what); }
    // Reads the optional name and the opening brace of an object whose identifier was read.
    bool openObject(std::string* name = nullptr, const char* longName = "name too long");
    // The child objects of an object up to its closing brace; child(identifier) reads each,
    // reference(name) each data reference.
    template <typename Child, typename Reference>
    bool children(const char* what, Child child, Reference reference);
    bool skipObject() { return openObject() && in_.skipToClose("object"); }
    bool readFrame(size_t parent, uint32_t depth);
    bool readMatrix(Matrix4& m);
    bool readMesh(XMesh& mesh);
    bool readFaces(uint32_t vertexCount, std::vector<uint32_t>& starts,
                   std::vector<uint32_t>& corners, uint64_t& total, bool normals);
    bool readNormals(XMesh& mesh);
    bool readMaterialList(XMesh& mesh);
    bool readMaterial(ModelMaterial& material, std::string* name);
    bool readSkinWeights(uint32_t vertexCount);
    bool numberSubsets(XMesh& mesh, ModelData& out, std::string& error);

    XTokens& in_;
    std::vector<XFrame> frames_;  // frames_[0]: the meshes outside any frame
    std::vector<size_t> roots_;
    std::vector<ModelMaterial> globalMaterials_;
    std::vector<std::string> globalNames_;
    uint64_t positions_ = 0, faces_ = 0, corners_ = 0, normals_ = 0, normalCorners_ = 0;
    uint32_t meshes_ = 0, materials_ = 0;
    static constexpr uint32_t kDefaultSubset = UINT32_MAX;
    bool needsDefault_ = false;
};

bool XFileReader::openObject(std::string* name, const char* longName) {
    Token token;
    std::string text;
    if (!in_.next(token, &text))
        return false;
    if (token == Token::Name) {
        if (text.size() > kMaxNameLength)
            return fail(longName);
        if (name)
            *name = text;
        if (!in_.next(token))
            return false;
    }
    if (token != Token::Open)
        return fail("'{' expected");
    in_.skipGuid();
    return true;
}

template <typename Child, typename Reference>
bool XFileReader::children(const char* what, Child child, Reference reference) {
    for (;;) {
        Token token;
        std::string text;
        if (!in_.next(token, &text))
            return false;
        switch (token) {
            case Token::End:
                return fail(std::string("unexpected end of data in ") + what);
            case Token::Close:
                return true;
            case Token::Open:  // { name [class id] }
                if (!in_.next(token, &text))
                    return false;
                if (token != Token::Name)
                    return fail("name expected in a reference");
                if (!reference(text) || !in_.skipToClose("reference"))
                    return false;
                break;
            case Token::Name:
                if (!child(text))
                    return false;
                break;
            default:
                break;  // separators and stray values
        }
    }
}

bool XFileReader::read() {
    frames_.resize(1);
    for (;;) {
        Token token;
        std::string word;
        if (!in_.next(token, &word))
            return false;
        if (token == Token::End)
            return true;
        bool ok = true;
        if (token == Token::Name && word == "Frame") {
            ok = readFrame(SIZE_MAX, 1);
        } else if (token == Token::Name && word == "Mesh") {
            frames_[0].meshes.emplace_back();
            ok = readMesh(frames_[0].meshes.back());
        } else if (token == Token::Name && word == "Material") {
            globalMaterials_.emplace_back();
            globalNames_.emplace_back();
            ok = readMaterial(globalMaterials_.back(), &globalNames_.back());
        } else if (token == Token::Name || token == Token::Template) {
            ok = skipObject();  // templates and everything the model does not use
        } else if (token == Token::Open) {
            ok = in_.skipToClose("reference");
        } else if (token == Token::Close) {
            ok = fail("'}' without its object");
        }
        if (!ok)
            return false;
    }
}

bool XFileReader::readFrame(size_t parent, uint32_t depth) {
    if (depth > kMaxFrameDepth)
        return fail("frames nested too deeply");
    if (frames_.size() > kMaxFrames)
        return fail("too many frames");
    std::string name;
    if (!openObject(&name, "frame name too long"))
        return false;
    const size_t index = frames_.size();
    frames_.emplace_back();
    (parent == SIZE_MAX ? roots_ : frames_[parent].children).push_back(index);
    return children(
        "frame",
        [&](const std::string& s) {
            if (s == "Frame")
                return readFrame(index, depth + 1);
            if (s == "FrameTransformMatrix") {
                Matrix4 m;
                if (!openObject() || !readMatrix(m) || !in_.skipToClose("frame transform"))
                    return false;
                frames_[index].local = m;
                return true;
            }
            if (s == "Mesh") {
                XMesh mesh;
                if (!readMesh(mesh))
                    return false;
                frames_[index].meshes.push_back(std::move(mesh));
                return true;
            }
            return skipObject();
        },
        [](const std::string&) { return true; });
}

bool XFileReader::readMatrix(Matrix4& m) {
    for (auto& row : m) {
        for (float& value : row) {
            if (!in_.readFloat(value))
                return false;
        }
    }
    return true;
}

bool XFileReader::readFaces(uint32_t vertexCount, std::vector<uint32_t>& starts,
                            std::vector<uint32_t>& corners, uint64_t& total, bool normals) {
    const std::string what = normals ? "normal" : "face";
    uint32_t faceCount = 0;
    if (!in_.readInt(faceCount))
        return false;
    if (faceCount > kMaxFaces - faces_ || !in_.holds(faceCount, 1))
        return fail("too many " + what + "s");
    starts.reserve(size_t(faceCount) + 1);
    starts.push_back(0);
    for (uint32_t f = 0; f < faceCount; ++f) {
        uint32_t count = 0;
        if (!in_.readInt(count))
            return false;
        if (count > kMaxCorners - total || !in_.holds(count, 1))
            return fail("too many " + what + " indices");
        total += count;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t index = 0;
            if (!in_.readInt(index))
                return false;
            if (index >= vertexCount)
                return fail(what + " index out of range");
            corners.push_back(index);
        }
        starts.push_back(uint32_t(corners.size()));
    }
    return true;
}

bool XFileReader::readMesh(XMesh& mesh) {
    if (++meshes_ > kMaxMeshes)
        return fail("too many meshes");
    uint32_t vertexCount = 0;
    if (!openObject() || !in_.readInt(vertexCount))
        return false;
    if (vertexCount > kMaxModelVertices - positions_ || !in_.holds(vertexCount, 3))
        return fail("too many vertices");
    positions_ += vertexCount;
    mesh.positions.resize(vertexCount);
    for (Vec3& p : mesh.positions) {
        if (!in_.readFloat(p.x) || !in_.readFloat(p.y) || !in_.readFloat(p.z))
            return false;
    }
    if (!readFaces(vertexCount, mesh.faceStarts, mesh.corners, corners_, false))
        return false;
    const uint32_t faceCount = uint32_t(mesh.faceStarts.size() - 1);
    faces_ += faceCount;

    return children(
        "mesh",
        [&](const std::string& s) {
            uint32_t count = 0;
            if (s == "MeshNormals")
                return readNormals(mesh);
            if (s == "MeshMaterialList")
                return readMaterialList(mesh);
            if (s == "SkinWeights")
                return readSkinWeights(vertexCount);
            if (s == "MeshTextureCoords") {
                if (++mesh.texSets > kMaxDataSets)
                    return fail("too many texture coordinate sets");
                if (!openObject() || !in_.readInt(count))
                    return false;
                if (count != vertexCount)
                    return fail("texture coordinate count mismatch");
                std::vector<std::array<float, 2>> uv(count);
                for (auto& [u, v] : uv) {
                    if (!in_.readFloat(u) || !in_.readFloat(v))
                        return false;
                }
                if (mesh.texSets == 1)
                    mesh.uv = std::move(uv);
                return in_.skipToClose("texture coordinates");
            }
            if (s == "MeshVertexColors") {
                if (++mesh.colourSets > kMaxDataSets)
                    return fail("too many vertex colour sets");
                if (!openObject() || !in_.readInt(count))
                    return false;
                if (count != vertexCount)
                    return fail("vertex colour count mismatch");
                for (uint32_t i = 0; i < count; ++i) {
                    uint32_t index = 0;
                    float rgba[4];
                    if (!in_.readInt(index))
                        return false;
                    if (index >= vertexCount)
                        return fail("vertex colour index out of range");
                    for (float& c : rgba) {
                        if (!in_.readFloat(c))
                            return false;
                    }
                }
                return in_.skipToClose("vertex colours");
            }
            return skipObject();
        },
        [](const std::string&) { return true; });
}

bool XFileReader::readNormals(XMesh& mesh) {
    if (mesh.hasNormals)
        return fail("second MeshNormals in one mesh");
    mesh.hasNormals = true;
    uint32_t count = 0;
    if (!openObject() || !in_.readInt(count))
        return false;
    if (count > kMaxNormals - normals_ || !in_.holds(count, 3))
        return fail("too many normals");
    normals_ += count;
    mesh.normals.resize(count);
    for (Vec3& n : mesh.normals) {
        if (!in_.readFloat(n.x) || !in_.readFloat(n.y) || !in_.readFloat(n.z))
            return false;
    }
    if (!readFaces(count, mesh.normalStarts, mesh.normalCorners, normalCorners_, true))
        return false;
    if (mesh.normalStarts.size() != mesh.faceStarts.size())
        return fail("normal face count does not match face count");
    return in_.skipToClose("normals");
}

bool XFileReader::readMaterialList(XMesh& mesh) {
    if (mesh.hasMaterialList)
        return fail("second MeshMaterialList in one mesh");
    mesh.hasMaterialList = true;
    const uint32_t faceCount = uint32_t(mesh.faceStarts.size() - 1);
    uint32_t declared = 0, indexCount = 0;
    if (!openObject() || !in_.readInt(declared) || !in_.readInt(indexCount))
        return false;
    // One index may stand for every face.
    if (indexCount != faceCount && !(indexCount == 1 && faceCount > 0))
        return fail("material index count does not match face count");
    mesh.faceMaterials.resize(faceCount);
    for (uint32_t i = 0; i < indexCount; ++i) {
        if (!in_.readInt(mesh.faceMaterials[i]))
            return false;
    }
    if (indexCount == 1)
        std::fill(mesh.faceMaterials.begin(), mesh.faceMaterials.end(), mesh.faceMaterials[0]);
    auto add = [&](int32_t own, const std::string& name) {
        if (++materials_ > kMaxMaterials)
            return fail("too many materials");
        mesh.materialOwn.push_back(own);
        mesh.materialNames.push_back(name);
        return true;
    };
    const bool read = children(
        "material list",
        [&](const std::string& s) {
            if (s != "Material")
                return skipObject();
            mesh.ownMaterials.emplace_back();
            return readMaterial(mesh.ownMaterials.back(), nullptr) &&
                   add(int32_t(mesh.ownMaterials.size() - 1), "");
        },
        [&](const std::string& name) { return add(-1, name); });
    if (!read)
        return false;
    if (mesh.materialOwn.empty() && faceCount > 0)
        return fail("material list without materials");
    for (uint32_t m : mesh.faceMaterials) {
        if (m >= mesh.materialOwn.size())
            return fail("face material index out of range");
    }
    return true;
}

bool XFileReader::readMaterial(ModelMaterial& material, std::string* name) {
    if (name && ++materials_ > kMaxMaterials)
        return fail("too many materials");
    Material& m = material.material;
    // Face colour (RGBA), power, specular (RGB), emissive (RGB).
    if (!openObject(name) || !in_.readFloat(m.diffuse.r) || !in_.readFloat(m.diffuse.g) ||
        !in_.readFloat(m.diffuse.b) || !in_.readFloat(m.diffuse.a) || !in_.readFloat(m.power) ||
        !in_.readFloat(m.specular.r) || !in_.readFloat(m.specular.g) ||
        !in_.readFloat(m.specular.b) || !in_.readFloat(m.emissive.r) ||
        !in_.readFloat(m.emissive.g) || !in_.readFloat(m.emissive.b)) {
        return false;
    }
    m.specular.a = m.emissive.a = 1;
    bool haveTexture = false;
    return children(
        "material",
        [&](const std::string& s) {
            if (s != "TextureFilename" && s != "TextureFileName")
                return skipObject();
            std::string texture;
            if (!openObject() || !in_.readString(texture) || !in_.skipToClose("texture name"))
                return false;
            if (texture.size() > kMaxNameLength)
                return fail("texture name too long");
            if (!haveTexture)
                material.textureFile = texture.substr(0, texture.find('\0'));
            haveTexture = true;
            return true;
        },
        [](const std::string&) { return true; });
}

bool XFileReader::readSkinWeights(uint32_t vertexCount) {
    std::string bone;
    uint32_t count = 0;
    if (!openObject() || !in_.readString(bone) || !in_.readInt(count))
        return false;
    if (!in_.holds(count, 2))
        return fail("too many skin weights");
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = 0;
        if (!in_.readInt(index))
            return false;
        if (index >= vertexCount)
            return fail("skin weight index out of range");
    }
    return in_.skipToClose("skin weights");
}

// ---------------------------------------------------------------------------------------------
// The merged mesh.

// Row-vector product a x b, each element summed in the order of its terms.
Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
        }
    }
    return r;
}

struct VertexKey {
    uint32_t bits[8];
    bool operator==(const VertexKey& other) const {
        return std::memcmp(bits, other.bits, sizeof bits) == 0;
    }
};

struct VertexKeyHash {
    size_t operator()(const VertexKey& key) const {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t b : key.bits) h = (h ^ b) * 1099511628211ull;
        return size_t(h);
    }
};

class MeshBuilder {
  public:
    bool addFrame(const std::vector<XFrame>& frames, size_t index, const Matrix4& parent);
    bool finish(ModelData& out, std::string& error);
    std::string error;

  private:
    bool addMesh(const XMesh& mesh, const Matrix4& transform, bool identity,
                 const std::array<std::array<float, 3>, 3>& normalTransform);
    bool vertex(const XMesh& mesh, uint32_t face, uint32_t corner, const Matrix4& transform,
                bool identity, const std::array<std::array<float, 3>, 3>& normalTransform,
                uint32_t& result);

    std::vector<MeshVertex> vertices_;
    std::vector<uint32_t> triangles_;  // three indices each
    std::vector<uint32_t> subsets_;    // one per triangle
    std::unordered_map<VertexKey, uint32_t, VertexKeyHash> joined_;
    bool allNormals_ = true, allColours_ = true, anyTriangles_ = false;
    uint32_t texSets_ = kMaxDataSets;
};

// The inverse transpose of the frame's 3x3 part turns normals; one that cannot be inverted
// turns them as it turns positions.
std::array<std::array<float, 3>, 3> normalMatrix(const Matrix4& m) {
    const float det = m[0][0] * m[1][1] * m[2][2] - m[0][0] * m[1][2] * m[2][1] +
                      m[0][1] * m[1][2] * m[2][0] - m[0][1] * m[1][0] * m[2][2] +
                      m[0][2] * m[1][0] * m[2][1] - m[0][2] * m[1][1] * m[2][0];
    std::array<std::array<float, 3>, 3> r;
    if (det == 0 || !std::isfinite(det)) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) r[i][j] = m[j][i];
        }
        return r;
    }
    const float inv = 1.0f / det;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // Element (i, j) of the inverse: the cofactor of (j, i) over the determinant.
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            r[i][j] = inv * (m[j1][i1] * m[j2][i2] - m[j1][i2] * m[j2][i1]);
        }
    }
    return r;
}

bool MeshBuilder::addFrame(const std::vector<XFrame>& frames, size_t index, const Matrix4& parent) {
    const XFrame& frame = frames[index];
    const Matrix4 transform = multiply(frame.local, parent);
    const bool identity = transform == kIdentity;
    const auto normalTransform = normalMatrix(transform);
    // Equal corners are joined within the meshes of one frame.
    joined_.clear();
    for (const XMesh& mesh : frame.meshes) {
        if (!addMesh(mesh, transform, identity, normalTransform))
            return false;
    }
    for (size_t child : frame.children) {
        if (!addFrame(frames, child, transform))
            return false;
    }
    return true;
}

bool MeshBuilder::vertex(const XMesh& mesh, uint32_t face, uint32_t corner, const Matrix4& m,
                         bool identity, const std::array<std::array<float, 3>, 3>& nm,
                         uint32_t& result) {
    const uint32_t index = mesh.corners[mesh.faceStarts[face] + corner];
    MeshVertex v;
    Vec3 p = mesh.positions[index];
    if (!identity) {
        p = {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
             p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
             p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = "vertex position not finite";
            return false;
        }
    }
    v.position = p;
    // A corner without a normal index keeps a zero normal.
    if (mesh.hasNormals && mesh.normalStarts[face] + corner < mesh.normalStarts[face + 1]) {
        Vec3 n = mesh.normals[mesh.normalCorners[mesh.normalStarts[face] + corner]];
        if (!identity) {
            // Turned by the frame, kept at its own length.
            const float before = length(n);
            n = {nm[0][0] * n.x + nm[0][1] * n.y + nm[0][2] * n.z,
                 nm[1][0] * n.x + nm[1][1] * n.y + nm[1][2] * n.z,
                 nm[2][0] * n.x + nm[2][1] * n.y + nm[2][2] * n.z};
            const float after = length(n);
            if (after > 0)
                n = n * (before / after);
        }
        if (std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z))
            v.normal = n;
    }
    if (!mesh.uv.empty()) {
        v.u = mesh.uv[index][0];
        // Rounded through 1 - v and back, as the plane's texture has always been placed: the
        // last bit of a texture coordinate can move a texel.
        v.v = 1.0f - (1.0f - mesh.uv[index][1]);
    }
    VertexKey key;
    std::memcpy(key.bits, &v, sizeof key.bits);
    const auto [it, added] = joined_.try_emplace(key, uint32_t(vertices_.size()));
    if (added) {
        if (vertices_.size() >= kMaxModelVertices) {
            error = "more than " + std::to_string(kMaxModelVertices) + " vertices";
            return false;
        }
        vertices_.push_back(v);
    }
    result = it->second;
    return true;
}

bool MeshBuilder::addMesh(const XMesh& mesh, const Matrix4& transform, bool identity,
                          const std::array<std::array<float, 3>, 3>& normalTransform) {
    const uint32_t faceCount = uint32_t(mesh.faceStarts.size() - 1);
    // Material by material, each with its faces in file order; polygons as fans around their
    // first corner; points and lines are not drawn.
    std::vector<uint32_t> order(faceCount), start(mesh.subsets.size() + 1, 0);
    auto materialOf = [&](uint32_t f) {
        return mesh.faceMaterials.empty() ? 0u : mesh.faceMaterials[f];
    };
    for (uint32_t f = 0; f < faceCount; ++f) ++start[materialOf(f) + 1];
    for (size_t i = 0; i + 1 < start.size(); ++i) start[i + 1] += start[i];
    for (uint32_t f = 0; f < faceCount; ++f) order[start[materialOf(f)]++] = f;
    bool added = false;
    for (uint32_t f : order) {
        const uint32_t corners = mesh.faceStarts[f + 1] - mesh.faceStarts[f];
        if (corners < 3)
            continue;
        uint32_t first = 0, previous = 0, current = 0;
        if (!vertex(mesh, f, 0, transform, identity, normalTransform, first) ||
            !vertex(mesh, f, 1, transform, identity, normalTransform, previous)) {
            return false;
        }
        for (uint32_t k = 2; k < corners; ++k) {
            if (!vertex(mesh, f, k, transform, identity, normalTransform, current))
                return false;
            triangles_.insert(triangles_.end(), {first, previous, current});
            subsets_.push_back(mesh.subsets[materialOf(f)]);
            previous = current;
        }
        added = true;
    }
    if (added) {
        anyTriangles_ = true;
        allNormals_ = allNormals_ && mesh.hasNormals;
        allColours_ = allColours_ && mesh.colourSets > 0;
        texSets_ = std::min(texSets_, mesh.texSets);
    }
    return true;
}

bool MeshBuilder::finish(ModelData& out, std::string& message) {
    if (!anyTriangles_) {
        message = "the file holds no triangles";
        return false;
    }
    MeshData& mesh = out.mesh;
    mesh.fvf = kFvfXyz | (allNormals_ ? kFvfNormal : 0) | (allColours_ ? kFvfDiffuse : 0) |
               (texSets_ << 8);
    mesh.vertices = std::move(vertices_);
    // Triangles sorted by subset, each subset keeping the order they were added in.
    std::vector<uint32_t> start(out.materials.size() + 1, 0);
    for (uint32_t s : subsets_) ++start[s + 1];
    for (size_t i = 0; i + 1 < start.size(); ++i) start[i + 1] += start[i];
    mesh.indices.resize(subsets_.size() * 3);
    mesh.faceSubsets.resize(subsets_.size());
    for (size_t t = 0; t < subsets_.size(); ++t) {
        const uint32_t slot = start[subsets_[t]]++;
        mesh.faceSubsets[slot] = subsets_[t];
        std::copy_n(&triangles_[t * 3], 3, &mesh.indices[size_t(slot) * 3]);
    }
    return true;
}

// A mesh's own materials become subsets after those of the meshes before it; a reference
// uses the subset of the top-level material of that name; a mesh without a material list uses
// a grey default material after all the others.
bool XFileReader::numberSubsets(XMesh& mesh, ModelData& out, std::string& error) {
    const uint32_t firstOwn = uint32_t(out.materials.size());
    out.materials.insert(out.materials.end(), mesh.ownMaterials.begin(), mesh.ownMaterials.end());
    for (size_t i = 0; i < mesh.materialOwn.size(); ++i) {
        if (mesh.materialOwn[i] >= 0) {
            mesh.subsets.push_back(firstOwn + uint32_t(mesh.materialOwn[i]));
            continue;
        }
        const auto found =
            std::find(globalNames_.begin(), globalNames_.end(), mesh.materialNames[i]);
        if (found == globalNames_.end()) {
            error = "unknown material '" + mesh.materialNames[i] + "'";
            return false;
        }
        mesh.subsets.push_back(uint32_t(found - globalNames_.begin()));
    }
    if (mesh.subsets.empty()) {
        needsDefault_ = true;
        mesh.subsets.push_back(kDefaultSubset);  // numbered once all materials are in
    }
    return true;
}

bool XFileReader::build(ModelData& out, std::string& error) {
    out.materials = globalMaterials_;
    // Subsets: the top-level materials, those of the meshes in the frames, then those of the
    // meshes outside any frame.
    std::vector<size_t> order;
    for (size_t root : roots_) {
        for (std::vector<size_t> stack{root}; !stack.empty();) {
            const size_t frame = stack.back();
            stack.pop_back();
            order.push_back(frame);
            stack.insert(stack.end(), frames_[frame].children.rbegin(),
                         frames_[frame].children.rend());
        }
    }
    order.push_back(0);
    for (size_t frame : order) {
        for (XMesh& mesh : frames_[frame].meshes) {
            if (!numberSubsets(mesh, out, error))
                return false;
        }
    }
    if (needsDefault_) {
        const uint32_t subset = uint32_t(out.materials.size());
        ModelMaterial grey;
        grey.material.diffuse = {0.5f, 0.5f, 0.5f, 1};
        grey.material.specular = grey.material.emissive = {0, 0, 0, 1};
        grey.material.power = 1;
        out.materials.push_back(grey);
        for (XFrame& frame : frames_) {
            for (XMesh& mesh : frame.meshes) {
                if (mesh.subsets[0] == kDefaultSubset)
                    mesh.subsets[0] = subset;
            }
        }
    }
    // Vertices: the meshes outside any frame first, then each frame's before its children's.
    MeshBuilder builder;
    bool ok = builder.addFrame(frames_, 0, kIdentity);
    for (size_t i = 0; ok && i < roots_.size(); ++i)
        ok = builder.addFrame(frames_, roots_[i], kIdentity);
    if (!ok) {
        error = builder.error;
        return false;
    }
    return builder.finish(out, error);
}

}  // namespace

bool loadModelFromXBuffer(const uint8_t* data, size_t size, ModelData& out, std::string& error) {
    out = ModelData{};
    if (!data || size < 16 || std::memcmp(data, "xof ", 4) != 0) {
        error = "X file: not an X file";
        return false;
    }
    const std::string format(reinterpret_cast<const char*>(data) + 8, 4);
    const std::string floatBits(reinterpret_cast<const char*>(data) + 12, 4);
    if (format != "txt " && format != "bin " && format != "tzip" && format != "bzip") {
        error = "X file: unknown format '" + format + "'";
        return false;
    }
    if (floatBits != "0032" && floatBits != "0064") {
        error = "X file: unknown float size '" + floatBits + "'";
        return false;
    }
    std::vector<uint8_t> inflated;
    const uint8_t* body = data + 16;
    size_t bodySize = size - 16;
    if (format == "tzip" || format == "bzip") {
        if (!inflateBlocks(body, bodySize, inflated, error)) {
            error = "X file: " + error;
            return false;
        }
        body = inflated.data();
        bodySize = inflated.size();
    }
    XTokens tokens(body, bodySize, format[0] == 'b', floatBits == "0064");
    XFileReader reader(tokens);
    if (!reader.read()) {
        error = "X file: " + tokens.error();
        return false;
    }
    if (!reader.build(out, error)) {
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
