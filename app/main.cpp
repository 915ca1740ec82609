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
#include "VirtualDevice.h"
#include "VirtualMirage.h"
#include "Windows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>


int main(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    QCoreApplication::setApplicationName("Corvane");
    QCoreApplication::setApplicationVersion(CORVANE_VERSION);

    // Read before the application connects to a display, so that --help and
    // --version work over SSH and in scripts.
    QCommandLineParser parser;
    parser.setApplicationDescription("Editor and librarian for the Ensoniq Mirage.");
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    QCommandLineOption virtualOption("virtual-mirage", "Add the built-in Mirage emulator as the first MIDI device.");
    QCommandLineOption shotsOption("screenshots", "Render every window to DIR/<ClassName>.png and exit.", "DIR");
    QCommandLineOption firstPaintOption("quit-after-first-paint",
                                        "Leave once the main window has been drawn (the start-up benchmark).");
    QCommandLineOption apiOption("midi-api", "MIDI system: alsa or jack (kept in the settings).", "API");
    QCommandLineOption behaviourOption("virtual-mirage-behaviour",
                                       "How the built-in emulator misbehaves, comma-separated: silent (answers "
                                       "nothing), echo (hands every message back), late or late=MS (answers late).",
                                       "WORDS");
    parser.addOption(behaviourOption);
    parser.addOption(virtualOption);
    parser.addOption(shotsOption);
    parser.addOption(firstPaintOption);
    parser.addOption(apiOption);
    parser.addPositionalArgument("file", "A .syx sound (Load Sound), a disk image (Disk Images) or a folder "
                                         "(added to the library's folders) to open.", "[file...]");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    parser.parse(arguments);
    if (parser.isSet(helpOption) || parser.isSet(versionOption)) {
        if (parser.isSet(versionOption)) {
            std::printf("corvane %s\n", CORVANE_VERSION);
        } else {
            // Takes the program's name from the command line; no display.
            QCoreApplication plain(argc, argv);
            std::fputs(qPrintable(parser.helpText()), stdout);
        }
        return 0;
    }

    Q_INIT_RESOURCE(corvane);
    corvane::CorvaneApplication app(argc, argv);
    // Ties the windows to the menu entry and its icon (Wayland's app id).
    QGuiApplication::setDesktopFileName("org.corvane.Corvane");
    // Again without the options the application took for itself (-platform,
    // -style): anything else unknown is reported here.
    parser.process(app);
    const QString midiApi = parser.value(apiOption).toLower();
    if (parser.isSet(apiOption) && midiApi != "alsa" && midiApi != "jack") {
        std::fprintf(stderr, "corvane: --midi-api takes alsa or jack\n");
        return 2;
    }

    corvane::QtSeams seams;
    seams.setUnattended(parser.isSet(shotsOption));
    corvane::installSeams(&seams);

    std::unique_ptr<corvane::VirtualMirage> mirage;
    const bool virtualMirage = parser.isSet(virtualOption);
    if (virtualMirage) {
        mirage = std::make_unique<corvane::VirtualMirage>();
        corvane::VirtualMirage::Behaviour behaviour;
        if (!corvane::VirtualMirage::parseBehaviour(parser.value(behaviourOption).toStdString(), behaviour)) {
            std::fprintf(stderr, "corvane: --virtual-mirage-behaviour takes silent, echo, late or late=MS\n");
            return 2;
        }
        mirage->setBehaviour(behaviour);
        corvane::registerVirtualDevice(mirage.get());
    }
    const std::unique_ptr<corvane::emu::ImageDisk> disk =
        mirage ? corvane::attachEmulatorDisk(*mirage, seams, corvane::settingsFilePath()) : nullptr;

    int result = 0;
    {
        corvane::TForm1 form(seams, virtualMirage, midiApi.toStdString());
        corvane::CreateWindows(&form);
        if (parser.isSet(shotsOption)) {
            form.show();
            QApplication::processEvents();
            std::printf("corvane: main window shown with %d windows created after %lld ms\n",
                        static_cast<int>(form.Windows().size()) + 1, started.elapsed());
            std::fflush(stdout);
            const int n = corvane::TakeScreenshots(&form, parser.value(shotsOption));
            result = n == static_cast<int>(form.Windows().size()) + 1 ? 0 : 1;
            // Which module plays, or why none: an installed tree must find its own.
            const std::string audio = seams.audioOutputProblem();
            std::printf("corvane: audio output %s: %s\n", seams.player().modulePath().c_str(),
                        audio.empty() ? "ready" : audio.c_str());
            form.FormClose();
        } else {
            if (parser.isSet(firstPaintOption))
                new corvane::QuitAfterFirstPaint(&form);
            form.show();
            corvane::OpenFiles(&form, parser.positionalArguments());
            result = QApplication::exec();
        }
    }
    if (mirage)
        corvane::unregisterVirtualDevice(mirage.get());
    return result;
}
