// The player's settings: $XDG_CONFIG_HOME/dravik/settings.ini (by default ~/.config/...), lines of
// `key = value` with `#` comments, read at start and written back when a setting changes in the
// game. A setting given on the command line wins for that run and is not written.
#pragma once

#include <map>
#include <string>
#include <vector>

// The file's place from the environment: XDG_CONFIG_HOME when it is an absolute path, else
// HOME's .config, else the account's home. Empty when none is known.
std::string settingsFilePath();

class SettingsFile {
  public:
    // Reads `path`. A missing file is no fault (every setting keeps its default). A line that is
    // not `key = value`, a file that cannot be read or is not a regular file: the rest is used
    // and `warnings` say what was wrong, once each.
    void load(const std::string& path, std::vector<std::string>& warnings);
    // Writes every value back to the file it was read from, atomically (a temporary beside it,
    // then a rename), making the folder when needed. False with `error` when it cannot.
    bool save(std::string& error) const;

    bool has(const std::string& key) const { return values_.count(key) != 0; }
    std::string text(const std::string& key, const std::string& fallback) const;
    // "on"/"off", "true"/"false", "yes"/"no", "1"/"0"; anything else gives `fallback` and a
    // warning.
    bool flag(const std::string& key, bool fallback, std::vector<std::string>& warnings) const;
    // A whole number within [low, high]; anything else gives `fallback` and a warning.
    int number(const std::string& key, int fallback, int low, int high,
               std::vector<std::string>& warnings) const;
    void set(const std::string& key, const std::string& value) { values_[key] = value; }
    void setFlag(const std::string& key, bool on) { set(key, on ? "on" : "off"); }

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::map<std::string, std::string> values_;
};

// Parses one flag's text as the file and the command line write it; false when it is none.
bool parseFlag(const std::string& text, bool& out);
