// "Keyboard Assignment": the walk that gives each wavesample its keys, the
// mix mode pairs, the row of the current half, the steps and what they send,
// values from a dump outside the controls' ranges, and naming.
#include "MirageFixture.h"

#include "KeyboardAssig.h"
#include "NameLabel.h"
#include "NameSample.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <map>

namespace corvane::test {
namespace {

using Spans = std::array<KeySpan, 16>;

// All spans empty but the ones listed.
Spans only(const std::map<int, KeySpan>& drawn)
{
    Spans s{};
    for (const auto& [k, span] : drawn)
        s[static_cast<std::size_t>(k)] = span;
    return s;
}

std::array<int, 16> keys(std::array<int, 8> lower, std::array<int, 8> upper)
{
    std::array<int, 16> k{};
    std::copy(lower.begin(), lower.end(), k.begin());
    std::copy(upper.begin(), upper.end(), k.begin() + 8);
    return k;
}

TEST(KeySpanWalk, EachWavesampleTakesTheKeysAboveTheLastOneDrawn)
{
    const std::array<int, 8> low = {10, 20, 20, 30, 5, 15, 25, 30};
    const std::array<int, 8> upAll30 = {30, 30, 30, 30, 30, 30, 30, 30};
    struct Case {
        const char* name;
        std::array<int, 16> top;
        int lower, upper;
        Spans expected;
    } cases[] = {
        {"initial L1: L3 and L5-L8 unreachable", keys(low, upAll30), 0, 0,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}})},
        {"initial L3: L1 and L2 empty whatever their keys", keys({50, 60, 10, 20, 30, 30, 30, 30}, upAll30), 2, 0,
         only({{2, {88, 70}}, {3, {158, 70}}, {4, {228, 70}}})},
        {"initial U4 goes on from the last lower span", keys(low, {61, 61, 61, 40, 50, 45, 61, 61}), 0, 3,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}, {11, {298, 70}}, {12, {368, 70}}, {14, {438, 77}}})},
        {"initial U4 below the last lower key stays empty", keys(low, {61, 61, 61, 25, 50, 45, 61, 61}), 0, 3,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}, {12, {298, 140}}, {14, {438, 77}}})},
        {"a lower initial beyond L8 draws no lower span", keys(low, {12, 30, 30, 30, 30, 30, 30, 30}), 8, 0,
         only({{8, {88, 84}}, {9, {172, 126}}})},
        {"an upper initial beyond U8 draws no upper span", keys(low, upAll30), 0, 255,
         only({{0, {88, 70}}, {1, {158, 70}}, {3, {228, 70}}})},
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
        // Mix mode off everywhere, so activation has nothing to send.
        for (int h = 0; h < 2; ++h)
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
    std::vector<int> barWidths(int from, int to)
    {
        std::vector<int> w;
        for (int k = from; k <= to; ++k)
            w.push_back(win->Spreads[static_cast<std::size_t>(k)]->width());
        return w;
    }
    Spans shownSpans()
    {
        Spans s{};
        for (std::size_t k = 0; k < 16; ++k)
            s[k] = {win->KeySpans[k]->x(), win->KeySpans[k]->width()};
        return s;
    }
};

TEST_F(KeyboardAssigTest, MixModePairsTheBarsInTheWindowsCopyOnly)
{
    const int tops[8] = {9, 19, 29, 39, 49, 54, 57, 60};
    for (int w = 0; w < 8; ++w)
        setTop(0, w, tops[w]);
    setProgram(0, 0, pgf::InitialWavesample, 0);
    setProgram(0, 0, pgf::MixModeSwitch, 1);
    open(); // sends mix mode on: the box was clear
    EXPECT_TRUE(win->cbMixModeSwitch->isChecked());
    EXPECT_EQ(barWidths(0, 7), (std::vector<int>{70, 70, 210, 210, 350, 350, 406, 406}));
    EXPECT_EQ(top(0, 1), 19) << "the dump keeps its own top keys";
    EXPECT_EQ(shownSpans(), keySpans(win->TopKeys(), 0, program(1, 0, pgf::InitialWavesample)));
    EXPECT_EQ(win->KeySpans[1]->width(), 0) << "L2 plays with L1";

    clickBox(win->cbMixModeSwitch);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 02 08 0D 0F 7F"});
    EXPECT_EQ(program(0, 0, pgf::MixModeSwitch), 0);
    EXPECT_EQ(barWidths(0, 7), (std::vector<int>{70, 140, 210, 280, 350, 385, 406, 427}));
}

TEST_F(KeyboardAssigTest, OnlyTheCurrentHalfsRowIsEnabled)
{
    for (int half : {0, 1}) {
        form().SetCurrentHalf(half);
        open();
        const std::vector<QWidget*> lower = {win->edWsSelect, win->udWsSelect,        win->edTopKey,
                                             win->udTopKey,   win->edInitWavesampleL, win->udInitWavesampleL,
                                             win->cbMixModeSwitch};
        const std::vector<QWidget*> upper = {win->edWsSelectU, win->udWsSelectU,        win->edTopKeyU,
                                             win->udTopKeyU,   win->edInitWavesampleU, win->udInitWavesampleU,
                                             win->cbMixModeSwU};
        for (QWidget* w : lower)
            EXPECT_EQ(w->isEnabled(), half == 0) << w->objectName().toStdString() << " half " << half;
        for (QWidget* w : upper)
            EXPECT_EQ(w->isEnabled(), half == 1) << w->objectName().toStdString() << " half " << half;
        for (QWidget* w : std::vector<QWidget*>{win->SpeedButton1, win->SpeedButton8, win->bnRefresh,
                                                win->bnRefreshLower, win->bnOK})
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
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{
                                   "sent F0 0F 01 01 15 02 7F", "wait 30",
                                   "sent F0 0F 01 01 15 03 7F", "wait 30",
                                   "sent F0 0F 01 01 07 02 0D 0E 7F",
                                   "sent F0 0F 01 01 02 07 0D 0F 7F",
                                   "sent F0 0F 01 01 0C 02 08 0D 0E 7F",
                               }));
    EXPECT_EQ(top(0, 2), 31);
    EXPECT_EQ(win->edTopKey->text(), "32");
    EXPECT_EQ(win->Spreads[2]->width(), 32 * 7);
    EXPECT_EQ(program(0, 0, pgf::InitialWavesample), 0);
    EXPECT_EQ(win->edInitWavesampleL->text(), "1");
    EXPECT_EQ(program(0, 0, pgf::MixModeSwitch), 1);

    // Another window selects a wavesample of its own; the next top key step
    // first gives the instrument this row's wavesample again.
    form().SelectWavesample(12);
    seams().clear();
    clickDown(win->udTopKey);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 15 03 7F", "wait 30",
                                                         "sent F0 0F 01 01 07 02 0D 0F 7F"}));
    EXPECT_EQ(top(0, 2), 30);
}

TEST_F(KeyboardAssigTest, ProgramButtonsMoveTheRowAndRefreshRedisplaysWithABeep)
{
    setProgram(1, 1, pgf::InitialWavesample, 5);
    form().SetCurrentHalf(0);
    open();
    QTest::mouseClick(win->SpeedButton6, Qt::LeftButton);
    EXPECT_EQ(mirage().currentHalf(), 1);
    EXPECT_EQ(mirage().currentProgram(1), 1);
    EXPECT_EQ(win->CurrentHalf(), 1);
    EXPECT_TRUE(win->udInitWavesampleU->isEnabled());
    EXPECT_FALSE(win->udInitWavesampleL->isEnabled());
    EXPECT_EQ(win->edInitWavesampleU->text(), "6");

    seams().clear();
    QTest::mouseClick(win->bnRefreshLower, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
    QTest::mouseClick(win->bnOK, Qt::LeftButton);
    EXPECT_FALSE(win->isVisible());
}

TEST_F(KeyboardAssigTest, ActivationSendsTheMixModeOfTheDumpOnlyForTheCurrentHalf)
{
    setProgram(0, 0, pgf::MixModeSwitch, 1);
    setProgram(1, 0, pgf::MixModeSwitch, 1);
    form().SetCurrentHalf(0);
    seams().clear();
    activate(win);
    // The upper box changes too, but the message would reach the lower program.
    EXPECT_EQ(seams().sent(), std::vector<Message>{parameterStepMessage(28, true)});
    EXPECT_TRUE(win->cbMixModeSwitch->isChecked());
    EXPECT_TRUE(win->cbMixModeSwU->isChecked());
    seams().clear();
    activate(win);
    EXPECT_TRUE(seams().sent().empty());
}

TEST_F(KeyboardAssigTest, ValuesOutsideTheRangesAreShownAndOnlyStepBackIn)
{
    setProgram(0, 0, pgf::InitialWavesample, 9);
    setTop(0, 0, 70);
    open();
    EXPECT_EQ(win->edInitWavesampleL->text(), "10");
    EXPECT_EQ(win->udInitWavesampleL->Position(), 8);
    EXPECT_EQ(win->edTopKey->text(), "71");
    EXPECT_EQ(win->Spreads[0]->width(), 427) << "a bar ends with the keyboard";
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(win->KeySpans[static_cast<std::size_t>(k)]->width(), 0) << k;
    clickUp(win->udInitWavesampleL);
    clickUp(win->udTopKey);
    EXPECT_TRUE(seams().sent().empty());
    clickDown(win->udInitWavesampleL);
    clickDown(win->udTopKey);
    EXPECT_EQ(program(0, 0, pgf::InitialWavesample), 8);
    EXPECT_EQ(top(0, 0), 69);
    EXPECT_EQ(seams().sent().size(), 2u);

    auto field = [this](int pos) {
        return FieldAccess{[this, pos] { return form().GetLowerParam(pos); },
                           [this, pos](int v) { form().SetLowerParam(pos, v); }};
    };
    expectRangeEnds(win, win->udTopKey, field(wavesampleFieldPos(0, wsf::TopKey)), 0, 60);
    expectRangeEnds(win, win->udInitWavesampleL, field(programFieldPos(0, pgf::InitialWavesample)), 0, 7);
}

TEST_F(KeyboardAssigTest, AProgramOutsideOneToFourGivesItsBoxAndTheWindowKeepsItsProgram)
{
    form().CurrentLowerProgram = 4;
    form().CurrentUpperProgram = -1;
    seams().clear();
    activate(win);
    EXPECT_EQ(seams().lines(),
              (std::vector<std::string>{"box \"Program Error\" \"Lower Program is not 0, 1, 2 or 3\"",
                                        "box \"Program Error\" \"Upper Program is not 0, 1, 2 or 3\""}));
    EXPECT_EQ(win->Program(0), 0);
    EXPECT_EQ(win->Program(1), 0);
}

TEST_F(KeyboardAssigTest, ANameGivenByDoubleClickShowsAtTheNextActivation)
{
    open();
    QTest::mouseDClick(win->SampleNames[10], Qt::LeftButton);
    auto* dlg = qobject_cast<TfmNameSample*>(form().Window("TfmNameSample"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(form().NameSampleIndex, 10);
    EXPECT_TRUE(dlg->isVisible());
    dlg->edSampleName->setText("Choir");
    QTest::mouseClick(dlg->bnOK, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[10], "Choir");
    open();
    EXPECT_EQ(win->SampleNames[10]->text(), "Choir");
    EXPECT_EQ(win->SampleNames[10]->objectName(), "SampleNameU3");
}

} // namespace
} // namespace corvane::test
