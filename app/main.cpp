// Corvane: an editor and librarian for the Ensoniq Mirage.

#include "Application.h"
#include "CorvaneVersion.h"
#include "EmulatorDisk.h"
#include "FirstPaint.h"
#include "Form1.h"
#include "ImageDisk.h"
#include "OpenFiles.h"
#include "QtSeams.h"
#include "Screenshots.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "VirtualDevice.h"
#include "VirtualMirage.h"
#include "Windows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMessageBox>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The command line and its options; --help lists them in the order they are
// added.
struct CommandLine {
    CommandLine();

    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption virtualMirage{"virtual-mirage", "Add the built-in Mirage emulator as the first MIDI device."};
    QCommandLineOption screenshots{"screenshots", "Render every window to DIR/<ClassName>.png and exit.", "DIR"};
    QCommandLineOption firstPaint{"quit-after-first-paint",
                                  "Leave once the main window has been drawn (the start-up benchmark)."};
    QCommandLineOption midiApi{"midi-api", "MIDI system: alsa or jack (kept in the settings).", "API"};
    QCommandLineOption behaviour{"virtual-mirage-behaviour",
                                 "How the built-in emulator misbehaves, comma-separated: silent (answers "
                                 "nothing), echo (hands every message back), late or late=MS (answers late).",
                                 "WORDS"};
};

CommandLine::CommandLine() : help(parser.addHelpOption()), version(parser.addVersionOption())
{
    parser.setApplicationDescription("Editor and librarian for the Ensoniq Mirage.");
    parser.addOption(behaviour);
    parser.addOption(virtualMirage);
    parser.addOption(screenshots);
    parser.addOption(firstPaint);
    parser.addOption(midiApi);
    parser.addPositionalArgument("file", "A .syx sound (Load Sound), a disk image (Disk Images) or a folder "
                                         "(added to the library's folders) to open.", "[file...]");
}

// Reads the command line before the application connects to a display, so
// that --help and --version work over SSH and in scripts; true when one of
// them was asked for and answered.
bool answerHelpOrVersion(CommandLine& line, int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    line.parser.parse(arguments);
    if (!line.parser.isSet(line.help) && !line.parser.isSet(line.version))
        return false;
    if (line.parser.isSet(line.version)) {
        std::printf("corvane %s\n", CORVANE_VERSION);
    } else {
        // Takes the program's name from the command line; no display.
        QCoreApplication plain(argc, argv);
        std::fputs(qPrintable(line.parser.helpText()), stdout);
    }
    return true;
}

// The MIDI system asked for, in lower case ("" when none was); none, told on
// the error stream, when it is neither alsa nor jack.
std::optional<QString> chosenMidiApi(const CommandLine& line)
{
    const QString api = line.parser.value(line.midiApi).toLower();
    if (line.parser.isSet(line.midiApi) && api != "alsa" && api != "jack") {
        std::fprintf(stderr, "corvane: --midi-api takes alsa or jack\n");
        return std::nullopt;
    }
    return api;
}

// With --virtual-mirage, the built-in emulator, misbehaving as asked, made
// the first MIDI device. False, told on the error stream, when the words of
// its behaviour are not understood.
bool startVirtualMirage(const CommandLine& line, std::unique_ptr<corvane::VirtualMirage>& mirage)
{
    if (!line.parser.isSet(line.virtualMirage))
        return true;
    mirage = std::make_unique<corvane::VirtualMirage>();
    corvane::VirtualMirage::Behaviour behaviour;
    if (!corvane::VirtualMirage::parseBehaviour(line.parser.value(line.behaviour).toStdString(), behaviour)) {
        std::fprintf(stderr, "corvane: --virtual-mirage-behaviour takes silent, echo, late or late=MS\n");
        return false;
    }
    mirage->setBehaviour(behaviour);
    corvane::registerVirtualDevice(mirage.get());
    return true;
}

// Renders every window to a picture in `dir`, then closes the main window:
// 0 when each one was written, else 1.
int takeScreenshots(corvane::TForm1& form, corvane::QtSeams& seams, const QString& dir, const QElapsedTimer& started)
{
    form.show();
    QApplication::processEvents();
    std::printf("corvane: main window shown with %d windows created after %lld ms\n",
                static_cast<int>(form.Windows().size()) + 1, started.elapsed());
    std::fflush(stdout);
    const int n = corvane::TakeScreenshots(&form, dir);
    const int result = n == static_cast<int>(form.Windows().size()) + 1 ? 0 : 1;
    // Which module plays, or why none: an installed tree must find its own.
    const std::string audio = seams.audioOutputProblem();
    std::printf("corvane: audio output %s: %s\n", seams.player().modulePath().c_str(),
                audio.empty() ? "ready" : audio.c_str());
    form.FormClose();
    return result;
}

// The renderings and the start-up benchmark run beside the user's Corvane:
// they neither hand over to it nor take hand-overs.
bool runsBesideTheUsers(const CommandLine& line)
{
    return line.parser.isSet(line.screenshots) || line.parser.isSet(line.firstPaint);
}

// A Corvane already running on the same settings takes this start's files:
// true when this start is to leave (`result` its exit code).
bool handedToRunningCorvane(const CommandLine& line, corvane::SingleInstance& instance, int& result)
{
    if (runsBesideTheUsers(line))
        return false;
    switch (instance.handOver(line.parser.positionalArguments())) {
    case corvane::SingleInstance::HandOver::NoneRunning:
        return false;
    case corvane::SingleInstance::HandOver::Taken:
        std::printf("corvane: Corvane is already running; it was brought to the front with the files given\n");
        result = 0;
        return true;
    case corvane::SingleInstance::HandOver::NoAnswer:
        QMessageBox::warning(nullptr, "Corvane",
                             "Corvane is already running with these settings but does not answer. Close it (or end "
                             "it) before you start Corvane again: two of them on one MIDI port would talk over "
                             "each other to the Mirage.");
        result = 1;
        return true;
    }
    return false;
}

// The main window for the user, with the files named on the command line
// opened, until the program ends. Later starts hand their files over.
int runForTheUser(corvane::TForm1& form, corvane::SingleInstance* instance, bool quitAfterFirstPaint,
                  const QStringList& files)
{
    if (quitAfterFirstPaint)
        new corvane::QuitAfterFirstPaint(&form);
    form.show();
    if (instance)
        instance->listen([&form](const QStringList& handed) {
            form.showNormal();
            form.raise();
            form.activateWindow();
            std::printf("corvane: a second start handed over %d file(s)\n", static_cast<int>(handed.size()));
            std::fflush(stdout);
            corvane::OpenFiles(&form, handed);
        });
    corvane::OpenFiles(&form, files);
    return QApplication::exec();
}

// The main window and every other window, rendered to pictures with
// --screenshots, else run for the user; the program's exit code.
int runWindows(const CommandLine& line, corvane::QtSeams& seams, corvane::SingleInstance* instance,
               const QString& midiApi, const QElapsedTimer& started)
{
    corvane::TForm1 form(seams, line.parser.isSet(line.virtualMirage), midiApi.toStdString());
    corvane::CreateWindows(&form);
    if (line.parser.isSet(line.screenshots))
        return takeScreenshots(form, seams, line.parser.value(line.screenshots), started);
    return runForTheUser(form, instance, line.parser.isSet(line.firstPaint), line.parser.positionalArguments());
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    QCoreApplication::setApplicationName("Corvane");
    QCoreApplication::setApplicationVersion(CORVANE_VERSION);

    CommandLine line;
    if (answerHelpOrVersion(line, argc, argv))
        return 0;

    Q_INIT_RESOURCE(corvane);
    corvane::CorvaneApplication app(argc, argv);
    // Ties the windows to the menu entry and its icon (Wayland's app id).
    QGuiApplication::setDesktopFileName("org.corvane.Corvane");
    // Again without the options the application took for itself (-platform,
    // -style): anything else unknown is reported here.
    line.parser.process(app);
    const std::optional<QString> midiApi = chosenMidiApi(line);
    if (!midiApi)
        return 2;

    corvane::SingleInstance instance(corvane::settingsFilePath());
    if (int result = 0; handedToRunningCorvane(line, instance, result))
        return result;

    corvane::QtSeams seams;
    seams.setUnattended(line.parser.isSet(line.screenshots));
    corvane::installSeams(&seams);

    std::unique_ptr<corvane::VirtualMirage> mirage;
    if (!startVirtualMirage(line, mirage))
        return 2;
    const std::unique_ptr<corvane::emu::ImageDisk> disk =
        mirage ? corvane::attachEmulatorDisk(*mirage, seams, corvane::settingsFilePath()) : nullptr;

    const int result = runWindows(line, seams, runsBesideTheUsers(line) ? nullptr : &instance, *midiApi, started);
    if (mirage)
        corvane::unregisterVirtualDevice(mirage.get());
    return result;
}
