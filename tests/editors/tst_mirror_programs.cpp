// The mirror for the program editors: long random runs of real clicks on
// every control of the envelope/filter and oscillator/LFO windows of both
// halves, program changes and preset recalls, against the emulator; then
// fresh program dumps must equal the windows' copies field by field.
#include "MirageFixture.h"

#include "EnvFilter.h"
#include "OscLfo.h"
#include "SwitchBox.h"
#include "UpDown.h"

#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <random>

namespace corvane::test {
namespace {

class ProgramMirrorTest : public MirageFixture, public ::testing::WithParamInterface<unsigned> {};

// The stored range of each preset slot's field, and a little beyond now and
// then, so that recalls also meet the range ends.
int randomPresetValue(std::mt19937& rng, int slot)
{
    const int top = slot == 0 ? 198 : slot == 1 ? 160 : slot == 2 ? 4 : (slot - 3) % 10 < 5 ? 31 : 124;
    return rng() % 20 == 0 ? static_cast<int>(rng() % 256) : static_cast<int>(rng() % (top + 1));
}

TEST_P(ProgramMirrorTest, RandomClicksAndRecallsKeepTheCopiesEqualToTheInstrument)
{
    std::vector<TFormBase*> windows;
    for (const char* name : {"TEnvelopeForm", "TfmEnvFilterU", "TOscillator", "TfmOscLFOU"})
        windows.push_back(form().Window(name));
    fetchDumps();

    std::mt19937 rng(GetParam());
    int moves = 0, recalls = 0, ticks = 0, programs = 0;
    TFormBase* current = nullptr;
    for (int i = 0; i < 1500; ++i) {
        // A user's pace: the clock moves on between clicks, as the wire to
        // the instrument needs 3 ms for each step message.
        seams().advance(20 + static_cast<int>(rng() % 100));
        // The user turns to another window now and then; turning to it
        // activates it, which selects its program on the instrument.
        if (!current || rng() % 60 == 0) {
            current = windows[rng() % windows.size()];
            activate(current);
        }
        auto* env = qobject_cast<TEnvFilterEditor*>(current);
        auto* osc = qobject_cast<TOscLfoEditor*>(current);
        const unsigned r = rng() % 100;
        if (r < 2) {
            QToolButton* buttons[] = {env ? env->SpeedButton1 : osc->SpeedButton1,
                                      env ? env->SpeedButton2 : osc->SpeedButton2,
                                      env ? env->SpeedButton3 : osc->SpeedButton3,
                                      env ? env->SpeedButton4 : osc->SpeedButton4};
            QTest::mouseClick(buttons[rng() % 4], Qt::LeftButton);
            ++programs;
        } else if (env && r < 5) {
            const int b = static_cast<int>(rng() % PresetCount);
            for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
                form().EnvPresets.value(b, slot) = randomPresetValue(rng, slot);
            env->cbEnvPresetNamesClick(b);
            QTest::mouseClick(env->bnEnvSet, Qt::LeftButton);
            ++recalls;
        } else if (osc && r < 12) {
            clickBox(rng() % 2 ? osc->cbMonoMode : osc->cbMixModeSwitch);
            ++ticks;
        } else {
            const QList<TUpDown*> uds = current->findChildren<TUpDown*>();
            TUpDown* ud = uds[rng() % uds.size()];
            // Long runs in one direction drive the values into the range ends.
            const bool up = (i / 50) % 2 == 0 ? rng() % 4 != 0 : rng() % 4 == 0;
            for (int k = 0, n = 1 + static_cast<int>(rng() % 6); k < n; ++k) {
                up ? clickUp(ud) : clickDown(ud);
                seams().advance(20);
            }
            ++moves;
        }
    }
    EXPECT_GT(moves, 800);
    EXPECT_GT(recalls, 10);
    EXPECT_GT(ticks, 20);
    EXPECT_GT(programs, 10);
    EXPECT_EQ(mirage().counters().refusedSteps, 0) << "a window sent a step the instrument refused";

    for (int half : {0, 1}) {
        std::vector<std::uint8_t> mirror(half ? form().UpperProgramDump : form().LowerProgramDump,
                                         (half ? form().UpperProgramDump : form().LowerProgramDump) +
                                             ProgramDumpSize);
        form().RequestProgram(half);
        const std::uint8_t* fresh = half ? form().UpperProgramDump : form().LowerProgramDump;
        int differences = 0;
        for (int pos = 4; pos + 1 < static_cast<int>(ProgramDumpSize) && differences < 10; pos += 2) {
            const int kept = getNibblePair(mirror.data(), ProgramDumpSize, pos);
            const int now = getNibblePair(fresh, ProgramDumpSize, pos);
            if (kept != now) {
                ++differences;
                ADD_FAILURE() << (half ? "upper" : "lower") << " position " << pos << " (program "
                              << (pos - 966) / 72 << ", offset " << (pos - 966) % 72 << "): copy " << kept
                              << ", instrument " << now;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ProgramMirrorTest, ::testing::Values(3u, 20261207u, 4242u));

} // namespace
} // namespace corvane::test
