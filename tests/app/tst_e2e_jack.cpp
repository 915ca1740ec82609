// End to end over real MIDI: mirage-emu runs as a process of its own behind
// JACK ports, the real main window chooses those ports through the "MIDI
// Setup" dialog, and the dumps it fetches are the emulator's. Runs under
// scripts/with-jack.sh, which provides a private JACK server.
#include "JackMirage.h"
#include "MirageEmulator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane::test {
namespace {

bool equalsDump(const Message& expected, const std::uint8_t* actual)
{
    return std::equal(expected.begin(), expected.end(), actual);
}

class EndToEndJack : public ::testing::Test {
protected:
    JackMirage jack;
};

TEST_F(EndToEndJack, DumpsComeFromTheEmulatorAndALoadChangesIt)
{
    ASSERT_EQ(jack.start(), "");
    auto& form = jack.form;
    auto& seams = jack.seams;
    seams.clear();

    emu::MirageEmulator reference; // the same factory state as the process
    EXPECT_TRUE(equalsDump(reference.configDump(), form->ConfigDump));

    // Each exchange is checked on what arrived; one the JACK server lost
    // cycles in is made again (JackMirage::resend).
    const bool fetched = jack.resend([&] {
        QTest::mouseClick(form->ToolButton("sbRefreshUL"), Qt::LeftButton);
        return waitUntil([&] { return equalsDump(reference.programDump(0), form->LowerProgramDump) &&
                                      equalsDump(reference.programDump(1), form->UpperProgramDump); },
                         10000);
    });
    EXPECT_TRUE(fetched) << "the program dumps are not the emulator's";

    // "Load U2 into Mirage", then fetch again: the upper dump is disk sound 2's.
    reference.receive(keyCodeMessage({0x10, 0x02, 0x0A}));
    ASSERT_FALSE(equalsDump(reference.programDump(1), form->UpperProgramDump)) << "the load must change something";
    const bool loaded = jack.resend([&] {
        QTest::mouseClick(form->ToolButton("SpeedButton4"), Qt::LeftButton);
        QTest::qWait(200);
        form->sbRefreshULClick();
        return waitUntil([&] { return equalsDump(reference.programDump(1), form->UpperProgramDump); }, 10000);
    });
    EXPECT_TRUE(loaded) << "the instrument's upper half is not disk sound 2";
    EXPECT_TRUE(seams.boxes().empty());
}

} // namespace
} // namespace corvane::test
