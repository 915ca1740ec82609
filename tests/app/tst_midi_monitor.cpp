// The MIDI monitor against the emulator, and what the program says when the
// instrument answers nothing, echoes everything or answers late.
#include "ConfigTable.h"
#include "EnvFilter.h"
#include "MidiMonitor.h"
#include "MirageFixture.h"
#include "SoundTransfer.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WsGet.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace corvane::test {
namespace {

using Texts = std::vector<std::string>;

class Monitor : public MirageFixture {
protected:
    TfmMidiMonitor* monitor = nullptr;
    TConfigTableForm* config = nullptr;
    TfmWsGet* get = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        monitor = qobject_cast<TfmMidiMonitor*>(form().Window("TfmMidiMonitor"));
        config = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
        get = qobject_cast<TfmWsGet*>(form().Window("TfmWsGet"));
        ASSERT_TRUE(monitor && config && get);
        monitor->show();
    }
    // "out Configuration dump request" for each shown row from `from` on.
    Texts rows(int from = 0)
    {
        Texts t;
        TMonitorModel& m = monitor->Model();
        for (int r = from; r < m.rowCount(); ++r)
            t.push_back(m.data(m.index(r, TMonitorModel::Direction), Qt::DisplayRole).toString().toStdString() + " " +
                        m.data(m.index(r, TMonitorModel::Meaning), Qt::DisplayRole).toString().toStdString());
        return t;
    }
};

TEST_F(Monitor, RowsSayWhatARefreshAStepAFetchAndABadFrameWere)
{
    int at = monitor->Model().rowCount();
    QTest::mouseClick(config->bnConfigRefresh, Qt::LeftButton);
    EXPECT_EQ(rows(at), (Texts{"out Configuration dump request", "in Configuration dump"}));

    at = monitor->Model().rowCount();
    clickUp(config->UpDownMasterTune);
    EXPECT_EQ(rows(at), (Texts{"out Parameter step: Master Tune up"}));

    fetchDumps(); // the page pointers, which say how long the answer takes
    activate(get);
    at = monitor->Model().rowCount();
    QTest::mouseClick(get->bnReqWs, Qt::LeftButton);
    const Texts fetch = rows(at);
    ASSERT_FALSE(fetch.empty());
    EXPECT_EQ(fetch.front(), "out Wavesample dump request");
    EXPECT_EQ(fetch.back().rfind("in Wavesample dump, ", 0), 0u) << fetch.back();

    // Junk and a frame cut short are listed, never hidden.
    at = monitor->Model().rowCount();
    device().transmit(Message{0x12, 0x34});
    device().transmit(Message{0xF0, 0x0F, 0x01, 0x05, 0x01, 0x02, 0xF7});
    RecordingSeams::deliver();
    EXPECT_EQ(rows(at), (Texts{"in Junk: 2 bytes without a status byte",
                               "in Program dump, lower, 1,255 bytes, cut short: 7 of 1,255 bytes"}));
    const int last = monitor->Model().rowCount() - 1;
    EXPECT_EQ(monitor->Model().data(monitor->Model().index(last, TMonitorModel::Bytes), Qt::DisplayRole).toString(),
              "F0 0F 01 05 01 02 F7");

    // Filters: the inbound rows only, then everything again.
    monitor->ckOut->setChecked(false);
    for (const std::string& row : rows())
        EXPECT_EQ(row.rfind("in ", 0), 0u) << row;
    monitor->ckOut->setChecked(true);

    // Paused, new messages wait; resumed, they are shown.
    QTest::mouseClick(monitor->bnPause, Qt::LeftButton);
    at = monitor->Model().rowCount();
    clickDown(config->UpDownMasterTune);
    EXPECT_EQ(monitor->Model().rowCount(), at);
    QTest::mouseClick(monitor->bnPause, Qt::LeftButton);
    EXPECT_EQ(rows(at), (Texts{"out Parameter step: Master Tune down"}));

    // The port's name shows whole.
    const QString port = monitor->Model().data(monitor->Model().index(0, TMonitorModel::Port), Qt::DisplayRole).toString();
    EXPECT_GT(monitor->tvMessages->columnWidth(TMonitorModel::Port),
              monitor->tvMessages->fontMetrics().horizontalAdvance(port)) << port.toStdString();
}

TEST_F(Monitor, SavedSyxReadsBackAsTheMessagesShown)
{
    QTest::mouseClick(monitor->bnClear, Qt::LeftButton);
    EXPECT_EQ(monitor->Model().rowCount(), 0);
    QTest::mouseClick(config->bnConfigRefresh, Qt::LeftButton);
    const Message dump = mirage().configDump(); // as it came, before the step
    clickUp(config->UpDownMasterTune);
    device().transmit(Message{0x90, 60, 90}); // a note: no place in a .syx file
    RecordingSeams::deliver();
    ASSERT_EQ(rows(), (Texts{"out Configuration dump request", "in Configuration dump",
                             "out Parameter step: Master Tune up", "in Note on C4 vel 90 (ch 1)"}));

    const QString path = configDir() + "/monitor.syx";
    seams().saveAnswers = {path.toStdString()};
    QTest::mouseClick(monitor->bnSaveSyx, Qt::LeftButton);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    Message expected = requestMessage(cmd::ConfigRequest);
    expected.push_back(sysex::End);
    expected.insert(expected.end(), dump.begin(), dump.end());
    Message step = parameterStepMessage(21, true);
    step.push_back(sysex::End);
    expected.insert(expected.end(), step.begin(), step.end());
    EXPECT_EQ(Message(saved.begin(), saved.end()), expected);

    // The selected rows only, as a text log.
    monitor->tvMessages->selectRow(2);
    const QString log = configDir() + "/monitor.txt";
    seams().saveAnswers = {log.toStdString()};
    QTest::mouseClick(monitor->bnSaveLog, Qt::LeftButton);
    QFile l(log);
    ASSERT_TRUE(l.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(l.readAll());
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_TRUE(text.contains("\tout\tMirage (built-in emulator)\t11\tParameter step: Master Tune up\t")) << text.toStdString();
    EXPECT_EQ(monitor->edBytes->toPlainText(), "F0 0F 01 01 0C 02 01 0D 0E 7F F7");
}

TEST_F(Monitor, HistoryKeepsTheNewestAndSaysTheOldestWent)
{
    form().Traffic.setLimits(5, MidiTraffic::DefaultMaxBytes);
    for (int i = 0; i < 8; ++i)
        clickUp(config->UpDownMasterTune);
    EXPECT_EQ(form().Traffic.size(), 5u);
    EXPECT_EQ(monitor->Model().rowCount(), 5);
    EXPECT_TRUE(monitor->lbHistory->text().contains("were dropped to keep within 5 messages or 16 MB"))
        << monitor->lbHistory->text().toStdString();
}

// ---- an instrument that answers nothing, echoes, or answers late ------------------------

class Misbehaving : public Monitor {
protected:
    std::string firstBox()
    {
        const auto boxes = seams().boxes();
        return boxes.empty() ? std::string() : boxes.front().text;
    }
    static bool noAnswer(const std::string& text) { return text.rfind("The Mirage did not answer", 0) == 0; }
};

TEST_F(Misbehaving, EveryMainRequestEndsWithNoAnswerWithinItsBound)
{
    device().setBehaviour({true, false, 0});
    struct Case {
        const char* what;
        long long boundMs;
        std::function<std::string()> run; // the text that ends it
    };
    const Case cases[] = {
        {"Get Configuration", 2000, [&] {
             form().SpeedButton1Click(); // sends, waits for nothing: its answer is looked for later
             seams().wait(2000);
             return firstBox();
         }},
        {"configuration", 2000, [&] {
             activate(config);
             EXPECT_EQ(config->ebMasterTune->text(), "XX") << "no configuration has come";
             EXPECT_EQ(config->edSoftwareVersion->text(), "XX");
             return firstBox();
         }},
        {"program dump", 3000, [&] {
             auto* env = qobject_cast<TEnvelopeForm*>(form().Window("TEnvelopeForm"));
             activate(env);
             EXPECT_EQ(env->edFilterCutoff->text(), "XX") << "no program dump has come";
             return firstBox();
         }},
        {"Request Ws", 3000, [&] {
             activate(get);
             seams().clear();
             QTest::mouseClick(get->bnReqWs, Qt::LeftButton);
             EXPECT_EQ(get->lbPageCount->text(), "no data");
             return firstBox();
         }},
        {"Save Sound", 3100, [&] {
             sound::JobHooks hooks{[&](int ms) { seams().wait(ms); }, [] { return false; },
                                   [](const std::string&, long long, long long) {}};
             return sound::fetchSound(form(), {0}, hooks).text;
         }},
    };
    Texts said;
    for (const Case& c : cases) {
        form().ForgetReceived(); // each as the first request after the ports opened
        seams().clear();
        const long long start = seams().now;
        const std::string text = c.run();
        said.push_back(text);
        EXPECT_TRUE(noAnswer(text)) << c.what << ": " << text;
        // The bound, and the selection an editor makes when activated.
        EXPECT_LE(seams().now - start, c.boundMs + 200) << c.what;
        EXPECT_LE(seams().boxes().size(), 1u) << c.what << ": said once";
    }
    for (const std::string& text : said) {
        EXPECT_NE(text.find("Asked on MIDI Out \"Mirage (built-in emulator)\""), std::string::npos) << text;
        EXPECT_NE(text.find("System Exclusive turned off"), std::string::npos) << text;
    }
}

TEST_F(Misbehaving, AnEchoingInterfaceIsNamedOnceAndEverythingStillWorks)
{
    device().setBehaviour({false, true, 0});
    activate(config);
    QTest::mouseClick(config->bnConfigRefresh, Qt::LeftButton);
    const int tune = mirage().config().field(cfg::MasterTune);
    EXPECT_EQ(config->ebMasterTune->text().toInt(), tune);
    clickUp(config->UpDownMasterTune);
    seams().wait(10); // the step's echo comes back
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), tune + 1);
    EXPECT_EQ(form().GetConfigParam(cfg::MasterTune), tune + 1);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].caption, "MIDI Echo");
    EXPECT_TRUE(form().EchoNoticed());
    // The echoed requests and steps are in the monitor too.
    const Texts all = rows();
    EXPECT_NE(std::find(all.begin(), all.end(), "in Parameter step: Master Tune up (own message, come back)"), all.end());
}

TEST_F(Misbehaving, ABusyInstrumentsLateAnswersAreTaken)
{
    device().setBehaviour({false, false, 150});
    form().ForgetReceived();
    activate(config);
    EXPECT_EQ(config->ebMasterTune->text().toInt(), mirage().config().field(cfg::MasterTune));
    auto* env = qobject_cast<TEnvelopeForm*>(form().Window("TEnvelopeForm"));
    activate(env);
    EXPECT_NE(env->edFilterCutoff->text(), "XX");
    form().sbRefreshULClick();
    for (int i = 0; i < 40; ++i) // the answers are handed over between the timers
        seams().wait(100);
    EXPECT_TRUE(form().Received(MirageProtocol::Arrival::UpperProgram));
    EXPECT_TRUE(seams().boxes().empty()) << firstBox();
}

} // namespace
} // namespace corvane::test
