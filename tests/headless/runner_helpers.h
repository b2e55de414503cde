// What the tests of the headless runner share: where the runner and the kept flights are, scratch
// paths, running the runner, and reading the files and state logs it writes.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace headless_test {

inline const std::string kRunner = std::string(DRAVIK_BINARY_DIR) + "/dravik-headless";
inline const std::string kData = std::string(DRAVIK_SOURCE_DIR) + "/tests/data/";

// A path in the temporary folder, apart for each test file (`prefix`) and each test process.
inline std::string scratchPath(const std::string& prefix, const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("dravik-" + prefix + "-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// The runner with these arguments, its messages discarded; its exit code, or -1 when it did not
// exit (a crash).
inline int run(const std::string& args) {
    std::string command = kRunner + " " + args + " 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

inline std::string bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The value of one key in a state-log line (numbers and flags only); empty when it is missing.
inline std::string field(const std::string& line, const std::string& key) {
    size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    at += key.size() + 3;
    size_t end = line.find_first_of(",}", at);
    return line.substr(at, end - at);
}

}  // namespace headless_test
