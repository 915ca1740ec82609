// What mirage-emu accepts from the wire: pieces of SysEx joined by its
// assembler, each whole message through the emulator.
//
// The first input byte sets the size of the pieces (1 to 256 bytes, as a
// pacing sender cuts them), the rest is the byte stream: every F0 starts a
// new message, cut into pieces of that size. After every message the
// emulator's state stays within the instrument's ranges, every reply is a
// well-formed Mirage message that the program's dispatcher takes as it is
// meant, and no parameter that was within its range has left it unless a
// program dump brought it.
#include "FuzzCheck.h"
#include "MirageEmulator.h"
#include "MirageProtocol.h"
#include "SysExAssembler.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace corvane;
using namespace corvane::emu;

namespace {

using Clock = SysExAssembler::Clock;

class Rig {
public:
    Rig() : proto(seams) {}

    void run(const std::uint8_t* data, std::size_t size)
    {
        if (size == 0)
            return;
        emulator.reset();
        if (startedInRange.empty())
            for (const ParameterInfo& p : parameterTable())
                startedInRange.push_back(within(p));
        SysExAssembler assembler;
        const std::size_t pieceSize = 1 + data[0];
        Clock::time_point now{};
        std::size_t at = 1;
        while (at < size) {
            std::size_t end = at + 1;
            while (end < size && data[end] != 0xF0 && end - at < pieceSize)
                ++end;
            now += std::chrono::milliseconds(1);
            for (const Message& m : assembler.add(Message(data + at, data + end), now))
                take(m);
            for (const Message& m : assembler.expire(std::chrono::milliseconds(1000), now))
                take(m);
            at = end;
        }
        for (const Message& m : assembler.expire(std::chrono::milliseconds(1000), now + std::chrono::seconds(2)))
            take(m);
        FUZZ_REQUIRE(!assembler.pending());
        // A program dump received brings whatever values it holds.
        if (emulator.counters().programsAccepted > 0)
            return;
        const auto& table = parameterTable();
        for (std::size_t i = 0; i < table.size(); ++i)
            FUZZ_REQUIRE(!startedInRange[i] || within(table[i]));
    }

private:
    FUZZ_UNCOVERED void take(const Message& m)
    {
        FUZZ_REQUIRE(!m.empty());
        // A step moves the selected parameter only; loads and copies bring
        // whole blocks, checked at the end of the input.
        const ParameterInfo* selected = findParameter(emulator.selectedParameter());
        const bool selectedInRange = selected && within(*selected);

        const std::vector<Message> replies = emulator.receive(m);
        if (selectedInRange && findParameter(emulator.selectedParameter()) == selected)
            FUZZ_REQUIRE(within(*selected));

        FUZZ_REQUIRE(emulator.currentHalf() == 0 || emulator.currentHalf() == 1);
        FUZZ_REQUIRE(emulator.currentWavesample() >= 0 && emulator.currentWavesample() <= 7);
        for (int h = 0; h < 2; ++h) {
            FUZZ_REQUIRE(emulator.currentProgram(h) >= 0 && emulator.currentProgram(h) <= 3);
            FUZZ_REQUIRE(emulator.half(h).memory.size() == SampleMemorySize);
        }
        for (int s = 0; s < 3; ++s)
            FUZZ_REQUIRE(emulator.diskSound(s).lower.memory.size() == SampleMemorySize &&
                         emulator.diskSound(s).upper.memory.size() == SampleMemorySize);
        for (const Message& r : replies)
            checkReply(r);
    }

    FUZZ_UNCOVERED bool within(const ParameterInfo& p) const
    {
        const int shown = emulator.parameterValue(p.number) / p.divisor + p.addend;
        return shown >= p.shownMin && shown <= p.shownMax;
    }

    FUZZ_UNCOVERED void checkReply(const Message& r)
    {
        FUZZ_REQUIRE(r.size() >= 5);
        FUZZ_REQUIRE(r[0] == 0xF0 && r[1] == 0x0F && r[2] == 0x01 && r.back() == 0xF7);
        for (std::size_t i = 1; i + 1 < r.size(); ++i)
            FUZZ_REQUIRE(r[i] < 0x80);
        const std::uint8_t command = r[3];
        switch (command) {
        case cmd::ConfigDump: FUZZ_REQUIRE(r.size() == ConfigDumpSize); break;
        case cmd::LowerDump:
        case cmd::UpperDump: FUZZ_REQUIRE(r.size() == ProgramDumpSize); break;
        case cmd::WavesampleDump: FUZZ_REQUIRE(r.size() >= 8 && (r.size() - 8) % 512 == 0); break;
        case cmd::StatusHalf:
        case cmd::StatusHalfWavesample:
        case cmd::StatusHalfAlt:
        case cmd::StatusHalfWavesampleAlt:
            FUZZ_REQUIRE(r.size() <= 9);
            FUZZ_REQUIRE(r[4] == ((emulator.currentHalf() << 4) | emulator.currentWavesample()));
            break;
        case cmd::WavesampleAck:
        case cmd::WavesampleNak: FUZZ_REQUIRE(r.size() == 5); break;
        default: fuzz::fail("reply with an unknown command", __FILE__, __LINE__);
        }

        // The program takes each reply as meant: a dump lands in its buffer,
        // a status reply sets the selection, a whole wavesample dump that
        // fits the input buffer is ready.
        proto.WavesampleReady = false;
        proto.MidiIn1SysEx(r.data(), static_cast<int>(r.size()));
        if (command == cmd::ConfigDump)
            FUZZ_REQUIRE(std::memcmp(proto.ConfigDump, r.data(), r.size()) == 0);
        if (command == cmd::LowerDump)
            FUZZ_REQUIRE(std::memcmp(proto.LowerProgramDump, r.data(), r.size()) == 0);
        if (command == cmd::UpperDump)
            FUZZ_REQUIRE(std::memcmp(proto.UpperProgramDump, r.data(), r.size()) == 0);
        if (command == cmd::StatusHalfWavesample || command == cmd::StatusHalfWavesampleAlt)
            FUZZ_REQUIRE(proto.CurrentHalf == emulator.currentHalf() &&
                         proto.CurrentWavesample == emulator.currentWavesample());
        if (command == cmd::WavesampleDump)
            FUZZ_REQUIRE(proto.WavesampleReady && proto.LastWavesample().complete &&
                         static_cast<std::size_t>(proto.LastWavesample().pages) == (r.size() - 8) / 512);
    }

    fuzz::QuietSeams seams;
    MirageProtocol proto;
    MirageEmulator emulator;
    std::vector<bool> startedInRange;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Rig rig;
    rig.run(data, size);
    return 0;
}
