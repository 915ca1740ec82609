// Corvane: an editor and librarian for the Ensoniq Mirage.

#include "Application.h"
#include "EmulatorDisk.h"
#include "FirstPaint.h"
#include "Form1.h"
#include "ImageDisk.h"
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
    Q_INIT_RESOURCE(corvane);
    corvane::CorvaneApplication app(argc, argv);
    QApplication::setApplicationName("Corvane");
    QApplication::setApplicationVersion(CORVANE_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription("Editor and librarian for the Ensoniq Mirage.");
    parser.addHelpOption();
    parser.addVersionOption();
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
            form.FormClose();
        } else {
            if (parser.isSet(firstPaintOption))
                new corvane::QuitAfterFirstPaint(&form);
            form.show();
            result = QApplication::exec();
        }
    }
    if (mirage)
        corvane::unregisterVirtualDevice(mirage.get());
    return result;
}
