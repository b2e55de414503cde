// The records file: JSON through nlohmann-json, written by replacing the whole file, a broken one
// set aside instead of overwritten.
#include "app/records.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/recordings_folder.h"
#include "controls/file_replace.h"

namespace {

constexpr int kRecordsVersion = 1;
// The longest time a record may hold: ten days in tenths, far beyond the 20000 steps a recording
// lasts; anything larger is a broken file.
constexpr uint64_t kLongestTenths = 10ULL * 24 * 3600 * 10;

bool readTenths(const nlohmann::json& value, std::optional<uint32_t>& out, const char* what,
                std::string& error) {
    if (value.is_null()) {
        out.reset();
        return true;
    }
    if (!value.is_number_unsigned() || value.get<uint64_t>() > kLongestTenths) {
        error = std::string(what) + " is not a time in tenths of a second";
        return false;
    }
    out = value.get<uint32_t>();
    return true;
}

bool fileExists(const std::string& path) {
    std::ifstream in(path);
    return static_cast<bool>(in) || errno != ENOENT;
}

}  // namespace

std::string recordsFolder() {
    std::string recordings = recordingsFolder();
    if (recordings.empty())
        return {};
    // The recordings live in a folder of their own beside the records.
    std::string::size_type slash = recordings.find_last_of('/');
    return slash == std::string::npos ? std::string() : recordings.substr(0, slash);
}

std::string recordsFilePath() {
    std::string folder = recordsFolder();
    return folder.empty() ? folder : folder + "/records.json";
}

std::string bestRecordingPath() {
    std::string folder = recordsFolder();
    return folder.empty() ? folder : folder + "/best.dvk";
}

std::string recordsJson(const Records& records) {
    nlohmann::json j;
    j["version"] = kRecordsVersion;
    j["bestFlightTenths"] =
        records.bestFlightTenths ? nlohmann::json(*records.bestFlightTenths) : nlohmann::json();
    nlohmann::json passes = nlohmann::json::array();
    for (const auto& t : records.bestPassTimes)
        passes.push_back(t ? nlohmann::json(*t) : nlohmann::json());
    j["bestPassTimes"] = passes;
    return j.dump(2) + "\n";
}

bool parseRecordsJson(const std::string& text, Records& out, std::string& error) {
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "not a JSON object";
        return false;
    }
    Records r;
    if (!j.contains("version") || !j["version"].is_number_integer() ||
        j["version"].get<int64_t>() != kRecordsVersion) {
        error = "no version 1";
        return false;
    }
    if (j.contains("bestFlightTenths") &&
        !readTenths(j["bestFlightTenths"], r.bestFlightTenths, "bestFlightTenths", error))
        return false;
    if (j.contains("bestPassTimes")) {
        const nlohmann::json& passes = j["bestPassTimes"];
        if (!passes.is_array() || passes.size() != TargetCount) {
            error = "bestPassTimes is not a list of four times";
            return false;
        }
        for (int i = 0; i < TargetCount; ++i)
            if (!readTenths(passes[i], r.bestPassTimes[i], "bestPassTimes", error))
                return false;
    }
    out = r;
    return true;
}

bool loadRecords(const std::string& path, Records& out, std::string& message) {
    out = Records{};
    message.clear();
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT || !fileExists(path))
            return true;
        message = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    // A records file is a few hundred bytes; a huge one is not ours.
    std::string why;
    bool ok = text.str().size() <= 65536 && parseRecordsJson(text.str(), out, why);
    if (ok)
        return true;
    if (why.empty())
        why = "far too large";
    out = Records{};
    std::string aside = path + ".broken";
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
        message = "the records file " + path + " is broken (" + why +
                  ") and cannot be set aside: " + std::strerror(errno);
        return false;
    }
    message = "the records file " + path + " was broken (" + why + "); it was kept as " + aside +
              " and the records start afresh";
    return true;
}

bool saveRecords(const std::string& path, const Records& records, std::string& error) {
    if (path.empty()) {
        error = "no folder for the records (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    std::string folder = path.substr(0, path.find_last_of('/'));
    if (!folder.empty() && !makeFolders(folder, error))
        return false;
    std::string text = recordsJson(records);
    return replaceFileContents(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                               error);
}

bool mergePass(Records& records, int target, uint32_t tenths) {
    if (target < 0 || target >= TargetCount)
        return false;
    std::optional<uint32_t>& best = records.bestPassTimes[target];
    if (best && *best <= tenths)
        return false;
    best = tenths;
    return true;
}

bool mergeFlight(Records& records, uint32_t tenths) {
    if (records.bestFlightTenths && *records.bestFlightTenths <= tenths)
        return false;
    records.bestFlightTenths = tenths;
    return true;
}
