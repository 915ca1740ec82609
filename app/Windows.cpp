#include "Windows.h"

#include "AboutBox.h"
#include "ColoursDialog.h"
#include "ConfigTable.h"
#include "Form1.h"
#include "MasosCopy.h"
#include "MidiSetupDialog.h"
#include "ProgCopy.h"
#include "Sampling.h"
#include "SampleRotate.h"

namespace corvane {

void CreateWindows(TForm1* main)
{
    // The order in which the windows come into being; windows not listed
    // here are not built yet and their menu items stay disabled.
    main->RegisterWindow("TMidiSetupDialogBox", new TMidiSetupDialogBox(main));
    main->RegisterWindow("TConfigTableForm", new TConfigTableForm(main));
    main->RegisterWindow("TfmProgCopy", new TfmProgCopy(main));
    main->RegisterWindow("TfmMasosCopy", new TfmMasosCopy(main));
    main->RegisterWindow("TfmSetColours", new TfmSetColours(main));
    main->RegisterWindow("TfmSample", new TfmSample(main));
    main->RegisterWindow("TAboutBox", new TAboutBox(main));
    main->RegisterWindow("TfmSampleRotate", new TfmSampleRotate(main));
}

} // namespace corvane
