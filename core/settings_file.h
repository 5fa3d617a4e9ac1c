// Load and store of the settings record as the raw file /etc/Qor.conf.
#pragma once

#include "ups_settings.h"

namespace qor {

constexpr const char* kSettingsPath = "/etc/Qor.conf";

// Reads the first 12900 bytes of the file into the record. True only when the
// whole block was read; the bytes of a short file stay in the record.
bool loadSettings(UpsSettings& s, const char* path = kSettingsPath);

// Zero-fills the record, loads it, stores the edition's defaults when the file
// was missing or short, and forces upsState to 0 (console: also the two
// request fields). Returns what loadSettings returned.
bool initSettings(UpsSettings& s, Edition edition, const char* path = kSettingsPath);

// Writes the record over the first 12900 bytes of the file, keeping any bytes
// a longer file has beyond them. The new contents replace the old ones in one
// rename, so a crash mid-write leaves the old file whole. Only the owner may
// read the file (0600; an older, readable one loses its group and other
// bits): it holds the dial-up password in clear. Returns false when
// nothing could be written; callers of both editions ignore it.
bool saveSettings(const UpsSettings& s, const char* path = kSettingsPath);

}  // namespace qor
