// dravik-headless --verify: the verdict on the recorded flights, on a flight cut short before the
// course is flown, and on files that are not recordings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "headless/runner_helpers.h"

namespace fs = std::filesystem;

namespace {

using headless_test::kData;
using headless_test::kRunner;

struct Verdict {
    int code = -1;
    std::string json;
};

Verdict verify(const std::string& file) {
    Verdict v;
    std::string command = kRunner + " --verify '" + file + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return v;
    for (int c; (c = std::fgetc(pipe)) != EOF;) v.json += static_cast<char>(c);
    int status = ::pclose(pipe);
    v.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return v;
}

std::string scratch(const std::string& name) {
    return headless_test::scratchPath("verify", name);
}

std::vector<char> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST(Verify, TheRecordedFlightsFlyTheCourseWithTheirPassesAndBumps) {
    // The same passes as the kept state logs show: targets 0, 3, 1, 2 on these steps and times.
    Verdict k = verify(kData + "keyboard_flight.dvk");
    EXPECT_EQ(k.code, 0);
    EXPECT_EQ(k.json,
              "{\"finished\": true, \"steps\": 4778, \"count\": 4628, \"finalTenths\": 1381, "
              "\"passTimes\": [279, 1167, 1381, 426], \"passSteps\": [901, 3768, 4456, 1378], "
              "\"bumps\": 33, \"bumpSteps\": [305, 372, 570, 648, 944, 1099, 1185, 1250, 1382, "
              "1490, 1595, 1832, 1907, 1979, 2071, 2212, 2347, 2417, 2602, 2722, 2797, 2884, 2989, "
              "3054, 3216, 3289, 3459, 3540, 3799, 3915, 4033, 4166, 4297]}\n");
    Verdict m = verify(kData + "mouse_flight.dvk");
    EXPECT_EQ(m.code, 0);
    EXPECT_NE(m.json.find("\"finalTenths\": 1700, \"passTimes\": [382, 1554, 1700, 530], "
                          "\"passSteps\": [1235, 5015, 5488, 1712], \"bumps\": 44"),
              std::string::npos)
        << m.json;
}

TEST(Verify, AFlightCutShortIsNotFinishedAndKeepsThePassesItMade) {
    // The keyboard flight's count cut to 2000 frames (150 intro steps, then 2000 replayed):
    // two targets passed, the others not.
    std::vector<char> bytes = bytesOf(kData + "keyboard_flight.dvk");
    ASSERT_EQ(bytes.size(), 120004u);
    uint32_t count = 2000;
    std::memcpy(bytes.data(), &count, 4);
    std::string cut = scratch("cut.dvk");
    writeBytes(cut, bytes);
    Verdict v = verify(cut);
    fs::remove(cut);
    EXPECT_EQ(v.code, 1);
    EXPECT_NE(v.json.find("\"finished\": false, \"steps\": 2150, \"count\": 2000, "
                          "\"finalTenths\": null, \"passTimes\": [279, null, null, 426], "
                          "\"passSteps\": [901, null, null, 1378]"),
              std::string::npos)
        << v.json;
}

TEST(Verify, FilesThatAreNotRecordingsCannotBeVerified) {
    std::vector<char> bytes = bytesOf(kData + "keyboard_flight.dvk");
    std::string shortFile = scratch("short.dvk");
    writeBytes(shortFile, std::vector<char>(bytes.begin(), bytes.begin() + 5000));
    std::string garbage = scratch("garbage.dvk");
    std::vector<char> noise(120004);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) >> 3);
    writeBytes(garbage, noise);

    for (const std::string& f : {shortFile, garbage, scratch("missing.dvk")}) {
        Verdict v = verify(f);
        EXPECT_EQ(v.code, 2) << f;
        EXPECT_EQ(v.json, "") << f;
    }
    fs::remove(shortFile);
    fs::remove(garbage);
}

}  // namespace
