// Benchmark, not a test: a preset recall that walks every value of a program
// from the bottom of its range to the top (hundreds of steps, 30 ms apart),
// run with the program's own seams (each wait a local event loop) against
// the built-in emulator. It measures the longest time the user-interface
// thread goes without processing events while the recall runs: a 1 ms
// timer notes each time it gets through. On a loaded machine the wall-clock
// gaps include time the thread was not scheduled at all, so the processor
// time the program used between two ticks is given as well.
//
//   QT_QPA_PLATFORM=offscreen build-test/tests/editors/bench_recall
#include "EnvFilter.h"
#include "Form1.h"
#include "QtSeams.h"
#include "Settings.h"
#include "VirtualDevice.h"
#include "VirtualMirage.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>

using namespace corvane;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    setConfigDirectory(dir.path());
    QtSeams seams;
    seams.setUnattended(true);
    installSeams(&seams);
    VirtualMirage mirage;
    registerVirtualDevice(&mirage);
    int result = 1;
    {
        TForm1 form(seams, true);
        CreateWindows(&form);
        form.show();
        form.SpeedButton1Click();
        seams.wait(200);
        form.sbRefreshULClick();
        seams.wait(1500);
        auto* env = qobject_cast<TEnvFilterEditor*>(form.Window("TEnvelopeForm"));
        env->ShowAndActivate();
        seams.wait(300);
        if (env->ActivationCount() == 0)
            env->Activate();

        // Entry 0 holds every value at the bottom of its range, entry 1 at the top.
        for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot) {
            const int top = slot == 0 ? 198 : slot == 1 ? 160 : slot == 2 ? 4 : (slot - 3) % 10 < 5 ? 31 : 124;
            form.EnvPresets.value(0, slot) = 0;
            form.EnvPresets.value(1, slot) = top;
        }
        env->cbEnvPresetNamesClick(0);
        env->bnEnvSetClick();

        int steps = 0;
        {
            auto guard = mirage.lock();
            steps = mirage.emulator().counters().steps;
        }
        QElapsedTimer clock;
        qint64 last = 0, longest = 0, ticks = 0;
        std::clock_t lastCpu = std::clock(), longestCpu = 0;
        int over[3] = {0, 0, 0}; // gaps over 5, 10 and 16 ms
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            for (int i = 0; i < 3; ++i)
                over[i] += now - last > qint64(i == 0 ? 5 : i == 1 ? 10 : 16) * 1000000;
            last = now;
            const std::clock_t cpu = std::clock();
            longestCpu = std::max(longestCpu, cpu - lastCpu);
            lastCpu = cpu;
            ++ticks;
        });
        clock.start();
        lastCpu = std::clock();
        tick.start(1);
        env->cbEnvPresetNamesClick(1);
        env->bnEnvSetClick();
        const qint64 total = clock.nsecsElapsed();
        tick.stop();
        {
            auto guard = mirage.lock();
            steps = mirage.emulator().counters().steps - steps;
        }
        std::printf("recall of %d steps took %.1f s; %lld timer ticks; longest time without processing events: "
                    "%.2f ms (processor time at most %.2f ms); gaps over 5/10/16 ms: %d/%d/%d\n",
                    steps, total / 1e9, ticks, longest / 1e6, 1000.0 * longestCpu / CLOCKS_PER_SEC, over[0], over[1],
                    over[2]);
        result = steps > 0 ? 0 : 1;
        form.FormClose();
    }
    unregisterVirtualDevice(&mirage);
    return result;
}
