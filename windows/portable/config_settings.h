// What the configuration dialog edits: the port and language (stored at once
// on selection) and the countdown and reminder values (stored on OK).
#pragma once

#include <cstdint>
#include <string>

#include "dialog_number.h"
#include "settings_store.h"

namespace qorwin {

// The first items of the port list, in list order; COM5..COM256 follow them
// (a USB-serial adapter often gets a number above 4).
inline constexpr const char* kConfigPorts[] = {"NONE", "COM1", "COM2", "COM3", "COM4"};
inline constexpr int kConfigPortCount = 5;
inline constexpr int kConfigPortItems = 257;  // NONE, COM1..COM256
inline constexpr int kConfigMin = 1;
inline constexpr int kConfigMax = 9999;
inline constexpr int kConfigNumberCount = 4;
// Names of the language list when the library in use has none for them.
inline constexpr const char* kDefaultLanguageNames[] = {"English", "Simplified Chinese", "Traditional Chinese",
                                                        "French", "Spanish", "Japanese", "German", "Italian"};

struct ConfigValues {
    // What the dialog shows before it reads the registry.
    std::uint32_t batteryLife = 1;     // minutes
    std::uint32_t batteryLowLife = 1;  // minutes
    std::uint32_t warningTime = 1;     // minutes
    std::uint32_t interval = 1;        // seconds
    std::uint32_t showStatus = 0;      // 1/0
};

// Missing values keep the starting ones.
ConfigValues LoadConfigValues(SettingsStore& store);
void SaveConfigValues(SettingsStore& store, const ConfigValues& values);

// The four numbers in dialog order: battery life, battery low life, warning
// time, interval.
void ConfigNumbers(const ConfigValues& values, std::uint32_t (&out)[kConfigNumberCount]);

struct ConfigCheck {
    int field = -1;  // index of the first number that failed, -1 when all are fine
    NumberCheck result = NumberCheck::Ok;
};

// Checks the four texts in dialog order and stops at the first that fails;
// the values change only when all four pass.
ConfigCheck TakeConfigNumbers(const std::string (&texts)[kConfigNumberCount], ConfigValues& values);

// Index of the port name in the list, -1 when it is not one of its items.
int ConfigPortIndex(const char* port);
// The item at index (0..256): "NONE", "COM1".."COM256"; "" outside the list.
std::string ConfigPortName(int index);

// Stores a port chosen in the list: "Port" = its name. A port above COM4 also
// becomes the "Further Port", which the detection tries after COM1..COM4; any
// other choice turns a stored one off ("NONE"). Without such a choice there is
// no "Further Port" value at all.
void StorePortChoice(SettingsStore& store, const char* port);

}  // namespace qorwin
