// The three wavesample transfer windows on the shared fixture: what the send
// window refuses, shows and sends; what the receive window waits for, shows
// and writes; the calculator's figures; WAV files sent into the built-in
// emulator and asked back.
#include "MirageFixture.h"

#include "Dumps.h"
#include "Midiout.h"
#include "PlayerPanel.h"
#include "SendDump.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WavFile.h"
#include "WaveView.h"
#include "WsCalc.h"
#include "WsGet.h"
#include "WsSend.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <numeric>
#include <QToolButton>

#include <fstream>
#include <iterator>

namespace corvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

Bytes samplesOf(std::size_t n) // with a zero every seventh byte
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
template <typename... W>
Texts texts(W*... w)
{
    return {w->text().toStdString()...};
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
        if (autoStart)
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
        ASSERT_TRUE(send && get);
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
    void request() { QTest::mouseClick(get->bnReqWs, Qt::LeftButton); }
    // Gives the instrument's L1 pages start..end and lets the program know.
    void pointers(int start, int end)
    {
        mirage().half(0).wavesamples[0].setField(wsf::StartPage, start);
        mirage().half(0).wavesamples[0].setField(wsf::EndPage, end);
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
        Bytes bytes;
        const char* message; // "" for a cancelled dialog
        bool pointsToImport = true; // a second line names "Import Audio..." for other files
    } table[] = {
        {patched({{0, 'X'}}), "Error - RIFF detect fail."},
        {patched({{4, 0x2C}, {5, 0x01}, {6, 0x01}, {7, 0}}), "Error - File too big."}, // 65,836
        {patched({{8, 'X'}}), "Error - WAVEfmt detect fail - wrong file type."},
        {patched({{20, 3}}), "Error - PCM detect fail - wrong file type."},
        {patched({{22, 2}, {34, 16}}), "Error - mono detect fail - wrong file type."}, // stereo 16-bit
        {patched({{34, 16}}), "Error - 8 bit detect fail - wrong file type."},
        {wavOf(Bytes(65536, 0x80)), "Error - Wave data greater than 65536 - too big."},
        {wavOf({}), "Error - Wave data detect fail - no sample data.", false},
        {Bytes(good.begin(), good.end() - 100), "Error - File too short - wave data missing.", false},
        {{}, "Error - File open fail - cannot read file.", false}, // no such file
        {{}, "", false},
    };
    const std::string goodPath = file("good.wav", good);
    int row = 0;
    for (const auto& [bytes, message, pointsToImport] : table) {
        open(goodPath);
        ASSERT_TRUE(send->bnSendWav->isEnabled());
        seams().clear();
        const std::string path = *message == 0 ? "" : bytes.empty() ? files.filePath("none.wav").toStdString()
                                                                     : file("bad.wav", bytes);
        open(path);
        const std::string hint = pointsToImport ? "\nOpen File reads 8-bit mono WAV files only. For other audio files "
                                                  "(any depth, rate or channels; WAV, AIFF, FLAC, Ogg), use \"Import "
                                                  "Audio...\"."
                                                : "";
        EXPECT_EQ(seams().lines(),
                  *message ? Texts{std::string("box \"") + message + hint + "\" \"WAV Import\""} : Texts{});
        EXPECT_EQ(send->edFilename->text().toStdString(), path.empty() ? goodPath : path) << row;
        EXPECT_EQ(texts(send->Label1, send->Label4, send->Label6), (Texts{"ERROR", "ERROR", "ERROR"})) << row;
        EXPECT_FALSE(send->bnSendWav->isEnabled());
        EXPECT_FALSE(send->Dump().has_value()) << "the earlier file's bytes are gone";
        send->bnSendWavClick(); // even pressed, nothing goes out
        EXPECT_TRUE(seams().sent().empty()) << row++;
    }
    EXPECT_EQ(seams().filters.back(), "Wave files|*.wav");
}

TEST_F(WsWindows, AcceptedFileShowsItsFiguresAndSendsItsDumpWithProgress)
{
    const struct {
        std::size_t n;
        Texts shown;          // size, pages (hex), percent, padding
        Message pageNibbles; // message bytes 4 and 5
    } table[] = {
        {1000, {"1000", "04", "1", "232"}, {0x04, 0x00}},
        {256, {"256", "01", "0", "0"}, {0x01, 0x00}},
        {65535, {"65535", "100", "100", "255"}, {0x00, 0x10}},
    };
    pointers(0, 255); // room for the largest
    activate(send);
    std::vector<int> progress;
    QObject::connect(send->ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        if (send->ProgressBar1->isVisible())
            progress.push_back(v);
    });
    for (const auto& row : table) {
        const Bytes samples = samplesOf(row.n);
        open(file("in.wav", wavOf(samples)));
        EXPECT_EQ(texts(send->Label1, send->Label4, send->lbWavPercent, send->Label6), row.shown);
        mirage().setCurrentWavesample(5); // chosen on the front panel since
        seams().clear();
        progress.clear();
        QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
        const auto sent = seams().sent();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(hex(sent[0]), "F0 0F 01 01 15 01 7F") << "the window's L1 selected first";
        EXPECT_EQ(mirage().currentWavesample(), 0);
        const Message& m = sent[1];
        EXPECT_EQ(m, wav::buildSendDump(samples)->message);
        EXPECT_EQ(m.size(), 2 * row.n + 8);
        EXPECT_EQ(Message(m.begin() + 4, m.begin() + 6), row.pageNibbles);
        EXPECT_EQ(Message(m.begin() + 6, m.begin() + 8), (Message{0x01, 0x00})) << "sample 0, a zero, as 1";
        EXPECT_EQ(progress, std::vector<int>{1000}) << "one piece to the built-in emulator";
        EXPECT_TRUE(send->ProgressBar1->isHidden());
    }
}

TEST_F(WsWindows, DestinationShowsThePointersAndSaysWhenTheFileDoesNotFit)
{
    fetchDumps();
    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(2);
    activate(send);
    EXPECT_EQ(send->cbSelectWs->currentText(), "U3");
    EXPECT_EQ(texts(send->edStartPage, send->edEndPage, send->edPageCount), (Texts{"40", "5F", "20"}));
    open(file("fits.wav", wavOf(samplesOf(32 * 256))));
    EXPECT_EQ(send->lbDoesNotFit->text(), "");
    open(file("big.wav", wavOf(samplesOf(32 * 256 + 1))));
    EXPECT_EQ(send->lbDoesNotFit->text(), "Too big: needs 21 (Hex) pages, this wavesample has 20.");

    // Another destination: selected on the instrument, its figures shown.
    seams().clear();
    send->cbSelectWs->setCurrentIndex(0);
    emit send->cbSelectWs->activated(0);
    EXPECT_EQ(seams().lines(), (Texts{"sent F0 0F 01 01 15 01 7F", "wait 30"}));
    EXPECT_EQ(texts(send->edStartPage, send->edEndPage, send->edPageCount), (Texts{"00", "1F", "20"}));

    // "L" and "U": request, wait, show, beep.
    mirage().half(0).wavesamples[0].setField(wsf::EndPage, 0x40);
    seams().clear();
    QTest::mouseClick(send->bnRefreshParameters, Qt::LeftButton);
    QTest::mouseClick(send->bnRefreshU, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (Texts{"sent F0 0F 01 03 7F", "wait 500", "beep", "sent F0 0F 01 13 7F", "wait 500",
                                      "beep"}));
    EXPECT_EQ(texts(send->edStartPage, send->edEndPage, send->edPageCount), (Texts{"00", "40", "41"}));
    EXPECT_EQ(send->lbDoesNotFit->text(), "") << "now it fits";
}

// ---- receive window ------------------------------------------------------------

TEST_F(WsWindows, RequestWaitsForTheDumpAtWireSpeedShowsAndWritesIt)
{
    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(2);
    // U3 (pages 40..5F) loops from page 48 to byte 7F of page 5E.
    auto& u3 = mirage().half(1).wavesamples[2];
    for (const auto& [field, value] : {std::pair{wsf::LoopSwitch, 1}, {wsf::LoopStart, 0x48}, {wsf::LoopEnd, 0x5E},
                                       {wsf::LoopEndFine, 0x7F}})
        u3.setField(field, value);
    fetchDumps();
    seams().clear();
    activate(get);
    EXPECT_EQ(get->cbSelectWs->currentText(), "U3");
    EXPECT_EQ(seams().lines(), (Texts{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
    EXPECT_FALSE(get->bnMakeIntoWav->isEnabled());

    seams().clear();
    Texts during;
    seams().duringNextWait = [&] {
        during = texts(get->lbPageCount, get->lbWsSize, get->lbChecksum);
        during.push_back(get->ProgressBar1->isVisible() ? "bar" : "no bar");
    };
    request();
    EXPECT_EQ(during, (Texts{"receiving data", "receiving data", "receiving data", "bar"}));
    EXPECT_EQ(seams().lines()[0], "sent F0 0F 01 04");
    // 32 pages: 16,392 bytes, 5.25 s on the wire, polled every 100 ms.
    EXPECT_EQ(seams().waits(), std::vector<int>(53, 100));
    EXPECT_TRUE(seams().boxes().empty());

    const Message dump = mirage().wavesampleDump();
    const std::uint8_t checksum = dump[dump.size() - 2];
    const Bytes expected(mirage().half(1).memory.begin() + 0x40 * 256, mirage().half(1).memory.begin() + 0x60 * 256);
    EXPECT_EQ(texts(get->lbPageCount, get->lbWsSize, get->lbChecksum), (Texts{"32", "8192", std::to_string(checksum)}));
    EXPECT_EQ(get->Data().samples, expected);
    EXPECT_EQ(get->pbWaveform->Samples(), expected);
    EXPECT_TRUE(get->ProgressBar1->isHidden());
    EXPECT_FALSE(form().WavesampleReady);

    // Make Into Wav: the file, and the player on what arrived: up to the
    // loop's end, then the loop; with "Loop" unticked once through.
    QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
    const Bytes image = wav::exportImage(expected, checksum);
    EXPECT_EQ(readFile("test.wav"), image);
    EXPECT_EQ(get->lbWritten->toolTip(), files.filePath("test.wav")) << "the window says where";
    ASSERT_TRUE(get->bnPlay->isEnabled());
    EXPECT_TRUE(get->MediaPlayer1->lbNoOutput->isHidden());
    QTest::mouseClick(get->bnPlay, Qt::LeftButton);
    get->MediaPlayer1->cbPlayLoop->setChecked(false);
    QTest::mouseClick(get->bnPlay, Qt::LeftButton);
    ASSERT_EQ(seams().played.size(), 2u);
    for (const PlaySound& played : seams().played) {
        EXPECT_EQ(played.samples, expected);
        EXPECT_EQ(played.rate, 29411);
    }
    EXPECT_EQ(seams().played[0].loop, (SoundLoop{8 * 256, 0x1E * 256 + 0x80}));
    EXPECT_EQ(seams().played[1].loop, std::nullopt);
    const std::string chosen = files.filePath("chosen.wav").toStdString();
    seams().saveAnswers = {chosen, ""};
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton);
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton); // cancelled
    EXPECT_EQ(readFile(chosen), image);
    EXPECT_EQ(QDir(files.path()).entryList({"*.wav"}, QDir::Files).size(), 2);

    // A computer without audio output says so beside the buttons, with no
    // box; a file that cannot be written is reported.
    seams().clear();
    seams().audioProblem = "No audio output device was found.";
    seams().saveAnswers = {files.filePath("no/such/dir/x.wav").toStdString()};
    QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
    QTest::mouseClick(get->bnSaveAs, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (Texts{"box \"Error - File write fail - cannot create " +
                                      files.filePath("no/such/dir/x.wav").toStdString() + ".\" \"WAV Export\""}));
    EXPECT_FALSE(get->bnPlay->isEnabled());
    EXPECT_FALSE(get->MediaPlayer1->lbNoOutput->isHidden());
    EXPECT_EQ(get->MediaPlayer1->lbNoOutput->text(), "No audio output");
    EXPECT_EQ(get->bnPlay->toolTip(), "No audio output device was found.");

    // Closing the window stops what plays.
    const int stops = seams().stops;
    get->close();
    EXPECT_EQ(seams().stops, stops + 1);
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
        // L1's page pointers, as if the instrument had sent them once.
        arrive(mirage().programDump(0));
    }
    void arrive(const Message& m) { form().MidiIn1SysEx(m.data(), static_cast<int>(m.size())); }
};

TEST_F(WsWithoutInstrument, NoAnswerIsSaidWithinTheTimeTheAnswerWouldNeed)
{
    const auto nothingKept = [&] {
        EXPECT_EQ(texts(get->lbPageCount, get->lbWsSize, get->lbChecksum), (Texts{"no data", "no data", "no data"}));
        EXPECT_FALSE(get->bnMakeIntoWav->isEnabled()) << "nothing came: nothing to write";
        EXPECT_TRUE(get->ProgressBar1->isHidden());
    };
    // Unknown pointers: the program dump is asked for first, and its silence
    // ends the request after 3 s, before any wavesample request.
    form().ForgetReceived();
    seams().clear();
    request();
    const auto waits = seams().waits();
    EXPECT_EQ(std::accumulate(waits.begin(), waits.end(), 0), 3000);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text.rfind("The Mirage did not answer the lower program dump request (sent first, for "
                                            "the page pointers of wavesample L1) within 3 seconds.",
                                            0),
              0u)
        << seams().boxes()[0].text;
    nothingKept();

    // L1 of 32 pages: 16,392 bytes, 5.3 s on the wire, and two seconds more.
    arrive(mirage().programDump(0));
    seams().clear();
    request();
    EXPECT_EQ(seams().waits(), std::vector<int>(73, 100));
    ASSERT_EQ(seams().boxes().size(), 1u);
    const std::string said = seams().boxes()[0].text;
    EXPECT_EQ(said.rfind("The Mirage did not answer the wavesample dump request for L1 (Request Ws) within 7.3 seconds.", 0),
              0u)
        << said;
    EXPECT_NE(said.find("without the wavesample dump is the likeliest cause"), std::string::npos)
        << "it answered the program dump request";
    nothingKept();
}

TEST_F(WsWithoutInstrument, OnlyWhatArrivedIsShownAndWritten)
{
    // A 0-page dump, and one announcing 4 pages that ends after 100 samples.
    const Message empty{0xF0, 0x0F, 0x01, 0x06, 0x00, 0x00, 0x00, 0xF7};
    Message cut{0xF0, 0x0F, 0x01, 0x06, 0x04, 0x00};
    for (int i = 0; i < 100; ++i)
        cut.insert(cut.end(), {static_cast<std::uint8_t>(i & 0x0F), 0x08});
    cut.insert(cut.end(), {0x00, 0xF7}); // checksum, end
    const struct {
        Message dump;
        std::size_t fileSize;
        Texts labels;
        Texts boxes;
    } table[] = {
        {empty, 45, {"0", "0", "0"}, {}},
        {cut, 144, {"4", "100", "not received"},
         {"box \"Error - wavesample incomplete - 100 of 1024 sample bytes arrived.\" \"MIDI Receive Problem\""}},
    };
    for (const auto& row : table) {
        seams().clear();
        seams().duringNextWait = [&] { arrive(row.dump); };
        request();
        EXPECT_EQ(seams().waits().size(), 1u) << "ready at the next poll";
        EXPECT_EQ(texts(get->lbPageCount, get->lbWsSize, get->lbChecksum), row.labels);
        EXPECT_EQ(seams().boxes().size(), row.boxes.size());
        if (!row.boxes.empty()) {
            EXPECT_EQ(seams().lines().back(), row.boxes[0]);
        }
        QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
        EXPECT_EQ(readFile("test.wav").size(), row.fileSize);
    }
    EXPECT_EQ(readFile("test.wav").back(), 0x83) << "the last sample that came, no byte after it";

    // A dump that came before the request (a late answer) is not its answer:
    // the wait goes on until the answer comes.
    arrive(empty);
    seams().clear();
    seams().duringNextWait = [&] { arrive(cut); };
    request();
    EXPECT_EQ(seams().waits().size(), 1u);
    EXPECT_EQ(get->lbPageCount->text(), "4");
}

TEST_F(WsWithoutInstrument, CancelledRequestKeepsNothing)
{
    const std::function<void()> cancels[] = {
        [&] { QTest::mouseClick(get->bnCancelAudio, Qt::LeftButton); },
        [&] { QTest::keyClick(get, Qt::Key_Escape); },
        [&] { get->close(); }, // the close box
    };
    for (const auto& cancel : cancels) {
        arrive(Message{0xF0, 0x0F, 0x01, 0x06, 0x00, 0x00, 0x00, 0xF7}); // shown, unasked
        seams().clear();
        seams().inputAt(seams().now + 1000, cancel);
        request();
        EXPECT_EQ(seams().waits().size(), 10u) << "Cancel taken at the next poll";
        EXPECT_TRUE(seams().boxes().empty());
        arrive(mirage().wavesampleDump()); // the answer after all: not shown
        EXPECT_EQ(texts(get->lbPageCount, get->lbWsSize, get->lbChecksum), (Texts{"no data", "no data", "no data"}));
        EXPECT_TRUE(get->Data().samples.empty());
        EXPECT_FALSE(get->bnSaveAs->isEnabled());
        EXPECT_TRUE(get->bnCancelAudio->isHidden());
        EXPECT_TRUE(get->isVisible());
    }
}

// ---- long sends at wire speed ------------------------------------------------------

class WsLongSend : public WsWindows {
protected:
    static constexpr std::size_t Total = 2 * 65535 + 8 + 1; // the dump and the port's F7
    void SetUp() override
    {
        WsWindows::SetUp();
        fetchDumps();
        activate(get);
        // These sends are stopped before their end, so the instrument's L1
        // keeps its 32 pages (which the Get window fetches); the program's
        // copy gives it room for the largest dump, so the window sends.
        form().SetLowerParam(wavesampleFieldPos(0, wsf::EndPage), 255);
        activate(send);
        open(file("long.wav", wavOf(samplesOf(65535))));
        form().MidiOut1->SetPacing(TMidiOut::WireSpeed);
        seams().clear();
    }
    // Virtual time from the click on "Send Wav" to the first box.
    long long untilFirstBox()
    {
        long long t = 0;
        for (const TraceEvent& e : seams().trace) {
            if (e.kind == TraceEvent::Kind::Box)
                break;
            t += e.kind == TraceEvent::Kind::Wait ? e.ms : 0;
        }
        return t;
    }
    std::string stopped(std::size_t sent) const
    {
        return "Send cancelled - wavesample L1 now holds an incomplete dump: " + std::to_string(sent) + " of " +
               std::to_string(Total) + " bytes.";
    }
};

TEST_F(WsLongSend, CancelActsWithinHalfASecondAndOtherWindowsClicksQueue)
{
    const long long start = seams().now;
    seams().inputAt(start + 5000, [&] { request(); }); // in the Get window
    seams().inputAt(start + 20000, [&] { QTest::mouseClick(send->bnCancelSend, Qt::LeftButton); });
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);

    const auto sent = seams().sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_GE(untilFirstBox(), 20000);
    EXPECT_LE(untilFirstBox(), 20000 + 500);
    EXPECT_EQ(seams().boxes()[0].text, stopped(sent[1].size())) << "what went out, closed by F7";
    EXPECT_EQ(seams().boxes()[0].caption, "MIDI Wavesample Send");
    EXPECT_EQ(hex(sent[2]), "F0 0F 01 04") << "the click in the Get window, after the send";
    EXPECT_EQ(get->lbPageCount->text(), "32") << seams().lines().back();
    EXPECT_TRUE(send->bnCancelSend->isHidden());
    EXPECT_TRUE(send->bnSendWav->isEnabled());
}

TEST_F(WsLongSend, PortLostIsReportedWithTheBytesThatLeft)
{
    seams().startTimer(10000, [&] { detachEmulator(); }); // the interface unplugged
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
    ASSERT_EQ(seams().boxes().size(), 1u);
    const std::string text = seams().boxes()[0].text;
    const std::string head = "Error - MIDI output port lost - the dump into wavesample L1 was cut short after ";
    ASSERT_TRUE(text.starts_with(head) && text.ends_with(" of " + std::to_string(Total) + " bytes.")) << text;
    const long long left = std::stoll(text.substr(head.size()));
    EXPECT_GE(left, 10000 * TMidiOut::WireSpeed / 1000 - 256);
    EXPECT_LE(left, 10400 * TMidiOut::WireSpeed / 1000);
    EXPECT_EQ(seams().sent().size(), 1u) << "only the selection reached the instrument";
}

TEST_F(WsLongSend, QuittingAsksAndStopsTheSendOnYes)
{
    seams().answers = {BoxAnswer::No, BoxAnswer::Yes};
    seams().inputAt(seams().now + 5000, [&] { form().close(); });
    seams().inputAt(seams().now + 10000, [&] { form().close(); });
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
    EXPECT_TRUE(form().MidiOut1->Using()) << "left only once the send has ended";
    RecordingSeams::deliver();

    const auto boxes = seams().boxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (int i : {0, 1})
        EXPECT_EQ(boxes[i].describe(), "box \"A transfer is running - stop it and quit?\" \"Transfer Running\" yes/no");
    const std::size_t left = seams().sent()[1].size();
    EXPECT_EQ(boxes[2].text, stopped(left));
    EXPECT_GT(left, 9900u * TMidiOut::WireSpeed / 1000) << "No let it go on";
    EXPECT_FALSE(form().MidiOut1->Using()) << "the program has closed its ports";
}

// ---- round trips through the built-in emulator ---------------------------------

TEST_F(WsWindows, WavSentIntoAWavesampleComesBackTheSame)
{
    for (const auto& [n, end] : {std::pair<std::size_t, int>{1000, 3}, {65535, 255}}) {
        pointers(0, end);
        activate(send);
        const Bytes samples = samplesOf(n);
        open(file("trip.wav", wavOf(samples)));
        seams().clear();
        QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
        seams().wait(static_cast<int>(2 * TappedMirage::wireMs(2 * n + 8))); // the answer follows the dump
        ASSERT_EQ(seams().boxes().size(), 1u);
        EXPECT_EQ(seams().boxes()[0].text, "Wavesample Receive - Ack = good");

        activate(get);
        seams().clear();
        request();
        EXPECT_TRUE(seams().boxes().empty()) << n << (seams().boxes().empty() ? "" : seams().boxes()[0].text);
        ASSERT_EQ(get->Data().samples.size(), 256 * static_cast<std::size_t>(end + 1));
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(get->Data().samples[i], samples[i] == 0 ? 1 : samples[i]) << "sample " << i << " of " << n;
    }
}

// An instrument that answers nothing is said to, once the dump has had its
// time on the wire and a request's limit.
TEST_F(WsWindows, AWavSentToASilentMirageSaysThatItWentUnanswered)
{
    pointers(0, 3);
    activate(send);
    open(file("silent.wav", wavOf(samplesOf(1000))));
    device().setBehaviour({true, false, 0});
    seams().clear();
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text.rfind("The Mirage did not answer the wavesample dump into L1 within 3 seconds.", 0), 0u)
        << seams().boxes()[0].text;
    const long long wire = TappedMirage::wireMs(2 * 1000 + 8);
    EXPECT_GE(seams().totalWaited(), wire + form().AnswerLimit.programMs);
    EXPECT_LE(seams().totalWaited(), 30 + wire + form().AnswerLimit.programMs + 50);
    EXPECT_TRUE(send->bnSendWav->isEnabled());
}

// A sample larger than its wavesample is not sent, which the instrument
// would refuse after the whole dump: the user is told both sizes and may
// have the file converted to fit, which then goes in.
TEST_F(WsWindows, ASampleTooBigForItsWavesampleIsNotSentButOfferedConvertedToFit)
{
    pointers(0, 1);
    activate(send);
    open(file("big.wav", wavOf(samplesOf(600))));
    for (const BoxAnswer answer : {BoxAnswer::No, BoxAnswer::Yes}) {
        seams().clear();
        seams().answers = {answer};
        QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
        ASSERT_EQ(seams().boxes().size(), 1u);
        EXPECT_EQ(seams().boxes()[0].text,
                  "This sample needs 03 (Hex) pages; wavesample L1 has 02. The Mirage refuses a dump larger than its "
                  "wavesample, so it was not sent.\n\nConvert the file to fit into 02 (Hex) pages with Import Audio? "
                  "You can listen to it before sending.");
        EXPECT_TRUE(seams().sent().empty());
    }
    EXPECT_EQ(send->Label4->text(), "02") << "converted into the wavesample's pages";
    EXPECT_EQ(send->lbDoesNotFit->text(), "");
    seams().clear();
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
    seams().wait(static_cast<int>(2 * TappedMirage::wireMs(2 * 512 + 8)));
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text, "Wavesample Receive - Ack = good");
    EXPECT_EQ(mirage().counters().wavesamplesRefused, 0);
}

// ---- calculator ----------------------------------------------------------------

TEST_F(WsWindows, CalculatorGivesTheFiguresOfItsExamplesAndSendsNothing)
{
    auto* calc = qobject_cast<TfmWsCalc*>(form().Window("TfmWsCalc"));
    ASSERT_NE(calc, nullptr);
    activate(calc);
    seams().clear();
    auto startPageTo = [&](int w) {
        while (calc->StartPage() != w)
            calc->StartPage() < w ? clickUp(calc->udWsStart) : clickDown(calc->udWsStart);
    };
    const struct {
        int sizeIndex, entry, startPage;
        int entries;
        const char* last;
        Texts shown;
    } table[] = {
        {0, 16, 2, 252, "64256", {"4352", "4608", "02", "12", "12", "13"}},
        {2, 0, 0, 63, "63488", {"1024", "1280", "00", "00", "03", "04"}},
    };
    for (const auto& row : table) {
        calc->cbChosenLoopSize->setCurrentIndex(row.sizeIndex);
        ASSERT_EQ(calc->lbLoopStartChoose->count(), row.entries);
        EXPECT_EQ(calc->lbLoopStartChoose->item(row.entries - 1)->text(), row.last);
        EXPECT_EQ(calc->edWsSize->text(), "XX");
        calc->lbLoopStartChoose->setCurrentRow(row.entry);
        startPageTo(row.startPage);
        EXPECT_EQ(texts(calc->edEOSstartByte, calc->edWsSize, calc->edWsStart, calc->edLoopStartPage,
                        calc->edLoopEndPage, calc->edWsEndPage),
                  row.shown);
    }
    // A change of loop size shows W in decimal; the next click in hex.
    startPageTo(12);
    calc->cbChosenLoopSize->setCurrentIndex(0);
    EXPECT_EQ(calc->edWsStart->text(), "12");
    clickUp(calc->udWsStart);
    EXPECT_EQ(calc->edWsStart->text(), "0D");
    calc->sbData->setValue(256);
    EXPECT_EQ(texts(calc->edHexDisplay, calc->edDecDisplay), (Texts{"100", "256"}));
    EXPECT_TRUE(seams().lines().empty());
    for (const char* item : {"GetfromMirage1", "SendtoMirage1", "Calculator1"})
        EXPECT_TRUE(form().Action(item)->isEnabled()) << item;
}

} // namespace
} // namespace corvane::test
