// Audio files of other formats in the transfer windows: a sine made by sox
// imported, shown, played, sent into the built-in emulator and asked back;
// exported as FLAC; refused, cancelled and too-long imports leaving nothing
// to send; the loop's pointers from the destination's start page.
#include "MirageFixture.h"

#include "AudioConvert.h"
#include "Dumps.h"
#include "PlayerPanel.h"
#include "QtSeams.h"
#include "SendDump.h"
#include "WaveView.h"
#include "WsGet.h"
#include "WsAudio.h"
#include "WsSend.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <fstream>

namespace corvane::test {
namespace {

class WsAudio : public MirageFixture {
protected:
    QTemporaryDir files;
    TfmWsSend* send = nullptr;
    TfmWsGet* get = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        MirageFixture::SetUp();
        send = qobject_cast<TfmWsSend*>(form().Window("TfmWsSend"));
        get = qobject_cast<TfmWsGet*>(form().Window("TfmWsGet"));
        ASSERT_NE(send, nullptr);
        ASSERT_NE(get, nullptr);
    }
    std::string path(const char* name) const { return files.filePath(name).toStdString(); }
    // A 440 Hz sine at half full scale, made by sox.
    std::string sine(const char* name, const char* format, int seconds = 1)
    {
        const std::string command = std::string(CORVANE_SOX) + " -n " + format + " " + path(name) + " synth " +
                                    std::to_string(seconds) + " sine 440 gain -6 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return path(name);
    }
    void import(const std::string& file)
    {
        seams().fileAnswers.push_back(file);
        QTest::mouseClick(send->bnImportAudio, Qt::LeftButton);
    }
    // Gives L1 pages start..end on the instrument, and lets the program know.
    void pointers(int start, int end)
    {
        auto& ws = mirage().half(0).wavesamples[0];
        ws.setField(wsf::StartPage, start);
        ws.setField(wsf::EndPage, end);
        fetchDumps();
    }
    std::vector<std::string> figures() const
    {
        return {send->Label1->text().toStdString(), send->Label4->text().toStdString(),
                send->lbWavPercent->text().toStdString(), send->Label6->text().toStdString()};
    }
};

TEST_F(WsAudio, ImportedSineIsShownPlayedSentAndComesBackToExport)
{
    const std::string file = sine("sine.wav", "-r 44100 -c 2 -b 16");
    pointers(0, 114); // 115 pages
    activate(send);
    EXPECT_EQ(send->edImportRate->value(), 29411);
    seams().clear();
    import(file);

    EXPECT_EQ(seams().filters.back(), TfmWsSend::AudioFilter);
    EXPECT_TRUE(seams().boxes().empty());
    EXPECT_EQ(figures(), (std::vector<std::string>{"29440", "73", "44", "0"})); // 115 pages
    EXPECT_TRUE(send->bnSendWav->isEnabled());
    EXPECT_TRUE(send->lbSourceFormat->text().contains("stereo, 44100 Hz, 1.000 s")) << send->lbSourceFormat->text().toStdString();
    EXPECT_TRUE(send->lbResultLength->text().startsWith("Converted: 29411 samples")) << send->lbResultLength->text().toStdString();
    // The same dump as the converted bytes would give from a WAV file.
    const audio::Conversion direct = audio::importAudio(file);
    ASSERT_TRUE(send->Dump());
    EXPECT_EQ(send->Dump()->message, wav::buildSendDump(direct.samples)->message);
    EXPECT_EQ(send->pbWaveform->Samples(), direct.samples);
    QTest::mouseClick(send->bnPlay, Qt::LeftButton);
    ASSERT_EQ(seams().played.size(), 1u);
    EXPECT_EQ(seams().played[0].samples, direct.samples) << "the player plays what is sent";
    EXPECT_EQ(seams().played[0].rate, 29411);
    EXPECT_EQ(seams().played[0].loop, std::nullopt);
    EXPECT_FALSE(send->MediaPlayer1->cbPlayLoop->isEnabled()) << "no loop to repeat";

    seams().clear();
    QTest::mouseClick(send->bnSendWav, Qt::LeftButton);
    seams().wait(2 * TappedMirage::wireMs(2 * 29440 + 8));
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text, "Wavesample Receive - Ack = good");
    activate(get);
    QTest::mouseClick(get->bnReqWs, Qt::LeftButton);
    EXPECT_EQ(get->Data().samples, direct.samples);

    ASSERT_TRUE(get->bnExportAudio->isEnabled());
    get->cbExportFormat->setCurrentIndex(5); // FLAC 24-bit
    get->cbExportRate->setCurrentIndex(2);   // 48000 Hz
    seams().saveAnswers.push_back(path("back.flac"));
    QTest::mouseClick(get->bnExportAudio, Qt::LeftButton);
    EXPECT_EQ(seams().saveSuggestions.back(), "test.flac");
    EXPECT_EQ(seams().filters.back(), "FLAC files|*.flac");
    const audio::Conversion back = audio::importAudio(path("back.flac"), {.rate = 48000});
    ASSERT_TRUE(back.ok()) << back.text();
    EXPECT_EQ(back.source.rate, 48000);
    EXPECT_EQ(back.source.encoding, "Signed 24 bit PCM");
    EXPECT_NEAR(static_cast<double>(back.source.frames), 29440 * 48000.0 / 29411, 2);
}

TEST_F(WsAudio, RefusedCancelledOrTooLongImportLeavesNothingToSend)
{
    const std::string good = sine("good.flac", "-r 48000 -c 1 -b 24");
    const std::string longer = sine("long.wav", "-r 44100 -c 2 -b 16", 3);
    const std::string text = path("words.wav");
    std::ofstream(text) << "These are words, not sound.\n";
    const struct {
        std::string file;
        bool loop;
        bool cancel; // Cancel clicked while the conversion runs
        const char* message;
    } rows[] = {
        {text, false, false, "Error - Audio format detect fail - unsupported file type."},
        {longer, true, false, "Error - Loop ends past the wavesample memory - too long."},
        {"", false, false, nullptr},    // the dialog cancelled
        {longer, false, true, nullptr}, // the conversion cancelled
    };
    activate(send);
    for (const auto& row : rows) {
        send->cbLoop->setChecked(false);
        import(good);
        ASSERT_TRUE(send->bnSendWav->isEnabled());
        seams().clear();
        send->cbLoop->setChecked(row.loop);
        send->edLoopStart->setValue(2.2);
        send->edLoopLength->setValue(0.1);
        if (row.cancel)
            QTimer::singleShot(0, send->bnCancelAudio, [this] {
                EXPECT_FALSE(send->bnCancelAudio->isHidden());
                EXPECT_FALSE(send->bnImportAudio->isEnabled());
                QTest::mouseClick(send->bnCancelAudio, Qt::LeftButton);
            });
        import(row.file);
        SCOPED_TRACE(row.file + (row.cancel ? " cancelled" : ""));
        if (row.message)
            EXPECT_EQ(seams().lines(), std::vector<std::string>{std::string("box \"") + row.message +
                                                                "\" \"Audio Import\""});
        else
            EXPECT_TRUE(seams().lines().empty());
        for (const QLabel* l : {send->Label1, send->Label4, send->Label6})
            EXPECT_EQ(l->text(), "ERROR");
        EXPECT_FALSE(send->bnSendWav->isEnabled());
        EXPECT_FALSE(send->Dump());
        EXPECT_FALSE(send->bnPlay->isEnabled());
        EXPECT_TRUE(send->pbWaveform->Samples().empty());
        EXPECT_TRUE(send->ProgressBar1->isHidden());
        EXPECT_TRUE(send->bnCancelAudio->isHidden());
        EXPECT_TRUE(send->bnImportAudio->isEnabled());
    }
}

// At the lowest rate the head of a long file takes its time to convert: the
// window keeps answering meanwhile, the bar moves, and Cancel stops it there.
TEST_F(WsAudio, CancelStopsAnImportUnderWayWhileTheBarMoves)
{
    const std::string file = sine("minute.wav", "-r 44100 -c 2 -b 16", 70);
    activate(send);
    send->edImportRate->setValue(1000);
    int seen = 0; // the bar's value when Cancel was clicked
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const int v = send->ProgressBar1->value();
        if (seen == 0 && v > 0 && !send->bnCancelAudio->isHidden()) {
            seen = v;
            QTest::mouseClick(send->bnCancelAudio, Qt::LeftButton);
        }
    });
    watch.start(5);
    seams().clear();
    import(file);
    EXPECT_GT(seen, 0);
    EXPECT_LT(seen, AudioProgress::Steps) << "clicked before the end";
    EXPECT_TRUE(seams().lines().empty()) << "no box for a cancelled import";
    EXPECT_FALSE(send->Dump());
    EXPECT_FALSE(send->Converted());
    EXPECT_TRUE(send->bnImportAudio->isEnabled());
}

TEST_F(WsAudio, LoopPointersCountFromTheDestinationAndTheRateFollowsTheSampleTime)
{
    const std::string file = sine("sine.aiff", "-r 44100 -c 1 -b 16");
    pointers(2, 100);
    activate(send);
    send->cbLoop->setChecked(true);
    send->cbLoopUnit->setCurrentIndex(1); // samples
    send->edLoopStart->setValue(22050);   // 0.5 s
    send->edLoopLength->setValue(1024);
    import(file);
    EXPECT_EQ(send->lbLoopPointers->text(), "Loop bytes 14592 to 15359. Pointers: 02 3B 3D 3E (Hex)");
    EXPECT_EQ(figures()[0], "15616") << "up to the page for the marker after the loop";
    QTest::mouseClick(send->bnPlay, Qt::LeftButton);
    ASSERT_EQ(seams().played.size(), 1u);
    EXPECT_EQ(seams().played[0].loop, (SoundLoop{14592, 15360}));

    mirage().config().setField(cfg::SampleTime, 50);
    fetchDumps();
    activate(send);
    EXPECT_EQ(send->edImportRate->value(), 20000);
    activate(get);
    EXPECT_EQ(get->cbExportRate->itemText(0).toStdString(), "Ws rate (20000 Hz)");
    send->edImportRate->setValue(32000); // the user's choice stays
    mirage().config().setField(cfg::SampleTime, 34);
    fetchDumps();
    activate(send);
    EXPECT_EQ(send->edImportRate->value(), 32000);
}

// The program's own audio output behind the windows, on whatever this
// computer has (on CI: no sound server, no device): each window plays, or
// says "No audio output" and why, and nothing raises a box or crashes.
TEST_F(WsAudio, TheRealAudioOutputPlaysOrSaysWhyNotWithoutABox)
{
    QtSeams real;
    // "Make Into Wav" writes into the working folder.
    struct Detach {
        RecordingSeams& s;
        QString dir = QDir::currentPath();
        ~Detach()
        {
            s.realAudio = nullptr;
            QDir::setCurrent(dir);
        }
    } detach{seams()};
    seams().realAudio = &real;
    QDir::setCurrent(files.path());
    const std::string problem = real.audioOutputProblem();
    // The output module itself loads; only the machine may lack a device.
    EXPECT_EQ(problem.find("could not be loaded"), std::string::npos) << problem;
    const std::string file = sine("sine.flac", "-r 44100 -c 1 -b 16");
    seams().saveAnswers.push_back(path("out.wav"));
    seams().clear();

    const auto playAndStop = [&](TPlayerPanel* player, auto play, auto stop) {
        EXPECT_EQ(player->bnPlay->isEnabled(), problem.empty());
        EXPECT_EQ(player->lbNoOutput->isHidden(), problem.empty());
        EXPECT_EQ(player->bnPlay->toolTip().toStdString(), problem.empty() ? "Play" : problem);
        QTest::mouseClick(player->bnPlay, Qt::LeftButton);
        play(); // as the button does, also where it is disabled
        QTest::qWait(100);
        QTest::mouseClick(player->bnStop, Qt::LeftButton);
        stop();
        EXPECT_EQ(player->lbNoOutput->isHidden(), problem.empty());
    };
    activate(get);
    QTest::mouseClick(get->bnReqWs, Qt::LeftButton);
    QTest::mouseClick(get->bnMakeIntoWav, Qt::LeftButton);
    playAndStop(get->MediaPlayer1, [this] { get->bnPlayClick(); }, [this] { get->bnStopClick(); });
    activate(send);
    send->cbLoop->setChecked(true);
    send->edLoopStart->setValue(0.5);
    send->edLoopLength->setValue(0.1);
    import(file);
    playAndStop(send->MediaPlayer1, [this] { send->bnPlayClick(); }, [this] { send->bnStopClick(); });
    QTest::mouseClick(get->bnExportAudio, Qt::LeftButton);

    EXPECT_TRUE(seams().boxes().empty());
    EXPECT_GE(seams().played.size(), 2u);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("out.wav"))).size() > 0);
}

} // namespace
} // namespace corvane::test
