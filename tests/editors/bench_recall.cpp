// Benchmark, not a test: a preset recall that walks every value of a program
// from the bottom of its range to the top (hundreds of steps, 30 ms apart),
// run with the program's own seams (each wait a local event loop) against
// the built-in emulator. It measures the longest time the user-interface
// thread goes without processing events while the recall runs: a 1 ms
// timer notes each time it gets through. On a loaded machine the wall-clock
// gaps include time the thread was not scheduled at all, so the processor
// time the thread used between two ticks is given as well
// (tests/support/EventLoopMeter.h).
//
//   QT_QPA_PLATFORM=offscreen build-test/tests/editors/bench_recall
#include "BenchStart.h"
#include "EnvFilter.h"
#include "EventLoopMeter.h"
#include "Form1.h"
#include "QtSeams.h"
#include "Settings.h"
#include "VirtualDevice.h"
#include "VirtualMirage.h"
#include "Windows.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace corvane;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    setConfigDirectory(dir.path());
    AudioPlayer::addModuleFolder(CORVANE_BUILD_AUDIO_MODULE_DIR);
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
        test::fetchDumps(form, seams);
        auto* env = qobject_cast<TEnvFilterEditor*>(form.Window("TEnvelopeForm"));
        env->ShowAndActivate();
        seams.wait(300);
        if (env->ActivationCount() == 0)
            env->Activate();

        test::fillRecallPresets(form);
        env->cbEnvPresetNamesClick(0);
        env->bnEnvSetClick();

        int steps = 0;
        {
            auto guard = mirage.lock();
            steps = mirage.emulator().counters().steps;
        }
        test::EventLoopMeter meter;
        meter.start();
        env->cbEnvPresetNamesClick(1);
        env->bnEnvSetClick();
        const test::EventLoopMeter::Figures& f = meter.stop();
        {
            auto guard = mirage.lock();
            steps = mirage.emulator().counters().steps - steps;
        }
        std::printf("recall of %d steps took %.1f s; %lld timer ticks; longest time without processing events: "
                    "%.2f ms (processor time at most %.2f ms); gaps over 5/10/16 ms: %d/%d/%d\n",
                    steps, f.elapsedNs / 1e9, f.ticks, f.longestGapNs / 1e6, f.longestCpuNs / 1e6, f.gapsOver(5),
                    f.gapsOver(10), f.gapsOver(16));
        result = steps > 0 ? 0 : 1;
        form.FormClose();
    }
    unregisterVirtualDevice(&mirage);
    return result;
}
