// The program copy window: its eight destination messages, the source it
// shows, and the copy the instrument makes, seen in the next dumps.
#include "MirageFixture.h"
#include "ProgCopy.h"

#include "Dumps.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <set>

namespace corvane::test {
namespace {

class ProgCopyTest : public MirageFixture {
protected:
    TfmProgCopy* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        win = qobject_cast<TfmProgCopy*>(form().Window("TfmProgCopy"));
        ASSERT_NE(win, nullptr);
    }

    void click(const char* name)
    {
        auto* b = control<QPushButton>(win, name);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    QString source() { return control<QLabel>(win, "Label1")->text(); }

    // The 72 positions of one program's fields in a program dump.
    static std::vector<std::uint8_t> programBlock(const std::uint8_t* dump, int program)
    {
        const int from = programFieldPos(program, 0);
        return {dump + from, dump + from + 72};
    }
    std::vector<std::uint8_t> lowerProgram(int p) { return programBlock(form().LowerProgramDump, p); }
    std::vector<std::uint8_t> upperProgram(int p) { return programBlock(form().UpperProgramDump, p); }
};

TEST_F(ProgCopyTest, EveryDestinationSendsItsOwnNineByteMessage)
{
    activate(win);
    seams().clear();
    const std::vector<std::pair<const char*, std::string>> table = {
        {"bnU1", "sent F0 0F 01 01 01 06 01 0A 7F"}, {"bnU2", "sent F0 0F 01 01 01 06 02 0A 7F"},
        {"bnU3", "sent F0 0F 01 01 01 06 03 0A 7F"}, {"bnU4", "sent F0 0F 01 01 01 06 04 0A 7F"},
        {"bnL1", "sent F0 0F 01 01 01 05 01 0A 7F"}, {"bnL2", "sent F0 0F 01 01 01 05 02 0A 7F"},
        {"bnL3", "sent F0 0F 01 01 01 05 03 0A 7F"}, {"bnL4", "sent F0 0F 01 01 01 05 04 0A 7F"},
    };
    std::set<std::string> seen;
    for (const auto& [name, expected] : table) {
        seams().clear();
        click(name);
        EXPECT_EQ(seams().lines(), std::vector<std::string>{expected}) << name;
        EXPECT_EQ(control<QPushButton>(win, name)->text().toInt(), name[3] - '0');
        seen.insert(expected);
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_TRUE(win->isVisible()) << "the window stays open for further copies";
}

TEST_F(ProgCopyTest, SourceShowsTheCurrentHalfAndProgramAsOfActivation)
{
    EXPECT_EQ(win->windowTitle(), "Program Copy");
    EXPECT_EQ(win->Label2->text(), "Copy from:-");
    EXPECT_EQ(win->Label3->text(), "To:-");
    EXPECT_EQ(win->GroupBox1->title(), "Upper Program");
    EXPECT_EQ(win->GroupBox2->title(), "Lower Program");
    EXPECT_EQ(win->size(), QSize(200, 251));

    form().SelectProgram(1, 2); // upper program 3; the instrument reports the half
    ASSERT_EQ(form().GetCurrentHalf(), 1);
    activate(win);
    EXPECT_EQ(source(), "Upper 3");

    // a change while the window stays active shows only at the next activation
    form().SelectProgram(0, 1);
    ASSERT_EQ(form().GetCurrentHalf(), 0);
    EXPECT_EQ(source(), "Upper 3");
    seams().clear();
    win->Activate();
    EXPECT_EQ(source(), "Lower 2");
    EXPECT_TRUE(seams().lines().empty()) << "activation asks the instrument nothing";
}

TEST_F(ProgCopyTest, OkAndCancelOnlyClose)
{
    for (const char* name : {"bnOK", "bnCancel"}) {
        activate(win);
        seams().clear();
        click(name);
        EXPECT_FALSE(win->isVisible()) << name;
        EXPECT_TRUE(seams().lines().empty()) << name;
    }
}

TEST_F(ProgCopyTest, CopiedProgramShowsIdenticalFieldsInTheNextDump)
{
    form().SelectProgram(0, 1); // lower program 2 is the source
    fetchDumps();
    const auto copied = lowerProgram(1);
    const auto lowerBefore = std::vector<std::uint8_t>(form().LowerProgramDump,
                                                        form().LowerProgramDump + ProgramDumpSize);
    ASSERT_NE(upperProgram(3), copied) << "destination must differ before the copy";
    ASSERT_NE(lowerProgram(2), copied);

    activate(win);
    EXPECT_EQ(source(), "Lower 2");
    click("bnU4");
    click("bnL3");
    fetchDumps();

    EXPECT_EQ(upperProgram(3), copied);
    EXPECT_EQ(lowerProgram(2), copied);
    EXPECT_EQ(form().GetUpperParam(programFieldPos(3, pgf::FilterCutoff)),
              form().GetLowerParam(programFieldPos(1, pgf::FilterCutoff)));
    for (int p : {0, 1, 3})
        EXPECT_EQ(lowerProgram(p), programBlock(lowerBefore.data(), p)) << "lower program " << p + 1;
}

TEST_F(ProgCopyTest, CopyOntoTheSourceItselfIsSentAndChangesNothing)
{
    form().SelectProgram(1, 0);
    fetchDumps();
    const std::vector<std::uint8_t> before(form().UpperProgramDump, form().UpperProgramDump + ProgramDumpSize);
    activate(win);
    EXPECT_EQ(source(), "Upper 1");
    seams().clear();
    click("bnU1");
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 01 06 01 0A 7F"});
    fetchDumps();
    EXPECT_EQ(std::vector<std::uint8_t>(form().UpperProgramDump, form().UpperProgramDump + ProgramDumpSize),
              before);
    EXPECT_EQ(mirage().counters().programCopies, 1);
}

} // namespace
} // namespace corvane::test
