// What a window is given at creation to reach the instrument and the
// program's shared settings: the protocol object (the instrument as the
// program knows it: dumps, selection, sends, waits, the one conversation),
// the seams, the wavesample names and colours, the envelope presets, and a
// way to bring up another window. Nothing else of the main window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace corvane {

class MirageProtocol;
class Seams;
struct EnvPresetTable;

struct WindowContext {
    MirageProtocol& mirage;
    Seams& seams;
    // Index 0-15: L1-L8 then U1-U8.
    std::array<std::string, 16>& wavesampleNames;
    std::array<std::uint32_t, 16>& wavesampleColours; // Windows colour values 0x00BBGGRR
    // The wavesample the naming dialog names, set before it is shown.
    int& nameSampleIndex;
    EnvPresetTable& envPresets;
    // Shows another window by its class name ("TfmNameSample"); does nothing
    // for a window that is not built.
    std::function<void(const std::string& className)> showWindow;
    // Mirage → Check Mirage of the main window, which every window's Ctrl+R
    // runs too; empty where there is no main window.
    std::function<void()> checkMirage;
    // Another window by its class name, built on first use; null for one
    // that is not built. For a window that hands work to another (a built
    // zone to the wave editor); empty where there is no main window.
    std::function<QWidget*(const std::string& className)> windowNamed;

    const std::string& wavesampleName(int index) const;
    std::uint32_t wavesampleColour(int index) const;
};

} // namespace corvane
