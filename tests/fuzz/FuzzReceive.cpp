// The receive path: the bytes of the wire, handed over as the input port
// hands them over, through the dispatcher into the dumps, the wavesample
// buffer and the selection state.
//
// The input is the wire's byte stream. Every F0 starts a new message, as the
// MIDI driver gives them to the port; bytes before the first F0 are a
// message of their own. The messages leave an in-process device for a
// TMidiIn, which splits those longer than its buffers into full buffers and
// a remainder without F0 and hands each piece to MidiIn1SysEx on its thread.
// A report runs the event loop as a modal box does, so messages that arrive
// meanwhile are held and delivered after it.
#include "FuzzCheck.h"
#include "Midiin.h"
#include "MidiTraffic.h"
#include "MirageProtocol.h"
#include "VirtualDevice.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <new>
#include <vector>

using namespace corvane;

namespace {

// A message of the input: its bytes stay where the fuzzer has them.
using Bytes = std::span<const std::uint8_t>;

class Wire : public VirtualMidiDevice {
public:
    Wire() : VirtualMidiDevice("Fuzz wire") {}
    void receive(const std::uint8_t*, std::size_t) override {}
};

FUZZ_UNCOVERED bool isMirage(const std::uint8_t* d, std::size_t n, std::uint8_t command)
{
    return n >= 4 && d[0] == 0xF0 && d[1] == 0x0F && d[2] == 0x01 && d[3] == command;
}
FUZZ_UNCOVERED bool isMirage(const Bytes& m, std::uint8_t command) { return isMirage(m.data(), m.size(), command); }

// The checks that walk a whole dump byte by byte, up to 131 KB an input:
// their own reads are within the message and the buffer by their bounds, so
// they go without the address and pointer-overflow checks too, which cost
// more than the code under test and keep the loops from being vectorised.
#define FUZZ_PLAIN FUZZ_UNCOVERED __attribute__((no_sanitize("address", "undefined")))

// The data of a dump, from byte 4 to the one before the closing byte, are
// nibbles; a wavesample dump's checksum is raw and its page count of 256 is
// 00 10.
FUZZ_PLAIN bool nibbles(const std::uint8_t* d, std::size_t n)
{
    std::uint8_t seen = 0;
    for (std::size_t i = 4; i + 1 < n; ++i)
        seen |= d[i];
    return (seen & 0xF0) == 0;
}
// Byte for byte, eight at a time, without the interceptor's checks of both
// ranges.
FUZZ_PLAIN bool same(const std::uint8_t* a, const std::uint8_t* b, std::size_t n)
{
    std::uint64_t differ = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        differ |= x ^ y;
    }
    for (; i < n; ++i)
        differ |= a[i] ^ b[i];
    return differ == 0;
}
FUZZ_PLAIN bool wellFormedWavesample(const Bytes& m)
{
    if (m.size() < 3)
        return true;
    const std::size_t n = m.size() - 1;
    if (n > 5 && m[4] == 0 && m[5] == 0x10)
        return nibbles(m.data(), 5) && nibbles(m.data() + 6 - 4, n - 6 + 4);
    return nibbles(m.data(), n);
}

// Where a piece comes from: its message, and whether it is that message's last.
struct PieceOf {
    std::size_t message;
    std::size_t at;
    bool last;
};

class Rig {
public:
    Rig()
    {
        registerVirtualDevice(&wire); // listed first, so port 0
        in = std::make_unique<TMidiIn>();
        in->SetUseShort(false);       // as the main window has it
        in->SetPort(0);
        in->SetUsing(true);
        FUZZ_REQUIRE(in->OpenResult() == 0);
        in->OnSysEx = [this](TMidiIn*, const std::uint8_t* data, int size) FUZZ_UNCOVERED { onPiece(data, size); };
        // What the MIDI monitor is handed: every message, named, the
        // history kept small so that its bounds are exercised too.
        traffic.setLimits(64, 1 << 14);
        in->OnTraffic = [this](const std::uint8_t* data, std::size_t size) FUZZ_UNCOVERED {
            traffic.add(false, portName, data, size);
            FUZZ_REQUIRE(traffic.size() <= 64 && !traffic.at(traffic.size() - 1).meaning.text.empty());
        };
        seams.pump = [] { QCoreApplication::sendPostedEvents(); };
        installSeams(&seams);
    }

    // The rig's own loops are left uncovered: their counts would reward an
    // input for its number of messages alone.
    FUZZ_UNCOVERED void run(const std::uint8_t* data, std::size_t size)
    {
        // A fresh protocol object each input, made in the same memory each
        // time: fresh pages for its buffers would be most of an input's
        // time. Everything an input makes goes before it ends, so that the
        // fuzzer never takes a run for a leak and scans the heap.
        proto = new (storage.get()) MirageProtocol(seams);
        struct End {
            Rig& r;
            ~End() { r.finish(); }
        } ending{*this};
        messages.clear();
        expected.clear();
        // What the dump buffers must hold: what the fresh object has, until
        // a dump of their own arrives.
        std::memcpy(config.data(), proto->ConfigDump, config.size());
        std::memcpy(lower.data(), proto->LowerProgramDump, lower.size());
        std::memcpy(upper.data(), proto->UpperProgramDump, upper.size());
        delivered = 0;
        waiting = nullptr;
        lastGood = nullptr;

        const std::uint8_t* end = data + size;
        std::size_t count = 1; // one message, and one more for every later F0
        for (const std::uint8_t* at = data; at + 1 < end; ++count) {
            const void* next = std::memchr(at + 1, 0xF0, static_cast<std::size_t>(end - at - 1));
            if (!next)
                break;
            at = static_cast<const std::uint8_t*>(next);
        }
        messages.reserve(count);
        expected.reserve(count + size / TMidiIn::BufferSize);
        for (const std::uint8_t* at = data; at < end;) {
            const void* next = at + 1 < end ? std::memchr(at + 1, 0xF0, static_cast<std::size_t>(end - at - 1)) : nullptr;
            const std::uint8_t* stop = next ? static_cast<const std::uint8_t*>(next) : end;
            messages.emplace_back(at, static_cast<std::size_t>(stop - at));
            at = stop;
        }
        // The pieces the port must raise: a short message is not raised as
        // SysEx; a long one comes in full buffers and a remainder.
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const Bytes& m = messages[i];
            if (m[0] != 0xF0 && m.size() <= 3)
                continue;
            for (std::size_t at = 0; at < m.size(); at += TMidiIn::BufferSize)
                expected.push_back({i, at, at + TMidiIn::BufferSize >= m.size()});
        }

        // The user-interface thread takes what has arrived long before the
        // port's queue of TMidiIn::MaxQueuedMessages fills (a longer burst
        // is dropped and reported, by design).
        for (std::size_t i = 0; i < messages.size(); ++i) {
            wire.transmit(messages[i].data(), messages[i].size());
            if ((i + 1) % (TMidiIn::MaxQueuedMessages / 4) == 0)
                QCoreApplication::sendPostedEvents();
        }
        QCoreApplication::sendPostedEvents();

        FUZZ_REQUIRE(delivered == expected.size());
        // The monitor's byte count is that of the messages it holds, within
        // its bound unless the newest alone exceeds it.
        std::size_t held = 0;
        for (std::size_t i = 0; i < traffic.size(); ++i)
            held += traffic.at(i).bytes.size();
        FUZZ_REQUIRE(held == traffic.bytes() && (held <= traffic.maxBytes() || traffic.size() == 1));
        if (waiting)
            FUZZ_REQUIRE(!proto->WavesampleReady);
        else
            checkKept();
    }

private:
    FUZZ_UNCOVERED void finish()
    {
        proto->~MirageProtocol();
        proto = nullptr;
        traffic.clear();
        std::vector<Bytes>().swap(messages);
        std::vector<PieceOf>().swap(expected);
    }

    // Not inlined into the handler's call, which is covered.
    FUZZ_UNCOVERED __attribute__((noinline)) void onPiece(const std::uint8_t* data, int size)
    {
        // Every message reaches the dispatcher in order, in pieces of at
        // most one buffer.
        FUZZ_REQUIRE(delivered < expected.size());
        const PieceOf piece = expected[delivered++];
        const Bytes& message = messages[piece.message];
        const auto n = static_cast<std::size_t>(size);
        FUZZ_REQUIRE(n == std::min<std::size_t>(TMidiIn::BufferSize, message.size() - piece.at));
        FUZZ_REQUIRE(same(data, message.data() + piece.at, n));

        MirageProtocol& p = *proto;
        const bool readyBefore = p.WavesampleReady;
        const int halfBefore = p.CurrentHalf;
        const int wavesampleBefore = p.CurrentWavesample;
        const std::uint8_t* upperBuffer = p.UpperProgramDump;

        p.MidiIn1SysEx(data, size);

        // A dump buffer changes only for a dump of its own size and command
        // whose data are nibbles, and then holds it byte for byte; the rest
        // of a program buffer stays zero. The rig keeps what each must hold
        // rather than a copy of each before every piece.
        auto expectBuffer = [&](const std::uint8_t* now, std::uint8_t* want, std::size_t len, std::uint8_t command,
                                std::size_t dumpSize) {
            if (n == dumpSize && isMirage(data, n, command) && nibbles(data, n))
                std::memcpy(want, data, len);
            FUZZ_REQUIRE(same(now, want, len));
        };
        expectBuffer(p.ConfigDump, config.data(), ConfigDumpSize, cmd::ConfigDump, ConfigDumpSize);
        expectBuffer(p.LowerProgramDump, lower.data(), ProgramDumpSize, cmd::LowerDump, ProgramDumpSize);
        expectBuffer(p.UpperProgramDump, upper.data(), ProgramDumpSize, cmd::UpperDump, ProgramDumpSize);
        FUZZ_REQUIRE(p.UpperProgramDump == upperBuffer);
        for (std::size_t i = ProgramDumpSize; i < ProgramBufferSize; ++i)
            FUZZ_REQUIRE(p.LowerProgramDump[i] == 0 && p.UpperProgramDump[i] == 0);

        // The selection follows status replies only, nibble by nibble: the
        // windows guard their selectors for any half and wavesample 0..15 a
        // reply may name. The programs are the windows' own business.
        const bool status = n >= 5 && n <= 9;
        if (status && (isMirage(data, n, cmd::StatusHalf) || isMirage(data, n, cmd::StatusHalfAlt))) {
            FUZZ_REQUIRE(p.CurrentHalf == data[4] / 16 && p.CurrentWavesample == wavesampleBefore);
        } else if (status && (isMirage(data, n, cmd::StatusHalfWavesample) ||
                              isMirage(data, n, cmd::StatusHalfWavesampleAlt))) {
            FUZZ_REQUIRE(p.CurrentHalf == data[4] / 16 && p.CurrentWavesample == data[4] % 16);
        } else {
            FUZZ_REQUIRE(p.CurrentHalf == halfBefore && p.CurrentWavesample == wavesampleBefore);
        }
        FUZZ_REQUIRE(p.CurrentHalf >= 0 && p.CurrentHalf <= 15 && p.CurrentWavesample >= 0 && p.CurrentWavesample <= 15);
        FUZZ_REQUIRE(p.CurrentLowerProgram == 0 && p.CurrentUpperProgram == 0);

        // A wavesample dump is ready once its last piece is in; one that
        // exactly filled a buffer without its F7 waits for the next message
        // to tell whether more follows. Nothing else touches the flag.
        if (isMirage(message, cmd::WavesampleDump)) {
            if (!piece.last) {
                FUZZ_REQUIRE(!p.WavesampleReady);
            } else if (message.size() == TMidiIn::BufferSize && message.back() != 0xF7) {
                FUZZ_REQUIRE(!p.WavesampleReady);
                waiting = &message;
            } else {
                ended(message);
                waiting = nullptr;
            }
        } else if (waiting && piece.at == 0 && message[0] == 0xF0) {
            ended(*waiting);
            waiting = nullptr;
        } else {
            FUZZ_REQUIRE(p.WavesampleReady == readyBefore);
        }
    }

    // A well-formed dump is taken; a malformed one leaves the last one taken.
    FUZZ_UNCOVERED void ended(const Bytes& m)
    {
        if (wellFormedWavesample(m))
            lastGood = &m;
        checkKept();
    }
    FUZZ_UNCOVERED void checkKept() const
    {
        if (lastGood)
            checkWavesample(*lastGood);
        else
            FUZZ_REQUIRE(!proto->WavesampleReady && proto->LastWavesample().pages == 0);
    }

    // Ready, and the buffer holds what the dump brought: the pages it
    // announces when it is complete, else as many sample bytes as arrived
    // and no claim of more; the checksum behind the pages of a complete one.
    FUZZ_PLAIN void checkWavesample(const Bytes& m) const
    {
        const MirageProtocol& p = *proto;
        FUZZ_REQUIRE(p.WavesampleReady);
        const auto& got = p.LastWavesample();
        const std::size_t pages = m.size() >= 6 ? m[4] + 16u * m[5] : 0;
        const bool complete = pages <= 256 && m.size() == 8 + 512 * pages;
        FUZZ_REQUIRE(static_cast<std::size_t>(got.pages) == pages);
        FUZZ_REQUIRE(got.complete == complete);
        const std::size_t arrived = m.size() >= 8 ? (m.size() - 8) / 2 : 0;
        FUZZ_REQUIRE(got.sampleBytes == std::min({arrived, 256 * pages, std::size_t{256 * 256}}));
        FUZZ_REQUIRE(p.WavesampleBuffer[0] == (pages & 0xFF) || m.size() < 6);
        // Raw pointers: the containers' operators are not inlined here.
        const std::uint8_t* buffer = p.WavesampleBuffer.data();
        const std::uint8_t* bytes = m.data();
        std::uint8_t differ = 0;
        for (std::size_t i = 0; i < got.sampleBytes; ++i)
            differ |= buffer[1 + i] ^ static_cast<std::uint8_t>(bytes[6 + 2 * i] + 16 * bytes[7 + 2 * i]);
        FUZZ_REQUIRE(differ == 0);
        if (complete)
            FUZZ_REQUIRE(p.WavesampleBuffer[1 + 256 * pages] == m[m.size() - 2]);
    }

    fuzz::QuietSeams seams;
    static_assert(alignof(MirageProtocol) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    std::unique_ptr<std::byte[]> storage{new std::byte[sizeof(MirageProtocol)]};
    MirageProtocol* proto = nullptr;
    Wire wire;
    std::unique_ptr<TMidiIn> in;
    MidiTraffic traffic;
    const std::string portName = "Fuzz wire";
    std::array<std::uint8_t, ConfigDumpSize> config{};
    std::array<std::uint8_t, ProgramBufferSize> lower{}, upper{};
    std::vector<Bytes> messages;
    std::vector<PieceOf> expected;
    std::size_t delivered = 0;
    const Bytes* waiting = nullptr;        // a dump that filled a buffer exactly, without F7
    const Bytes* lastGood = nullptr;       // the last well-formed wavesample dump
};

Rig* rig = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    rig = new Rig;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rig->run(data, size);
    return 0;
}
