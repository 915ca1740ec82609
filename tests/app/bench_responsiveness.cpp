// Benchmark, not a test: how long the user-interface thread goes without
// processing events while the user does the long things, each through its
// window as a user would, with the program's own seams (every wait a local
// event loop) against the built-in emulator, which paces long messages at
// MIDI wire time:
//
//   open     every window opened the first time, in the program's order,
//            each followed by an empty window of its size; then every
//            window again
//   recall   an envelope preset recall from every value's bottom to its top
//   send     a 256-page wavesample sent through "Send Wavesample to Mirage"
//   receive  the same 256 pages asked back through the request window
//   sound    both halves saved to a sound file and loaded back
//   import   the head of a 10-minute 44.1 kHz stereo file imported
//   build    FluidR3 (148 MB) opened in Build Sound, its first preset built,
//            then its kit chosen and built
//
// One line per scenario: the longest wall gap between two ticks of a 1 ms
// timer, the longest processor time of the thread between two ticks (on a
// loaded machine the wall gap includes time the thread was not scheduled),
// how many of either were over 8 ms, the slowest single event and the load
// average.
//
//   QT_QPA_PLATFORM=offscreen build/tests/app/bench_responsiveness [--only open,recall,...] [--quick]
//       [--verbose] [--trace MS] [--warm]
//
// --quick shortens the recall to an eighth of each range and saves one half.
// --trace writes every event and every stretch over MS ms as it ends.
// --warm reads a byte of every page of the process every 300 ms from a
// thread of its own. On a machine whose host makes memory that has not been
// touched for a second or two slow to touch again (tens of microseconds a
// page), a stretch after a long wait measures that machine as much as the
// program; with --warm it measures the program's own work. It is a way to
// tell the two apart, not the figure that counts.
#include "BenchStart.h"
#include "BuildSound.h"
#include "EnvFilter.h"
#include "EventLoopMeter.h"
#include "Form1.h"
#include "QtSeams.h"
#include "Settings.h"
#include "SoundWindows.h"
#include "VirtualDevice.h"
#include "VirtualMirage.h"
#include "Windows.h"
#include "WsGet.h"
#include "WsSend.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// The real seams, with the file dialogs answered from lists (nothing is
// there to click them) and the boxes kept as well as reported.
class BenchSeams : public QtSeams {
public:
    std::deque<std::string> openAnswers, saveAnswers;
    std::vector<std::string> boxes;

    std::string openFileName(const std::string&) override { return next(openAnswers); }
    std::string saveFileName(const std::string&, const std::string&) override { return next(saveAnswers); }
    BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxButtons buttons) override
    {
        boxes.push_back(text);
        return QtSeams::messageBox(text, caption, buttons);
    }
    // Waits in steps until `done` or `ms` have passed.
    bool waitFor(const std::function<bool()>& done, int ms)
    {
        for (int t = 0; t < ms && !done(); t += 20)
            wait(20);
        return done();
    }

private:
    static std::string next(std::deque<std::string>& answers)
    {
        if (answers.empty())
            return {};
        std::string s = answers.front();
        answers.pop_front();
        return s;
    }
};

std::string loadAverage()
{
    QFile f("/proc/loadavg");
    if (!f.open(QIODevice::ReadOnly))
        return "?";
    return f.readLine().split(' ').mid(0, 3).join(' ').toStdString();
}

bool verbose = false; // --verbose: when the longest stretch ended, on the steady clock (to find it in a profile)

void report(const char* scenario, const EventLoopMeter::Figures& f, const std::string& note)
{
    if (verbose)
        std::printf("%s: longest processor stretch ended at %.6f s on the steady clock\n", scenario,
                    (f.startedNs + f.cpuEndNs) / 1e9);
    std::printf("%-8s %6.1f s  gap %6.2f ms  cpu %6.2f ms  over 8 ms: %d gaps, %d cpu  slowest event %.2f ms cpu "
                "(%.2f wall): %s  load %s  %s\n",
                scenario, f.elapsedNs / 1e9, f.longestGapNs / 1e6, f.longestCpuNs / 1e6, f.gapsOver(8), f.cpusOver(8),
                f.slowestEventCpuNs / 1e6, f.slowestEventWallNs / 1e6, qPrintable(f.slowestEvent),
                loadAverage().c_str(), note.c_str());
    std::fflush(stdout);
}

// --warm: keeps every page of the process recently touched. Through
// /proc/self/mem, so a page that cannot be read (a file mapping past its
// end, a mapping gone meanwhile) is an error, not a signal.
class MemoryWarmer {
public:
    MemoryWarmer()
        : thread_([this] {
              const int mem = ::open("/proc/self/mem", O_RDONLY);
              while (mem >= 0 && !stop_) {
                  touchAll(mem);
                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
              }
              if (mem >= 0)
                  ::close(mem);
          })
    {
    }
    ~MemoryWarmer()
    {
        stop_ = true;
        thread_.join();
    }

private:
    static void touchAll(int mem)
    {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            unsigned long from = 0, to = 0;
            char perms[5] = {};
            if (std::sscanf(line.c_str(), "%lx-%lx %4s", &from, &to, perms) != 3 || perms[0] != 'r' ||
                line.find("[v") != std::string::npos) // [vvar], [vdso], [vsyscall]
                continue;
            for (unsigned long page = from; page < to; page += 4096) {
                unsigned char byte = 0;
                (void)::pread(mem, &byte, 1, static_cast<off_t>(page));
            }
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Bench {
    BenchSeams& seams;
    TForm1& form;
    VirtualMirage& mirage;
    QTemporaryDir& dir;
    bool quick = false;
    EventLoopMeter meter;

    template <typename T>
    T* window(const char* name)
    {
        return qobject_cast<T*>(form.Window(name));
    }

    // Runs `step` from the event loop, as a click does, and returns when it
    // has: its work counts to an event of the main window's.
    void asEvent(const std::function<void()>& step)
    {
        QEventLoop loop;
        QMetaObject::invokeMethod(
            &form,
            [&] {
                step();
                loop.quit();
            },
            Qt::QueuedConnection);
        loop.exec();
    }

    void activate(TFormBase* w)
    {
        const int before = w->ActivationCount();
        w->ShowAndActivate();
        seams.wait(100);
        if (w->ActivationCount() == before)
            w->Activate(); // no window manager to activate it
    }

    void openEveryWindow(bool again);
    qint64 showEmpty(const QSize& size, std::vector<std::unique_ptr<QWidget>>& kept);
    void recall();
    void stretchL1();
    void send();
    void receive();
    void saveAndLoad();
    void import();
    void buildSound();
};

// Each window shown and activated as its menu item does, until what its
// activation started has ended; then closed. The first pass builds each
// window; the second ("reopen") shows the windows kept, as every opening
// after a run's first does.
//
// After each first opening an empty window of the same size is shown the
// same way: what the machine alone charges a new window for its first
// picture (a fresh backing store of the window's size, filled once), the
// floor under that window's figure. The empty ones are kept until the pass
// ends, so the memory of one is not handed on to the next window's picture.
void Bench::openEveryWindow(bool again)
{
    const std::string label = again ? "reopen" : "open";
    EventLoopMeter::Figures worst;
    std::string worstName;
    std::vector<std::unique_ptr<QWidget>> empties;
    qint64 worstEmptyNs = 0;
    int emptiesOver = 0;
    for (const std::string& name : form.WindowNames()) {
        const int activations = again ? form.Window(name)->ActivationCount() : 0;
        meter.start();
        qint64 built = 0, shown = 0; // the thread's processor time to build, then to show
        asEvent([&] {
            const qint64 start = threadCpuNs();
            form.Window(name);
            built = threadCpuNs() - start;
            form.ShowWindow(name);
            shown = threadCpuNs() - start - built;
        });
        TFormBase* w = form.Window(name);
        seams.wait(100);
        if (w->ActivationCount() == activations)
            w->Activate();
        seams.waitFor([w] { return !w->HandlerRunning(); }, 10000);
        seams.wait(100);
        const EventLoopMeter::Figures f = meter.stop();
        w->close();
        char split[128];
        std::snprintf(split, sizeof split, " (built in %.2f ms, shown in %.2f ms)", built / 1e6, shown / 1e6);
        std::string note = name + split;
        if (!again) {
            const qint64 emptyNs = showEmpty(w->size(), empties);
            worstEmptyNs = std::max(worstEmptyNs, emptyNs);
            emptiesOver += emptyNs > 8000000;
            std::snprintf(split, sizeof split, "; an empty %dx%d window: %.2f ms", w->width(), w->height(),
                          emptyNs / 1e6);
            note += split;
        }
        report(("  " + label).c_str(), f, note);
        if (f.longestCpuNs > worst.longestCpuNs) {
            worst = f;
            worstName = name;
        }
        seams.wait(50);
    }
    std::string summary = "worst window: " + worstName;
    if (!again) {
        char line[128];
        std::snprintf(line, sizeof line, "; empty windows of the same sizes: worst %.2f ms, %d over 8 ms",
                      worstEmptyNs / 1e6, emptiesOver);
        summary += line;
    }
    report(label.c_str(), worst, summary);
}

// An empty window of `size` shown as a window is, then hidden and kept in
// `kept`: the longest processor stretch of its first showing.
qint64 Bench::showEmpty(const QSize& size, std::vector<std::unique_ptr<QWidget>>& kept)
{
    kept.push_back(std::make_unique<QWidget>(nullptr, Qt::Window));
    QWidget* empty = kept.back().get();
    empty->resize(size);
    meter.start();
    asEvent([empty] { empty->show(); });
    seams.wait(100);
    const qint64 ns = meter.stop().longestCpuNs;
    empty->hide();
    return ns;
}

// The recall of entry 1 after entry 0 steps every value all the way up.
void Bench::recall()
{
    auto* env = window<TEnvFilterEditor>("TEnvelopeForm");
    activate(env);
    fillRecallPresets(form, quick ? 8 : 1);
    env->cbEnvPresetNamesClick(0);
    env->bnEnvSetClick();
    int steps = 0;
    {
        auto guard = mirage.lock();
        steps = mirage.emulator().counters().steps;
    }
    meter.start();
    asEvent([env] {
        env->cbEnvPresetNamesClick(1);
        env->bnEnvSetClick();
    });
    const EventLoopMeter::Figures f = meter.stop();
    {
        auto guard = mirage.lock();
        steps = mirage.emulator().counters().steps - steps;
    }
    report("recall", f, std::to_string(steps) + " steps");
}

// L1 given every page of the lower half, and the program told.
void Bench::stretchL1()
{
    {
        auto guard = mirage.lock();
        auto& ws = mirage.emulator().half(0).wavesamples[0];
        ws.setField(wsf::StartPage, 0);
        ws.setField(wsf::EndPage, 255);
    }
    form.sbRefreshULClick();
    seams.wait(1500);
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A 16-bit PCM WAV header for `frames` frames.
std::vector<std::uint8_t> wavHeader(int channels, int rate, std::uint32_t frames)
{
    std::vector<std::uint8_t> h;
    auto text = [&](const char* s) { h.insert(h.end(), s, s + 4); };
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const std::uint32_t data = frames * static_cast<std::uint32_t>(channels) * 2;
    text("RIFF"), le(36 + data, 4), text("WAVE"), text("fmt "), le(16, 4), le(1, 2), le(channels, 2), le(rate, 4);
    le(rate * channels * 2, 4), le(channels * 2, 2), le(16, 2), text("data"), le(data, 4);
    return h;
}

void Bench::send()
{
    auto* send = window<TfmWsSend>("TfmWsSend");
    activate(send);
    send->cbSelectWs->setCurrentIndex(0);
    // A mono 8-bit file of 65,535 samples: the 256 pages' worth.
    std::vector<std::uint8_t> image = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                       16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x44, 0xAC, 0, 0,
                                       1, 0, 8, 0, 'd', 'a', 't', 'a', 0xFF, 0xFF, 0, 0};
    for (int i = 0; i < 65535; ++i)
        image.push_back(static_cast<std::uint8_t>(128 + 100 * ((i / 32) % 2 ? 1 : -1)));
    const std::uint32_t riff = static_cast<std::uint32_t>(image.size() - 8);
    for (int i = 0; i < 4; ++i)
        image[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    const std::string path = dir.filePath("full.wav").toStdString();
    writeFile(path, image);

    seams.boxes.clear();
    meter.start();
    seams.openAnswers = {path};
    asEvent([send] {
        send->bnOpenFileClick();
        send->bnSendWavClick();
    });
    const bool acked = seams.waitFor([this] { return !seams.boxes.empty(); }, 10000);
    const EventLoopMeter::Figures f = meter.stop();
    report("send", f, acked ? seams.boxes.front() : "no answer");
}

void Bench::receive()
{
    auto* get = window<TfmWsGet>("TfmWsGet");
    activate(get);
    get->cbSelectWs->setCurrentIndex(0);
    meter.start();
    asEvent([get] { get->bnReqWsClick(); });
    const EventLoopMeter::Figures f = meter.stop();
    report("receive", f,
           std::to_string(get->Data().samples.size()) + " samples" + (get->Data().complete ? ", complete" : ""));
}

void Bench::saveAndLoad()
{
    auto* save = window<TfmSaveSound>("TfmSaveSound");
    auto* load = window<TfmLoadSound>("TfmLoadSound");
    const std::string path = dir.filePath("sound.syx").toStdString();
    activate(save);
    (quick ? save->rbLower : save->rbBoth)->setChecked(true);
    meter.start();
    seams.saveAnswers = {path};
    asEvent([save] { save->bnSave->click(); });
    EventLoopMeter::Figures f = meter.stop();
    report("save", f, QFile(QString::fromStdString(path)).size() > 0 ? "file written" : "NO FILE");

    activate(load);
    meter.start();
    seams.openAnswers = {path};
    asEvent([load] {
        load->bnOpen->click();
        load->bnSend->click();
    });
    f = meter.stop();
    report("load", f, load->bnSend->isEnabled() ? "sent" : "not sent");
}

// Ten minutes of a slow sweep with a little noise, so the rate converter and
// the dither have work.
std::string tenMinutes(const QTemporaryDir& dir)
{
    constexpr int Rate = 44100;
    constexpr std::uint32_t Frames = 600u * Rate;
    const std::string path = dir.filePath("ten-minutes.wav").toStdString();
    std::ofstream out(path, std::ios::binary);
    const auto header = wavHeader(2, Rate, Frames);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    std::vector<std::int16_t> block(2 * 4410);
    std::uint32_t noise = 1;
    for (std::uint32_t f = 0; f < Frames; f += 4410) {
        for (std::uint32_t i = 0; i < 4410; ++i) {
            const double t = static_cast<double>(f + i) / Rate;
            noise = noise * 1664525u + 1013904223u;
            const double v = 0.6 * std::sin(2 * M_PI * (220 + 20 * t) * t) + 0.01 * ((noise >> 16) / 65536.0 - 0.5);
            block[2 * i] = static_cast<std::int16_t>(v * 32000);
            block[2 * i + 1] = static_cast<std::int16_t>(-v * 32000);
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
    }
    return path;
}

void Bench::import()
{
    const std::string path = tenMinutes(dir);
    auto* send = window<TfmWsSend>("TfmWsSend");
    activate(send);
    meter.start();
    seams.openAnswers = {path};
    asEvent([send] { send->bnImportAudioClick(); });
    const EventLoopMeter::Figures f = meter.stop();
    report("import", f,
           send->Converted() ? std::to_string(send->Converted()->length) + " samples converted" : "NOT CONVERTED");
}

void Bench::buildSound()
{
    const std::string sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    auto* w = window<TfmBuildSound>("TfmBuildSound");
    activate(w);
    meter.start();
    seams.openAnswers = {sf2};
    asEvent([w] { w->bnOpenClick(); });
    EventLoopMeter::Figures f = meter.stop();
    report("  open", f, w->bnBuild->isEnabled() ? w->cbPreset->currentText().toStdString() : "NOT OPENED");
    const auto build = [&](const char* label) {
        meter.start();
        asEvent([w] { w->bnBuildClick(); });
        const EventLoopMeter::Figures b = meter.stop();
        report(label, b, w->Result() ? w->lbStatus->text().toStdString() : "NOT BUILT");
        return b;
    };
    const EventLoopMeter::Figures piano = build("  build");
    meter.start();
    asEvent([w] {
        w->cbPreset->setCurrentIndex(w->cbPreset->findText("128:000", Qt::MatchStartsWith));
        w->ReadZones();
    });
    const EventLoopMeter::Figures kit = meter.stop();
    report("  preset", kit, std::to_string(w->lwSource->count()) + " zones listed");
    const EventLoopMeter::Figures drums = build("  build");
    EventLoopMeter::Figures worst = f;
    for (const EventLoopMeter::Figures* g : {&piano, &kit, &drums})
        if (g->longestCpuNs > worst.longestCpuNs)
            worst = *g;
    report("build", worst, "worst of opening, building, choosing the kit, building it");
    w->close();
}

std::set<std::string> scenarios(int argc, char** argv, bool& quick, bool& warm)
{
    std::set<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick")
            quick = true;
        else if (a == "--verbose")
            verbose = true;
        else if (a == "--warm")
            warm = true;
        else if (a == "--trace" && i + 1 < argc)
            TimedApplication::traceOverNs = static_cast<qint64>(std::atof(argv[++i]) * 1e6);
        else if (a == "--only" && i + 1 < argc)
            for (const QString& s : QString(argv[++i]).split(','))
                only.insert(s.toStdString());
    }
    if (only.empty())
        only = {"open", "recall", "send", "receive", "sound", "import", "build"};
    return only;
}

} // namespace

int main(int argc, char** argv)
{
    TimedApplication app(argc, argv);
    bool quick = false, warm = false;
    const std::set<std::string> only = scenarios(argc, argv, quick, warm);
    std::unique_ptr<MemoryWarmer> warmer;
    if (warm)
        warmer = std::make_unique<MemoryWarmer>();
    QTemporaryDir dir;
    setConfigDirectory(dir.path());
    AudioPlayer::addModuleFolder(CORVANE_BUILD_AUDIO_MODULE_DIR);
    BenchSeams seams;
    seams.setUnattended(true);
    installSeams(&seams);
    VirtualMirage mirage;
    registerVirtualDevice(&mirage);
    {
        TForm1 form(seams, true);
        CreateWindows(&form);
        form.show();
        fetchDumps(form, seams);
        Bench bench{seams, form, mirage, dir, quick, {}};
        // First, while no window has been built.
        if (only.count("open")) {
            bench.openEveryWindow(false);
            bench.openEveryWindow(true);
        }
        if (only.count("recall"))
            bench.recall();
        if (only.count("send") || only.count("receive"))
            bench.stretchL1();
        if (only.count("send"))
            bench.send();
        if (only.count("receive"))
            bench.receive();
        if (only.count("sound"))
            bench.saveAndLoad();
        if (only.count("import"))
            bench.import();
        if (only.count("build"))
            bench.buildSound();
        form.FormClose();
    }
    unregisterVirtualDevice(&mirage);
    return 0;
}
