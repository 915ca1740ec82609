// The disk images window on the fixture: an image our tests make, its slots
// shown and a wavesample played with its loop; a slot sent to the instrument,
// saved as .syx and exported; slots written from a .syx file and from the
// instrument after a confirmation; Cancel in the middle of a send.
#include "DiskImages.h"
#include "DiskImagesWindow.h"
#include "MirageFixture.h"
#include "PlayerPanel.h"
#include "WaveView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <filesystem>
#include <fstream>

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

constexpr int L2 = 2;
constexpr int U1 = 1;
constexpr int U3 = 5; // left empty

disk::Bytes fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class DiskImagesWindowTest : public MirageFixture {
protected:
    void SetUp() override
    {
        MirageFixture::SetUp();
        window = dynamic_cast<TfmDiskImages*>(form().Window("TfmDiskImages"));
        ASSERT_TRUE(window);
        ASSERT_EQ(image.save(path("disk1.img")), "");
        activate(window);
        ASSERT_TRUE(window->OpenImage(path("disk1.img")));
    }

    std::string path(const char* name) const { return (fs::path(configDir().toStdString()) / name).string(); }

    // A half as the instrument holds it now: its program dump and one dump
    // for each wavesample with pages of its own.
    sound::Half instrumentHalf(int half)
    {
        sound::Half h;
        h.half = half;
        h.programDump = mirage().programDump(half);
        const auto entries = sound::wavesampleEntries(h.programDump);
        for (int w = 0; w < 8; ++w)
            if (entries[static_cast<std::size_t>(w)].first) {
                mirage().receive(keyCodeMessage({half == 0 ? key::LowerWavesample : key::UpperWavesample,
                                                 static_cast<std::uint8_t>(w + 1)}));
                h.wavesampleDumps.push_back(mirage().wavesampleDump());
            }
        return h;
    }

    static void expectSameHalf(const sound::Half& got, const sound::Half& want, const char* what)
    {
        EXPECT_EQ(got.programDump, want.programDump) << what;
        EXPECT_EQ(got.wavesampleDumps, want.wavesampleDumps) << what;
    }

    void cancelInWait(int n)
    {
        seams().duringNextWait = [this, n] {
            if (n <= 1)
                window->bnCancel->click();
            else
                cancelInWait(n - 1);
        };
    }

    const disk::Image image = factoryImage(1, 1u << U3);
    TfmDiskImages* window = nullptr;
};

TEST_F(DiskImagesWindowTest, ShowsTheSlotsAndPlaysAWavesampleLoopedAsTheInstrumentDoes)
{
    ASSERT_EQ(window->lvSlots->count(), 6);
    for (int s = 0; s < 5; ++s)
        EXPECT_TRUE(window->lvSlots->item(s)->text().startsWith(
            QString::fromStdString(disk::slotName(s) + "  8 wavesamples, ")))
            << window->lvSlots->item(s)->text().toStdString();
    EXPECT_EQ(window->lvSlots->item(U3)->text(), "U3  empty");

    window->SelectSlot(L2);
    const disk::SlotData data = image.slot(L2);
    const emu::Half half = emu::halfOf(data);
    int looped = -1;
    for (int w = 0; w < 8; ++w) {
        const emu::Wavesample& ws = half.wavesamples[static_cast<std::size_t>(w)];
        const int start = ws.field(wsf::StartPage);
        const int end = ws.field(wsf::EndPage);
        char range[16];
        std::snprintf(range, sizeof range, "%02X-%02X", start, end);
        EXPECT_TRUE(window->rbWavesample[static_cast<std::size_t>(w)]->text().contains(range)) << w;
        const std::vector<std::uint8_t> pages(data.memory.begin() + start * 256, data.memory.begin() + (end + 1) * 256);
        EXPECT_EQ(window->wvWavesample[static_cast<std::size_t>(w)]->Samples(), pages) << w;
        if (looped < 0 && ws.field(wsf::LoopSwitch) != 0)
            looped = w;
    }
    ASSERT_GE(looped, 0);

    // Chosen, it plays at once at the default sample time's rate, from the
    // start to the loop's end and then the loop.
    const emu::Wavesample& ws = half.wavesamples[static_cast<std::size_t>(looped)];
    const std::size_t start = static_cast<std::size_t>(ws.field(wsf::StartPage));
    window->rbWavesample[static_cast<std::size_t>(looped)]->click();
    ASSERT_EQ(seams().played.size(), 1u);
    EXPECT_EQ(seams().played[0].samples, window->wvWavesample[static_cast<std::size_t>(looped)]->Samples());
    EXPECT_EQ(seams().played[0].rate, 29411);
    const SoundLoop loop{(static_cast<std::size_t>(ws.field(wsf::LoopStart)) - start) * 256,
                         (static_cast<std::size_t>(ws.field(wsf::LoopEnd)) - start) * 256 +
                             static_cast<std::size_t>(ws.field(wsf::LoopEndFine)) + 1};
    EXPECT_EQ(seams().played[0].loop, loop);
    // Loop unticked, Play plays it once through.
    window->MediaPlayer1->cbPlayLoop->setChecked(false);
    window->MediaPlayer1->bnPlay->click();
    ASSERT_EQ(seams().played.size(), 2u);
    EXPECT_FALSE(seams().played[1].loop);

    // An empty slot can only be written into.
    window->SelectSlot(U3);
    EXPECT_FALSE(window->bnSend->isEnabled() || window->bnSaveSyx->isEnabled() || window->bnExport->isEnabled());
    EXPECT_TRUE(window->bnWriteSyx->isEnabled() && window->bnWriteInstrument->isEnabled());
    EXPECT_GE(seams().stops, 1); // choosing another slot stopped the loop
}

TEST_F(DiskImagesWindowTest, ASlotSentSavedAndExportedIsTheSlot)
{
    // U1 into the lower half: the instrument holds it as its lower half.
    window->SelectSlot(U1);
    window->cbHalf->setCurrentIndex(0);
    window->bnSend->click();
    EXPECT_EQ(window->lbStatus->text(), "Sent U1 into the lower half: 8 wavesamples accepted, 0 not.");
    const sound::Half sent = disk::halfOf(image.slot(U1), 0);
    expectSameHalf(instrumentHalf(0), sent, "instrument");
    EXPECT_TRUE(std::equal(sent.programDump.begin(), sent.programDump.end(), form().LowerProgramDump));

    seams().saveAnswers = {path("u1.syx")};
    window->bnSaveSyx->click();
    EXPECT_EQ(seams().saveSuggestions.back(), "disk1-U1.syx");
    const sound::ReadResult r = sound::readFile(path("u1.syx"));
    ASSERT_TRUE(r.ok()) << r.text;
    ASSERT_EQ(r.sound.halves.size(), 1u);
    expectSameHalf(r.sound.halves[0], disk::readSlot(image, U1).half, ".syx");

    fs::create_directory(path("audio"));
    seams().folderAnswers = {path("audio")};
    window->cbFormat->setCurrentIndex(2);
    window->bnExport->click();
    EXPECT_EQ(window->lbStatus->text(), "Exported: 8 audio files written.");
    for (int w = 1; w <= 8; ++w)
        EXPECT_GT(fs::file_size(path("audio") + "/disk1-U1-" + std::to_string(w) + ".flac"), 1000u) << w;
    EXPECT_EQ(std::distance(fs::directory_iterator(path("audio")), {}), 8);
    // Again: asked before the files are replaced; No writes nothing.
    const auto when = fs::last_write_time(path("audio") + "/disk1-U1-1.flac");
    seams().folderAnswers = {path("audio")};
    seams().answers = {BoxAnswer::No};
    window->bnExport->click();
    ASSERT_FALSE(seams().boxes().empty());
    EXPECT_EQ(seams().boxes().back().text,
              "The folder already holds 8 of these files (disk1-U1-1.flac ...). Replace them?");
    EXPECT_EQ(fs::last_write_time(path("audio") + "/disk1-U1-1.flac"), when);
}

TEST_F(DiskImagesWindowTest, WriteFromASyxFileNamesWhatIsReplacedAndKeepsABackup)
{
    const sound::Half other = disk::halfOf(emu::slotDataOf(emu::factoryHalf(0, 3)), 0);
    ASSERT_EQ(sound::writeAtomically(path("new.syx"), sound::fileImage({{other}})), "");
    const disk::Bytes before = fileBytes(path("disk1.img"));
    window->SelectSlot(L2);
    const std::string shown = window->lvSlots->item(L2)->text().mid(4).toStdString(); // "8 wavesamples, N pages"
    const std::string asked = "Writing replaces L2 of \"disk1.img\" (" + shown +
                              ") with the lower half of \"new.syx\". A copy of the image as it is now is kept as "
                              "\"disk1.img.bak\". Continue?";

    // No: nothing written, no copy made.
    seams().answers = {BoxAnswer::No};
    seams().fileAnswers = {path("new.syx")};
    window->bnWriteSyx->click();
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text, asked);
    EXPECT_EQ(seams().boxes()[0].caption, "Disk Images");
    EXPECT_EQ(fileBytes(path("disk1.img")), before);
    EXPECT_FALSE(fs::exists(path("disk1.img.bak")));

    seams().fileAnswers = {path("new.syx")};
    window->bnWriteSyx->click();
    EXPECT_EQ(fileBytes(path("disk1.img.bak")), before);
    disk::Image written;
    ASSERT_EQ(written.open(path("disk1.img")), "");
    expectSameHalf(disk::readSlot(written, L2).half, other, "L2");
    for (int s : {0, 1, 3, 4, 5})
        EXPECT_EQ(written.slot(s).memory, image.slot(s).memory) << s;
    EXPECT_EQ(window->lbStatus->text(), "Wrote the lower half of \"new.syx\" into L2.");
    EXPECT_EQ(window->SelectedSlot(), L2);
    EXPECT_EQ(window->wvWavesample[0]->Samples(), sound::wavesampleSamples(other.wavesampleDumps[0]));
}

TEST_F(DiskImagesWindowTest, WriteFromTheInstrumentFillsAnEmptySlot)
{
    window->SelectSlot(U3);
    window->cbBackup->setChecked(false);
    window->bnWriteInstrument->click();
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text,
              "Writing replaces U3 of \"disk1.img\" (empty) with the instrument's upper half. Continue?");
    disk::Image written;
    ASSERT_EQ(written.open(path("disk1.img")), "");
    expectSameHalf(disk::readSlot(written, U3).half, instrumentHalf(1), "U3");
    EXPECT_FALSE(fs::exists(path("disk1.img.bak")));
    EXPECT_TRUE(window->lvSlots->item(U3)->text().startsWith("U3  8 wavesamples"));
}

TEST_F(DiskImagesWindowTest, CancelDuringASendLeavesTheWindowUsable)
{
    window->SelectSlot(L2);
    cancelInWait(10);
    window->bnSend->click();
    EXPECT_TRUE(window->lbStatus->text().startsWith("Cancelled sending L2 into the lower half: "))
        << window->lbStatus->text().toStdString();
    EXPECT_TRUE(window->bnSend->isEnabled() && window->bnOpen->isEnabled() && !window->Running());
    EXPECT_FALSE(window->bnCancel->isEnabled());
    window->bnSend->click();
    EXPECT_EQ(window->lbStatus->text(), "Sent L2 into the lower half: 8 wavesamples accepted, 0 not.");
    expectSameHalf(instrumentHalf(0), disk::readSlot(image, L2).half, "after the cancelled send");
}

} // namespace
} // namespace corvane::test
