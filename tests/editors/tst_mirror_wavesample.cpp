// The mirror of the wavesample windows: long random runs of real clicks on
// the memory maps, tuning, relative amplitude and relative filter against
// the emulator, with selector changes and returns to each window; then fresh
// program dumps must equal the windows' copies field by field.
#include "MirageFixture.h"

#include "MemoryMap.h"
#include "RelAmplitude.h"
#include "RelFilter.h"
#include "SwitchBox.h"
#include "Tuning.h"
#include "UpDown.h"

#include <QComboBox>
#include <QTest>
#include <QToolButton>

#include <random>

namespace corvane::test {
namespace {

class WavesampleMirrorTest : public MirageFixture, public ::testing::WithParamInterface<unsigned> {};

const char* const FieldNames[12] = {"loop switch", "octave", "fine", "amplitude", "rel filter", "max filter",
                                    "top key", "start", "end", "loop start", "loop end", "loop fine"};

TEST_P(WavesampleMirrorTest, RandomClicksKeepTheCopyEqualToTheInstrument)
{
    auto copyEqualsInstrument = [this] {
        const Message lowerNow = mirage().programDump(0), upperNow = mirage().programDump(1);
        return std::equal(lowerNow.begin(), lowerNow.end(), form().LowerProgramDump) &&
               std::equal(upperNow.begin(), upperNow.end(), form().UpperProgramDump);
    };
    fetchDumps();
    ASSERT_TRUE(copyEqualsInstrument());
    std::vector<TFormBase*> windows;
    for (const char* name : {"TMemoryMap", "TfmMemMapU", "TfmTuning", "TfmRelAmplitude", "TfmRelFilter"}) {
        windows.push_back(form().Window(name));
        ASSERT_NE(windows.back(), nullptr) << name;
    }

    std::mt19937 rng(GetParam());
    TFormBase* win = nullptr;
    int moves = 0, unsent = 0, selections = 0;
    int pick = 0, run = 0;
    bool up = true;
    for (int i = 0; i < 4000; ++i) {
        if (i % 300 == 0) { // each window in turn, reloaded as the user returns to it
            win = windows[static_cast<std::size_t>(i / 300) % windows.size()];
            activate(win);
        }
        auto* map = qobject_cast<TMemMap*>(win);
        auto* table = qobject_cast<TWavesampleTable*>(win);
        const int current = map ? map->CurrentRow() : table->CurrentIndex();
        QComboBox* selector = map ? map->cbCurrentWs : table->cbSelect;
        if (current < 0 || rng() % 60 == 0) {
            const int index = static_cast<int>(rng() % static_cast<unsigned>(selector->count()));
            selector->setCurrentIndex(index);
            emit selector->activated(index);
            ++selections;
            continue;
        }
        const std::size_t sentBefore = seams().sent().size();
        const int controls = map ? TMemMap::Columns + 1 : table->ColumnCount();
        // Runs on one control in one direction drive the values into their
        // bounds.
        if (run-- <= 0) {
            pick = static_cast<int>(rng() % static_cast<unsigned>(controls));
            up = rng() % 2 == 0;
            run = static_cast<int>(rng() % 40);
        }
        pick = std::min(pick, controls - 1);
        if (map && pick == TMemMap::Columns) {
            clickBox(map->cbLoopSw[static_cast<std::size_t>(current)]);
        } else {
            TUpDown* ud = map ? map->ud[static_cast<std::size_t>(pick)][static_cast<std::size_t>(current)]
                              : table->upDown(pick, current);
            const bool dir = rng() % 8 == 0 ? !up : up;
            QTest::mouseClick(dir ? ud->upButton() : ud->downButton(), Qt::LeftButton);
        }
        if (seams().sent().size() == sentBefore)
            ++unsent;
        else
            ++moves;
        // The copy may not disagree with the instrument even for a while:
        // a later loop reset would hide it from the final comparison.
        if (!copyEqualsInstrument()) {
            ADD_FAILURE() << "copy and instrument disagree after click " << i << " in "
                          << win->objectName().toStdString() << " on wavesample " << current;
            break;
        }
    }
    EXPECT_GT(moves, 2000);
    EXPECT_GT(unsent, 500) << "the run never reached the bounds";
    EXPECT_GT(selections, 40);
    EXPECT_EQ(mirage().counters().refusedSteps, 0) << "a window sent a step the instrument refused";

    std::vector<std::uint8_t> lower(form().LowerProgramDump, form().LowerProgramDump + ProgramDumpSize);
    std::vector<std::uint8_t> upper(form().UpperProgramDump, form().UpperProgramDump + ProgramDumpSize);
    fetchDumps();
    for (int half = 0; half < 2; ++half) {
        const std::uint8_t* mirror = half == 0 ? lower.data() : upper.data();
        for (int w = 0; w < 8; ++w)
            for (int f = 0; f < 12; ++f) {
                const int pos = wavesampleFieldPos(w, 2 * f);
                EXPECT_EQ(getNibblePair(mirror, ProgramDumpSize, pos), form().GetParam(half, pos))
                    << (half ? "U" : "L") << w + 1 << " " << FieldNames[f];
            }
        // Nothing else of the dump moved either.
        EXPECT_TRUE(std::equal(mirror, mirror + ProgramDumpSize,
                               half == 0 ? form().LowerProgramDump : form().UpperProgramDump));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, WavesampleMirrorTest, ::testing::Values(1u, 20261207u, 4242u));

} // namespace
} // namespace corvane::test
