// Benchmark, not a test: how long the Wave Editor holds the user-interface
// thread for each edit and each repaint on a full 65,536-sample wavesample
// (L1 spanning all 256 pages of the lower half), opened from the built-in
// emulator. Each figure is the wall time and the thread's processor time
// from the menu item (or the zoom) to the end of the repaint it causes, the
// longest of three runs; the window answers within a frame when both stay
// under 16 ms.
//
//   QT_QPA_PLATFORM=offscreen build/tests/wavesample/bench_wave_editor
#include "EventLoopMeter.h"
#include "MirageFixture.h"
#include "WaveEditView.h"
#include "WaveEditor.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>

namespace corvane::test {
namespace {

class WaveEditorBenchmark : public MirageFixture {};

TEST_F(WaveEditorBenchmark, EveryEditAndRepaintOfAFullWavesample)
{
    auto& l1 = mirage().half(0).wavesamples[0];
    l1.setField(wsf::StartPage, 0);
    l1.setField(wsf::EndPage, 255);
    for (std::size_t i = 0; i < 65536; ++i)
        mirage().half(0).memory[i] = static_cast<std::uint8_t>(128 + std::lround(90 * std::sin(i * 0.031) * std::cos(i * 0.0007)));
    mirage().setCurrentHalf(0);
    mirage().setCurrentWavesample(0);
    fetchDumps();
    auto* editor = qobject_cast<TfmWaveEditor*>(form().Window("TfmWaveEditor"));
    ASSERT_NE(editor, nullptr);
    editor->resize(1200, 600);
    activate(editor);
    editor->acOpenCurrent->trigger();
    ASSERT_TRUE(editor->Buffer() && editor->Buffer()->size() == 65536);

    int over = 0;
    const auto measure = [&](const char* what, const std::function<void()>& act) {
        qint64 worstWall = 0, worstCpu = 0;
        for (int run = 0; run < 3; ++run) {
            // A dialog an action opens is answered at once: its own showing counts.
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    d->accept();
            });
            const qint64 wall = wallNs(), cpu = threadCpuNs();
            act();
            editor->repaint();
            worstWall = std::max(worstWall, wallNs() - wall);
            worstCpu = std::max(worstCpu, threadCpuNs() - cpu);
            if (editor->Buffer()->canUndo() && editor->Buffer()->size() < 60000)
                editor->acUndo->trigger(); // the length stays near the whole
        }
        const bool slow = worstCpu > 16'000'000;
        over += slow ? 1 : 0;
        std::printf("%-26s %7.2f ms wall %7.2f ms processor%s\n", what, worstWall / 1e6, worstCpu / 1e6,
                    slow ? "  OVER 16 ms" : "");
    };
    TWaveEditView* view = editor->pbWave;
    measure("repaint, whole", [&] { view->fit(); });
    measure("repaint, one page", [&] { view->zoomTo({0x8000, 0x8100}); });
    measure("repaint, single samples", [&] { view->zoomTo({0x8000, 0x8020}); });
    measure("scroll", [&] { view->scrollTo(view->first() + 1000); });
    view->fit();
    view->setSelection({10000, 50000});
    for (QAction* a : {editor->acCut, editor->acCopy, editor->acPaste, editor->acDelete, editor->acTrim,
                       editor->acGain, editor->acNormalise, editor->acFadeIn, editor->acFadeOutPower,
                       editor->acReverse, editor->acInvert, editor->acRemoveDc, editor->acLowPass, editor->acHighPass,
                       editor->acEqualiser, editor->acResample, editor->acFindLoop, editor->acCrossfade,
                       editor->acUndo, editor->acRedo}) {
        measure(qPrintable(a->text().remove('&')), [&] {
            view->setSelection({10000, 50000});
            a->trigger();
        });
    }
    std::printf("%d of the figures over 16 ms of processor time\n", over);
}

} // namespace
} // namespace corvane::test
