// Tuning, relative amplitude and relative filter: the selector and the one
// enabled row, the values as shown, the doubled filter values, refresh of
// both halves, status replies naming no wavesample of the sixteen.
#include "MirageFixture.h"

#include "Label.h"
#include "MemoryMap.h"
#include "RelAmplitude.h"
#include "RelFilter.h"
#include "Tuning.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

class WavesampleTablesTest : public MirageFixture {
protected:
    TWavesampleTable* tuning = nullptr;
    TWavesampleTable* amplitude = nullptr;
    TWavesampleTable* filter = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        tuning = qobject_cast<TfmTuning*>(form().Window("TfmTuning"));
        amplitude = qobject_cast<TfmRelAmplitude*>(form().Window("TfmRelAmplitude"));
        filter = qobject_cast<TfmRelFilter*>(form().Window("TfmRelFilter"));
        ASSERT_TRUE(tuning && amplitude && filter);
    }
    void open(TWavesampleTable* win, int half, int w)
    {
        mirage().setCurrentHalf(half);
        mirage().setCurrentWavesample(w);
        activate(win);
        seams().clear();
    }
    void choose(TWavesampleTable* win, int index)
    {
        win->cbSelect->setCurrentIndex(index);
        emit win->cbSelect->activated(index);
    }
    // Sets a wavesample field in the window's copy and on the instrument.
    void set(int index, int offset, int value)
    {
        form().SetParam(index / 8, wavesampleFieldPos(index % 8, offset), value);
        mirage().half(index / 8).wavesamples[static_cast<std::size_t>(index % 8)].setField(offset, value);
    }
    int stored(int index, int offset) { return form().GetParam(index / 8, wavesampleFieldPos(index % 8, offset)); }
    static void expectOnlyRow(TWavesampleTable* win, int index)
    {
        for (int i = 0; i < 16; ++i) {
            for (int c = 0; c < win->ColumnCount(); ++c)
                EXPECT_EQ(win->upDown(c, i)->isEnabled(), i == index) << win->objectName().toStdString() << " " << i;
            EXPECT_EQ(win->lbNumber[static_cast<std::size_t>(i)]->isEnabled(), i == index) << i;
            EXPECT_TRUE(win->edit(0, i)->isEnabled());
        }
    }
};

TEST_F(WavesampleTablesTest, RegisteredInTheProgramsOrderWithTheirMenuItems)
{
    std::vector<std::string> order;
    for (const auto& [name, w] : form().Windows())
        order.push_back(name);
    auto at = [&](const char* name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    const char* chain[] = {"TConfigTableForm", "TMemoryMap", "TfmProgCopy", "TfmMasosCopy", "TfmTuning",
                           "TfmRelAmplitude", "TfmRelFilter", "TfmMemMapU", "TfmSetColours"};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        EXPECT_LT(at(chain[i - 1]), at(chain[i])) << chain[i];
    for (const char* item : {"Tuning1", "RelativeAmplitude1", "RelativeFilter1", "MemoryMap1", "MemoryMap2"})
        EXPECT_TRUE(form().Action(item)->isEnabled()) << item;
    EXPECT_EQ(tuning->windowTitle(), "Wavesample Tuning");
    EXPECT_EQ(tuning->size(), QSize(577, 337));
    EXPECT_EQ(amplitude->size(), QSize(409, 314));
    EXPECT_EQ(filter->windowTitle(), "Wavesample Relative Filter Settings");
    for (const char* name : {"cbCurrentWs", "edWs1Oct", "udWsU8FT", "lbU8", "bnRefreshU", "bnRefresh", "bnOK"})
        EXPECT_NE(tuning->findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"cbSelectWs", "edWsU1RA", "udWs8RA"})
        EXPECT_NE(amplitude->findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"cbSelectWs", "edWs1MFF", "udWsU8RFF"})
        EXPECT_NE(filter->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(amplitude->cbSelect->currentText(), "XX");
}

TEST_F(WavesampleTablesTest, SelectorFollowsTheInstrumentAndSelectsOnIt)
{
    struct Case {
        TWavesampleTable* win;
        int half, w;          // the instrument at activation
        const char* shown;    // the selector then
        int chosen;           // then the user chooses
        const char* sent;
    };
    const Case cases[] = {
        {tuning, 1, 2, "U3", 4, "sent F0 0F 01 01 15 05 7F"},
        {amplitude, 0, 7, "L8", 9, "sent F0 0F 01 01 14 02 7F"},
        {filter, 0, 0, "L1", 15, "sent F0 0F 01 01 14 08 7F"},
    };
    for (const Case& c : cases) {
        open(c.win, c.half, c.w);
        EXPECT_EQ(c.win->cbSelect->currentText(), c.shown);
        expectOnlyRow(c.win, 8 * c.half + c.w);
        choose(c.win, c.chosen);
        EXPECT_EQ(seams().lines(), (std::vector<std::string>{c.sent, "wait 30"}));
        expectOnlyRow(c.win, c.chosen);
        EXPECT_EQ(c.win->CurrentIndex(), c.chosen);
    }
}

TEST_F(WavesampleTablesTest, TypedTextThatNamesNoWavesampleSendsNothing)
{
    open(amplitude, 0, 3);
    QLineEdit* text = amplitude->cbSelect->lineEdit();
    text->selectAll();
    QTest::keyClicks(text, "X9");
    EXPECT_TRUE(seams().sent().empty());
    expectOnlyRow(amplitude, -1);
    text->selectAll();
    QTest::keyClicks(text, "u4");
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 14 04 7F", "wait 30"}));
    expectOnlyRow(amplitude, 11);
}

// Every index into the sixteen wavesamples is bounded: a status reply naming
// wavesample 13 of the upper half selects no row in any window.
TEST_F(WavesampleTablesTest, StatusReplyOutsideTheSixteenSelectsNoRow)
{
    auto* lowerMap = qobject_cast<TMemMap*>(form().Window("TMemoryMap"));
    auto* upperMap = qobject_cast<TMemMap*>(form().Window("TfmMemMapU"));
    for (TFormBase* win : std::vector<TFormBase*>{tuning, amplitude, filter, lowerMap, upperMap}) {
        // Arrives after the instrument's own reply, inside the query's wait,
        // handed over as the input port hands over what it receives.
        seams().startTimer(50, [this] {
            QMetaObject::invokeMethod(
                &form(),
                [this] {
                    const std::uint8_t reply[] = {0xF0, 0x0F, 0x01, 0x08, 0x1C, 0xF7};
                    form().MidiIn1SysEx(reply, 6);
                },
                Qt::QueuedConnection);
        });
        activate(win);
        ASSERT_EQ(form().CurrentWavesample, 12);
        if (auto* table = qobject_cast<TWavesampleTable*>(win)) {
            EXPECT_EQ(table->CurrentIndex(), -1);
            expectOnlyRow(table, -1);
        } else {
            auto* map = qobject_cast<TMemMap*>(win);
            EXPECT_EQ(map->CurrentRow(), -1);
            for (int n = 0; n < 8; ++n)
                EXPECT_FALSE(map->ud[0][static_cast<std::size_t>(n)]->isEnabled());
        }
    }
}

TEST_F(WavesampleTablesTest, TuningShowsHexAndKeepsToItsRange)
{
    set(3, wsf::Octave, 7);
    set(3, wsf::Fine, 171);
    set(4, wsf::Octave, 10); // beyond what the up-down reaches
    open(tuning, 0, 3);
    EXPECT_EQ(tuning->edit(0, 3)->text(), "07");
    EXPECT_EQ(tuning->edit(1, 3)->text(), "AB");
    tuning->udClick(0, 3, true);
    EXPECT_TRUE(seams().sent().empty());
    clickDown(tuning->upDown(1, 3));
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 06 08 0D 0F 7F", "wait 120"}));
    EXPECT_EQ(tuning->edit(1, 3)->text(), "AA");

    open(tuning, 0, 4);
    EXPECT_EQ(tuning->edit(0, 4)->text(), "0A");
    EXPECT_EQ(tuning->upDown(0, 4)->Position(), 7);
    tuning->udClick(0, 4, true);
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(stored(4, wsf::Octave), 10);
}

TEST_F(WavesampleTablesTest, FilterValuesAreKeptDoubledWithTheirParity)
{
    set(8 + 1, wsf::RelFilter, 0x5A);
    set(8 + 1, wsf::MaxFilter, 91);
    open(filter, 1, 1);
    EXPECT_EQ(filter->edit(1, 9)->text(), "45");
    clickUp(filter->upDown(1, 9));
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 07 00 0D 0E 7F", "wait 120"}));
    EXPECT_EQ(stored(9, wsf::RelFilter), 92);
    EXPECT_EQ(filter->edit(1, 9)->text(), "46");

    EXPECT_EQ(filter->edit(0, 9)->text(), "45");
    clickUp(filter->upDown(0, 9));
    EXPECT_EQ(stored(9, wsf::MaxFilter), 93);
    clickDown(filter->upDown(0, 9));
    clickDown(filter->upDown(0, 9));
    EXPECT_EQ(stored(9, wsf::MaxFilter), 89);
    EXPECT_EQ(mirage().half(1).wavesamples[1].field(wsf::MaxFilter), 89);

    // At the top of the shown range, and beyond it, no step up is taken.
    for (const int top : {198, 199, 220}) {
        set(9, wsf::MaxFilter, top);
        open(filter, 1, 1);
        EXPECT_EQ(filter->edit(0, 9)->text(), QString::number(top / 2));
        filter->udClick(0, 9, true);
        EXPECT_TRUE(seams().sent().empty()) << top;
        EXPECT_EQ(stored(9, wsf::MaxFilter), top);
    }
}

TEST_F(WavesampleTablesTest, EitherRefreshRedisplaysBothHalves)
{
    open(amplitude, 0, 0);
    EXPECT_EQ(amplitude->edit(0, 2)->text(), QString::number(stored(2, wsf::RelAmplitude)));
    form().SetLowerParam(wavesampleFieldPos(2, wsf::RelAmplitude), 33); // the copy changed behind the window
    mirage().half(1).wavesamples[5].setField(wsf::RelAmplitude, 17);
    QTest::mouseClick(amplitude->bnRefreshU, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 13 7F", "wait 500", "beep"}));
    EXPECT_EQ(amplitude->edit(0, 2)->text(), "33");
    EXPECT_EQ(amplitude->edit(0, 13)->text(), "17");
    seams().clear();
    QTest::mouseClick(amplitude->bnRefresh, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
}

} // namespace
} // namespace corvane::test
