// The sound file windows on the fixture: both halves saved and loaded back
// into a changed instrument, Cancel in the middle of either, a port lost in
// the middle of a load, refused files, and the disk archive.
#include "MirageFixture.h"

#include "Midiout.h"
#include "SoundWindows.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextCursor>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

class SoundWindowsTest : public MirageFixture {
protected:
    void SetUp() override
    {
        MirageFixture::SetUp();
        // Upper wavesample 6 plays the pages of upper wavesample 3.
        auto& ws = mirage().half(1).wavesamples;
        ws[5] = ws[2];
        for (std::size_t i = 0; i < 16; ++i) {
            form().WavesampleNames[i] = "Name " + std::to_string(i);
            form().WavesampleColours[i] = 0x010203u * static_cast<std::uint32_t>(i + 1);
        }
        save = dynamic_cast<TfmSaveSound*>(form().Window("TfmSaveSound"));
        load = dynamic_cast<TfmLoadSound*>(form().Window("TfmLoadSound"));
        archive = dynamic_cast<TfmArchiveDisk*>(form().Window("TfmArchiveDisk"));
        ASSERT_TRUE(save && load && archive);
    }

    std::string path(const char* name) const { return (fs::path(configDir().toStdString()) / name).string(); }

    // Both program dumps and the data of all sixteen wavesamples, straight
    // from the instrument.
    std::vector<Message> instrument()
    {
        std::vector<Message> d{mirage().programDump(0), mirage().programDump(1)};
        for (int i = 0; i < 16; ++i) {
            mirage().receive(keyCodeMessage({i < 8 ? key::LowerWavesample : key::UpperWavesample,
                                             static_cast<std::uint8_t>(i % 8 + 1)}));
            d.push_back(mirage().wavesampleDump());
        }
        return d;
    }

    void saveBoth(const std::string& file)
    {
        activate(save);
        save->rbBoth->setChecked(true);
        seams().saveAnswers = {file};
        save->bnSave->click();
    }

    // Clicks Cancel inside the job's n-th wait from now.
    void cancelInWait(TSoundJobForm* window, int n)
    {
        seams().duringNextWait = [this, window, n] {
            if (n <= 1)
                window->bnCancel->click();
            else
                cancelInWait(window, n - 1);
        };
    }

    int sentWithPrefix(const Message& prefix)
    {
        int n = 0;
        for (const Message& m : seams().sent())
            n += m.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), m.begin()) ? 1 : 0;
        return n;
    }

    TfmSaveSound* save = nullptr;
    TfmLoadSound* load = nullptr;
    TfmArchiveDisk* archive = nullptr;
};

TEST_F(SoundWindowsTest, BothHalvesSavedThenLoadedIntoAChangedInstrumentComeBackByteForByte)
{
    const std::vector<Message> original = instrument();
    const auto names = form().WavesampleNames;
    const auto colours = form().WavesampleColours;
    seams().clear();
    saveBoth(path("both.syx"));
    ASSERT_TRUE(fs::exists(path("both.syx"))) << save->lbStatus->text().toStdString();
    EXPECT_EQ(sentWithPrefix(wavesampleRequestMessage()), 15); // upper 6 shares the pages of upper 3
    EXPECT_TRUE(save->ProgressBar1->value() == 1000 && !save->Running());

    // Another sound, a stepped parameter, overwritten memory and other names.
    mirage().receive(keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x02, key::Enter}));
    mirage().receive(parameterStepMessage(36, true));
    std::fill(mirage().half(0).memory.begin(), mirage().half(0).memory.begin() + 5000, 0x11);
    form().WavesampleNames.fill("Other");
    form().WavesampleColours.fill(0);
    ASSERT_NE(instrument(), original);

    activate(load);
    seams().clear();
    ASSERT_TRUE(load->OpenFile(path("both.syx")));
    EXPECT_TRUE(seams().sent().empty()); // nothing before Send
    load->bnSend->click();
    EXPECT_EQ(instrument(), original);
    EXPECT_EQ(form().WavesampleNames, names);
    EXPECT_EQ(form().WavesampleColours, colours);
    // The program holds fresh dumps of what was loaded.
    EXPECT_TRUE(std::equal(original[0].begin(), original[0].end(), form().LowerProgramDump));
    EXPECT_TRUE(std::equal(original[1].begin(), original[1].end(), form().UpperProgramDump));
    const QString shown = load->edContents->toPlainText();
    EXPECT_EQ(shown.count("- accepted"), 16) << shown.toStdString();
    // The wavesamples that differ are counted as the send counts them.
    EXPECT_TRUE(shown.contains("Lower half: programs L1-L4, 8 wavesamples\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Upper half: programs U1-U4, 7 wavesamples (wavesample 6 plays wavesample 3's pages)\n"));
    EXPECT_TRUE(shown.contains(QRegularExpression("U6  pages \\d+-\\d+ \\(\\d+\\), the pages of U3 ")));
    EXPECT_EQ(load->lbStatus->text(), "Sent: 15 wavesamples accepted, 0 not.");
    if (const char* dir = std::getenv("CORVANE_SCREENSHOTS")) {
        load->grab().save(QString(dir) + "/load-sound.png");
        load->edContents->moveCursor(QTextCursor::End);
        load->grab().save(QString(dir) + "/load-sound-end.png");
    }
    EXPECT_TRUE(seams().boxes().empty()); // the answers are shown in the window, not one box each
}

TEST_F(SoundWindowsTest, CancelInTheMiddleOfASaveLeavesNoFile)
{
    activate(save);
    cancelInWait(save, 60); // while the wavesamples arrive
    saveBoth(path("cancelled.syx"));
    EXPECT_LT(sentWithPrefix(wavesampleRequestMessage()), 15);
    EXPECT_GT(sentWithPrefix(wavesampleRequestMessage()), 0);
    EXPECT_FALSE(fs::exists(path("cancelled.syx")));
    for (const auto& e : fs::directory_iterator(configDir().toStdString()))
        EXPECT_NE(e.path().extension(), ".part") << e.path();
    EXPECT_EQ(save->lbStatus->text(), "Cancelled: no file written.");
    EXPECT_TRUE(save->bnSave->isEnabled() && save->bnOK->isEnabled() && !save->bnCancel->isEnabled());
}

TEST_F(SoundWindowsTest, CancelInTheMiddleOfALoadLeavesTheInstrumentAnsweringAndTheWindowUsable)
{
    saveBoth(path("both.syx"));
    activate(load);
    ASSERT_TRUE(load->OpenFile(path("both.syx")));
    // The old sound: other sample data under the same pointers.
    const std::vector<std::uint8_t> saved = mirage().half(0).memory;
    for (int h : {0, 1})
        std::fill(mirage().half(h).memory.begin(), mirage().half(h).memory.end(), 0x11);
    seams().clear();
    cancelInWait(load, 10); // while the answer to L1's dump is awaited
    load->bnSend->click();
    EXPECT_EQ(sentWithPrefix({0xF0, 0x0F, 0x01, cmd::WavesampleDump}), 1);
    EXPECT_EQ(load->lbStatus->text().toStdString(), "Cancelled: L1 replaced; L2-L8 and U1-U8 still hold the old sound.");
    const auto& memory = mirage().half(0).memory;
    const auto pages = [&](int w) {
        const auto& ws = mirage().half(0).wavesamples[static_cast<std::size_t>(w)];
        return std::pair{memory.begin() + 256 * ws.field(wsf::StartPage), memory.begin() + 256 * (ws.field(wsf::EndPage) + 1)};
    };
    EXPECT_TRUE(std::equal(pages(0).first, pages(0).second, saved.begin() + (pages(0).first - memory.begin())));
    EXPECT_TRUE(std::all_of(pages(1).first, pages(1).second, [](std::uint8_t b) { return b == 0x11; }));
    // The current programs are selected again and fresh dumps requested.
    const auto lines = seams().lines();
    EXPECT_EQ(lines.back(), "wait 500");
    EXPECT_EQ(lines[lines.size() - 2], "sent F0 0F 01 13 7F");
    EXPECT_TRUE(load->bnSend->isEnabled() && load->bnOpen->isEnabled() && !load->Running());
    // The instrument still answers, and the window sends again.
    const int before = sentWithPrefix({0xF0, 0x0F, 0x01, cmd::WavesampleDump});
    load->bnSend->click();
    EXPECT_EQ(sentWithPrefix({0xF0, 0x0F, 0x01, cmd::WavesampleDump}) - before, 15);
    EXPECT_EQ(load->edContents->toPlainText().count("- accepted"), 16);
}

TEST_F(SoundWindowsTest, PortLostDuringALoadEndsItWithTheBytesThatLeft)
{
    saveBoth(path("both.syx"));
    activate(load);
    ASSERT_TRUE(load->OpenFile(path("both.syx")));
    form().MidiOut1->SetPacing(TMidiOut::WireSpeed);
    seams().clear();
    seams().startTimer(2000, [&] { detachEmulator(); }); // in the first wavesample's dump
    load->bnSend->click();
    ASSERT_EQ(seams().boxes().size(), 1u);
    const std::string text = seams().boxes()[0].text;
    EXPECT_TRUE(text.starts_with("Error - MIDI output port lost - wavesample L1 was cut short after ")) << text;
    EXPECT_TRUE(text.ends_with(" of 16393 bytes.")) << text;
    EXPECT_EQ(load->lbStatus->text().toStdString(),
              "Stopped: L1 may hold part of the new sound; L2-L8 and U1-U8 still hold the old sound.");
}

// An instrument that takes what it is sent and answers nothing: the send
// stops at the first dump it should have answered, within the limit of a
// request after the dump's time on the wire, and says what it may hold.
TEST_F(SoundWindowsTest, ASilentMirageStopsALoadAtTheFirstUnansweredDumpAndNothingIsNamed)
{
    saveBoth(path("both.syx"));
    activate(load);
    ASSERT_TRUE(load->OpenFile(path("both.syx")));
    device().setBehaviour({true, false, 0});
    seams().clear();
    load->bnSend->click();

    const std::vector<Message> sent = seams().sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sentWithPrefix({0xF0, 0x0F, 0x01, cmd::WavesampleDump}), 1);
    EXPECT_EQ(sent.back()[3], cmd::WavesampleDump) << "nothing after the unanswered dump";
    const long long firstDump = TappedMirage::wireMs(sent.back().size() + 1);
    EXPECT_GE(seams().totalWaited(), form().AnswerLimit.programMs);
    EXPECT_LE(seams().totalWaited(), 2 * 100 + 30 + firstDump + form().AnswerLimit.programMs + 50);

    const std::string held = "L1 may hold the new sound; L2-L8 and U1-U8 still hold the old sound";
    ASSERT_EQ(seams().boxes().size(), 1u);
    const std::string box = seams().boxes()[0].text;
    EXPECT_EQ(box.rfind("The Mirage did not answer the wavesample dump of L1 within 3 seconds.", 0), 0u) << box;
    EXPECT_NE(box.find("The Mirage may hold the new programs of both halves now. " + held), std::string::npos) << box;
    EXPECT_EQ(load->lbStatus->text().toStdString(), "Stopped: " + held + ".");
    EXPECT_EQ(form().History().DriftText(), "");
    EXPECT_EQ(form().StatusPanelText(3).toStdString().find("Changed on the Mirage"), std::string::npos);
    EXPECT_TRUE(load->bnSend->isEnabled() && !load->Running());
}

TEST_F(SoundWindowsTest, TheBarAndTimeMoveWhileAWavesampleIsOnTheWire)
{
    saveBoth(path("both.syx"));
    activate(load);
    ASSERT_TRUE(load->OpenFile(path("both.syx")));
    form().MidiOut1->SetPacing(TMidiOut::WireSpeed);
    std::vector<std::pair<int, std::string>> seen; // the first wavesample's dump is on the wire from 1 s to 6 s
    for (int ms : {2000, 4000})
        seams().startTimer(ms, [&] { seen.emplace_back(load->ProgressBar1->value(), load->lbTime->text().toStdString()); });
    load->bnSend->click();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_GT(seen[1].first, seen[0].first);
    EXPECT_NE(seen[1].second, seen[0].second);
    EXPECT_EQ(load->lbStatus->text(), "Sent: 15 wavesamples accepted, 0 not."); // U6 plays the data of U3
}

TEST_F(SoundWindowsTest, BadFilesAreRefusedWithTheirMessageAndNothingSent)
{
    saveBoth(path("good.syx"));
    std::vector<std::uint8_t> good;
    {
        std::ifstream in(path("good.syx"), std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* says;
    };
    const Case cases[] = {
        {"empty", {}, "Error - The file is empty."},
        {"truncated", std::vector<std::uint8_t>(good.begin(), good.begin() + 5000), "ends in the middle of message 2"},
        {"another's", {0xF0, 0x43, 0x10, 0xF7}, "manufacturer ID 43"},
    };
    activate(load);
    ASSERT_TRUE(load->OpenFile(path("good.syx")));
    for (const Case& c : cases) {
        {
            std::ofstream out(path("bad.syx"), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
        }
        seams().clear();
        seams().fileAnswers = {path("bad.syx")};
        load->bnOpen->click();
        ASSERT_EQ(seams().boxes().size(), 1u) << c.what;
        EXPECT_NE(seams().boxes()[0].text.find(c.says), std::string::npos) << c.what << ": " << seams().boxes()[0].text;
        // A file that has bytes is first said, in plain words, not to be a sound.
        EXPECT_EQ(seams().boxes()[0].text.starts_with("This file is not a Mirage sound file, or it is damaged.\n"),
                  !c.bytes.empty())
            << c.what;
        EXPECT_EQ(seams().boxes()[0].caption, "Load Sound from File");
        EXPECT_FALSE(load->bnSend->isEnabled()) << c.what;
        load->bnSend->click();
        EXPECT_TRUE(seams().sent().empty()) << c.what;
    }
}

// Each file holds the disk's sound, program dumps and sample data alike,
// and no names: the program's names belong to what it held before, and
// loading the file later must not put them on the disk's sounds.
TEST_F(SoundWindowsTest, ArchiveSavesTheThreeDiskSoundsIntoTheChosenFolder)
{
    activate(archive);
    seams().folderAnswers = {configDir().toStdString()};
    archive->bnArchive->click();
    for (int n = 1; n <= 3; ++n) {
        const sound::ReadResult r = sound::readFile(path(("sound" + std::to_string(n) + ".syx").c_str()));
        ASSERT_TRUE(r.ok()) << n << ": " << r.text;
        ASSERT_EQ(r.sound.halves.size(), 2u);
        emu::MirageEmulator fresh;
        fresh.receive(keyCodeMessage({key::UpperLoad, key::LowerLoad, static_cast<std::uint8_t>(n), key::Enter}));
        for (const sound::Half& h : r.sound.halves) {
            EXPECT_EQ(h.programDump, fresh.programDump(h.half)) << n;
            EXPECT_FALSE(h.hasNames) << n;
            const auto entries = sound::wavesampleEntries(h.programDump);
            for (int w = 0; w < 8; ++w) {
                const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
                if (!e.first)
                    continue;
                fresh.receive(keyCodeMessage({h.half == 0 ? key::LowerWavesample : key::UpperWavesample,
                                              static_cast<std::uint8_t>(w + 1)}));
                EXPECT_EQ(h.wavesampleDumps.at(static_cast<std::size_t>(e.dump)), fresh.wavesampleDump())
                    << n << " half " << h.half << " wavesample " << w + 1;
            }
        }
    }
    EXPECT_EQ(archive->edSummary->toPlainText().count("both halves, 16 wavesample dumps"), 3)
        << archive->edSummary->toPlainText().toStdString();
    EXPECT_EQ(archive->lbStatus->text(), "3 of 3 sounds archived.");
}

} // namespace
} // namespace corvane::test
