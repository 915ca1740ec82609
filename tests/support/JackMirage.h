// mirage-emu as a process of its own behind JACK ports, and the program's
// main window with every window, its ports chosen through "MIDI Setup" as a
// user chooses them. For runs under scripts/with-jack.sh; the target defines
// MIRAGE_EMU_PATH.
#pragma once

#include "Dumps.h"
#include "Form1.h"
#include "JackWatch.h"
#include "MidiSetupDialog.h"
#include "RecordingSeams.h"
#include "Settings.h"
#include "Windows.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>

namespace corvane::test {

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

class JackMirage {
public:
    RecordingSeams seams{true}; // every wait lasts its time
    std::unique_ptr<TForm1> form;
    // Tells a piece lost by the JACK server from one lost by the program;
    // `resend` repeats an exchange only for the former.
    std::unique_ptr<JackWatch> watch;

    // Returns "" when the program and the emulator talk (the configuration
    // dump has come), else why not.
    std::string start(const QStringList& emuOptions = {})
    {
        if (qgetenv("JACK_DEFAULT_SERVER").isEmpty())
            return "run under scripts/with-jack.sh";
        if (!dir_.isValid())
            return "no temporary directory";
        setConfigDirectory(dir_.path());
        installSeams(&seams);
        watch = std::make_unique<JackWatch>();
        emu_.setProgram(MIRAGE_EMU_PATH);
        // The emulator answers no faster than a late JACK cycle allows;
        // `emuOptions` may ask for another rate.
        emu_.setArguments(QStringList{"--api", "jack", "--client-name", "mirage-e2e", "--pace",
                                      QString::number(JackSafeRate)} +
                          emuOptions);
        emu_.setProcessChannelMode(QProcess::MergedChannels);
        emu_.start();
        if (!emu_.waitForStarted(5000))
            return "mirage-emu did not start";
        if (!waitUntil([&] { return emu_.readAll().contains("ready"); }, 10000))
            return "mirage-emu did not get ready";

        form = std::make_unique<TForm1>(seams);
        CreateWindows(form.get());
        auto* dialog = static_cast<TMidiSetupDialogBox*>(form->Window("TMidiSetupDialogBox"));
        dialog->show();
        const int in = dialog->ComboBox1->findText("Mirage emulator out", Qt::MatchContains);
        const int out = dialog->ComboBox2->findText("Mirage emulator in", Qt::MatchContains);
        if (in < 0 || out < 0)
            return "the emulator's ports are not listed";
        dialog->ComboBox1->setCurrentIndex(in);
        dialog->ComboBox2->setCurrentIndex(out);
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        // JACK connects the chosen ports on one of its next cycles: ask
        // until the first answer comes.
        for (int attempt = 0; attempt < 20; ++attempt) {
            QTest::mouseClick(form->ToolButton("SpeedButton1"), Qt::LeftButton);
            if (waitUntil([&] { return form->ConfigDump[0] == 0xF0; }, 500))
                return {};
        }
        return "no answer from mirage-emu";
    }

    ~JackMirage()
    {
        form.reset();
        if (emu_.state() != QProcess::NotRunning) {
            emu_.terminate();
            if (!emu_.waitForFinished(5000))
                emu_.kill();
        }
        installSeams(nullptr);
        setConfigDirectory(QString());
    }

    // Ends mirage-emu, as when the instrument's interface is unplugged: its
    // ports leave the server.
    void stopEmulator()
    {
        emu_.terminate();
        emu_.waitForFinished(5000);
    }

    // Repeats `attempt` while it fails because the JACK server lost cycles
    // (at most three times), waiting for whatever is still on its way.
    bool resend(const std::function<bool()>& attempt)
    {
        return watch->resend(attempt, [] { QTest::qWait(500); });
    }

    // Asks for the lower program dump and waits until it has arrived whole.
    bool fetchLower()
    {
        form->LowerProgramDump[0] = 0;
        form->RequestProgram(0);
        return waitUntil([&] { return form->LowerProgramDump[0] == 0xF0; }, 10000);
    }

    // Gives the instrument's lower wavesample L1 pages 0 to `endPage`, by
    // stepping its end page on the front panel. A step lost by the server is
    // made up from the dump fetched again.
    bool stretchL1(int endPage)
    {
        const int pos = wavesampleFieldPos(0, wsf::EndPage);
        return resend([&] {
            form->SelectWavesample(0);
            if (!fetchLower())
                return false;
            for (int end = form->GetLowerParam(pos); end < endPage; ++end) {
                form->SendParameterStep(61, true);
                form->Wait(5);
            }
            return fetchLower() && form->GetLowerParam(pos) == endPage;
        });
    }

private:
    QTemporaryDir dir_;
    QProcess emu_;
};

} // namespace corvane::test
