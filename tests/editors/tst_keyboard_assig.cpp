// "Keyboard Assignment" with its naming dialog, and the wavesample info
// dialog: the walk that gives each wavesample its keys, the mix mode pairs,
// the row of the current half, the steps and what they send, values from a
// dump outside the controls' ranges, names, and the figures of the info.
#include "MirageFixture.h"

#include "KeyboardAssig.h"
#include "NameLabel.h"
#include "NameSample.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WsInfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <map>

namespace corvane::test {
namespace {

using Spans = std::array<KeySpan, 16>;
using Lines = std::vector<std::string>;

TEST(KeySpanWalk, EachWavesampleTakesTheKeysAboveTheLastOneDrawn)
{
    auto top = [](std::array<int, 8> lower, std::array<int, 8> upper) {
        std::array<int, 16> k{};
        std::copy(lower.begin(), lower.end(), k.begin());
        std::copy(upper.begin(), upper.end(), k.begin() + 8);
        return k;
    };
    auto only = [](const std::map<int, KeySpan>& drawn) {
        Spans s{};
        for (const auto& [k, span] : drawn)
            s[static_cast<std::size_t>(k)] = span;
        return s;
    };
    const std::array<int, 8> low = {10, 20, 20, 30, 5, 15, 25, 30};
    const std::array<int, 8> up30 = {30, 30, 30, 30, 30, 30, 30, 30};
    const Spans lowDrawn = only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}});
    struct Case {
        const char* name;
        std::array<int, 16> top;
        int lower, upper;
        Spans expected;
    } cases[] = {
        {"initial L1: L3 and L5-L8 unreachable", top(low, up30), 0, 0, lowDrawn},
        {"initial L3: L1, L2 empty whatever their keys", top({50, 60, 10, 20, 30, 30, 30, 30}, up30), 2, 0,
         only({{2, {88, 70}}, {3, {158, 70}}, {4, {228, 70}}})},
        {"initial U4 goes on from the last lower span", top(low, {61, 61, 61, 40, 50, 45, 61, 61}), 0, 3,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}, {11, {298, 70}}, {12, {368, 70}}, {14, {438, 77}}})},
        {"initial U4 below the last lower key stays empty", top(low, {61, 61, 61, 25, 50, 45, 61, 61}), 0, 3,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}, {12, {298, 140}}, {14, {438, 77}}})},
        {"a lower initial beyond L8 draws no lower span", top(low, {12, 30, 30, 30, 30, 30, 30, 30}), 8, 0,
         only({{8, {88, 84}}, {9, {172, 126}}})},
        {"an upper initial beyond U8 draws no upper span", top(low, up30), 0, 255, lowDrawn},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keySpans(c.top, c.lower, c.upper), c.expected) << c.name;
}

class KeyboardAssigTest : public MirageFixture {
protected:
    TKeyboardAssig* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        win = qobject_cast<TKeyboardAssig*>(form().Window("TKeyboardAssig"));
        ASSERT_NE(win, nullptr);
        for (int h = 0; h < 2; ++h) // mix mode off: activation has nothing to send
            for (int p = 0; p < 4; ++p)
                setProgram(h, p, pgf::MixModeSwitch, 0);
    }
    void open()
    {
        activate(win);
        seams().clear();
    }
    void setTop(int half, int w, int stored) { form().SetParam(half, wavesampleFieldPos(w, wsf::TopKey), stored); }
    int top(int half, int w) { return form().GetParam(half, wavesampleFieldPos(w, wsf::TopKey)); }
    void setProgram(int half, int p, int offset, int v) { form().SetParam(half, programFieldPos(p, offset), v); }
    int program(int half, int p, int offset) { return form().GetParam(half, programFieldPos(p, offset)); }
    std::vector<int> barWidths()
    {
        std::vector<int> w;
        for (int k = 0; k < 8; ++k)
            w.push_back(win->Spreads[static_cast<std::size_t>(k)]->width());
        return w;
    }
};

TEST_F(KeyboardAssigTest, MixModePairsTheBarsInTheWindowsCopyOnly)
{
    const int tops[8] = {9, 19, 29, 39, 49, 54, 57, 60};
    for (int w = 0; w < 8; ++w)
        setTop(0, w, tops[w]);
    setProgram(0, 0, pgf::InitialWavesample, 0);
    setProgram(0, 0, pgf::MixModeSwitch, 1);
    open();
    EXPECT_EQ(barWidths(), (std::vector<int>{70, 70, 210, 210, 350, 350, 406, 406}));
    EXPECT_EQ(top(0, 1), 19) << "the dump keeps its own top keys";
    EXPECT_EQ(win->KeySpans[1]->width(), 0) << "L2 plays with L1";
    EXPECT_EQ(win->KeySpans[2]->geometry(), QRect(158, 247, 140, 10));

    clickBox(win->cbMixModeSwitch);
    EXPECT_EQ(seams().lines(), Lines{"sent F0 0F 01 01 0C 02 08 0D 0F 7F"});
    EXPECT_EQ(program(0, 0, pgf::MixModeSwitch), 0);
    EXPECT_EQ(barWidths(), (std::vector<int>{70, 140, 210, 280, 350, 385, 406, 427}));
}

TEST_F(KeyboardAssigTest, OnlyTheCurrentHalfsRowIsEnabled)
{
    const std::vector<QWidget*> rows[2] = {
        {win->edWsSelect, win->udWsSelect, win->edTopKey, win->udTopKey, win->edInitWavesampleL,
         win->udInitWavesampleL, win->cbMixModeSwitch},
        {win->edWsSelectU, win->udWsSelectU, win->edTopKeyU, win->udTopKeyU, win->edInitWavesampleU,
         win->udInitWavesampleU, win->cbMixModeSwU}};
    for (int half : {0, 1}) {
        form().SetCurrentHalf(half);
        open();
        for (int h : {0, 1})
            for (QWidget* w : rows[h])
                EXPECT_EQ(w->isEnabled(), h == half) << w->objectName().toStdString() << " half " << half;
        for (QWidget* w : std::vector<QWidget*>{win->SpeedButton1, win->SpeedButton8, win->bnRefresh, win->bnOK})
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
}

TEST_F(KeyboardAssigTest, StepsSendTheirKeysAndMirrorTheDump)
{
    setTop(0, 2, 30);
    setProgram(0, 0, pgf::InitialWavesample, 1);
    open();
    clickUp(win->udWsSelect);
    clickUp(win->udWsSelect);
    clickUp(win->udTopKey);
    clickDown(win->udInitWavesampleL);
    clickBox(win->cbMixModeSwitch);
    EXPECT_EQ(seams().lines(), (Lines{"sent F0 0F 01 01 15 02 7F", "wait 30", "sent F0 0F 01 01 15 03 7F", "wait 30",
                                      "sent F0 0F 01 01 07 02 0D 0E 7F", "sent F0 0F 01 01 02 07 0D 0F 7F",
                                      "sent F0 0F 01 01 0C 02 08 0D 0E 7F"}));
    EXPECT_EQ(top(0, 2), 31);
    EXPECT_EQ(win->edTopKey->text(), "32");
    EXPECT_EQ(win->Spreads[2]->width(), 32 * 7);
    EXPECT_EQ(program(0, 0, pgf::InitialWavesample), 0);
    EXPECT_EQ(program(0, 0, pgf::MixModeSwitch), 1);

    // Another window has selected a wavesample of its own: the next top key
    // step gives the instrument this row's wavesample first.
    form().SelectWavesample(12);
    seams().clear();
    clickDown(win->udTopKey);
    EXPECT_EQ(seams().lines(), (Lines{"sent F0 0F 01 01 15 03 7F", "wait 30", "sent F0 0F 01 01 07 02 0D 0F 7F"}));
    EXPECT_EQ(top(0, 2), 30);
}

TEST_F(KeyboardAssigTest, ProgramButtonsMoveTheRowRefreshBeepsAndDeactivationCloses)
{
    setProgram(1, 1, pgf::InitialWavesample, 5);
    form().SetCurrentHalf(0);
    open();
    QTest::mouseClick(win->SpeedButton6, Qt::LeftButton);
    EXPECT_EQ(mirage().currentHalf(), 1);
    EXPECT_EQ(mirage().currentProgram(1), 1);
    EXPECT_TRUE(win->udInitWavesampleU->isEnabled());
    EXPECT_EQ(win->edInitWavesampleU->text(), "6");

    seams().clear();
    QTest::mouseClick(win->bnRefreshLower, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (Lines{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
    QEvent away(QEvent::WindowDeactivate);
    QApplication::sendEvent(win, &away);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !win->isVisible(); })); // once the event loop turns
}

TEST_F(KeyboardAssigTest, ActivationSendsTheDumpsMixModeForTheCurrentHalfOnlyAndReportsABadProgram)
{
    setProgram(0, 0, pgf::MixModeSwitch, 1);
    setProgram(1, 0, pgf::MixModeSwitch, 1);
    form().SetCurrentHalf(0);
    seams().clear();
    activate(win);
    // The upper box changes too, but the message would reach the lower program.
    EXPECT_EQ(seams().sent(), std::vector<Message>{parameterStepMessage(28, true)});
    EXPECT_TRUE(win->cbMixModeSwU->isChecked());

    form().CurrentLowerProgram = 4;
    form().CurrentUpperProgram = -1;
    seams().clear();
    activate(win);
    EXPECT_EQ(seams().lines(), (Lines{"box \"Program Error\" \"Lower Program is not 0, 1, 2 or 3\"",
                                      "box \"Program Error\" \"Upper Program is not 0, 1, 2 or 3\""}));
    EXPECT_EQ(win->Program(0), 0) << "the window keeps its program";
}

TEST_F(KeyboardAssigTest, ValuesOutsideTheRangesAreShownAndOnlyStepBackIn)
{
    setProgram(0, 0, pgf::InitialWavesample, 9);
    setTop(0, 0, 70);
    open();
    EXPECT_EQ(win->edInitWavesampleL->text(), "10");
    EXPECT_EQ(win->edTopKey->text(), "71");
    EXPECT_EQ(win->Spreads[0]->width(), 427) << "a bar ends with the keyboard";
    for (std::size_t k = 0; k < 8; ++k)
        EXPECT_EQ(win->KeySpans[k]->width(), 0) << "no lower walk from wavesample 10";
    clickUp(win->udInitWavesampleL);
    clickUp(win->udTopKey);
    EXPECT_TRUE(seams().sent().empty());
    clickDown(win->udInitWavesampleL);
    clickDown(win->udTopKey);
    EXPECT_EQ(seams().sent().size(), 2u);
    EXPECT_EQ(program(0, 0, pgf::InitialWavesample), 8);
    EXPECT_EQ(top(0, 0), 69);

}

TEST_F(KeyboardAssigTest, ADoubleClickedNameTakesAtMostEightCharactersAndShowsAtTheNextActivation)
{
    auto* dlg = qobject_cast<TfmNameSample*>(form().Window("TfmNameSample"));
    ASSERT_NE(dlg, nullptr);
    form().WavesampleNames[10] = "Strings";
    open();
    QTest::mouseDClick(win->SampleNames[10], Qt::LeftButton);
    activate(dlg);
    EXPECT_EQ(form().NameSampleIndex, 10);
    EXPECT_EQ(dlg->edSampleName->text(), "Strings");
    dlg->edSampleName->clear();
    QTest::keyClicks(dlg->edSampleName, "Bassoon12345");
    QTest::mouseClick(dlg->bnOK, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[10], "Bassoon1");
    open();
    EXPECT_EQ(win->SampleNames[10]->text(), "Bassoon1");

    activate(dlg);
    dlg->edSampleName->clear();
    QTest::mouseClick(dlg->bnCancel, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[10], "Bassoon1");
    EXPECT_TRUE(seams().sent().empty()) << "naming sends nothing";
}

TEST_F(KeyboardAssigTest, InfoFiguresComeFromThePointersOfTheWavesampleTheInstrumentNames)
{
    auto* info = qobject_cast<TfmWsInfo*>(form().Window("TfmWsInfo"));
    ASSERT_NE(info, nullptr);
    struct Case {
        int half, w, start, end, loopStart, loopEnd, fine;
        std::vector<QString> expected;
    } cases[] = {
        {0, 2, 0x00, 0xFF, 0x10, 0x13, 0xFF, {"Lower 3", "100", "256", "65536", "100", "400", "1024"}},
        {1, 7, 0x40, 0x47, 0x44, 0x44, 0x0F, {"Upper 8", "08", "8", "2048", "3", "10", "16"}},
        {0, 0, 0x20, 0x3F, 0x13, 0x10, 0x00, {"Lower 1", "20", "32", "8192", "12", "-2FF", "-767"}},
        // A status reply naming wavesample 9 (below): no pointers to show.
        {0, 1, 0x00, 0xFF, 0x10, 0x13, 0xFF, {"Lower 9", "no data", "no data", "no data", "no data", "no data",
                                              "no data"}},
    };
    for (const Case& c : cases) {
        auto& ws = mirage().half(c.half).wavesamples[static_cast<std::size_t>(c.w)];
        for (auto [offset, v] : {std::pair{wsf::StartPage, c.start}, {wsf::EndPage, c.end},
                                 {wsf::LoopStart, c.loopStart}, {wsf::LoopEnd, c.loopEnd}, {wsf::LoopEndFine, c.fine}})
            ws.setField(offset, v);
        mirage().setCurrentHalf(c.half);
        mirage().setCurrentWavesample(c.w);
        fetchDumps();
        seams().clear();
        if (c.expected[0] == "Lower 9")
            seams().startTimer(90, [this] { // after the instrument's own reply
                RecordingSeams::deliver();
                const std::uint8_t status[] = {0xF0, 0x0F, 0x01, cmd::StatusHalfWavesample, 0x08, 0xF7};
                form().MidiIn1SysEx(status, sizeof status);
            });
        activate(info);
        EXPECT_EQ(seams().lines(), (Lines{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
        std::vector<QString> shown;
        for (QLabel* l : {info->lbWsNumber, info->lbWsSizeHex, info->lbWsSizeDec, info->lbWsSizeBytes,
                          info->lbMemUse, info->lbLoopSizeHex, info->lbLoopSizeDec})
            shown.push_back(l->text());
        EXPECT_EQ(shown, c.expected) << c.expected[0].toStdString();
        QTest::mouseClick(info->Button1, Qt::LeftButton);
        EXPECT_FALSE(info->isVisible());
    }
}

} // namespace
} // namespace corvane::test
