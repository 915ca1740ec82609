// Benchmark, not a test: a generated library of 10,000 files (6,000 sound
// files of one half, 1,000 disk images of six slots, 3,000 short audio
// files) in the library window: the first index, a rescan with nothing
// changed, and search as the user types, each keystroke's time until its
// results are drawn. While the scans run on their thread, the event-loop
// meter notes the longest time the user-interface thread goes without
// processing events (each scan's figures are printed before its line).
//
//   QT_QPA_PLATFORM=offscreen build-test/tests/library/bench_library [library dir [picture.png]]
//
// A library directory given is made once and reused by later runs; the
// window is drawn into the picture at the end.
#include "EventLoopMeter.h"
#include "Form1.h"
#include "LibraryFolders.h"
#include "LibraryWindow.h"
#include "QtSeams.h"
#include "Settings.h"
#include "Windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace corvane;

namespace {

const char* const Words[] = {"strings", "bass", "choir", "piano", "brass", "organ", "pad", "flute", "drum", "voice"};

void generate(const QString& dir)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 10000; ++i) {
        const QString word = Words[i % 10];
        const QString sub = QString("%1/set%2/").arg(dir).arg(i / 250);
        if (i % 10 < 6)
            test::writeSoundFile(sub + QString("%1-%2.syx").arg(word).arg(i), i % 3, i, {i % 2});
        else if (i % 10 == 6)
            test::writeImage(sub + QString("%1-disk-%2.img").arg(word).arg(i), i % 2, i);
        else
            test::writeAudio(sub + QString("%1-%2.%3").arg(word).arg(i).arg(i % 2 ? "wav" : "flac"), 100 + i % 900, 2000);
    }
    QFile(dir + "/.complete").open(QIODevice::WriteOnly);
    std::printf("generated 10,000 files in %.1f s\n", t.elapsed() / 1000.0);
    std::fflush(stdout);
}

void print(const test::EventLoopMeter::Figures& f)
{
    std::printf("  longest event-loop gap %.1f ms (%d over 16 ms, the longest ending %.2f s after the start); longest "
                "processor time of the user-interface thread between two ticks %.1f ms (%d over 16 ms, the longest "
                "ending %.2f s after the start); slowest event %.1f ms: %s\n",
                f.longestGapNs / 1e6, f.gapsOver(16), f.gapEndNs / 1e9, f.longestCpuNs / 1e6, f.cpusOver(16),
                f.cpuEndNs / 1e9, f.slowestEventCpuNs / 1e6, qPrintable(f.slowestEvent));
}

double scanSeconds(TfmLibrary* library, const std::function<void()>& begin)
{
    test::EventLoopMeter meter;
    meter.start();
    begin();
    if (!QTest::qWaitFor([library] { return !library->Scanning(); }, 3600000))
        std::fprintf(stderr, "the scan did not end within an hour\n");
    const test::EventLoopMeter::Figures& f = meter.stop();
    print(f);
    return f.elapsedNs / 1e9;
}

void typeAndMeasure(TfmLibrary* library, const QString& text)
{
    library->edSearch->clear();
    QApplication::processEvents();
    std::vector<double> ms;
    for (const QChar c : text) {
        QElapsedTimer t;
        t.start();
        QTest::keyClick(library->edSearch, c.toLatin1());
        QApplication::processEvents(); // the table drawn
        ms.push_back(t.nsecsElapsed() / 1e6);
        std::printf("  \"%s\": %d rows in %.1f ms\n", qPrintable(library->edSearch->text()), library->Model->rowCount(),
                    ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("search as you type \"%s\": median %.1f ms, longest %.1f ms per keystroke\n", qPrintable(text),
                ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    test::TimedApplication app(argc, argv);
    QTemporaryDir temp;
    const QString lib = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.filePath("lib");
    if (!QFile::exists(lib + "/.complete"))
        generate(lib);
    setConfigDirectory(temp.path());
    TfmLibrary::SetDataDirectory(temp.filePath("data"));
    AudioPlayer::addModuleFolder(CORVANE_BUILD_AUDIO_MODULE_DIR);
    QtSeams seams;
    seams.setUnattended(true);
    installSeams(&seams);
    TForm1 form(seams, false);
    CreateWindows(&form);
    auto* library = dynamic_cast<TfmLibrary*>(form.Window("TfmLibrary"));
    // The window is shown with no folder named, then the folder is named
    // (as the Library Folders window does) and the first index measured.
    library->show();
    QTest::qWait(200);
    if (!QTest::qWaitFor([library] { return !library->Scanning(); }, 10000))
        std::fprintf(stderr, "the empty library's opening did not end\n");
    const double first = scanSeconds(library, [&] { library->SetFolders({lib}); });
    std::printf("first index: %.1f s for %d sounds and samples\n", first, library->Model->total());
    const double again = scanSeconds(library, [&] { library->Rescan(); });
    std::printf("rescan, nothing changed: %.2f s\n", again);
    {
        // The next run's window: it opens the library it finds, then rescans.
        TfmLibrary next(form.Context());
        const double reopened = scanSeconds(&next, [&] {
            next.ShowAndActivate();
            // A rescan may have begun and ended before the first look.
            [[maybe_unused]] const bool seen = QTest::qWaitFor([&next] { return next.Scanning(); }, 10000);
        });
        std::printf("the next run's window opening the library and rescanning: %.2f s\n", reopened);
    }
    typeAndMeasure(library, "strings 12");
    typeAndMeasure(library, "disk u2");
    if (argc > 2) {
        library->tvSounds->selectRow(0);
        library->grab().save(QString::fromLocal8Bit(argv[2]));
    }
    form.FormClose();
    return library->Model->total() > 0 ? 0 : 1;
}
