// Benchmark, not a test: a generated library of 10,000 files (6,000 sound
// files of one half, 1,000 disk images of six slots, 3,000 short audio
// files) in the library window: the first index, a rescan with nothing
// changed, and search as the user types, each keystroke's time until its
// results are drawn. While the scans run on their thread, a 1 ms timer on the
// user-interface thread notes the longest time it goes without processing
// events.
//
//   QT_QPA_PLATFORM=offscreen build-test/tests/library/bench_library [library dir [picture.png]]
//
// A library directory given is made once and reused by later runs; the
// window is drawn into the picture at the end.
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
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

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

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The slowest single event the user-interface thread handled while a scan
// ran, and what it was: where a gap comes from.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_++ > 0) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            return r;
        }
        QElapsedTimer t;
        t.start();
        const int type = event->type();
        const QString what = QString::fromLatin1(receiver->metaObject()->className()) + " " + receiver->objectName();
        const bool r = QApplication::notify(receiver, event);
        --depth_;
        if (t.nsecsElapsed() > slowest) {
            slowest = t.nsecsElapsed();
            slowestWhat = QString("%1 (event %2)").arg(what).arg(type);
        }
        return r;
    }
    qint64 slowest = 0;
    QString slowestWhat;

private:
    int depth_ = 0;
};

// The longest gaps between the ticks of a 1 ms timer while a scan runs. On
// a loaded machine a gap includes time the thread was not scheduled at all
// (the scan's thread and other programs share the cores), so the processor
// time the user-interface thread itself used between two ticks is kept too:
// that is the work that stalled it.
struct Meter {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, lastCpu = 0, longestCpu = 0, at = 0, gapAt = 0;
    int over16 = 0, cpuOver16 = 0;
    QTimer tick;
    Meter()
    {
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            if (now - last > longest)
                gapAt = now;
            longest = std::max(longest, now - last);
            if (cpu - lastCpu > longestCpu)
                at = now;
            longestCpu = std::max(longestCpu, cpu - lastCpu);
            over16 += now - last > 16000000 ? 1 : 0;
            cpuOver16 += cpu - lastCpu > 16000000 ? 1 : 0;
            last = now;
            lastCpu = cpu;
        });
    }
    void start()
    {
        last = longest = longestCpu = at = gapAt = 0;
        over16 = cpuOver16 = 0;
        clock.start();
        lastCpu = threadCpuNs();
        tick.start(1);
    }
    void print() const
    {
        std::printf("  longest event-loop gap %.1f ms (%d over 16 ms, the longest ending %.2f s after the start); longest processor time of the user-interface "
                    "thread between two ticks %.1f ms (%d over 16 ms, the longest %.2f s after the start)\n",
                    longest / 1e6, over16, gapAt / 1e9, longestCpu / 1e6, cpuOver16, at / 1e9);
    }
};

double scanSeconds(TfmLibrary* library, Meter& meter, const std::function<void()>& begin)
{
    QElapsedTimer t;
    auto* timed = static_cast<TimedApplication*>(QApplication::instance());
    timed->slowest = 0;
    meter.start();
    t.start();
    begin();
    QTest::qWaitFor([library] { return !library->Scanning(); }, 3600000);
    meter.tick.stop();

    std::printf("  slowest single event %.1f ms: %s\n", timed->slowest / 1e6, qPrintable(timed->slowestWhat));
    return t.elapsed() / 1000.0;
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
    TimedApplication app(argc, argv);
    QTemporaryDir temp;
    const QString lib = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.filePath("lib");
    if (!QFile::exists(lib + "/.complete"))
        generate(lib);
    setConfigDirectory(temp.path());
    TfmLibrary::SetDataDirectory(temp.filePath("data"));
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
    QTest::qWaitFor([library] { return !library->Scanning(); }, 10000);
    Meter meter;
    const double first = scanSeconds(library, meter, [&] { library->SetFolders({lib}); });
    std::printf("first index: %.1f s for %d sounds and samples\n", first, library->Model->total());
    meter.print();
    const double again = scanSeconds(library, meter, [&] { library->Rescan(); });
    std::printf("rescan, nothing changed: %.2f s\n", again);
    meter.print();
    typeAndMeasure(library, "strings 12");
    typeAndMeasure(library, "disk u2");
    if (argc > 2) {
        library->tvSounds->selectRow(0);
        library->grab().save(QString::fromLocal8Bit(argv[2]));
    }
    form.FormClose();
    return library->Model->total() > 0 ? 0 : 1;
}
