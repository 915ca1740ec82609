// End to end over real MIDI: mirage-emu runs as a process of its own behind
// JACK ports, the real main window chooses those ports through the "MIDI
// Setup" dialog, and the dumps it fetches are the emulator's. Runs under
// scripts/with-jack.sh, which provides a private JACK server.
#include "Form1.h"
#include "MidiSetupDialog.h"
#include "MirageEmulator.h"
#include "RecordingSeams.h"
#include "Settings.h"
#include "Windows.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>

namespace corvane::test {
namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
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

bool equalsDump(const Message& expected, const std::uint8_t* actual)
{
    return std::equal(expected.begin(), expected.end(), actual);
}

class EndToEndJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qgetenv("JACK_DEFAULT_SERVER").isEmpty()) << "run under scripts/with-jack.sh";
        setConfigDirectory(dir.path());
        installSeams(&seams);
        emu.setProgram(MIRAGE_EMU_PATH);
        emu.setArguments({"--api", "jack", "--client-name", "mirage-e2e"});
        emu.setProcessChannelMode(QProcess::MergedChannels);
        emu.start();
        ASSERT_TRUE(emu.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return emu.canReadLine() || emu.readAll().contains("ready"); }, 10000))
            << "mirage-emu did not get ready";
    }
    void TearDown() override
    {
        form.reset();
        emu.terminate();
        if (!emu.waitForFinished(5000))
            emu.kill();
        installSeams(nullptr);
        setConfigDirectory(QString());
    }

    QTemporaryDir dir;
    RecordingSeams seams{true}; // replies come over a real MIDI system
    QProcess emu;
    std::unique_ptr<TForm1> form;
};

TEST_F(EndToEndJack, DumpsComeFromTheEmulatorAndALoadChangesIt)
{
    form = std::make_unique<TForm1>(seams);
    CreateWindows(form.get());

    auto* dialog = static_cast<TMidiSetupDialogBox*>(form->Window("TMidiSetupDialogBox"));
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    const int in = dialog->ComboBox1->findText("Mirage emulator out", Qt::MatchContains);
    const int out = dialog->ComboBox2->findText("Mirage emulator in", Qt::MatchContains);
    ASSERT_GE(in, 0) << "the emulator's output is not among the input ports";
    ASSERT_GE(out, 0) << "the emulator's input is not among the output ports";
    dialog->ComboBox1->setCurrentIndex(in);
    dialog->ComboBox2->setCurrentIndex(out);
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    seams.clear();

    emu::MirageEmulator reference; // the same factory state as the process
    // JACK connects the chosen ports on one of its next cycles: ask again,
    // as a user would, until the first answer comes.
    bool answered = false;
    for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
        QTest::mouseClick(form->ToolButton("SpeedButton1"), Qt::LeftButton);
        answered = waitUntil([&] { return form->ConfigDump[0] == 0xF0; }, 500);
    }
    ASSERT_TRUE(answered) << "no configuration dump";
    EXPECT_TRUE(equalsDump(reference.configDump(), form->ConfigDump));

    QTest::mouseClick(form->ToolButton("sbRefreshUL"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return form->LowerProgramDump[0] == 0xF0 && form->UpperProgramDump[0] == 0xF0; },
                          10000))
        << "no program dumps";
    EXPECT_TRUE(equalsDump(reference.programDump(0), form->LowerProgramDump));
    EXPECT_TRUE(equalsDump(reference.programDump(1), form->UpperProgramDump));

    // "Load U2 into Mirage", then fetch again: the upper dump is disk sound 2's.
    QTest::mouseClick(form->ToolButton("SpeedButton4"), Qt::LeftButton);
    reference.receive(keyCodeMessage({0x10, 0x02, 0x0A}));
    ASSERT_FALSE(equalsDump(reference.programDump(1), form->UpperProgramDump)) << "the load must change something";
    QTest::qWait(200);
    form->sbRefreshULClick();
    EXPECT_TRUE(waitUntil([&] { return equalsDump(reference.programDump(1), form->UpperProgramDump); }, 10000))
        << "the instrument's upper half is not disk sound 2";
    EXPECT_TRUE(seams.boxes().empty());
}

} // namespace
} // namespace corvane::test
