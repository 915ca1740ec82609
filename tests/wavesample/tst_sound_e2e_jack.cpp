// Sound files over real MIDI: mirage-emu as a process of its own behind a
// private JACK server (scripts/with-jack.sh), the program's ports chosen in
// "MIDI Setup". Both halves are saved, the instrument is changed, the file is
// loaded back, and a second save must give the same file byte for byte.
#include "Form1.h"
#include "MidiSetupDialog.h"
#include "Midiout.h"
#include "MirageEmulator.h"
#include "RecordingSeams.h"
#include "SendDump.h"
#include "Settings.h"
#include "SoundWindows.h"
#include "Windows.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fstream>

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

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SoundEndToEndJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qgetenv("JACK_DEFAULT_SERVER").isEmpty()) << "run under scripts/with-jack.sh";
        setConfigDirectory(dir.path());
        installSeams(&seams);
        emu.setProgram(MIRAGE_EMU_PATH);
        emu.setArguments({"--api", "jack", "--client-name", "mirage-syx"});
        emu.setProcessChannelMode(QProcess::MergedChannels);
        emu.start();
        ASSERT_TRUE(emu.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return emu.readAll().contains("ready"); }, 10000)) << "mirage-emu did not get ready";
        form = std::make_unique<TForm1>(seams);
        CreateWindows(form.get());
        auto* dialog = static_cast<TMidiSetupDialogBox*>(form->Window("TMidiSetupDialogBox"));
        dialog->show();
        const int in = dialog->ComboBox1->findText("Mirage emulator out", Qt::MatchContains);
        const int out = dialog->ComboBox2->findText("Mirage emulator in", Qt::MatchContains);
        ASSERT_TRUE(in >= 0 && out >= 0) << "the emulator's ports are not listed";
        dialog->ComboBox1->setCurrentIndex(in);
        dialog->ComboBox2->setCurrentIndex(out);
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        bool answered = false;
        for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
            QTest::mouseClick(form->ToolButton("SpeedButton1"), Qt::LeftButton);
            answered = waitUntil([&] { return form->ConfigDump[0] == 0xF0; }, 500);
        }
        ASSERT_TRUE(answered) << "no answer from mirage-emu";
        form->MidiOut1->SetPacing(0); // as fast as JACK takes it
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

    std::string path(const char* name) const { return QDir(dir.path()).filePath(name).toStdString(); }

    void saveBoth(const std::string& file)
    {
        auto* save = static_cast<TfmSaveSound*>(form->Window("TfmSaveSound"));
        save->show();
        save->rbBoth->setChecked(true);
        seams.saveAnswers = {file};
        save->bnSave->click();
        ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(file))) << save->lbStatus->text().toStdString();
    }

    QTemporaryDir dir;
    RecordingSeams seams{true};
    QProcess emu;
    std::unique_ptr<TForm1> form;
};

TEST_F(SoundEndToEndJack, BothHalvesSavedChangedAndLoadedBackByteForByte)
{
    for (std::size_t i = 0; i < 16; ++i)
        form->WavesampleNames[i] = "Jack " + std::to_string(i);
    const auto names = form->WavesampleNames;
    saveBoth(path("first.syx"));
    const auto first = fileBytes(path("first.syx"));
    // What the file holds is the instrument's factory sound.
    emu::MirageEmulator reference;
    const sound::ReadResult r = sound::parseFile(first);
    ASSERT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(r.sound.halves[0].programDump, reference.programDump(0));
    EXPECT_EQ(r.sound.halves[1].programDump, reference.programDump(1));

    // Another sound, a stepped parameter, other sample data in L1, other names.
    form->SendSysEx(keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x02, key::Enter}));
    form->SendParameterStep(36, true);
    form->SelectWavesample(0);
    const auto junk = wav::buildSendDump(std::vector<std::uint8_t>(256, 0x55));
    form->SendLongSysEx(junk->message.data(), static_cast<int>(junk->message.size()));
    QTest::qWait(300);
    form->WavesampleNames.fill("Other");
    form->RequestProgram(0);
    ASSERT_FALSE(std::equal(first.begin(), first.begin() + 1255, form->LowerProgramDump)) << "nothing changed";

    auto* load = static_cast<TfmLoadSound*>(form->Window("TfmLoadSound"));
    load->show();
    ASSERT_TRUE(load->OpenFile(path("first.syx")));
    load->bnSend->click();
    EXPECT_EQ(load->edContents->toPlainText().count("- accepted"), 16) << load->edContents->toPlainText().toStdString();
    EXPECT_EQ(form->WavesampleNames, names);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 1255, form->LowerProgramDump)) << "fresh lower dump";

    saveBoth(path("second.syx"));
    EXPECT_TRUE(fileBytes(path("second.syx")) == first) << "the instrument does not hold what the file held";
}

} // namespace
} // namespace corvane::test
