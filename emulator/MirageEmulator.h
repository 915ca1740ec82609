// A stand-in for the Ensoniq Mirage that speaks its SysEx dialect.
//
// The emulator keeps the instrument's state in structured form (the global
// configuration, the four programs and eight wavesamples of each keyboard
// half, each half's 64 KiB of sample memory, the front-panel selection and
// three disk sound slots), answers dump requests from that state, and carries
// out the front-panel key sequences the editor plays on it.
//
// It is plain C++ without threads or globals: feed one received message to
// receive() and send on whatever it returns.
#pragma once

#include "Frames.h"
#include "Parameters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvane::emu {

using corvane::Message;

constexpr int PageSize = 256;
constexpr int PagesPerHalf = 256;
constexpr std::size_t SampleMemorySize = PageSize * PagesPerHalf; // 64 KiB per half

// Data bytes of a program dump: 9 leading, 8 x 24 wavesample, 280 further,
// 4 x 36 program bytes = 625 bytes at positions 4..1253.
constexpr std::size_t LeadingBytes = 9;
constexpr std::size_t WavesampleBytes = 24;
constexpr std::size_t FurtherBytes = 280;
constexpr std::size_t ProgramBytes = 36;
constexpr std::size_t ConfigBytes = 29;

// A parameter block of N data bytes; a field at stride offset o lives in
// bytes[o / 2]. Offsets outside the block read 0 and are not written.
template <std::size_t N>
struct FieldBlock {
    std::array<std::uint8_t, N> bytes{};
    int field(int offset) const
    {
        const auto i = static_cast<std::size_t>(offset / 2);
        return offset >= 0 && i < N ? bytes[i] : 0;
    }
    void setField(int offset, int value)
    {
        const auto i = static_cast<std::size_t>(offset / 2);
        if (offset >= 0 && i < N)
            bytes[i] = static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
    bool operator==(const FieldBlock&) const = default;
};

// One wavesample's parameter block: the twelve named fields use the first
// twelve bytes, the rest is the instrument's own and is kept as it is.
struct Wavesample : FieldBlock<WavesampleBytes> {
    bool operator==(const Wavesample&) const = default;
};

// One program's parameter block.
struct Program : FieldBlock<ProgramBytes> {
    bool operator==(const Program&) const = default;
};

// Everything one keyboard half holds, which is also what one disk sound holds.
struct Half {
    std::array<std::uint8_t, LeadingBytes> leading{};
    std::array<Wavesample, 8> wavesamples{};
    std::array<std::uint8_t, FurtherBytes> further{};
    std::array<Program, 4> programs{};
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(SampleMemorySize, 0x80);
    bool operator==(const Half&) const = default;
};

// The global configuration: 29 data bytes at positions 4..61 of its dump.
struct Config {
    std::array<std::uint8_t, ConfigBytes> bytes{};
    int field(int position) const;           // nibble-pair field at a dump position
    void setField(int position, int value);
    bool operator==(const Config&) const = default;
};

// A disk sound: a lower part and an upper part, loaded and saved separately.
struct DiskSound {
    Half lower;
    Half upper;
};

// A disk of the emulator's own other than the three slots it keeps in memory
// (a disk image file). `load` runs before sound `slot` (0..2) is loaded,
// fills the halves the disk holds and says which it holds; a half it does
// not hold is not loaded. `saved` runs after halves of sound `slot` were
// saved.
struct DiskHooks {
    std::function<std::array<bool, 2>(int slot, DiskSound& sound)> load;
    std::function<void(int slot, const DiskSound& sound, bool lower, bool upper)> saved;
};

// The parameter table is shared with the editors.
using corvane::Area;
using corvane::findParameter;
using corvane::ParameterInfo;
using corvane::parameterTable;
using corvane::StepKind;

class MirageEmulator {
public:
    MirageEmulator();

    // One received message, F0 first, with or without End of Exclusive.
    // Returns the replies, each closed by F7.
    std::vector<Message> receive(const std::uint8_t* data, std::size_t len);
    std::vector<Message> receive(const Message& m) { return receive(m.data(), m.size()); }

    // Back to the factory sounds, configuration and disk.
    void reset();

    // ---- Dumps built from the current state ----
    Message configDump() const;             // 63 bytes, cmd 02
    Message programDump(int half) const;    // 1255 bytes, cmd 05 / 15
    Message wavesampleDump() const;         // current wavesample, cmd 06

    // ---- State ----
    Config& config() { return config_; }
    const Config& config() const { return config_; }
    Half& half(int h) { return halves_[h & 1]; }
    const Half& half(int h) const { return halves_[h & 1]; }
    DiskSound& diskSound(int slot) { return disk_[slot % 3]; }  // slot 0..2 = sound 1..3
    const DiskSound& diskSound(int slot) const { return disk_[slot % 3]; }
    const Config& savedConfig() const { return savedConfig_; }
    void setDiskHooks(DiskHooks hooks) { diskHooks_ = std::move(hooks); }

    int currentHalf() const { return currentHalf_; }
    int currentProgram(int h) const { return currentProgram_[h & 1]; }
    int currentWavesample() const { return currentWavesample_; }
    int selectedParameter() const { return selectedParameter_; }
    void setCurrentHalf(int h) { currentHalf_ = h & 1; }
    void setCurrentWavesample(int w) { currentWavesample_ = w & 7; }
    void setCurrentProgram(int h, int p) { currentProgram_[h & 1] = p & 3; }

    Wavesample& currentWavesampleParams() { return halves_[currentHalf_].wavesamples[currentWavesample_]; }
    Program& currentProgramParams() { return halves_[currentHalf_].programs[currentProgram_[currentHalf_]]; }

    // Field access by Mirage parameter number on the current program,
    // current wavesample or configuration, as a step would change it.
    int parameterValue(int number) const;

    // Sample rotate state (front-panel functions 19 and 20).
    bool rotateActive() const { return rotateDirection_ != 0; }
    int rotateAmount() const { return rotateAmount_; }

    // Counters and flags for tests and the verbose log.
    struct Counters {
        int rebooted = 0;
        int configSaves = 0;
        int loads = 0;
        int saves = 0;
        int lastLoadedSlot = -1;   // 0..2
        int lastSavedSlot = -1;    // 0..2
        int programCopies = 0;
        int wavesampleCopies = 0;
        int rotations = 0;
        int steps = 0;             // parameter presses taken
        int refusedSteps = 0;      // presses at a range end or not applicable
        int wavesamplesAccepted = 0;
        int wavesamplesRefused = 0;
        int programsAccepted = 0;  // program dumps taken into a half
        int ignored = 0;           // messages dropped as not for us or malformed
    };
    const Counters& counters() const { return counters_; }

private:
    using Keys = std::vector<std::uint8_t>;
    // A key sequence the instrument acts on. `run` false: ignored after all.
    struct KeySequence {
        bool (*matches)(const Keys& keys);
        bool (*run)(MirageEmulator& mirage, const Keys& keys, std::vector<Message>& out);
    };
    static const std::vector<KeySequence>& keySequences();
    void handleKeys(const Keys& keys, std::vector<Message>& out);
    bool pressSingleKey(std::uint8_t key, std::vector<Message>& out);
    void typeParameter(const Keys& keys, std::vector<Message>& out);
    bool handleParameterKeys(const std::vector<std::uint8_t>& keys, std::size_t i,
                             std::vector<Message>& out);
    void pressValueKey(std::vector<Message>& out);
    void stepSelected(bool up);
    void stepRotate(bool up);
    void selectProgram(int program);
    void switchHalf();
    void loadSound(int slot, bool lower, bool upper);
    std::array<bool, 2> readDisk(int slot);
    void saveSound(int slot, bool lower, bool upper);
    void reboot();
    void startFromDisk();
    void copyProgram(int toHalf, int toProgram);
    void copyWavesample(int toHalf, int toWavesample);
    void doRotate();
    Message receiveWavesampleDump(const std::uint8_t* data, std::size_t len);
    bool receiveProgramDump(int half, const std::uint8_t* data, std::size_t len);
    Message statusReply(std::uint8_t command) const;

    Config config_;
    Config savedConfig_;
    std::array<Half, 2> halves_;
    std::array<DiskSound, 3> disk_;
    DiskHooks diskHooks_;
    int currentHalf_ = 0;
    std::array<int, 2> currentProgram_{0, 0};
    int currentWavesample_ = 0;
    int selectedParameter_ = 0;
    int rotateDirection_ = 0;   // -1 left, +1 right, 0 not rotating
    int rotateAmount_ = 0;
    Counters counters_;
};

// Factory sound sets used for the initial state and the disk: variant 0 is the
// sound in the instrument at power-up, 1 and 2 are the other disk sounds.
Half factoryHalf(int half, int variant);
Config factoryConfig();

} // namespace corvane::emu
