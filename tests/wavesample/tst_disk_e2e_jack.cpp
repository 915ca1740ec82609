// Disk images over real MIDI: mirage-emu as a process of its own behind a
// private JACK server (scripts/with-jack.sh). A slot of an image sent to the
// instrument comes back the same from "Save Sound"; "Archive Disk" from
// `mirage-emu --disk` writes the image's three sounds. The same through the
// disk images window's Send to Mirage.
#include "DiskImages.h"
#include "DiskImagesWindow.h"
#include "JackMirage.h"
#include "Midiout.h"
#include "SoundWindows.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace corvane::test {
namespace {

// An image whose wavesamples are two pages each, so that a sound crosses a
// JACK port in seconds.
disk::Image shortImage()
{
    disk::Image image = factoryImage(1);
    for (int s = 0; s < disk::Layout::Slots; ++s) {
        emu::Half h = emu::halfOf(image.slot(s));
        for (int w = 0; w < 8; ++w) {
            emu::Wavesample& ws = h.wavesamples[static_cast<std::size_t>(w)];
            const int start = ws.field(wsf::StartPage) + s;
            ws.setField(wsf::StartPage, start);
            ws.setField(wsf::EndPage, start + 1);
            ws.setField(wsf::LoopStart, start);
            ws.setField(wsf::LoopEnd, start + 1);
        }
        image.setSlot(s, emu::slotDataOf(h));
    }
    return image;
}

class DiskEndToEndJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        ASSERT_EQ(image.save(path("disk.img")), "");
    }
    void start(const QStringList& options = {})
    {
        ASSERT_EQ(jack.start(options), "");
        form = jack.form.get();
        form->MidiOut1->SetPacing(JackSafeRate);
    }
    std::string path(const char* name) const { return QDir(files.path()).filePath(name).toStdString(); }

    QTemporaryDir files;
    const disk::Image image = shortImage();
    JackMirage jack;
    TForm1* form = nullptr;
};

TEST_F(DiskEndToEndJack, ASlotSentToTheInstrumentComesBackFromSaveSound)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const disk::SlotRead slot = disk::readSlot(image, 3); // U2
    ASSERT_TRUE(slot.ok());
    ASSERT_EQ(sound::writeAtomically(path("u2.syx"), sound::fileImage({{slot.half}})), "");

    auto* load = static_cast<TfmLoadSound*>(form->Window("TfmLoadSound"));
    load->show();
    ASSERT_TRUE(load->OpenFile(path("u2.syx")));
    jack.resend([&] {
        load->bnSend->click();
        return load->edContents->toPlainText().count("- accepted") == 8;
    });
    ASSERT_EQ(load->edContents->toPlainText().count("- accepted"), 8) << load->edContents->toPlainText().toStdString();

    auto* save = static_cast<TfmSaveSound*>(form->Window("TfmSaveSound"));
    save->show();
    save->rbUpper->setChecked(true);
    jack.resend([&] {
        jack.seams.saveAnswers = {path("back.syx")};
        save->bnSave->click();
        return QFileInfo::exists(QString::fromStdString(path("back.syx")));
    });
    const sound::ReadResult back = sound::readFile(path("back.syx"));
    ASSERT_TRUE(back.ok()) << back.text;
    ASSERT_EQ(back.sound.halves.size(), 1u);
    EXPECT_EQ(back.sound.halves[0].programDump, slot.half.programDump);
    EXPECT_EQ(back.sound.halves[0].wavesampleDumps, slot.half.wavesampleDumps);
}

TEST_F(DiskEndToEndJack, ASlotSentFromTheDiskImagesWindowComesBackFromSaveSound)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const disk::SlotRead slot = disk::readSlot(image, 2); // L2
    ASSERT_TRUE(slot.ok());
    auto* images = static_cast<TfmDiskImages*>(form->Window("TfmDiskImages"));
    images->show();
    ASSERT_TRUE(images->OpenImage(path("disk.img")));
    images->SelectSlot(2);
    const QString sent = "Sent L2 into the lower half: 8 wavesamples accepted, 0 not.";
    jack.resend([&] {
        images->bnSend->click();
        return images->lbStatus->text() == sent;
    });
    ASSERT_EQ(images->lbStatus->text(), sent);
    images->hide();

    auto* save = static_cast<TfmSaveSound*>(form->Window("TfmSaveSound"));
    save->show();
    save->rbLower->setChecked(true);
    jack.resend([&] {
        jack.seams.saveAnswers = {path("l2.syx")};
        save->bnSave->click();
        return QFileInfo::exists(QString::fromStdString(path("l2.syx")));
    });
    const sound::ReadResult back = sound::readFile(path("l2.syx"));
    ASSERT_TRUE(back.ok()) << back.text;
    ASSERT_EQ(back.sound.halves.size(), 1u);
    EXPECT_EQ(back.sound.halves[0].programDump, slot.half.programDump);
    EXPECT_EQ(back.sound.halves[0].wavesampleDumps, slot.half.wavesampleDumps);
}

TEST_F(DiskEndToEndJack, ArchiveDiskWritesTheThreeSoundsOfTheImage)
{
    ASSERT_NO_FATAL_FAILURE(start({"--disk", QString::fromStdString(path("disk.img"))}));
    auto* archive = static_cast<TfmArchiveDisk*>(form->Window("TfmArchiveDisk"));
    archive->show();
    QDir(files.path()).mkdir("archive");
    archive->edFolder->setText(QString::fromStdString(path("archive")));
    jack.resend([&] {
        archive->bnArchive->click();
        return archive->lbStatus->text() == "3 of 3 sounds archived.";
    });
    ASSERT_EQ(archive->lbStatus->text(), "3 of 3 sounds archived.") << archive->edSummary->toPlainText().toStdString();
    for (int n = 1; n <= 3; ++n) {
        const sound::ReadResult r = sound::readFile(path("archive") + "/sound" + std::to_string(n) + ".syx");
        ASSERT_TRUE(r.ok()) << n << ": " << r.text;
        ASSERT_EQ(r.sound.halves.size(), 2u);
        for (int h = 0; h < 2; ++h) {
            const sound::Half& got = r.sound.halves[static_cast<std::size_t>(h)];
            const sound::Half slot = disk::readSlot(image, 2 * (n - 1) + h).half;
            EXPECT_EQ(got.programDump, slot.programDump) << n << h;
            EXPECT_EQ(got.wavesampleDumps, slot.wavesampleDumps) << n << h;
        }
    }
}

} // namespace
} // namespace corvane::test
