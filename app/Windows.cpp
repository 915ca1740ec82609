#include "Windows.h"

#include "AboutBox.h"
#include "BuildSound.h"
#include "ColoursDialog.h"
#include "ConfigTable.h"
#include "DiskImagesWindow.h"
#include "EnvFilter.h"
#include "Form1.h"
#include "KeyboardAssig.h"
#include "LibraryWindow.h"
#include "MasosCopy.h"
#include "MemoryMap.h"
#include "MidiMonitor.h"
#include "MidiSetupDialog.h"
#include "NameSample.h"
#include "OscLfo.h"
#include "ProgCopy.h"
#include "RelAmplitude.h"
#include "RelFilter.h"
#include "Sampling.h"
#include "SampleRotate.h"
#include "Settings.h"
#include "SoundWindows.h"
#include "Tuning.h"
#include "WsInfo.h"
#include "WsCalc.h"
#include "WaveEditor.h"
#include "WsGet.h"
#include "WsSend.h"

#include <QDir>
#include <QStandardPaths>

namespace corvane {

void CreateWindows(TForm1* main)
{
    // The order of the windows; windows not listed here are not built yet and
    // their menu items stay disabled. Each is made when first asked for, so
    // the program starts without building windows the user may never open.
    main->RegisterWindow("TMidiSetupDialogBox", [main] { return new TMidiSetupDialogBox(*main, main); });
    const WindowContext context = main->Context();
    main->RegisterWindow("TConfigTableForm", [=] { return new TConfigTableForm(context, main); });
    main->RegisterWindow("TEnvelopeForm", [=] { return new TEnvelopeForm(context, main); });
    main->RegisterWindow("TOscillator", [=] { return new TOscillator(context, main); });
    main->RegisterWindow("TKeyboardAssig", [=] { return new TKeyboardAssig(context, main); });
    main->RegisterWindow("TMemoryMap", [=] { return new TMemoryMap(context, main); });
    main->RegisterWindow("TfmWsInfo", [=] { return new TfmWsInfo(context, main); });
    main->RegisterWindow("TfmWsGet", [=] { return new TfmWsGet(context, main); });
    main->RegisterWindow("TfmWsSend", [=] { return new TfmWsSend(context, main); });
    main->RegisterWindow("TfmWaveEditor", [=] { return new TfmWaveEditor(context, main); });
    main->RegisterWindow("TfmWsCalc", [=] { return new TfmWsCalc(context, main); });
    main->RegisterWindow("TfmProgCopy", [=] { return new TfmProgCopy(context, main); });
    main->RegisterWindow("TfmMasosCopy", [=] { return new TfmMasosCopy(context, main); });
    main->RegisterWindow("TfmTuning", [=] { return new TfmTuning(context, main); });
    main->RegisterWindow("TfmRelAmplitude", [=] { return new TfmRelAmplitude(context, main); });
    main->RegisterWindow("TfmRelFilter", [=] { return new TfmRelFilter(context, main); });
    main->RegisterWindow("TfmNameSample", [=] { return new TfmNameSample(context, main); });
    main->RegisterWindow("TfmOscLFOU", [=] { return new TfmOscLFOU(context, main); });
    main->RegisterWindow("TfmEnvFilterU", [=] { return new TfmEnvFilterU(context, main); });
    main->RegisterWindow("TfmMemMapU", [=] { return new TfmMemMapU(context, main); });
    main->RegisterWindow("TfmSetColours", [=] { return new TfmSetColours(context, main); });
    main->RegisterWindow("TfmSample", [=] { return new TfmSample(context, main); });
    main->RegisterWindow("TAboutBox", [main] { return new TAboutBox(main); });
    main->RegisterWindow("TfmSampleRotate", [=] { return new TfmSampleRotate(context, main); });
    main->RegisterWindow("TfmSaveSound", [=] { return new TfmSaveSound(context, main); });
    main->RegisterWindow("TfmLoadSound", [=] { return new TfmLoadSound(context, main); });
    main->RegisterWindow("TfmArchiveDisk", [=] { return new TfmArchiveDisk(context, main); });
    main->RegisterWindow("TfmDiskImages", [=] { return new TfmDiskImages(context, main); });
    main->RegisterWindow("TfmBuildSound", [=] {
        TfmBuildSound::SetSettingsFile(QDir(configDirectory()).filePath("SoundBuilder.ini").toStdString());
        return new TfmBuildSound(context, main);
    });
    main->RegisterWindow("TfmLibrary", [=] {
        // A run given a configuration directory of its own (tests) keeps its
        // library there too, away from the user's.
        if (!TfmLibrary::DataDirectoryGiven() &&
            configDirectory() != QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
            TfmLibrary::SetDataDirectory(QDir(configDirectory()).filePath("library"));
        return new TfmLibrary(context, main);
    });
    main->RegisterWindow("TfmMidiMonitor", [=] { return new TfmMidiMonitor(context, main); });
    main->RegisterWindow("TfmLibraryFolders", [=] {
        return new TfmLibraryFolders(context, static_cast<TfmLibrary*>(main->Window("TfmLibrary")), main);
    });
}

} // namespace corvane
