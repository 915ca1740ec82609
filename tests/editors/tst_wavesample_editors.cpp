// The memory maps, tuning, relative amplitude and relative filter windows:
// bars, the page pointers' bounds and loop reset, the selectors and the one
// enabled row, values as shown, refresh of both halves, status replies
// naming no wavesample of the sixteen.
#include "MirageFixture.h"

#include "NameLabel.h"
#include "MemoryMap.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WavesampleTable.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

using Col = TMemMap::Column;
using Pointers = std::array<int, 5>; // start, end, loop start, loop end, fine
constexpr int PointerOffsets[5] = {wsf::StartPage, wsf::EndPage, wsf::LoopStart, wsf::LoopEnd, wsf::LoopEndFine};
const char* const TableWindows[] = {"TfmTuning", "TfmRelAmplitude", "TfmRelFilter"};

class WavesampleEditorsTest : public MirageFixture {
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
    TWavesampleTable* table(int i) { return qobject_cast<TWavesampleTable*>(form().Window(TableWindows[i])); }
    // The instrument on wavesample `w` of `half`, then the window activated.
    void open(TFormBase* win, int half, int w)
    {
        mirage().setCurrentHalf(half);
        mirage().setCurrentWavesample(w);
        activate(win);
        seams().clear();
    }
    static void choose(QComboBox* selector, int index)
    {
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    }
    // A field in the window's copy and on the instrument alike.
    void set(int half, int w, int offset, int value)
    {
        form().SetParam(half, wavesampleFieldPos(w, offset), value);
        mirage().half(half).wavesamples[static_cast<std::size_t>(w)].setField(offset, value);
    }
    void setPointers(int half, int w, Pointers p)
    {
        for (std::size_t i = 0; i < 5; ++i)
            set(half, w, PointerOffsets[i], p[i]);
    }
    Pointers copy(int half, int w)
    {
        Pointers p{};
        for (std::size_t i = 0; i < 5; ++i)
            p[i] = form().GetParam(half, wavesampleFieldPos(w, PointerOffsets[i]));
        return p;
    }
    Pointers instrument(int half, int w)
    {
        Pointers p{};
        for (std::size_t i = 0; i < 5; ++i)
            p[i] = mirage().half(half).wavesamples[static_cast<std::size_t>(w)].field(PointerOffsets[i]);
        return p;
    }
    // The enabled row of each kind of window, -1 for none.
    static int enabledRow(TMemMap* map)
    {
        int row = -1;
        for (int n = 0; n < 8; ++n) {
            const auto r = static_cast<std::size_t>(n);
            const bool on = map->ud[Col::WsStart][r]->isEnabled();
            EXPECT_EQ(map->cbLoopSw[r]->isEnabled(), on);
            EXPECT_EQ(map->lbNumber[r]->isEnabled(), on);
            EXPECT_EQ(map->shidentWs[r]->isVisibleTo(map), on);
            if (on)
                row = row == -1 ? n : -2;
        }
        return row;
    }
    static int enabledRow(TWavesampleTable* t)
    {
        int row = -1;
        for (int i = 0; i < 16; ++i) {
            const bool on = t->upDown(0, i)->isEnabled();
            EXPECT_EQ(t->upDown(t->ColumnCount() - 1, i)->isEnabled(), on);
            EXPECT_EQ(t->lbNumber[static_cast<std::size_t>(i)]->isEnabled(), on);
            if (on)
                row = row == -1 ? i : -2;
        }
        return row;
    }
};

TEST_F(WavesampleEditorsTest, BarsTakeTheirHalfsNamesAndColours)
{
    form().WavesampleNames[2] = "Brass";
    form().WavesampleColours[2] = 0x0000FF; // red
    form().WavesampleColours[8 + 2] = 0xFF0000;
    setPointers(0, 2, {0x10, 0x20, 0x12, 0x18, 0x40});
    form().SetLowerParam(wavesampleFieldPos(2, wsf::LoopSwitch), 5);
    open(lower, 0, 2);
    EXPECT_EQ(lower->shWs[2]->geometry(), QRect(40, 24 + 16, 34, 9));
    EXPECT_EQ(lower->shWs[2]->brushColor(), QColor(255, 0, 0));
    EXPECT_EQ(lower->lbName[2]->text(), "Brass");
    EXPECT_EQ(lower->ed[Col::WsStart][2]->text(), "10");
    EXPECT_TRUE(lower->cbLoopSw[2]->isChecked()) << "any value but 0 is on";
    open(upper, 1, 2);
    EXPECT_EQ(upper->shWs[2]->brushColor(), QColor(0, 0, 255));
    QTest::mouseDClick(upper->lbName[4], Qt::LeftButton);
    EXPECT_EQ(form().NameSampleIndex, 8 + 4);
    EXPECT_TRUE(form().Window("TfmNameSample")->isVisible());
    QTest::mouseClick(upper->bnShowWsInfo, Qt::LeftButton);
    EXPECT_TRUE(form().Window("TfmWsInfo")->isVisible());
}

// Each step is judged on the stored pointers, as the instrument judges it.
// The handler is called as the up-down calls it, also where the up-down's
// own range would not report the click.
TEST_F(WavesampleEditorsTest, PagePointersKeepToTheirNeighboursAndResetTheLoopOnlyWhenSent)
{
    struct Case {
        const char* what;
        Col column;
        bool up;
        Pointers before;
        Pointers after; // equal to before: refused, nothing sent
    };
    const Case cases[] = {
        {"end up resets the loop", Col::WsEnd, true, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x10, 0x21, 0x20, 0x20, 0xFF}},
        {"end down onto start", Col::WsEnd, false, {0x10, 0x11, 0x10, 0x10, 0x40}, {0x10, 0x11, 0x10, 0x10, 0x40}},
        {"end up at FF", Col::WsEnd, true, {0x10, 0xFF, 0x20, 0x30, 0x40}, {0x10, 0xFF, 0x20, 0x30, 0x40}},
        {"loop start below start", Col::LoopStart, false, {0x10, 0x20, 0x10, 0x18, 0x40}, {0x10, 0x20, 0x10, 0x18, 0x40}},
        {"loop start past loop end", Col::LoopStart, true, {0x10, 0x20, 0x18, 0x18, 0x40}, {0x10, 0x20, 0x18, 0x18, 0x40}},
        {"loop end below loop start", Col::LoopEnd, false, {0x10, 0x20, 0x18, 0x18, 0x40}, {0x10, 0x20, 0x18, 0x18, 0x40}},
        {"loop end past end", Col::LoopEnd, true, {0x10, 0x20, 0x12, 0x20, 0x40}, {0x10, 0x20, 0x12, 0x20, 0x40}},
        {"loop end down resets fine", Col::LoopEnd, false, {0x10, 0x20, 0x12, 0x18, 0x40}, {0x10, 0x20, 0x12, 0x17, 0xFF}},
        // A refused start step leaves the loop; a reset never goes before the start page.
        {"start up at end", Col::WsStart, true, {0x20, 0x20, 0x12, 0x18, 0x40}, {0x20, 0x20, 0x12, 0x18, 0x40}},
        {"start up at 00 = end", Col::WsStart, true, {0x00, 0x00, 0x00, 0x00, 0x40}, {0x00, 0x00, 0x00, 0x00, 0x40}},
        {"start down at 00", Col::WsStart, false, {0x00, 0x00, 0x00, 0x00, 0x40}, {0x00, 0x00, 0x00, 0x00, 0x40}},
        {"start up onto end", Col::WsStart, true, {0x1F, 0x20, 0x1F, 0x1F, 0x40}, {0x20, 0x20, 0x20, 0x20, 0xFF}},
    };
    const int parameters[] = {60, 62, 63, 64, 61}; // by column
    for (const Case& c : cases) {
        setPointers(0, 5, c.before);
        open(lower, 0, 5);
        lower->udClick(c.column, 5, c.up);
        if (c.after != c.before)
            EXPECT_EQ(seams().lines(), (std::vector<std::string>{
                                           "sent " + hex(parameterStepMessage(parameters[c.column], c.up)), "wait 120"}))
                << c.what;
        else
            EXPECT_TRUE(seams().sent().empty()) << c.what;
        EXPECT_EQ(copy(0, 5), c.after) << c.what;
        EXPECT_EQ(instrument(0, 5), c.after) << c.what;
        EXPECT_EQ(lower->ed[Col::LEFine][5]->text(), hexText(c.after[4])) << c.what;
    }
    EXPECT_EQ(lower->shWs[5]->width(), 2); // start and end on one page
}

TEST_F(WavesampleEditorsTest, SelectorsSelectOnTheInstrumentAndEnableOneRow)
{
    struct Case {
        TFormBase* win;
        QComboBox* selector;
        int half, w;       // the instrument at activation
        const char* shown; // the selector then
        int chosen;        // the user's choice
        const char* sent;
        int row;           // enabled then
    };
    const Case cases[] = {
        {lower, lower->cbCurrentWs, 0, 0, "L1", 2, "sent F0 0F 01 01 15 03 7F", 2},
        {upper, upper->cbCurrentWs, 1, 0, "U1", 2, "sent F0 0F 01 01 14 03 7F", 2},
        {table(0), table(0)->cbSelect, 1, 2, "U3", 4, "sent F0 0F 01 01 15 05 7F", 4},
        {table(1), table(1)->cbSelect, 0, 7, "L8", 9, "sent F0 0F 01 01 14 02 7F", 9},
        {table(2), table(2)->cbSelect, 0, 0, "L1", 15, "sent F0 0F 01 01 14 08 7F", 15},
    };
    for (const Case& c : cases) {
        open(c.win, c.half, c.w);
        EXPECT_EQ(c.selector->currentText(), c.shown);
        choose(c.selector, c.chosen);
        EXPECT_EQ(seams().lines(), (std::vector<std::string>{c.sent, "wait 30"}));
        auto* map = qobject_cast<TMemMap*>(c.win);
        EXPECT_EQ(map ? enabledRow(map) : enabledRow(qobject_cast<TWavesampleTable*>(c.win)), c.row) << c.shown;
    }

    // The instrument on the other half would step that half's wavesample:
    // no row of the lower map is editable until one is chosen.
    open(lower, 1, 4);
    EXPECT_EQ(enabledRow(lower), -1);

    // Typed text that names no wavesample sends nothing and enables nothing.
    open(table(1), 0, 3);
    QLineEdit* text = table(1)->cbSelect->lineEdit();
    QTest::keyClicks(text, "X9");
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(enabledRow(table(1)), -1);
    text->selectAll();
    QTest::keyClicks(text, "u4");
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 14 04 7F", "wait 30"}));
}

// A status reply naming lower wavesample 13 (never upper 5) selects no row.
TEST_F(WavesampleEditorsTest, StatusReplyOutsideTheSixteenSelectsNoRow)
{
    for (TFormBase* win : std::vector<TFormBase*>{table(0), table(1), table(2), lower, upper}) {
        // Handed over as the input port hands over what it receives, after
        // the instrument's own reply and inside the query's wait.
        seams().startTimer(50, [this] {
            QMetaObject::invokeMethod(
                &form(),
                [this] {
                    const std::uint8_t reply[] = {0xF0, 0x0F, 0x01, 0x08, 0x0C, 0xF7};
                    form().MidiIn1SysEx(reply, 6);
                },
                Qt::QueuedConnection);
        });
        activate(win);
        ASSERT_EQ(form().CurrentWavesample, 12);
        auto* map = qobject_cast<TMemMap*>(win);
        EXPECT_EQ(map ? enabledRow(map) : enabledRow(qobject_cast<TWavesampleTable*>(win)), -1);
    }
}

TEST_F(WavesampleEditorsTest, ValuesShownAsStoredAndStepsKeptToTheShownRange)
{
    TWavesampleTable* tuning = table(0);
    TWavesampleTable* filter = table(2);
    set(0, 4, wsf::Octave, 10); // beyond what the up-down reaches
    set(0, 4, wsf::Fine, 171);
    open(tuning, 0, 4);
    EXPECT_EQ(tuning->edit(0, 4)->text(), "0A");
    EXPECT_EQ(tuning->edit(1, 4)->text(), "AB");
    tuning->udClick(0, 4, true);
    EXPECT_TRUE(seams().sent().empty());

    set(1, 1, wsf::RelFilter, 0x5A);
    set(1, 1, wsf::MaxFilter, 91);
    open(filter, 1, 1);
    EXPECT_EQ(filter->edit(1, 9)->text(), "45");
    clickUp(filter->upDown(1, 9));
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 07 00 0D 0E 7F", "wait 120"}));
    EXPECT_EQ(filter->edit(1, 9)->text(), "46");
    EXPECT_EQ(form().GetUpperParam(wavesampleFieldPos(1, wsf::RelFilter)), 92);
    for (const bool up : {true, false, false})
        filter->udClick(0, 9, up);
    EXPECT_EQ(form().GetUpperParam(wavesampleFieldPos(1, wsf::MaxFilter)), 89) << "odd stays odd";
    for (const int top : {199, 220}) {
        set(1, 1, wsf::MaxFilter, top);
        open(filter, 1, 1);
        filter->udClick(0, 9, true);
        EXPECT_TRUE(seams().sent().empty()) << top;
    }

    // Either refresh shows both halves: the lower copy changed behind the window.
    form().SetLowerParam(wavesampleFieldPos(2, wsf::MaxFilter), 66);
    QTest::mouseClick(filter->bnRefreshU, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 13 7F", "wait 500", "beep"}));
    EXPECT_EQ(filter->edit(0, 2)->text(), "33");
}

} // namespace
} // namespace corvane::test
