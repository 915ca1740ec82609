// The three wavesample transfer windows on the shared fixture: what the send
// window reads, refuses, shows and sends; what the receive window waits for,
// shows and writes; the calculator's figures; and WAV files sent into the
// built-in emulator and asked back.
#include "MirageFixture.h"

#include "Dumps.h"
#include "SendDump.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WavFile.h"
#include "WaveView.h"
#include "WsCalc.h"
#include "WsGet.h"
#include "WsSend.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <fstream>
#include <iterator>

namespace corvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A wave of `n` samples with zeros in it, as a WAV file image.
Bytes samplesOf(std::size_t n)
{
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 0 : (i * 37 + 11) & 0xFF);
    return s;
}

Bytes wavOf(const Bytes& samples) { return wav::exportImage(samples, 0x55); }

Bytes readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Sent as the instrument keeps it: a zero byte becomes 1.
Bytes asSent(Bytes samples)
{
    for (auto& b : samples)
        b = b == 0 ? 1 : b;
    return samples;
}

class WsWindows : public MirageFixture {
protected:
    QTemporaryDir files;
    QString oldDir;
    TfmWsSend* send = nullptr;
    TfmWsGet* get = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        oldDir = QDir::currentPath();
        QDir::setCurrent(files.path()); // where "test.wav" goes
        MirageFixture::SetUp();
        if (!autoStart)
            return;
        findWindows();
    }
    void TearDown() override
    {
        MirageFixture::TearDown();
        QDir::setCurrent(oldDir);
    }
    void findWindows()
    {
        send = qobject_cast<TfmWsSend*>(form().Window("TfmWsSend"));
        get = qobject_cast<TfmWsGet*>(form().Window("TfmWsGet"));
        ASSERT_NE(send, nullptr);
        ASSERT_NE(get, nullptr);
    }
    std::string file(const char* name, const Bytes& bytes)
    {
        const std::string path = files.filePath(name).toStdString();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    void open(const std::string& path)
    {
        seams().fileAnswers.push_back(path);
        QTest::mouseClick(send->bnOpenFile, Qt::LeftButton);
    }
    void clickSend() { QTest::mouseClick(send->bnSendWav, Qt::LeftButton); }
    void request() { QTest::mouseClick(get->bnReqWs, Qt::LeftButton); }
    std::vector<std::string> figures() const
    {
        return {send->Label1->text().toStdString(), send->Label4->text().toStdString(),
                send->lbWavPercent->text().toStdString(), send->Label6->text().toStdString()};
    }
    // Gives wavesample `w` of the lower half pages start..end on the
    // instrument, and lets the program know.
    void pointers(int w, int start, int end)
    {
        auto& ws = mirage().half(0).wavesamples[static_cast<std::size_t>(w)];
        ws.setField(wsf::StartPage, start);
        ws.setField(wsf::EndPage, end);
        fetchDumps();
    }
};

// ---- send window -------------------------------------------------------------

TEST_F(WsWindows, EachRefusedFileShowsItsBoxAndLeavesNothingToSend)
{
    const Bytes good = wavOf(samplesOf(1000));
    auto patched = [&](std::initializer_list<std::pair<std::size_t, std::uint8_t>> at) {
        Bytes b = good;
        for (auto [i, v] : at)
            b[i] = v;
        return b;
    };
    const struct {
        const char* name;
        Bytes bytes;
        const char* message;
    } table[] = {
        {"riff.wav", patched({{0, 'X'}}), "Error - RIFF detect fail."},
        {"big.wav", patched({{4, 0x2C}, {5, 0x01}, {6, 0x01}, {7, 0}}), "Error - File too big."}, // 65,836
        {"wave.wav", patched({{8, 'X'}}), "Error - WAVEfmt detect fail - wrong file type."},
        {"pcm.wav", patched({{20, 3}}), "Error - PCM detect fail - wrong file type."},
        {"stereo16.wav", patched({{22, 2}, {34, 16}}), "Error - mono detect fail - wrong file type."},
        {"bits.wav", patched({{34, 16}}), "Error - 8 bit detect fail - wrong file type."},
        {"data.wav", wavOf(Bytes(65536, 0x80)), "Error - Wave data greater than 65536 - too big."},
        {"empty.wav", wavOf({}), "Error - Wave data detect fail - no sample data."},
        {"short.wav", Bytes(good.begin(), good.end() - 100), "Error - File too short - wave data missing."},
    };
    const std::string goodPath = file("good.wav", good);
    for (const auto& row : table) {
        open(goodPath);
        ASSERT_TRUE(send->bnSendWav->isEnabled());
        seams().clear();
        const std::string path = file(row.name, row.bytes);
        open(path);
        EXPECT_EQ(seams().lines(), std::vector<std::string>{std::string("box \"") + row.message + "\" \"WAV Import\""})
            << row.name;
        EXPECT_EQ(send->edFilename->text().toStdString(), path);
        EXPECT_EQ(send->Label1->text(), "ERROR") << row.name;
        EXPECT_EQ(send->Label4->text(), "ERROR");
        EXPECT_EQ(send->Label6->text(), "ERROR");
        EXPECT_FALSE(send->bnSendWav->isEnabled());
        EXPECT_FALSE(send->Dump().has_value()) << "the earlier file's bytes are gone";
        send->bnSendWavClick(); // even pressed, nothing goes out
        EXPECT_TRUE(seams().sent().empty()) << row.name;
    }
    // A file that cannot be opened, and a cancelled dialog (no box).
    open(goodPath);
    seams().clear();
    open(files.filePath("missing.wav").toStdString());
    EXPECT_EQ(seams().lines(),
              std::vector<std::string>{"box \"Error - File open fail - cannot read file.\" \"WAV Import\""});
    open(goodPath);
    seams().clear();
    open("");
    EXPECT_TRUE(seams().lines().empty());
    EXPECT_EQ(send->edFilename->text().toStdString(), goodPath) << "a cancel keeps the name";
    EXPECT_EQ(send->Label1->text(), "ERROR");
    EXPECT_FALSE(send->Dump().has_value());
    EXPECT_EQ(seams().filters.back(), "Wave files|*.wav");
}

TEST_F(WsWindows, AcceptedFileShowsItsFiguresAndSendsItsDumpExactly)
{
    const struct {
        std::size_t n;
        std::vector<std::string> shown; // size, pages (hex), percent, padding
    } table[] = {
        {1000, {"1000", "04", "1", "232"}},
        {256, {"256", "01", "0", "0"}},
        {65280, {"65280", "FF", "99", "0"}},
        {65535, {"65535", "100", "100", "255"}},
    };
    activate(send);
    for (const auto& row : table) {
        const Bytes samples = samplesOf(row.n);
        open(file("in.wav", wavOf(samples)));
        EXPECT_EQ(figures(), row.shown) << row.n;
        seams().clear();
        clickSend();
        const auto sent = seams().sent();
        ASSERT_EQ(sent.size(), 1u);
        const Message& m = sent[0];
        ASSERT_EQ(m.size(), 2 * row.n + 8);
        EXPECT_EQ(Message(m.begin(), m.begin() + 4), (Message{0xF0, 0x0F, 0x01, 0x06}));
        const int pages = static_cast<int>((row.n + 255) / 256);
        EXPECT_EQ(m[4] + 16 * m[5], pages);
        unsigned sum = 0;
        for (std::size_t i = 4; i < m.size() - 2; ++i)
            sum += m[i];
        EXPECT_EQ(m[m.size() - 2], sum % 128);
        EXPECT_EQ(m.back(), 0x7F);
        EXPECT_EQ(Message(m.begin() + 6, m.begin() + 8), (Message{0x01, 0x00})) << "sample 0 (a zero) goes as 1";
        EXPECT_EQ(m[8] + 16 * m[9], samples[1]);
        EXPECT_TRUE(send->ProgressBar1->isHidden());
    }
    // The progress bar is shown and moves while the dump goes out.
    std::vector<int> progress;
    QObject::connect(send->ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        if (send->ProgressBar1->isVisible())
            progress.push_back(v);
    });
    clickSend();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1000);
}

TEST_F(WsWindows, DestinationShowsThePointersAndSaysWhenTheFileDoesNotFit)
{
    fetchDumps();
    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(2);
    activate(send);
    EXPECT_EQ(send->cbSelectWs->currentText(), "U3");
    auto shown = [&] {
        return std::vector<std::string>{send->edStartPage->text().toStdString(), send->edEndPage->text().toStdString(),
                                        send->edPageCount->text().toStdString()};
    };
    EXPECT_EQ(shown(), (std::vector<std::string>{"40", "5F", "20"})) << "U3: pages 0x40 to 0x5F";

    open(file("fits.wav", wavOf(samplesOf(32 * 256))));
    EXPECT_TRUE(send->lbDoesNotFit->text().isEmpty());
    open(file("big.wav", wavOf(samplesOf(32 * 256 + 1))));
    EXPECT_EQ(send->lbDoesNotFit->text(), "Too big: the file needs 21 (Hex) pages, this wavesample has 20.");

    // Another destination: selected on the instrument, its figures shown.
    seams().clear();
    send->cbSelectWs->setCurrentIndex(0);
    emit send->cbSelectWs->activated(0);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 15 01 7F", "wait 30"}));
    EXPECT_EQ(shown(), (std::vector<std::string>{"00", "1F", "20"}));

    // "L" asks for the lower dump, waits, shows, beeps.
    mirage().half(0).wavesamples[0].setField(wsf::EndPage, 0x40);
    seams().clear();
    QTest::mouseClick(send->bnRefreshParameters, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
    EXPECT_EQ(shown(), (std::vector<std::string>{"00", "40", "41"}));
    EXPECT_TRUE(send->lbDoesNotFit->text().isEmpty()) << "now it fits";
    seams().clear();
    QTest::mouseClick(send->bnRefreshU, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 13 7F", "wait 500", "beep"}));
}

// ---- receive window ------------------------------------------------------------

TEST_F(WsWindows, RequestWaitsForTheDumpAtWireSpeedAndShowsWhatArrived)
{
    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(2);
    activate(get);
    EXPECT_EQ(get->cbSelectWs->currentText(), "U3");
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
    EXPECT_FALSE(get->bnMakeIntoWav->isEnabled());

    seams().clear();
    std::vector<std::string> during;
    seams().duringNextWait = [&] {
        during = {get->lbPageCount->text().toStdString(), get->lbWsSize->text().toStdString(),
                  get->lbChecksum->text().toStdString(), get->ProgressBar1->isVisible() ? "bar" : "no bar"};
    };
    request();
    EXPECT_EQ(during, (std::vector<std::string>{"receiving data", "receiving data", "receiving data", "bar"}));
    const auto lines = seams().lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "sent F0 0F 01 04");
    const auto waits = seams().waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 100), static_cast<long>(waits.size()));
    // 32 pages: 16,392 bytes, 5.25 s on the wire.
    EXPECT_EQ(waits.size(), 53u);
    EXPECT_TRUE(seams().boxes().empty());

    const Message dump = mirage().wavesampleDump();
    const auto& hf = mirage().half(1);
    const Bytes expected(hf.memory.begin() + 0x40 * 256, hf.memory.begin() + 0x60 * 256);
    EXPECT_EQ(get->lbPageCount->text(), "32");
    EXPECT_EQ(get->lbWsSize->text(), "8192");
    EXPECT_EQ(get->lbChecksum->text(), QString::number(dump[dump.size() - 2]));
    EXPECT_EQ(get->Data().samples, expected);
    EXPECT_EQ(get->pbWaveform->Samples(), expected);
    EXPECT_TRUE(get->ProgressBar1->isHidden());
    EXPECT_FALSE(form().WavesampleReady);
    EXPECT_TRUE(get->bnMakeIntoWav->isEnabled());

    // Make Into Wav: the file, then the player on it.
    QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
    Bytes image = wav::exportImage(expected, dump[dump.size() - 2]);
    EXPECT_EQ(readFile("test.wav"), image);
    EXPECT_EQ(seams().opened, std::vector<std::string>{"test.wav"});
    ASSERT_TRUE(get->bnPlay->isEnabled());
    QTest::mouseClick(get->bnPlay, Qt::LeftButton);
    EXPECT_EQ(seams().played, std::vector<std::string>{"test.wav"});

    // Save As: the same bytes under the chosen name; a cancel writes nothing.
    const std::string chosen = files.filePath("chosen.wav").toStdString();
    seams().saveAnswers = {chosen, ""};
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton);
    EXPECT_EQ(readFile(chosen), image);
    EXPECT_EQ(seams().saveSuggestions.back(), "test.wav");
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton);
    EXPECT_EQ(QDir(files.path()).entryList({"*.wav"}, QDir::Files).size(), 2);

    // A file or player that cannot be opened is reported.
    seams().clear();
    seams().mediaOpens = false;
    QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{
                                   "box \"Error - Media player open fail - cannot play test.wav.\" \"Media Player\""});
    EXPECT_FALSE(get->bnPlay->isEnabled());
    seams().clear();
    seams().saveAnswers = {files.filePath("no/such/dir/x.wav").toStdString()};
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].caption, "WAV Export");
}

class WsWithoutInstrument : public WsWindows {
protected:
    WsWithoutInstrument() { autoStart = false; }
    void SetUp() override
    {
        WsWindows::SetUp();
        detachEmulator();
        start();
        findWindows();
        activate(get);
        seams().clear();
    }
    // Delivers `m` to the program as though it came from the instrument.
    void arrive(const Message& m) { form().MidiIn1SysEx(m.data(), static_cast<int>(m.size())); }
};

TEST_F(WsWithoutInstrument, NoAnswerTimesOutAfterTheWaitTheDumpWouldNeed)
{
    const struct {
        bool pointersKnown;
        std::size_t polls;
    } table[] = {
        {false, 430}, // the largest dump: 131,080 bytes, 42 s, and a second
        {true, 340},  // L1 has 32 pages: the least wait, 34 s
    };
    for (const auto& row : table) {
        if (row.pointersKnown)
            arrive(mirage().programDump(0));
        seams().clear();
        request();
        EXPECT_EQ(seams().waits().size(), row.polls);
        EXPECT_EQ(seams().boxes().size(), 1u);
        EXPECT_EQ(seams().lines().back(), "box \"Error - receive time out - all data not valid.\" \"MIDI Receive Problem\"");
        EXPECT_EQ(get->PollLimit(), static_cast<int>(row.polls));
        EXPECT_TRUE(get->bnMakeIntoWav->isEnabled()) << "the window goes on as after a dump";
        EXPECT_TRUE(get->ProgressBar1->isHidden());
    }
    EXPECT_EQ(TfmWsGet::PollsFor(256), 430);
}

TEST_F(WsWithoutInstrument, WhatArrivesIsShownAndWrittenAndNothingElse)
{
    // A 0-page dump; one announcing 4 pages that ends after 100 samples; an
    // unasked dump that was waiting when the request began.
    Message empty{0xF0, 0x0F, 0x01, 0x06, 0x00, 0x00, 0x00, 0xF7};
    Message cut{0xF0, 0x0F, 0x01, 0x06, 0x04, 0x00};
    for (int i = 0; i < 100; ++i) {
        cut.push_back(static_cast<std::uint8_t>(i & 0x0F));
        cut.push_back(0x08);
    }
    cut.push_back(0x00); // its checksum
    cut.push_back(0xF7);
    const struct {
        const Message& dump;
        std::size_t fileSize;
        std::vector<std::string> labels;
        std::size_t boxes;
    } table[] = {
        {empty, 45, {"0", "0", "0"}, 0},
        {cut, 144, {"4", "100", "not received"}, 1},
    };
    for (const auto& row : table) {
        seams().clear();
        seams().duringNextWait = [&] { arrive(row.dump); };
        request();
        EXPECT_EQ(seams().waits().size(), 1u) << "ready at the next poll";
        EXPECT_EQ((std::vector<std::string>{get->lbPageCount->text().toStdString(),
                                            get->lbWsSize->text().toStdString(),
                                            get->lbChecksum->text().toStdString()}),
                  row.labels);
        ASSERT_EQ(seams().boxes().size(), row.boxes);
        QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
        const Bytes written = readFile("test.wav");
        EXPECT_EQ(written.size(), row.fileSize);
    }
    EXPECT_EQ(seams().boxes()[0].text, "Error - wavesample incomplete - 100 of 1024 sample bytes arrived.");
    const Bytes written = readFile("test.wav");
    EXPECT_EQ(written[44], 0x80);
    EXPECT_EQ(written.back(), 0x83) << "the last sample that came, no byte after it";

    // Flag already set by an unasked dump: the next wait ends at its first poll.
    arrive(empty);
    seams().clear();
    request();
    EXPECT_TRUE(seams().waits().empty());
    EXPECT_EQ(get->lbPageCount->text(), "0");
}

// ---- round trips through the built-in emulator ---------------------------------

TEST_F(WsWindows, WavSentIntoAWavesampleComesBackTheSame)
{
    const struct {
        std::size_t n;
        int end; // L1's end page, from page 0
    } table[] = {{1000, 3}, {65535, 255}};
    for (const auto& row : table) {
        pointers(0, 0, row.end);
        activate(send);
        const Bytes samples = samplesOf(row.n);
        open(file("trip.wav", wavOf(samples)));
        EXPECT_TRUE(send->lbDoesNotFit->text().isEmpty());
        seams().clear();
        clickSend();
        seams().wait(2 * TappedMirage::wireMs(2 * row.n + 8)); // the answer comes after the dump's wire time
        EXPECT_EQ(seams().boxes().size(), 1u);
        EXPECT_EQ(seams().boxes()[0].text, "Wavesample Receive - Ack = good");

        activate(get);
        seams().clear();
        request();
        EXPECT_TRUE(seams().boxes().empty()) << row.n;
        ASSERT_EQ(get->Data().samples.size(), 256 * static_cast<std::size_t>(row.end + 1));
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), get->Data().samples.begin(), [](auto a, auto b) {
            return (a == 0 ? 1 : a) == b;
        })) << row.n;
        EXPECT_EQ(Bytes(get->Data().samples.begin(), get->Data().samples.begin() + static_cast<long>(row.n)),
                  asSent(samples));
    }
    // 256 pages: 131,080 bytes came at wire speed within the wait.
    EXPECT_GE(seams().totalWaited(), 41900);
    EXPECT_LT(seams().totalWaited(), TfmWsGet::PollsFor(256) * 100);
}

TEST_F(WsWindows, TheInstrumentRefusesAFileLargerThanItsPointers)
{
    pointers(0, 0, 1);
    activate(send);
    open(file("three.wav", wavOf(samplesOf(600))));
    EXPECT_FALSE(send->lbDoesNotFit->text().isEmpty());
    seams().clear();
    clickSend();
    seams().wait(1000);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text, "Wavesample Receive - Nck = bad");
    EXPECT_EQ(mirage().counters().wavesamplesRefused, 1);
}

// ---- calculator ----------------------------------------------------------------

TEST_F(WsWindows, CalculatorGivesTheFiguresOfItsExamplesAndSendsNothing)
{
    auto* calc = qobject_cast<TfmWsCalc*>(form().Window("TfmWsCalc"));
    ASSERT_NE(calc, nullptr);
    activate(calc);
    seams().clear();
    auto results = [&] {
        return std::vector<std::string>{calc->edEOSstartByte->text().toStdString(), calc->edWsSize->text().toStdString(),
                                        calc->edWsStart->text().toStdString(),
                                        calc->edLoopStartPage->text().toStdString(),
                                        calc->edLoopEndPage->text().toStdString(),
                                        calc->edWsEndPage->text().toStdString()};
    };
    auto startPageTo = [&](int w) {
        while (calc->StartPage() < w)
            clickUp(calc->udWsStart);
        while (calc->StartPage() > w)
            clickDown(calc->udWsStart);
    };
    const struct {
        int sizeIndex, entry, startPage;
        std::size_t entries;
        const char* last;
        std::vector<std::string> shown;
    } table[] = {
        {0, 16, 2, 252, "64256", {"4352", "4608", "02", "12", "12", "13"}},
        {2, 0, 0, 63, "63488", {"1024", "1280", "00", "00", "03", "04"}},
        {1, 3, 5, 126, "64000", {"2048", "2304", "05", "0B", "0C", "0D"}},
    };
    for (const auto& row : table) {
        calc->cbChosenLoopSize->setCurrentIndex(row.sizeIndex);
        ASSERT_EQ(calc->lbLoopStartChoose->count(), static_cast<int>(row.entries));
        EXPECT_EQ(calc->lbLoopStartChoose->item(calc->lbLoopStartChoose->count() - 1)->text(), row.last);
        EXPECT_EQ(calc->edWsSize->text(), "XX");
        calc->lbLoopStartChoose->setCurrentRow(row.entry);
        startPageTo(row.startPage);
        EXPECT_EQ(results(), row.shown) << row.sizeIndex;
    }
    // A change of loop size shows W in decimal; the next click in hex.
    startPageTo(12);
    calc->cbChosenLoopSize->setCurrentIndex(0);
    EXPECT_EQ(calc->edWsStart->text(), "12");
    clickUp(calc->udWsStart);
    EXPECT_EQ(calc->edWsStart->text(), "0D");
    startPageTo(250);
    clickUp(calc->udWsStart);
    EXPECT_EQ(calc->StartPage(), 250);

    calc->sbData->setValue(256);
    EXPECT_EQ(calc->edHexDisplay->text(), "100");
    EXPECT_EQ(calc->edDecDisplay->text(), "256");
    EXPECT_TRUE(seams().lines().empty());

    for (const char* item : {"GetfromMirage1", "SendtoMirage1", "Calculator1"})
        EXPECT_TRUE(form().Action(item)->isEnabled()) << item;
}

} // namespace
} // namespace corvane::test
