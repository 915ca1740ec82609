// The mirror of the keyboard assignment window: long random runs of real
// clicks on every control against the emulator (program buttons moving the
// current half, wavesample selects, top keys and initial wavesamples driven
// into their range ends, mix mode boxes, refreshes, activations, and other
// windows moving the instrument's program and wavesample), then fresh
// program dumps must equal the window's copies field by field.
#include "MirageFixture.h"

#include "KeyboardAssig.h"
#include "SwitchBox.h"
#include "UpDown.h"

#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <random>

namespace corvane::test {
namespace {

class KeyboardMirrorTest : public MirageFixture, public ::testing::WithParamInterface<unsigned> {};

TEST_P(KeyboardMirrorTest, RandomClicksKeepTheCopiesEqualToTheInstrument)
{
    auto* win = qobject_cast<TKeyboardAssig*>(form().Window("TKeyboardAssig"));
    ASSERT_NE(win, nullptr);
    fetchDumps();
    activate(win);

    const std::array<QToolButton*, 8> programs = {win->SpeedButton1, win->SpeedButton2, win->SpeedButton3,
                                                  win->SpeedButton4, win->SpeedButton5, win->SpeedButton6,
                                                  win->SpeedButton7, win->SpeedButton8};
    const std::array<TUpDown*, 3> rows[2] = {{win->udWsSelect, win->udTopKey, win->udInitWavesampleL},
                                             {win->udWsSelectU, win->udTopKeyU, win->udInitWavesampleU}};
    TSwitchBox* const mix[2] = {win->cbMixModeSwitch, win->cbMixModeSwU};

    // A refresh fetches the instrument's dump over the window's copy: first
    // the copy must equal it, field by field.
    int checkpoints = 0;
    auto refreshAndCompare = [&](int h) {
        std::uint8_t mirror[ProgramBufferSize];
        const std::uint8_t* kept = h == 0 ? form().LowerProgramDump : form().UpperProgramDump;
        std::copy(kept, kept + ProgramBufferSize, mirror);
        QTest::mouseClick(h == 0 ? win->bnRefreshLower : win->bnRefresh, Qt::LeftButton);
        ++checkpoints;
        const std::string half = h == 0 ? "lower " : "upper ";
        for (int w = 0; w < 8; ++w) {
            const int pos = wavesampleFieldPos(w, wsf::TopKey);
            EXPECT_EQ(getNibblePair(mirror, ProgramBufferSize, pos), form().GetParam(h, pos))
                << half << "top key of wavesample " << w + 1 << " at checkpoint " << checkpoints;
        }
        for (int p = 0; p < 4; ++p)
            for (const auto& [offset, name] : {std::pair{pgf::InitialWavesample, "initial wavesample"},
                                               std::pair{pgf::MixModeSwitch, "mix mode"}}) {
                const int pos = programFieldPos(p, offset);
                EXPECT_EQ(getNibblePair(mirror, ProgramBufferSize, pos), form().GetParam(h, pos))
                    << half << name << " of program " << p + 1 << " at checkpoint " << checkpoints;
            }
        const std::uint8_t* fresh = h == 0 ? form().LowerProgramDump : form().UpperProgramDump;
        EXPECT_TRUE(std::equal(mirror, mirror + ProgramDumpSize, fresh))
            << half << "dump differs elsewhere at checkpoint " << checkpoints;
    };

    std::mt19937 rng(GetParam());
    int steps = 0;
    int atEnd = 0;
    for (int i = 0; i < 2500; ++i) {
        const unsigned pick = rng() % 100;
        const int h = win->CurrentHalf();
        // Long runs in one direction drive the values into the range ends.
        const bool up = (i / 60) % 2 == 0 ? rng() % 5 != 0 : rng() % 5 == 0;
        if (pick < 6) {
            QTest::mouseClick(programs[rng() % 8], Qt::LeftButton);
        } else if (pick < 7) {
            refreshAndCompare(static_cast<int>(rng() % 2));
        } else if (pick < 9) {
            activate(win);
        } else if (pick < 11) {
            // Other windows select programs and wavesamples; the user comes back.
            for (unsigned n = 1 + rng() % 3; n > 0; --n)
                if (rng() % 2)
                    form().SelectProgram(static_cast<int>(rng() % 2), static_cast<int>(rng() % 4));
                else
                    form().SelectWavesample(static_cast<int>(rng() % 16));
            activate(win);
        } else if (pick < 16) {
            clickBox(mix[h]);
        } else {
            TUpDown* ud = rows[h][pick < 26 ? 0 : pick < 70 ? 1 : 2];
            const int before = ud->Position();
            (up ? clickUp : clickDown)(ud);
            ++(ud->Position() == before ? atEnd : steps);
        }
    }
    refreshAndCompare(0);
    refreshAndCompare(1);
    EXPECT_GT(steps, 1000);
    EXPECT_GT(atEnd, 20) << "the run never reached the range ends";
    EXPECT_EQ(mirage().counters().refusedSteps, 0) << "the window sent a step the instrument refused";
}

INSTANTIATE_TEST_SUITE_P(Seeds, KeyboardMirrorTest, ::testing::Values(1u, 20261207u, 4242u));

} // namespace
} // namespace corvane::test
