// The shared state every window reaches through the main window: the dump
// buffers, the decoded wavesample, the selection state, the send operation
// and the receive dispatcher. Plain C++: the main window derives from it and
// tests drive it directly.
#pragma once

#include "Dumps.h"
#include "Frames.h"
#include "Seams.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// Large enough for every index the decode rules can produce: sample bytes up
// to a full 65545-byte receive buffer, and the checksum slot 1 + 256 * N for
// any page count N of 0..255.
constexpr std::size_t WavesampleBufferSize = 2 + 256 * 256;
constexpr std::size_t MaxWavesampleDumpSize = 65544; // 128 pages
constexpr int SendSysExMax = 20;

namespace text {
inline const char* const NotReceivedProgram =
    "Error - Not received Program Parameter dump correctly - please try again.";
inline const char* const NotReceivedProgramCaption = "MIDI Program Data Request";
inline const char* const BufferOverflow = "Error - Buffer currently set for 65544 bytes";
inline const char* const BufferOverflowCaption = "MIDI Receive Buffer Overflow";
inline const char* const AckGood = "Wavesample Receive - Ack = good";
inline const char* const AckGoodCaption = "MIDI Wavesample Receive";
inline const char* const NakBad = "Wavesample Receive - Nck = bad";
inline const char* const NakBadCaption =
    "MIDI Wavesample Receive. File larger then that specified by the wavesample memory pointers.";
} // namespace text

class MirageProtocol {
public:
    using SysExOut = std::function<void(const std::uint8_t* data, int len)>;

    explicit MirageProtocol(Seams& seams);
    virtual ~MirageProtocol();
    MirageProtocol(const MirageProtocol&) = delete;
    MirageProtocol& operator=(const MirageProtocol&) = delete;

    // Where SendSysEx hands its bytes (the output port's SysEx operation).
    void setSysExOut(SysExOut out) { sysExOut_ = std::move(out); }

    // --- dump buffers -----------------------------------------------------
    std::uint8_t ConfigDump[ConfigDumpSize] = {};
    std::uint8_t LowerProgramDump[ProgramBufferSize] = {};
    std::uint8_t* UpperProgramDump; // allocated before the rest of the state

    int GetConfigParam(int pos) const { return getNibblePair(ConfigDump, ConfigDumpSize, pos); }
    void SetConfigParam(int pos, int value) { setNibblePair(ConfigDump, ConfigDumpSize, pos, value); }
    int GetLowerParam(int pos) const { return getNibblePair(LowerProgramDump, ProgramBufferSize, pos); }
    void SetLowerParam(int pos, int value) { setNibblePair(LowerProgramDump, ProgramBufferSize, pos, value); }
    int GetUpperParam(int pos) const { return getNibblePair(UpperProgramDump, ProgramBufferSize, pos); }
    void SetUpperParam(int pos, int value) { setNibblePair(UpperProgramDump, ProgramBufferSize, pos, value); }
    // The accessors of one half: 0 lower, otherwise upper.
    int GetParam(int half, int pos) const { return half == 0 ? GetLowerParam(pos) : GetUpperParam(pos); }
    void SetParam(int half, int pos, int value)
    {
        if (half == 0)
            SetLowerParam(pos, value);
        else
            SetUpperParam(pos, value);
    }

    // --- received wavesample ----------------------------------------------
    std::array<std::uint8_t, WavesampleBufferSize> WavesampleBuffer{};
    bool WavesampleReady = false;

    // --- selection state ----------------------------------------------------
    int CurrentHalf = 0;
    int CurrentWavesample = 0;
    int CurrentLowerProgram = 0;
    int CurrentUpperProgram = 0;

    // --- sending --------------------------------------------------------------
    // Sends a message of at most 20 bytes through the output port. Longer
    // messages are refused (nothing is sent) rather than overrunning the
    // private buffer.
    void SendSysEx(const std::uint8_t* bytes, int count);
    void SendSysEx(const Message& m) { SendSysEx(m.data(), static_cast<int>(m.size())); }

    // Sends one parameter-step message (0x0E up, 0x0F down).
    void SendParameterStep(int parameter, bool up) { SendSysEx(parameterStepMessage(parameter, up)); }

    // --- receiving ------------------------------------------------------------
    // The handler of the input port's OnSysEx: runs on the user-interface
    // thread, once per delivered buffer.
    void MidiIn1SysEx(const std::uint8_t* data, int size);

    // --- selection operations ---------------------------------------------------
    void SelectProgram(int half, int program);
    void SelectWavesample(int index);
    int QueryCurrentWavesample();
    int GetCurrentProgram(int half) const { return half == 0 ? CurrentLowerProgram : CurrentUpperProgram; }
    void SetCurrentProgram(int half, int program);
    int GetCurrentHalf() const { return CurrentHalf; }
    void SetCurrentHalf(int half);
    void ShowCurrentHalf(int half);
    void ShowCurrentPrograms();

    // The four status bar panels: the main window shows these texts.
    std::array<std::string, 4> StatusText{"Current Kbd Half: XXXXX", "Current Lower Program: X",
                                          "Current Upper Program: X", ""};

    // Zeroes the dumps and the selection state, as at start-up.
    void ResetState();

    Seams& seamsRef() { return seams_; }

protected:
    // Called after a status panel text has changed.
    virtual void StatusTextChanged(int /*panel*/) {}
    void setStatusText(int panel, std::string text);

private:
    void dispatch(const std::uint8_t* data, std::size_t size);
    void decodeWavesample(const std::uint8_t* data, std::size_t size);
    void report(const char* text, const char* caption);

    Seams& seams_;
    SysExOut sysExOut_;
    std::unique_ptr<std::uint8_t[]> upperStorage_;
    std::uint8_t sendBuffer_[SendSysExMax] = {};

    // A report is modal; messages arriving while it is open wait their turn.
    bool dispatching_ = false;
    std::deque<std::vector<std::uint8_t>> pending_;
};

} // namespace corvane
