// The memory map windows: bars, names and colours, the stepping rules with
// their neighbours and the loop reset, the loop switch, the selector and the
// rows it enables.
#include "MirageFixture.h"

#include "Label.h"
#include "MemoryMap.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

using Col = TMemMap::Column;
using Pointers = std::array<int, 5>; // start, end, loop start, loop end, fine

constexpr int PointerOffsets[5] = {wsf::StartPage, wsf::EndPage, wsf::LoopStart, wsf::LoopEnd, wsf::LoopEndFine};

class MemoryMapTest : public MirageFixture {
protected:
    TMemMap* lower = nullptr;
    TMemMap* upper = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        lower = qobject_cast<TMemMap*>(form().Window("TMemoryMap"));
        upper = qobject_cast<TMemMap*>(form().Window("TfmMemMapU"));
        ASSERT_TRUE(lower && upper);
    }
    // The same pointers in the window's copy and on the instrument.
    void setPointers(int half, int w, Pointers p)
    {
        for (int i = 0; i < 5; ++i) {
            form().SetParam(half, wavesampleFieldPos(w, PointerOffsets[i]), p[static_cast<std::size_t>(i)]);
            mirage().half(half).wavesamples[static_cast<std::size_t>(w)].setField(PointerOffsets[i],
                                                                                   p[static_cast<std::size_t>(i)]);
        }
    }
    Pointers copy(int half, int w)
    {
        Pointers p{};
        for (int i = 0; i < 5; ++i)
            p[static_cast<std::size_t>(i)] = form().GetParam(half, wavesampleFieldPos(w, PointerOffsets[i]));
        return p;
    }
    Pointers instrument(int half, int w)
    {
        Pointers p{};
        for (int i = 0; i < 5; ++i)
            p[static_cast<std::size_t>(i)] =
                mirage().half(half).wavesamples[static_cast<std::size_t>(w)].field(PointerOffsets[i]);
        return p;
    }
    // The instrument on wavesample `w` of the window's half, the window opened.
    void open(TMemMap* win, int w)
    {
        mirage().setCurrentHalf(win->Half());
        mirage().setCurrentWavesample(w);
        activate(win);
        seams().clear();
    }
    void choose(TMemMap* win, int index)
    {
        win->cbCurrentWs->setCurrentIndex(index);
        emit win->cbCurrentWs->activated(index);
    }
    // Only row `row`'s up-downs, switch, number and circle are enabled.
    static void expectOnlyRow(TMemMap* win, int row)
    {
        for (int n = 0; n < 8; ++n) {
            const auto r = static_cast<std::size_t>(n);
            for (int c = 0; c < TMemMap::Columns; ++c)
                EXPECT_EQ(win->ud[static_cast<std::size_t>(c)][r]->isEnabled(), n == row) << "row " << n;
            EXPECT_EQ(win->cbLoopSw[r]->isEnabled(), n == row) << "row " << n;
            EXPECT_EQ(win->lbNumber[r]->isEnabled(), n == row) << "row " << n;
            EXPECT_EQ(win->shidentWs[r]->isVisibleTo(win), n == row) << "row " << n;
        }
    }
};

TEST_F(MemoryMapTest, BarsNamesAndColoursComeFromTheWindowsHalf)
{
    EXPECT_EQ(lower->windowTitle(), "Lower Memory Wavesample Page Pointers");
    EXPECT_EQ(upper->windowTitle(), "Upper Memory Wavesample Page Pointers");
    EXPECT_EQ(lower->size(), QSize(531, 428));
    for (const char* name : {"edWsStart", "edWsStart2", "udWsStart1", "cbLoopSw", "cbLoopSw8", "edLEFine3", "udWsEnd8",
                             "shWs1", "shidentWs8", "lbL1", "cbCurrentLWs", "bnShowWsInfo", "Button1", "bnOK"})
        EXPECT_NE(lower->findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"edWsStartU1", "udLoopEndU4", "cbLoopSwU1", "shWsU8", "shidentWsU1", "lbU8", "cbCurrentUWs"})
        EXPECT_NE(upper->findChild<QWidget*>(name), nullptr) << name;

    form().WavesampleNames[2] = "Brass";
    form().WavesampleColours[2] = 0x0000FF;   // red
    form().WavesampleNames[8 + 2] = "Voice";
    form().WavesampleColours[8 + 2] = 0xFF0000; // blue
    setPointers(0, 2, {0x10, 0x20, 0x12, 0x18, 0x40});
    form().SetLowerParam(wavesampleFieldPos(2, wsf::LoopSwitch), 5);
    open(lower, 2);
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(lower->shWs[2]->geometry(), QRect(40, 24 + 16, 34, 9));
    EXPECT_EQ(lower->shWs[2]->brushColor(), QColor(255, 0, 0));
    EXPECT_EQ(lower->shidentWs[2]->brushColor(), QColor(255, 0, 0));
    EXPECT_EQ(lower->lbName[2]->text(), "Brass");
    EXPECT_EQ(lower->ed[Col::WsStart][2]->text(), "10");
    EXPECT_EQ(lower->ed[Col::LEFine][2]->text(), "40");
    EXPECT_TRUE(lower->cbLoopSw[2]->isChecked()) << "any value but 0 is on";

    open(upper, 2);
    EXPECT_EQ(upper->shWs[2]->brushColor(), QColor(0, 0, 255));
    EXPECT_EQ(upper->lbName[2]->text(), "Voice");
    QTest::mouseDClick(upper->lbName[4], Qt::LeftButton);
    EXPECT_EQ(form().NameSampleIndex, 8 + 4);
}

TEST_F(MemoryMapTest, EndStepResetsTheLoopAndSendsOnlyEndUp)
{
    setPointers(0, 3, {0x10, 0x20, 0x12, 0x18, 0x40});
    open(lower, 3);
    clickUp(lower->ud[Col::WsEnd][3]);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 06 01 0D 0E 7F", "wait 120"}));
    EXPECT_EQ(copy(0, 3), (Pointers{0x10, 0x21, 0x20, 0x20, 0xFF}));
    EXPECT_EQ(instrument(0, 3), copy(0, 3));
    EXPECT_EQ(lower->ed[Col::LoopStart][3]->text(), "20");
    EXPECT_EQ(lower->ed[Col::LoopEnd][3]->text(), "20");
    EXPECT_EQ(lower->ed[Col::LEFine][3]->text(), "FF");
    EXPECT_EQ(lower->shWs[3]->width(), 2 * (0x21 - 0x10) + 2);
}

// Each step judged on the stored pointers, as the instrument judges it. The
// handler is called as the up-down calls it, also where the up-down's own
// range would not report the click.
TEST_F(MemoryMapTest, StepsAreBoundedByTheirNeighbours)
{
    struct Case {
        const char* what;
        Col column;
        bool up;
        Pointers before;
        Pointers after; // equal to before: refused, nothing sent
    };
    const Case cases[] = {
        {"start down at 00", Col::WsStart, false, {0x00, 0x20, 0x12, 0x18, 0x40}, {0x00, 0x20, 0x12, 0x18, 0x40}},
        {"start up to end", Col::WsStart, true, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x11, 0x20, 0x1F, 0x1F, 0xFF}},
        {"end down to start", Col::WsEnd, false, {0x10, 0x11, 0x10, 0x10, 0x40}, {0x10, 0x11, 0x10, 0x10, 0x40}},
        {"end up at FF", Col::WsEnd, true, {0x10, 0xFF, 0x20, 0x30, 0x40}, {0x10, 0xFF, 0x20, 0x30, 0x40}},
        {"loop start below start", Col::LoopStart, false, {0x10, 0x20, 0x10, 0x18, 0x40}, {0x10, 0x20, 0x10, 0x18, 0x40}},
        {"loop start past loop end", Col::LoopStart, true, {0x10, 0x20, 0x18, 0x18, 0x40}, {0x10, 0x20, 0x18, 0x18, 0x40}},
        {"loop start up", Col::LoopStart, true, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x10, 0x20, 0x13, 0x18, 0x40}},
        {"loop end below loop start", Col::LoopEnd, false, {0x10, 0x20, 0x18, 0x18, 0x40}, {0x10, 0x20, 0x18, 0x18, 0x40}},
        {"loop end past end", Col::LoopEnd, true, {0x10, 0x20, 0x12, 0x20, 0x40}, {0x10, 0x20, 0x12, 0x20, 0x40}},
        {"loop end down resets fine", Col::LoopEnd, false, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x10, 0x20, 0x12, 0x17, 0xFF}},
        {"fine down at 00", Col::LEFine, false, {0x10, 0x20, 0x12, 0x18, 0x00}, {0x10, 0x20, 0x12, 0x18, 0x00}},
        {"fine up", Col::LEFine, true, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x10, 0x20, 0x12, 0x18, 0x41}},
    };
    const int parameters[] = {60, 62, 63, 64, 61}; // by column
    for (const Case& c : cases) {
        setPointers(0, 5, c.before);
        open(lower, 5);
        lower->udClick(c.column, 5, c.up);
        const bool taken = c.after != c.before;
        EXPECT_EQ(seams().sent().size(), taken ? 1u : 0u) << c.what;
        if (taken)
            EXPECT_EQ(seams().sent()[0], parameterStepMessage(parameters[c.column], c.up)) << c.what;
        EXPECT_EQ(copy(0, 5), c.after) << c.what;
        EXPECT_EQ(instrument(0, 5), c.after) << c.what;
    }
    EXPECT_EQ(mirage().counters().refusedSteps, 0);
}

// A refused start step sends nothing and so changes nothing; a loop reset
// never goes before the start page, nor below 00.
TEST_F(MemoryMapTest, LoopResetOnlyAfterASentStepAndNeverBeforeTheStart)
{
    const std::pair<Pointers, bool> refused[] = {
        {{0x20, 0x20, 0x12, 0x18, 0x40}, true}, {{0x00, 0x00, 0x00, 0x00, 0x40}, true}, {{0x00, 0x00, 0x00, 0x00, 0x40}, false}};
    for (const auto& [p, up] : refused) {
            setPointers(0, 1, p);
            open(lower, 1);
            lower->udClick(Col::WsStart, 1, up);
            EXPECT_TRUE(seams().sent().empty());
            EXPECT_EQ(copy(0, 1), p) << "start " << p[0] << (up ? " up" : " down");
            EXPECT_EQ(lower->ed[Col::LEFine][1]->text(), "40");
        }

    setPointers(1, 6, {0x1F, 0x20, 0x1F, 0x1F, 0x40});
    open(upper, 6);
    clickUp(upper->ud[Col::WsStart][6]);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 06 00 0D 0E 7F", "wait 120"}));
    EXPECT_EQ(copy(1, 6), (Pointers{0x20, 0x20, 0x20, 0x20, 0xFF}));
    EXPECT_EQ(instrument(1, 6), copy(1, 6));
}

TEST_F(MemoryMapTest, LoopSwitchSendsOffWhenCheckedAndWaitsNot)
{
    open(lower, 0);
    form().SetLowerParam(wavesampleFieldPos(0, wsf::LoopSwitch), 5);
    lower->ShowAllValues();
    ASSERT_TRUE(lower->cbLoopSw[0]->isChecked());
    clickBox(lower->cbLoopSw[0]);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 06 05 0D 0F 7F"});
    EXPECT_EQ(form().GetLowerParam(wavesampleFieldPos(0, wsf::LoopSwitch)), 0);
    EXPECT_FALSE(lower->cbLoopSw[0]->isChecked());
}

TEST_F(MemoryMapTest, SelectorSelectsOnTheInstrumentAndEnablesOneRow)
{
    open(lower, 0);
    expectOnlyRow(lower, 0);
    choose(lower, 2);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 15 03 7F", "wait 30"}));
    expectOnlyRow(lower, 2);

    open(upper, 0);
    choose(upper, 2);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 14 03 7F", "wait 30"}));
    expectOnlyRow(upper, 2);
    EXPECT_EQ(form().StatusText[0], "Current Kbd Half: Upper");
    EXPECT_EQ(mirage().currentHalf(), 1);

    // The instrument on the other half: it would step that half's
    // wavesample, so no row of this one is editable until one is chosen.
    open(lower, 4);
    mirage().setCurrentHalf(1);
    activate(lower);
    EXPECT_EQ(lower->CurrentRow(), -1);
    EXPECT_EQ(lower->cbCurrentWs->currentIndex(), -1);
    expectOnlyRow(lower, -1);

    seams().clear();
    QTest::mouseClick(lower->Button1, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
}

} // namespace
} // namespace corvane::test
