// The table of ten named envelope presets and its file "EnvPresets.cv1":
// 360 bytes, ten 11-byte name records then 250 one-byte values.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

constexpr int PresetCount = 10;
constexpr int PresetSlots = 25;
constexpr int PresetNameMax = 10;
constexpr std::size_t PresetFileSize = 360;

struct EnvPresetTable {
    std::array<std::string, PresetCount> names;
    std::array<int, PresetCount * PresetSlots> values{};

    int& value(int entry, int slot) { return values[static_cast<std::size_t>(entry * PresetSlots + slot)]; }
    int value(int entry, int slot) const { return values[static_cast<std::size_t>(entry * PresetSlots + slot)]; }
};

// "Rhubarb" ... "E Piano", every value 3.
EnvPresetTable defaultPresets();

// A short file gives empty names and zero values for what is missing; a name
// record without a zero byte gives its first 10 characters.
EnvPresetTable presetsFromBytes(const std::vector<std::uint8_t>& bytes);

// Each name record starts as ten bytes 0x41 and a zero, with the name and its
// terminator copied over its beginning.
std::vector<std::uint8_t> presetsToBytes(const EnvPresetTable& table);

// Defaults when the file cannot be opened.
EnvPresetTable loadPresets(const QString& path);
// Written to a temporary file and renamed; false (old file whole) on
// failure, with the reason in `error` when given.
bool savePresets(const QString& path, const EnvPresetTable& table, QString* error = nullptr);

} // namespace corvane
