// A small writer of the other forms of X files, for tests and fuzzer seeds: a text file turned
// into the binary form token by token, and any file compressed into MSZIP blocks with zlib.
#pragma once

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace xwriter {

inline void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Numbers in a row go into one list: integers (no '.') into an integer list, the others into a
// float list of the file's float size. Names, strings and braces become their tokens; the text
// separators disappear except the one ending a string. Templates and class ids are not written
// (the text must have none).
inline std::vector<uint8_t> binaryFromText(const std::string& text, bool doubles) {
    const std::string header = doubles ? "xof 0303bin 0064" : "xof 0303bin 0032";
    std::vector<uint8_t> out(header.begin(), header.end());
    std::vector<std::string> run;  // numbers of the list being gathered
    bool runFloats = false;
    auto flush = [&] {
        if (run.empty())
            return;
        put16(out, runFloats ? 7 : 6);
        put32(out, uint32_t(run.size()));
        for (const std::string& number : run) {
            if (!runFloats) {
                put32(out, uint32_t(std::strtoll(number.c_str(), nullptr, 10)));
            } else if (doubles) {
                const double d = std::strtod(number.c_str(), nullptr);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                put32(out, uint32_t(bits));
                put32(out, uint32_t(bits >> 32));
            } else {
                const float f = std::strtof(number.c_str(), nullptr);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                put32(out, bits);
            }
        }
        run.clear();
    };
    size_t at = text.find('\n') + 1;  // past the header line
    while (at < text.size()) {
        const char c = text[at];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';') {
            ++at;
        } else if (c == '/' || c == '#') {
            at = text.find('\n', at);
        } else if (c == '{' || c == '}') {
            flush();
            put16(out, c == '{' ? 0x0a : 0x0b);
            ++at;
        } else if (c == '"') {
            flush();
            const size_t close = text.find('"', at + 1);
            put16(out, 2);
            put32(out, uint32_t(close - at - 1));
            out.insert(out.end(), text.begin() + long(at) + 1, text.begin() + long(close));
            put16(out, 0x14);
            at = close + 1;
        } else {
            size_t end = at;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
                   !std::strchr("{};,\"", text[end])) {
                ++end;
            }
            const std::string word = text.substr(at, end - at);
            at = end;
            if (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-' ||
                word[0] == '.') {
                const bool isFloat = word.find_first_of(".eE") != std::string::npos;
                if (!run.empty() && isFloat != runFloats)
                    flush();
                runFloats = isFloat;
                run.push_back(word);
            } else {
                flush();
                put16(out, 1);
                put32(out, uint32_t(word.size()));
                out.insert(out.end(), word.begin(), word.end());
            }
        }
    }
    flush();
    return out;
}

// The file's body deflated in blocks of `blockSize` bytes (at most 32 KiB), each allowed to refer
// back into the block before it; the header says "tzip" or "bzip".
inline std::vector<uint8_t> compressed(const std::vector<uint8_t>& file, size_t blockSize = 32768) {
    std::vector<uint8_t> out(file.begin(), file.begin() + 16);
    std::memcpy(out.data() + 8, std::memcmp(file.data() + 8, "bin ", 4) == 0 ? "bzip" : "tzip", 4);
    put32(out, uint32_t(file.size()));
    for (size_t at = 16; at < file.size(); at += blockSize) {
        const size_t plain = std::min(blockSize, file.size() - at);
        z_stream z{};
        deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const size_t history = std::min<size_t>(at - 16, 32768);
        if (history > 0)
            deflateSetDictionary(&z, file.data() + at - history, uInt(history));
        std::vector<uint8_t> packed(deflateBound(&z, uLong(plain)));
        z.next_in = const_cast<Bytef*>(file.data() + at);
        z.avail_in = uInt(plain);
        z.next_out = packed.data();
        z.avail_out = uInt(packed.size());
        deflate(&z, Z_FINISH);
        packed.resize(packed.size() - z.avail_out);
        deflateEnd(&z);
        put16(out, uint32_t(plain));
        put16(out, uint32_t(packed.size() + 2));
        out.push_back('C');
        out.push_back('K');
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

}  // namespace xwriter
