// The recorded flights against their kept state logs: every step of a replay must match the log
// made when the flights were recorded, field by field, so that a change moving the simulation the
// same way live and in replays does not pass unnoticed. The obstacles' positions are kept as one
// digest per step (the full positions would take tens of megabytes).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "headless/runner_helpers.h"

namespace fs = std::filesystem;

namespace {

using headless_test::kData;
using headless_test::kRunner;

std::string scratch(const std::string& name) {
    return headless_test::scratchPath("golden", name);
}

std::vector<std::string> commandLines(const std::string& command) {
    std::vector<std::string> out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    ::pclose(pipe);
    return out;
}

// 64-bit FNV-1a of a text, in 16 hex digits.
std::string digest(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(h));
    return buffer;
}

// A state-log line with the obstacle positions replaced by their digest, as the kept logs hold it.
std::string withObstacleDigest(const std::string& line) {
    const std::string key = "\"obstaclePositions\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return line;
    size_t begin = at + key.size();
    size_t end = line.find("]]", begin);
    if (end == std::string::npos)
        return line;
    end += 2;
    return line.substr(0, at) + "\"obstacleDigest\":\"" + digest(line.substr(begin, end - begin)) +
           "\"" + line.substr(end);
}

// The top-level fields of one state-log line, by key, each value as its text.
std::map<std::string, std::string> fields(const std::string& line) {
    std::map<std::string, std::string> out;
    size_t i = 1;
    while (i < line.size() && line[i] == '"') {
        size_t keyEnd = line.find('"', i + 1);
        std::string key = line.substr(i + 1, keyEnd - i - 1);
        size_t v = keyEnd + 2;
        int depth = 0;
        size_t j = v;
        bool quoted = false;
        for (; j < line.size(); ++j) {
            char c = line[j];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == '[')
                ++depth;
            else if (!quoted && c == ']')
                --depth;
            else if (!quoted && depth == 0 && (c == ',' || c == '}'))
                break;
        }
        out[key] = line.substr(v, j - v);
        i = j + 1;
    }
    return out;
}

class GoldenLog : public ::testing::TestWithParam<const char*> {};

// With the words on screen drawn as well (out of classic mode): drawing them moves nothing.
TEST_P(GoldenLog, ReplayMatchesTheKeptLogFieldByFieldAtEveryStep) {
    std::string name = GetParam();
    std::vector<std::string> kept = commandLines("gzip -dc " + kData + name + ".golden.gz");
    ASSERT_GT(kept.size(), 4000u) << "the kept log of " << name << " cannot be read";

    for (const char* extra : {"", " --overlays"}) {
        SCOPED_TRACE(std::string("options:") + extra);
        std::string log = scratch(name + ".jsonl");
        std::string command = kRunner + " --no-gl --log-obstacles" + extra + " --replay " + kData +
                              name + ".dvk --state-log " + log + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::vector<std::string> now = commandLines("cat " + log);
        fs::remove(log);
        ASSERT_EQ(now.size(), kept.size());

        for (size_t step = 0; step < kept.size(); ++step) {
            std::map<std::string, std::string> want = fields(kept[step]);
            std::map<std::string, std::string> got = fields(withObstacleDigest(now[step]));
            ASSERT_GT(want.size(), 30u) << "line " << step + 1 << " of the kept log";
            for (const auto& [key, value] : want) {
                auto it = got.find(key);
                ASSERT_NE(it, got.end()) << "step " << step + 1 << " has no " << key;
                ASSERT_EQ(it->second, value) << "step " << step + 1 << ", field " << key;
            }
            ASSERT_EQ(got.size(), want.size()) << "step " << step + 1 << " has other fields";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Flights, GoldenLog, ::testing::Values("keyboard_flight", "mouse_flight"));

TEST(GoldenLogFields, SplitsNestedArraysAndReplacesTheObstaclesByTheirDigest) {
    std::string line =
        "{\"step\":3,\"p\":[[1,2,3],[4,5,6]],\"q\":[0,1],\"obstaclePositions\":[[1,2,3]],"
        "\"z\":-0.5}";
    std::map<std::string, std::string> f = fields(withObstacleDigest(line));
    EXPECT_EQ(f["step"], "3");
    EXPECT_EQ(f["p"], "[[1,2,3],[4,5,6]]");
    EXPECT_EQ(f["q"], "[0,1]");
    EXPECT_EQ(f["z"], "-0.5");
    EXPECT_EQ(f["obstacleDigest"], "\"" + digest("[[1,2,3]]") + "\"");
    EXPECT_EQ(f.count("obstaclePositions"), 0u);
    // One changed digit anywhere among the positions changes the digest.
    EXPECT_NE(digest("[[1,2,3]]"), digest("[[1,2,4]]"));
}

}  // namespace
