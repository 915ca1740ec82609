// Two figures of the MIDI path: how long the receive dispatcher takes to
// decode a full 128-page wavesample dump, and the rate a paced 131078-byte
// SysEx actually leaves a TMidiOut at over JACK. The second needs a JACK
// server: run under scripts/with-jack.sh (it reports an error otherwise).
#include "JackPeer.h"
#include "MirageProtocol.h"
#include "Midiout.h"
#include "RecordingSeams.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <chrono>

using namespace corvane;
using namespace corvane::test;

namespace {

// F0 0F 01 06, page count, 128 pages of sample bytes as nibble pairs (low
// first), checksum, F7: 65544 bytes.
std::vector<std::uint8_t> wavesampleDump()
{
    std::vector<std::uint8_t> m{0xF0, 0x0F, 0x01, 0x06, 0x00, 0x08};
    std::uint8_t sum = 0;
    for (int i = 0; i < 128 * 256; ++i) {
        const auto sample = static_cast<std::uint8_t>(128 + 100 * ((i % 64) < 32 ? 1 : -1) * (i % 32) / 32);
        m.push_back(sample & 0x0F);
        m.push_back(sample >> 4);
        sum = static_cast<std::uint8_t>(sum + sample);
    }
    m.push_back(sum & 0x7F);
    m.push_back(0xF7);
    return m;
}

void BM_DecodeWavesampleDump(benchmark::State& state)
{
    RecordingSeams seams;
    installSeams(&seams);
    auto protocol = std::make_unique<MirageProtocol>(seams);
    const auto dump = wavesampleDump();
    for (auto _ : state) {
        protocol->MidiIn1SysEx(dump.data(), static_cast<int>(dump.size()));
        benchmark::DoNotOptimize(protocol->WavesampleBuffer.data());
    }
    if (!protocol->WavesampleReady || protocol->WavesampleBuffer[0] != 128)
        state.SkipWithError("the dump was not decoded");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
    installSeams(nullptr);
}
BENCHMARK(BM_DecodeWavesampleDump)->Unit(benchmark::kMicrosecond);

void BM_PacedJackSend(benchmark::State& state)
{
    RecordingSeams seams(true);
    installSeams(&seams);
    try {
        JackPeer peer;
        TMidiOut out;
        const int port = findDevice(out, JackPeer::InClient);
        out.SetPort(port);
        out.SetUsing(true);
        if (port < 0 || out.OpenResult() != 0) {
            state.SkipWithError("no JACK port to send to");
        } else {
            out.SetPacing(static_cast<int>(state.range(0)));
            const auto m = mirageMessage(131078, 0x06, 0x7F);
            std::size_t arrived = 0;
            for (auto _ : state) {
                const auto start = std::chrono::steady_clock::now();
                out.SysEx(m.data(), static_cast<int>(m.size()));
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                state.SetIterationTime(seconds);
                state.counters["wire_bytes_per_s"] = static_cast<double>(m.size() + 1) / seconds;
                while (peer.receivedCount() == 0 && seams.totalWaited() < 60000)
                    seams.wait(10);
                for (const auto& got : peer.takeReceived())
                    arrived = got.size();
            }
            if (arrived != m.size() + 1)
                state.SkipWithError("the message did not arrive whole");
        }
    } catch (const RtMidiError& e) {
        state.SkipWithError(e.what());
    }
    installSeams(nullptr);
}
BENCHMARK(BM_PacedJackSend)
    ->Arg(TMidiOut::WireSpeed)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
