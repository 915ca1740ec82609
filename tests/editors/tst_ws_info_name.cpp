// The wavesample info and naming dialogs: the figures from the page
// pointers of the instrument's current wavesample, and names of at most
// eight characters into the wavesample names.
#include "MirageFixture.h"

#include "NameSample.h"
#include "WsInfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

class WsInfoTest : public MirageFixture {
protected:
    TfmWsInfo* info = nullptr;
    void SetUp() override
    {
        MirageFixture::SetUp();
        info = qobject_cast<TfmWsInfo*>(form().Window("TfmWsInfo"));
        ASSERT_NE(info, nullptr);
    }
    // Pointers of the instrument's wavesample `w` of `half`, which becomes
    // the current one; the program dumps are fetched afterwards.
    void pointers(int half, int w, int start, int end, int loopStart, int loopEnd, int fine)
    {
        auto& ws = mirage().half(half).wavesamples[static_cast<std::size_t>(w)];
        ws.setField(wsf::StartPage, start);
        ws.setField(wsf::EndPage, end);
        ws.setField(wsf::LoopStart, loopStart);
        ws.setField(wsf::LoopEnd, loopEnd);
        ws.setField(wsf::LoopEndFine, fine);
        mirage().setCurrentHalf(half);
        mirage().setCurrentWavesample(w);
        fetchDumps();
    }
    std::vector<QString> shown() const
    {
        return {info->lbWsNumber->text(),    info->lbWsSizeHex->text(),   info->lbWsSizeDec->text(),
                info->lbWsSizeBytes->text(), info->lbMemUse->text(),      info->lbLoopSizeHex->text(),
                info->lbLoopSizeDec->text()};
    }
};

TEST_F(WsInfoTest, FiguresComeFromThePointersOfTheWavesampleTheInstrumentNames)
{
    struct Case {
        int half, w, start, end, loopStart, loopEnd, fine;
        std::vector<QString> expected;
    } cases[] = {
        {0, 2, 0x00, 0xFF, 0x10, 0x13, 0xFF, {"Lower 3", "100", "256", "65536", "100", "400", "1024"}},
        {1, 7, 0x40, 0x47, 0x44, 0x44, 0x0F, {"Upper 8", "08", "8", "2048", "3", "10", "16"}},
        // A loop end below the loop start: a negative size, as it is.
        {0, 0, 0x20, 0x3F, 0x13, 0x10, 0x00, {"Lower 1", "20", "32", "8192", "12", "-2FF", "-767"}},
    };
    for (const Case& c : cases) {
        pointers(c.half, c.w, c.start, c.end, c.loopStart, c.loopEnd, c.fine);
        seams().clear();
        activate(info);
        EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
        EXPECT_EQ(shown(), c.expected) << c.expected[0].toStdString();
        QTest::mouseClick(info->Button1, Qt::LeftButton);
        EXPECT_FALSE(info->isVisible());
    }
}

TEST_F(WsInfoTest, AStatusReplyNamingAWavesampleBeyondEightShowsNoFigures)
{
    pointers(0, 1, 0x00, 0xFF, 0x10, 0x13, 0xFF);
    // After the instrument's own reply, one that names wavesample 9.
    seams().startTimer(90, [this] {
        RecordingSeams::deliver();
        const std::uint8_t status[] = {0xF0, 0x0F, 0x01, cmd::StatusHalfWavesample, 0x08, 0xF7};
        form().MidiIn1SysEx(status, sizeof status);
    });
    activate(info);
    EXPECT_EQ(shown(), (std::vector<QString>{"Lower 9", "no data", "no data", "no data", "no data", "no data",
                                             "no data"}));
}

class NameSampleTest : public MirageFixture {};

TEST_F(NameSampleTest, OkStoresAtMostEightCharactersAtTheIndexAndCancelStoresNothing)
{
    auto* dlg = qobject_cast<TfmNameSample*>(form().Window("TfmNameSample"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "Name Sample");
    form().WavesampleNames[11] = "Strings";
    form().NameSampleIndex = 11;
    activate(dlg);
    EXPECT_EQ(dlg->edSampleName->text(), "Strings");
    dlg->edSampleName->clear();
    QTest::keyClicks(dlg->edSampleName, "Bassoon12345");
    QTest::mouseClick(dlg->bnOK, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[11], "Bassoon1");
    EXPECT_FALSE(dlg->isVisible());

    activate(dlg);
    dlg->edSampleName->clear();
    QTest::mouseClick(dlg->bnCancel, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[11], "Bassoon1");

    form().NameSampleIndex = 0;
    activate(dlg);
    dlg->edSampleName->clear();
    QTest::mouseClick(dlg->bnOK, Qt::LeftButton);
    EXPECT_EQ(form().WavesampleNames[0], "") << "an empty name is stored as empty";
    EXPECT_TRUE(seams().sent().empty()) << "naming sends nothing";
}

} // namespace
} // namespace corvane::test
