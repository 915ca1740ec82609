// Sound files over real MIDI: mirage-emu as a process of its own behind a
// private JACK server (scripts/with-jack.sh), the program's ports chosen in
// "MIDI Setup". Both halves are saved, the instrument is changed, the file is
// loaded back, and a second save must give the same file byte for byte.
#include "JackMirage.h"
#include "Midiout.h"
#include "MirageEmulator.h"
#include "SendDump.h"
#include "SoundWindows.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <fstream>

namespace corvane::test {
namespace {

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SoundEndToEndJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        ASSERT_EQ(jack.start(), "");
        form = jack.form.get();
        form->MidiOut1->SetPacing(JackSafeRate);
    }

    std::string path(const char* name) const { return QDir(files.path()).filePath(name).toStdString(); }

    // Saves both halves; a save spoilt by the JACK server is made again.
    void saveBoth(const std::string& file)
    {
        auto* save = static_cast<TfmSaveSound*>(form->Window("TfmSaveSound"));
        save->show();
        save->rbBoth->setChecked(true);
        const QString name = QString::fromStdString(file);
        jack.resend([&] {
            QFile::remove(name);
            jack.seams.saveAnswers = {file};
            save->bnSave->click();
            return QFileInfo::exists(name);
        });
        ASSERT_TRUE(QFileInfo::exists(name)) << save->lbStatus->text().toStdString();
    }

    QTemporaryDir files;
    JackMirage jack;
    TForm1* form = nullptr;
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
    const bool changed = jack.resend([&] {
        form->SendSysEx(keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x02, key::Enter}));
        form->SendParameterStep(36, true);
        form->SelectWavesample(0);
        const auto junk = wav::buildSendDump(std::vector<std::uint8_t>(256, 0x55));
        form->SendLongSysEx(junk->message.data(), static_cast<int>(junk->message.size()));
        QTest::qWait(300);
        return jack.fetchLower() && !std::equal(first.begin(), first.begin() + 1255, form->LowerProgramDump);
    });
    ASSERT_TRUE(changed) << "nothing changed";
    form->WavesampleNames.fill("Other");

    auto* load = static_cast<TfmLoadSound*>(form->Window("TfmLoadSound"));
    load->show();
    ASSERT_TRUE(load->OpenFile(path("first.syx")));
    jack.resend([&] {
        load->bnSend->click();
        return load->edContents->toPlainText().count("- accepted") == 16;
    });
    EXPECT_EQ(load->edContents->toPlainText().count("- accepted"), 16) << load->edContents->toPlainText().toStdString();
    EXPECT_EQ(form->WavesampleNames, names);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 1255, form->LowerProgramDump)) << "fresh lower dump";

    saveBoth(path("second.syx"));
    EXPECT_TRUE(fileBytes(path("second.syx")) == first) << "the instrument does not hold what the file held";
}

} // namespace
} // namespace corvane::test
