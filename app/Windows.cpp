#include "Windows.h"

#include "AboutBox.h"
#include "ColoursDialog.h"
#include "ConfigTable.h"
#include "EnvFilter.h"
#include "Form1.h"
#include "KeyboardAssig.h"
#include "LibraryWindow.h"
#include "MasosCopy.h"
#include "MemoryMap.h"
#include "MidiSetupDialog.h"
#include "NameSample.h"
#include "OscLfo.h"
#include "ProgCopy.h"
#include "RelAmplitude.h"
#include "RelFilter.h"
#include "Sampling.h"
#include "SampleRotate.h"
#include "SoundWindows.h"
#include "Tuning.h"
#include "WsInfo.h"
#include "WsCalc.h"
#include "WsGet.h"
#include "WsSend.h"

namespace corvane {

void CreateWindows(TForm1* main)
{
    // The order in which the windows come into being; windows not listed
    // here are not built yet and their menu items stay disabled.
    main->RegisterWindow("TMidiSetupDialogBox", new TMidiSetupDialogBox(*main, main));
    const WindowContext context = main->Context();
    main->RegisterWindow("TConfigTableForm", new TConfigTableForm(context, main));
    main->RegisterWindow("TEnvelopeForm", new TEnvelopeForm(context, main));
    main->RegisterWindow("TOscillator", new TOscillator(context, main));
    main->RegisterWindow("TKeyboardAssig", new TKeyboardAssig(context, main));
    main->RegisterWindow("TMemoryMap", new TMemoryMap(context, main));
    main->RegisterWindow("TfmWsInfo", new TfmWsInfo(context, main));
    main->RegisterWindow("TfmWsGet", new TfmWsGet(context, main));
    main->RegisterWindow("TfmWsSend", new TfmWsSend(context, main));
    main->RegisterWindow("TfmWsCalc", new TfmWsCalc(context, main));
    main->RegisterWindow("TfmProgCopy", new TfmProgCopy(context, main));
    main->RegisterWindow("TfmMasosCopy", new TfmMasosCopy(context, main));
    main->RegisterWindow("TfmTuning", new TfmTuning(context, main));
    main->RegisterWindow("TfmRelAmplitude", new TfmRelAmplitude(context, main));
    main->RegisterWindow("TfmRelFilter", new TfmRelFilter(context, main));
    main->RegisterWindow("TfmNameSample", new TfmNameSample(context, main));
    main->RegisterWindow("TfmOscLFOU", new TfmOscLFOU(context, main));
    main->RegisterWindow("TfmEnvFilterU", new TfmEnvFilterU(context, main));
    main->RegisterWindow("TfmMemMapU", new TfmMemMapU(context, main));
    main->RegisterWindow("TfmSetColours", new TfmSetColours(context, main));
    main->RegisterWindow("TfmSample", new TfmSample(context, main));
    main->RegisterWindow("TAboutBox", new TAboutBox(main));
    main->RegisterWindow("TfmSampleRotate", new TfmSampleRotate(context, main));
    main->RegisterWindow("TfmSaveSound", new TfmSaveSound(context, main));
    main->RegisterWindow("TfmLoadSound", new TfmLoadSound(context, main));
    main->RegisterWindow("TfmArchiveDisk", new TfmArchiveDisk(context, main));
    auto* library = new TfmLibrary(context, main);
    main->RegisterWindow("TfmLibrary", library);
    main->RegisterWindow("TfmLibraryFolders", new TfmLibraryFolders(context, library, main));
}

} // namespace corvane
