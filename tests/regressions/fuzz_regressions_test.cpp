// Inputs the fuzzers found that crashed, over-allocated or hung: each must now be refused by the
// real loader with a clean error. Under the sanitizer build the old faults would also show.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/midi_file.h"
#include "gfx/texture_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex) {
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Pictures go through the loader as the game calls it: a file on disk, read whole and decoded.
bool loadPicture(const Bytes& bytes, Image& image, std::string& error) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("dravik-regression-" + std::to_string(::getpid()) + ".img");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written =
        file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr)
        std::fclose(file);
    if (!written) {
        ADD_FAILURE() << "cannot write " << path;
        return true;
    }
    const bool loaded = loadImageFile(path.string(), image, error);
    std::filesystem::remove(path);
    return loaded;
}

void expectRefused(const Bytes& bytes, const std::string& because) {
    Image image;
    std::string error;
    EXPECT_FALSE(loadPicture(bytes, image, error));
    EXPECT_NE(error.find(because), std::string::npos) << error;
    EXPECT_TRUE(image.data.empty());
}

// A JPEG header with one Huffman table definition whose 16 code counts are all 255: 4080 codes
// for a table of 256. stb_image wrote past the table while reading the header.
TEST(PictureRegressions, JpegHuffmanTableWithTooManyCodes) {
    const Bytes table = fromHex("ffd8ffc4001300" + std::string(32, 'f'));
    expectRefused(table, "Huffman table with more than 256 codes");
    // The decoder also takes fill bytes before the start marker.
    Bytes filled = fromHex("ffff");
    filled.insert(filled.end(), table.begin(), table.end());
    expectRefused(filled, "Huffman table with more than 256 codes");
}

// Its third component's scan names AC table 3, which the file never defines: the decoder
// indexed its symbols with whatever its memory held (index -64454 under the fuzzer).
TEST(PictureRegressions, JpegScanWithUndefinedHuffmanTable) {
    const Bytes file = fromHex(
        "ffd8ffe000104a464946000101000001000100000a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a"
        "0a0a0a0a0a0a0a0a0affc00011080009001103011100021101031101ffc401a20000010501010101010100"
        "000000000000000102030405060708090a0b100002010303020403050504040000017d0102030004110512"
        "2131410613516107227114328191a1082342b1c11552d1f03433627282090a161718191a25262728292a34"
        "35363738393a4344454647424d4a535455565758595a636465666768696a737475767778797a8384858687"
        "88898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5"
        "d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa010003010101010101010101000000000000"
        "0102200000000708090a0b1100020102040403040705040400010277000102031104052131061241510761"
        "711322328108144291a1b1c109233352f0156272d10a162434e125f11718191a262728212a35363738393a"
        "434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a9293"
        "9495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9da"
        "e2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9faffda000c03010002130311003f00d2d3bc4df09adf56d422d0"
        "2c2f34dd56de57d5ae3c29378762b0bbbe5178a90614c764f737093844822b6ba68638ede4f29a2ba99217"
        "f273bcc30f89c36271ef32bd0a74aee74f131a9524eba8735795674aacad1a8e388a552ac6b4a35e587a9c"
        "f86c0c20e7f22b21a39566186850cd7dbe5f87c454757dbd3861e9c64bf775a147d9c9c54e3cbcb59b5174"
        "e9cea3ad879e0fdbd3afcdfc2cef654d4a4beb2bbb39e045759ca1124eb34f677861bb52eef1fa5ff937bf"
        "83ff00f625e87ffa57e23afc8f807fe47b9b7a52ff00d49c39f0bff378f837fec25ffe95939eed5fd4c7f9"
        "e47fffd9");
    ASSERT_EQ(file.size(), 735u);
    expectRefused(file, "Huffman table the file does not define");
}

// Its scan data ends at a marker in the middle of a Huffman code: the bit reader ran out and
// then shifted past the width of its buffer (arithmetic only; the library is built with that one
// check off). The decoder goes on to the bad marker after the scan and refuses the file.
TEST(PictureRegressions, JpegScanCutShortByMarker) {
    const Bytes file = fromHex(
        "ffd8ffe000104a494600010100000100010000ffdb00840002010101010102010101020202020204030202"
        "02020504040304060506060605060606070908060709070606080b08090a0a0a0a0a06080b0c0b0a0c090a"
        "0a0a01020202020202050303050a0706070a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a49"
        "4441540a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0affc000110800090030030111000211"
        "01031101ffc401a20000010501010101010100000000000000000102030405060708090a0b100002010303"
        "020403050504040000017d01020300041105122131410613516107227114328191a1082342b1c11552d1f0"
        "2433627282090a161718191a25262728292a3435363738393a434445464748494a535455565758595a6364"
        "65667768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4"
        "b5b6bfb8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f6f3f7f8f2f5f4f9"
        "fa0100030101010101010101010000000000000102030405060708090a0b11000201020404030407050404"
        "00010277000102031104052130061241510761711322328108144291a1b1c109233152f0156272d10a1624"
        "34e125f11718191a262728292a35363738393a434445464748494a535455565758595a636465666768696a"
        "737475767778797a82838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9"
        "bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9faffda000c0301"
        "0002110311003f00d2d3bc4df09adf56d422d02c2f34dd9ff0ca7fb12ffd09a7ff0006bac7ff0029ebf97f"
        "fd75e21ffa15d5ff00c1334fd37fe231e77ff4524bff000823fe67907ed73ff269de0dff00b1e3c41ffa67"
        "d6ebfa1789ff00e4afcbff00ebff5ffd4acb8d7c52ff0092a307ff005e6b7e79791fc4445854355ff937bf"
        "83ff00f625e87ffa57e23afc8f807fe47b9b7a52ff00d49c39f0bff378f837ffd9");
    ASSERT_EQ(file.size(), 764u);
    expectRefused(file, "cannot decode image: unknown marker");
}

// A 180-byte PNG whose second data chunk claims 1.2 GB: stb_image reserved 2 GiB for it before
// finding that the bytes are not there.
TEST(PictureRegressions, PngChunkLongerThanTheFile) {
    const Bytes file = fromHex(
        "89504e470d0a1a0a0000000d4948445200000005000000f901000000005b31c5f80000004949444154785e"
        "63964cfb5daf1ccb1aa6cdcca25ff3c9424d5a000000000000004200000028000000030000000200000001"
        "00200002000000017524c4e974524e53eb3c75657a87532f3f8336c5f8000000496e0a9449444154785e63"
        "964cf75daf1ccb1aa6cdcca25ff3c975657a47ff4ce137bda51169771dd60007be19bc4836b74f00000000"
        "49454e44ae426082");
    ASSERT_EQ(file.size(), 180u);
    expectRefused(file, "PNG chunk runs past the end of the file");
}

// The image data starts with an empty chunk, which stb_image copied from a null buffer.
TEST(PictureRegressions, PngStartingWithEmptyDataChunk) {
    const Bytes file = fromHex(
        "89504e470d0a1a0a0000000d4948445200000005000000030100000000000000cb0000000c504c5445f893"
        "6f9f56de8dea25d97d790c5e2f8a0000000274524e5300802d0000000000000049444154785e63083e5ccb"
        "2899f69be93e6705001ad10471eff701ad0019191919191919191919191919191919191919191919191919"
        "19191919191919191919191919191919191919191919191919191919191919191919191919191919191919"
        "191919191919191919191919191919ae426082");
    ASSERT_EQ(file.size(), 191u);
    expectRefused(file, "PNG image data starts with an empty chunk");
}

// ---- Tunes: FluidSynth's looping player spins forever on a file it cannot load, so the check in
// front of it must refuse every such file.

bool readTune(const Bytes& bytes, std::string& error) {
    MidiFileInfo info;
    return readMidiFileInfo(bytes.data(), bytes.size(), info, error);
}

// Three tracks behind an "XFIH" chunk: the player looks for "MTrk" only in the first chunk id it
// reads, so it never finds a track.
TEST(TuneRegressions, ChunkBeforeTheTracksIsRefused) {
    const Bytes file = fromHex(
        "4d546864000000060001000301e058464948000000030102034d54726b0000002600ff030554656d706f00"
        "ff510303d09000ff540560000000008360ff51030516158740ff2f004d54726b0000002c00f0057e7f0901"
        "f700b1076400e1004000d11e00a13c1400914350bfff7f81430000ff7f0300004100ff2f004d54726b0000"
        "000c0099247f788924000aff2f00");
    ASSERT_EQ(file.size(), 143u);
    std::string error;
    EXPECT_FALSE(readTune(file, error));
    EXPECT_EQ(error, "unknown chunk before a track");

    // The same chunk after the last track is never read by the player, and the tune plays.
    Bytes moved(file.begin(), file.begin() + 14);
    moved.insert(moved.end(), file.begin() + 25, file.end());
    moved.insert(moved.end(), file.begin() + 14, file.begin() + 25);
    ASSERT_EQ(moved.size(), file.size());
    EXPECT_TRUE(readTune(moved, error)) << error;
}

TEST(TuneRegressions, TrackCountThePlayerReadsAsNegativeIsRefused) {
    // A note and the end of the track, 128 times: the player takes the count's low byte 0x80 as
    // a signed char, loads no track and reloads the file forever.
    const Bytes track = fromHex("4d54726b0000000c00903c6460803c0000ff2f00");
    auto fileWith = [&](int tracks) {
        Bytes file = fromHex("4d546864000000060001");
        file.push_back(uint8_t(tracks >> 8));
        file.push_back(uint8_t(tracks));
        file.push_back(0x00);
        file.push_back(0x60);
        for (int i = 0; i < tracks; ++i) file.insert(file.end(), track.begin(), track.end());
        return file;
    };
    std::string error;
    EXPECT_FALSE(readTune(fileWith(128), error));
    EXPECT_EQ(error, "more than 127 tracks");
    EXPECT_TRUE(readTune(fileWith(127), error)) << error;
}

}  // namespace
