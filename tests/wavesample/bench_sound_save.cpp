// Benchmark, not a test: both halves saved with all sixteen wavesamples at
// their largest (wavesample w of each half spans pages 0 to 255 - w, so
// none shares the pages of another) through the save window, on the
// fixture's clock that moves replies at MIDI wire speed; then loaded back.
// Prints the job's time against the time its bytes need on the wire, and
// the processor time the program spent.
#include "MirageFixture.h"
#include "SoundWindows.h"

#include <QPushButton>
#include <QRadioButton>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace corvane::test {
namespace {

class SoundBenchmark : public MirageFixture {};

TEST_F(SoundBenchmark, SaveAndLoadBothHalvesAtTheirLargest)
{
    for (int h = 0; h < 2; ++h)
        for (int w = 0; w < 8; ++w) {
            auto& ws = mirage().half(h).wavesamples[static_cast<std::size_t>(w)];
            ws.setField(wsf::StartPage, 0);
            ws.setField(wsf::EndPage, 255 - w);
        }
    auto* save = dynamic_cast<TfmSaveSound*>(form().Window("TfmSaveSound"));
    auto* load = dynamic_cast<TfmLoadSound*>(form().Window("TfmLoadSound"));
    ASSERT_TRUE(save && load);
    const std::string path = (std::filesystem::path(configDir().toStdString()) / "largest.syx").string();

    struct Figures {
        double job = 0, cpu = 0, wall = 0;
    };
    auto run = [this](const std::function<void()>& job) {
        seams().clear();
        const long long clockBefore = seams().now;
        const auto wallBefore = std::chrono::steady_clock::now();
        const std::clock_t cpuBefore = std::clock();
        job();
        Figures f;
        f.cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        f.job = static_cast<double>(seams().now - clockBefore) / 1000.0;
        return f;
    };
    auto print = [](const char* what, const Figures& f, std::size_t wireBytes) {
        const double wire = static_cast<double>(sound::wireMs(wireBytes)) / 1000.0;
        std::printf("%s: %zu bytes need %.1f s on the wire; the job took %.1f s at wire speed (%+.1f%%); "
                    "%.2f s processor time (%.2f s wall) for the program and the emulator\n",
                    what, wireBytes, wire, f.job, 100.0 * (f.job - wire) / wire, f.cpu, f.wall);
    };

    activate(save);
    save->rbBoth->setChecked(true);
    seams().saveAnswers = {path};
    const Figures saving = run([&] { save->bnSave->click(); });
    ASSERT_TRUE(std::filesystem::exists(path));
    const sound::ReadResult file = sound::readFile(path);
    ASSERT_TRUE(file.ok()) << file.text;
    std::size_t dumps = 0;
    for (const auto& h : file.sound.halves)
        dumps += h.wavesampleDumps.size();
    EXPECT_EQ(dumps, 16u);
    const auto fileBytes = static_cast<std::size_t>(std::filesystem::file_size(path));
    std::printf("file: %zu bytes, %zu wavesample dumps\n", fileBytes, dumps);
    // What crossed the wire: the file's dumps (not the names message), the
    // two program requests, and a selection and a request per wavesample.
    const std::size_t dumpBytes = fileBytes - sound::namesMessage(file.sound).size();
    print("save", saving, dumpBytes + 2 * 5 + 16 * (7 + 4));

    activate(load);
    ASSERT_TRUE(load->OpenFile(path));
    const Figures loading = run([&] { load->bnSend->click(); });
    // The dumps sent, a selection and an answer per wavesample, and the
    // program selections, requests and fresh dumps at the end.
    print("load", loading, dumpBytes + 16 * (7 + 5) + 2 * (7 + 7 + 5 + 1255));
}

} // namespace
} // namespace corvane::test
