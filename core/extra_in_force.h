// The front-end's one copy of /etc/Qor.extra: read at start, rewritten from
// the options, and handed to whoever acts on it each time it changes.
#pragma once

#include <functional>
#include <string>

#include "extra_settings.h"

namespace qor {

class ExtraInForce {
public:
    // An empty path: no file, the defaults for ever (today's behaviour).
    explicit ExtraInForce(std::string path) : path_(std::move(path)) {}

    // Reads the file; a refused or absent one leaves the defaults in force.
    ExtraLoad load();
    const ExtraSettings& settings() const { return settings_; }
    // How the file was found at start, or Loaded once saved from the options.
    ExtraLoad state() const { return state_; }
    const std::string& path() const { return path_; }

    // Called with the settings now in force, at once and after every save.
    void onChange(std::function<void(const ExtraSettings&)> listener);

    // Writes `edited` (root's, 0600); only once it is on disk is it in force.
    // False when there is no file to write or it could not be written: the
    // settings in force stay as they were.
    bool save(const ExtraSettings& edited);

private:
    std::string path_;
    ExtraSettings settings_;
    ExtraLoad state_ = ExtraLoad::Absent;
    std::function<void(const ExtraSettings&)> listener_;
};

}  // namespace qor
