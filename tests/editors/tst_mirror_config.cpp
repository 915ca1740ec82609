// The mirror: long random runs of real clicks on every control of the
// configuration and sampling windows against the emulator, then a fresh
// configuration dump must equal the window's copy field by field. It
// catches a control that steps one field of the copy but sends another
// parameter's number, a step sent but not applied to the copy (or applied
// but not sent), a switch box whose copy and instrument part ways, a step
// sent at a range end that the instrument refuses, and a return to a window
// that loses what the copy holds. It cannot catch a wrong step size or range
// end: windows and emulator read both from one parameter table, so a wrong
// entry moves both alike; the windows' own tests pin those values.
#include "MirageFixture.h"

#include "ConfigTable.h"
#include "Sampling.h"
#include "SwitchBox.h"
#include "UpDown.h"

#include <QTest>
#include <QPushButton>
#include <QToolButton>

#include <random>

namespace corvane::test {
namespace {

class ConfigMirrorTest : public MirageFixture, public ::testing::WithParamInterface<unsigned> {};

struct Field {
    const char* name;
    int pos;
    bool pair; // nibble pair, or a single switch byte
};
const Field EditedFields[] = {
    {"master tune", cfg::MasterTune, true},     {"bend range", cfg::BendRange, true},
    {"velocity", cfg::VelocitySensitivity, true}, {"balance", cfg::Balance, true},
    {"program link", cfg::ProgramLink, false},  {"sample time", cfg::SampleTime, true},
    {"input filter", cfg::InputFilter, true},   {"line input", cfg::LineInput, false},
    {"threshold", cfg::Threshold, true},        {"multisampling", cfg::Multisampling, false},
    {"omni", cfg::Omni, false},                 {"midi channel", cfg::MidiChannel, true},
    {"midi thru", cfg::MidiThru, false},        {"mod enable", cfg::MidiModulation, false},
};

TEST_P(ConfigMirrorTest, RandomClicksKeepTheCopyEqualToTheInstrument)
{
    auto* config = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
    auto* sampling = qobject_cast<TfmSample*>(form().Window("TfmSample"));
    ASSERT_TRUE(config && sampling);
    fetchDumps();

    const std::vector<TUpDown*> upDowns = {
        config->UpDownMasterTune, config->UpDownPitchBender, config->UpDownVelsSens, config->UpDownULbalance,
        config->UpDownMidiChannel, sampling->udSampleTime, sampling->udSamplingThresh, sampling->udInputFilterFreq};
    const std::vector<TSwitchBox*> boxes = {config->ckProgramLink, config->ckOmniMode, config->ckMidiThru,
                                            config->ckMidiModEnable, sampling->ckMicLine,
                                            sampling->cbMultiSampling};

    std::mt19937 rng(GetParam());
    activate(config);
    activate(sampling);
    int moves = 0;
    int atEnd = 0;
    for (int i = 0; i < 3000; ++i) {
        // Now and then the user goes back to a window, which reloads it.
        if (rng() % 200 == 0)
            activate(rng() % 2 ? static_cast<QWidget*>(config) : sampling);
        const auto pick = rng() % (upDowns.size() + boxes.size());
        if (pick < upDowns.size()) {
            TUpDown* ud = upDowns[pick];
            // Long runs in one direction drive the values into the range ends.
            const bool up = (i / 40 + pick) % 2 == 0 ? rng() % 4 != 0 : rng() % 4 == 0;
            const int before = ud->Position();
            QTest::mouseClick(up ? ud->upButton() : ud->downButton(), Qt::LeftButton);
            if (ud->Position() == before)
                ++atEnd;
            else
                ++moves;
        } else {
            TSwitchBox* b = boxes[pick - upDowns.size()];
            if (rng() % 5 == 0) { // pressed, then released away from the box
                QTest::mousePress(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
                QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(b->width() + 50, b->height() + 50));
            } else {
                QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
            }
        }
    }
    EXPECT_GT(moves, 1000);
    EXPECT_GT(atEnd, 20) << "the run never reached the range ends";
    EXPECT_EQ(mirage().counters().refusedSteps, 0) << "the window sent a step the instrument refused";

    // The boxes show what the copy holds.
    for (TSwitchBox* b : boxes) {
        const int pos = b == config->ckProgramLink     ? cfg::ProgramLink
                        : b == config->ckOmniMode      ? cfg::Omni
                        : b == config->ckMidiThru      ? cfg::MidiThru
                        : b == config->ckMidiModEnable ? cfg::MidiModulation
                        : b == sampling->ckMicLine     ? cfg::LineInput
                                                       : cfg::Multisampling;
        EXPECT_EQ(b->isChecked(), form().ConfigDump[pos] == 1) << b->objectName().toStdString();
    }

    std::uint8_t mirror[ConfigDumpSize];
    std::copy(std::begin(form().ConfigDump), std::end(form().ConfigDump), mirror);
    seams().clear();
    QTest::mouseClick(config->bnConfigRefresh, Qt::LeftButton);
    ASSERT_EQ(seams().sent().size(), 1u);
    for (const Field& f : EditedFields) {
        const int fresh = f.pair ? form().GetConfigParam(f.pos) : form().ConfigDump[f.pos];
        const int kept = f.pair ? getNibblePair(mirror, ConfigDumpSize, f.pos) : mirror[f.pos];
        EXPECT_EQ(kept, fresh) << f.name;
    }
    // And the windows, redisplayed from the fresh dump, still agree.
    EXPECT_EQ(config->UpDownMasterTune->Position(), form().GetConfigParam(cfg::MasterTune));
    EXPECT_EQ(config->UpDownMidiChannel->Position(), form().GetConfigParam(cfg::MidiChannel) + 1);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ConfigMirrorTest, ::testing::Values(1u, 20261207u, 777u));

} // namespace
} // namespace corvane::test
