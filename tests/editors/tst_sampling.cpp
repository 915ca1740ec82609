// "Sampling": the steps and their conversions, the filter cut-off table,
// the frequency, the memory figures and the destination selector.
#include "MirageFixture.h"

#include "Sampling.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <cmath>

namespace corvane::test {
namespace {

class SamplingTest : public MirageFixture {
protected:
    TfmSample* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        // The window edits what the instrument holds: its dumps are read.
        fetchDumps();
        seams().clear();
        win = qobject_cast<TfmSample*>(form().Window("TfmSample"));
        ASSERT_NE(win, nullptr);
    }
    void open()
    {
        activate(win);
        seams().clear();
    }
    int stored(int pos) { return form().GetConfigParam(pos); }
    // Chooses a destination as the user does.
    void choose(int index)
    {
        win->cbSelectWs->setCurrentIndex(index);
        emit win->cbSelectWs->activated(index);
    }
};

TEST_F(SamplingTest, IsRegisteredWithItsMenuItemAndInitialState)
{
    EXPECT_TRUE(form().Action("Sample1")->isEnabled());
    EXPECT_EQ(win->windowTitle(), "Sampling");
    EXPECT_EQ(win->size(), QSize(650, 416));
    EXPECT_EQ(win->edSampleTimeAdjust->text(), "20");
    EXPECT_EQ(win->udSampleTime->Position(), 30);
    EXPECT_EQ(win->udInputFilterFreq->Position(), 50);
    EXPECT_EQ(win->cbSelectWs->count(), 16);
    EXPECT_EQ(win->cbSelectWs->itemText(0), "L1");
    EXPECT_EQ(win->cbSelectWs->itemText(15), "U8");
    for (const char* name : {"Panel1", "Panel2", "Panel3", "lbMultiInstruction", "lbMemPages", "lbMemBytes",
                             "lbSamplingTime", "lbSamplingFrequency", "lbFilterCutoffFreq", "ckMicLine",
                             "cbMultiSampling", "bnRefresh", "bnOK"})
        EXPECT_NE(win->findChild<QWidget*>(name), nullptr) << name;
}

TEST_F(SamplingTest, CutoffTableFollowsSemitonesButForNinetySeven)
{
    EXPECT_EQ(InputFilterCutoffHz(50), 1250);
    EXPECT_EQ(InputFilterCutoffHz(62), 2500);
    EXPECT_EQ(InputFilterCutoffHz(86), 10000);
    EXPECT_EQ(InputFilterCutoffHz(97), 18878);
    EXPECT_EQ(InputFilterCutoffHz(98), 20000);
    EXPECT_EQ(InputFilterCutoffHz(99), 21189);
    EXPECT_EQ(InputFilterCutoffHz(49), 0);
    EXPECT_EQ(InputFilterCutoffHz(100), 0);
    int differ = 0;
    for (int n = 50; n <= 99; ++n) {
        const int formula = static_cast<int>(std::lround(1250.0 * std::pow(2.0, (n - 50) / 12.0)));
        if (formula != InputFilterCutoffHz(n)) {
            ++differ;
            EXPECT_EQ(n, 97);
        }
    }
    EXPECT_EQ(differ, 1);
}

TEST_F(SamplingTest, ActivationAsksForTheWavesampleAndSendsNothingElse)
{
    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(2);
    win->show();
    RecordingSeams::deliver();
    seams().clear();
    win->Activate();
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
    EXPECT_EQ(win->cbSelectWs->currentIndex(), 10);
}

TEST_F(SamplingTest, FilterBelowFiftyDisablesItsUpDownAndShowsError)
{
    form().SetConfigParam(cfg::InputFilter, 98);
    open();
    EXPECT_EQ(win->edInputFilterFreq->text(), "49");
    EXPECT_FALSE(win->udInputFilterFreq->isEnabled());
    EXPECT_EQ(win->lbFilterCutoffFreq->text(), "error");
    clickUp(win->udInputFilterFreq);
    EXPECT_TRUE(seams().sent().empty());

    form().SetConfigParam(cfg::InputFilter, 100);
    open();
    EXPECT_TRUE(win->udInputFilterFreq->isEnabled());
    EXPECT_EQ(win->edInputFilterFreq->text(), "50");
    EXPECT_EQ(win->lbFilterCutoffFreq->text(), "1250");

    // Beyond the table (stored 200 shows 100) there is no cut-off either.
    form().SetConfigParam(cfg::InputFilter, 200);
    open();
    EXPECT_FALSE(win->udInputFilterFreq->isEnabled());
    EXPECT_EQ(win->lbFilterCutoffFreq->text(), "error");
}

TEST_F(SamplingTest, UpDownsStepTheirParametersFromTheStoredValue)
{
    form().SetConfigParam(cfg::SampleTime, 34);
    form().SetConfigParam(cfg::InputFilter, 2 * 96);
    form().SetConfigParam(cfg::Threshold, 2 * 10);
    open();
    clickUp(win->udSampleTime);
    clickUp(win->udInputFilterFreq);
    clickDown(win->udSamplingThresh);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{
                                   "sent F0 0F 01 01 0C 07 03 0D 0E 7F",
                                   "sent F0 0F 01 01 0C 07 04 0D 0E 7F",
                                   "sent F0 0F 01 01 0C 07 06 0D 0F 7F",
                               }));
    EXPECT_EQ(stored(cfg::SampleTime), 35);
    EXPECT_EQ(win->edSampleTimeAdjust->text(), "35");
    EXPECT_EQ(win->lbSamplingFrequency->text(), "28571");
    EXPECT_EQ(win->lbSamplingTime->text(), "2.29"); // 35 * 65536 div 10000 = 229
    EXPECT_EQ(stored(cfg::InputFilter), 194);
    EXPECT_EQ(win->edInputFilterFreq->text(), "97");
    EXPECT_EQ(win->lbFilterCutoffFreq->text(), "18878");
    EXPECT_EQ(stored(cfg::Threshold), 18);
    EXPECT_EQ(win->edSamplingThresh->text(), "9");
}

TEST_F(SamplingTest, NothingIsSentOrStoredAtTheEndsOfEveryRange)
{
    struct End {
        TUpDown* ud;
        int pos;
        int storedAtMin;
        int storedAtMax;
    };
    const End ends[] = {
        {win->udSampleTime, cfg::SampleTime, 30, 99},
        {win->udInputFilterFreq, cfg::InputFilter, 100, 198},
        {win->udSamplingThresh, cfg::Threshold, 0, 126},
    };
    for (const End& e : ends)
        expectRangeEnds(win, e.ud, configField(e.pos), e.storedAtMin, e.storedAtMax);
}

TEST_F(SamplingTest, FrequencyAndDurationOfTheSampleTime)
{
    form().SetConfigParam(cfg::SampleTime, 34);
    open();
    EXPECT_EQ(win->lbSamplingFrequency->text(), "29411");
    EXPECT_EQ(win->lbMemPages->text(), "256");
    EXPECT_EQ(win->lbMemBytes->text(), "65536");
    EXPECT_EQ(win->lbSamplingTime->text(), "2.22");
    EXPECT_EQ(win->lbMultiInstruction->text(),
              "Takes a single sample over half the keyboard using all 65536 bytes. Unity playback is on E for "
              "lower, A for upper only when sampled at 29.4kHz.");
    EXPECT_FALSE(win->cbSelectWs->isEnabled());

    // A stored time of 0 leaves the frequency as it was.
    form().SetConfigParam(cfg::SampleTime, 0);
    open();
    EXPECT_EQ(win->edSampleTimeAdjust->text(), "0");
    EXPECT_EQ(win->lbSamplingFrequency->text(), "29411");
    EXPECT_EQ(win->lbSamplingTime->text(), "0");
}

TEST_F(SamplingTest, MultisamplingFillsTheDestinationsPages)
{
    form().SetConfigParam(cfg::SampleTime, 34);
    form().SetUpperParam(wavesampleFieldPos(1, wsf::StartPage), 0x40);
    form().SetUpperParam(wavesampleFieldPos(1, wsf::EndPage), 0x7F);
    open();
    ASSERT_FALSE(win->cbMultiSampling->isChecked());
    clickBox(win->cbMultiSampling);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 07 07 0D 0E 7F"});
    EXPECT_EQ(form().ConfigDump[cfg::Multisampling], 1);
    EXPECT_TRUE(win->cbSelectWs->isEnabled());
    EXPECT_EQ(win->lbMultiInstruction->text(),
              "Fills memory of current wavesample according to the memory pointers.");

    seams().clear();
    choose(9); // U2
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 14 02 7F", "wait 30"}));
    EXPECT_EQ(win->Pages(), 64);
    EXPECT_EQ(win->lbMemPages->text(), "64");
    EXPECT_EQ(win->lbMemBytes->text(), "16384");
    EXPECT_EQ(win->lbSamplingTime->text(), "0.55"); // 34 * 16384 div 10000 = 55

    // The sample time follows the destination's pages.
    clickUp(win->udSampleTime);
    EXPECT_EQ(win->lbSamplingTime->text(), "0.57"); // 35 * 16384 div 10000 = 57

    // Switching off goes back to the whole half.
    seams().clear();
    clickBox(win->cbMultiSampling);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 07 07 0D 0F 7F"});
    EXPECT_EQ(form().ConfigDump[cfg::Multisampling], 0);
    EXPECT_EQ(win->lbMemPages->text(), "256");
    EXPECT_FALSE(win->cbSelectWs->isEnabled());
}

TEST_F(SamplingTest, AnotherMultisamplingByteKeepsTheMemoryDisplay)
{
    form().SetLowerParam(wavesampleFieldPos(0, wsf::StartPage), 0);
    form().SetLowerParam(wavesampleFieldPos(0, wsf::EndPage), 9);
    form().ConfigDump[cfg::Multisampling] = 1;
    open();
    choose(0);
    ASSERT_EQ(win->lbMemPages->text(), "10");
    ASSERT_TRUE(win->cbMultiSampling->isChecked());
    form().ConfigDump[cfg::Multisampling] = 5;
    open();
    EXPECT_EQ(win->lbMemPages->text(), "10");
    EXPECT_TRUE(win->cbSelectWs->isEnabled());
    EXPECT_TRUE(win->cbMultiSampling->isChecked());
}

TEST_F(SamplingTest, LineInputSwitchesOnAndOff)
{
    form().SetConfigParam(cfg::LineInput, 1);
    open();
    ASSERT_TRUE(win->ckMicLine->isChecked());
    clickBox(win->ckMicLine);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 07 05 0D 0F 7F"});
    EXPECT_EQ(stored(cfg::LineInput), 0);
    // A press released elsewhere does nothing at all.
    seams().clear();
    QTest::mousePress(win->ckMicLine, Qt::LeftButton, {}, QPoint(6, 10));
    QTest::mouseRelease(win->ckMicLine, Qt::LeftButton, {}, QPoint(400, 300));
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(stored(cfg::LineInput), 0);
    EXPECT_FALSE(win->ckMicLine->isChecked());
}

TEST_F(SamplingTest, RefreshRequestsTheDumpWaitsAndRedisplays)
{
    open();
    mirage().config().setField(cfg::SampleTime, 50);
    mirage().config().setField(cfg::InputFilter, 2 * 60);
    QTest::mouseClick(win->bnRefresh, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 00 7F", "wait 60"}));
    EXPECT_EQ(win->edSampleTimeAdjust->text(), "50");
    EXPECT_EQ(win->lbSamplingFrequency->text(), "20000");
    EXPECT_EQ(win->lbFilterCutoffFreq->text(), "2227");
    EXPECT_EQ(win->udSampleTime->Position(), 50);
}

} // namespace
} // namespace corvane::test
