// The shared step routine on program and wavesample targets, as the
// envelope and per-wavesample windows use it, and the windows' place in the
// program's creation order.
#include "MirageFixture.h"

#include "FieldStepper.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QTest>
#include <QToolButton>

namespace corvane::test {
namespace {

// The dumps arrive zeroed, as from an instrument that holds zeros: a value
// no dump has brought would show as XX.
class FieldStepperTest : public MirageFixture {
protected:
    void SetUp() override
    {
        MirageFixture::SetUp();
        Message config(ConfigDumpSize, 0);
        config[0] = sysex::Start;
        config[1] = sysex::Ensoniq;
        config[2] = sysex::Mirage;
        config[3] = cmd::ConfigDump;
        config.back() = sysex::End;
        const std::vector<std::uint8_t> program(625, 0);
        for (const Message& m : {config, makeProgramDump(0, program), makeProgramDump(1, program)})
            form().MidiIn1SysEx(m.data(), static_cast<int>(m.size()));
        seams().clear();
    }
};

TEST_F(FieldStepperTest, ProgramFieldsOfTheCurrentProgramOfOneHalf)
{
    QWidget host;
    auto* ud = new TUpDown(&host);
    auto* box = new TValueBox(&host);
    auto* mono = new TSwitchBox("Mono", &host);
    host.show();
    FieldStepper fields(form(), [this] { return DumpTarget::Program(1, form().GetCurrentProgram(1)); });
    int shownAfter = -1;
    fields.add({pgf::FilterCutoff, 36, 2, {2, 0}, 0, 99}, ud, box, [&](int stored) { shownAfter = stored; });
    fields.addSwitch({pgf::MonoMode, 29}, mono);

    form().CurrentUpperProgram = 2;
    const int pos = 966 + 72 * 2 + 12;
    form().SetUpperParam(pos, 80);
    form().UpperProgramDump[966 + 72 * 2] = 1;
    fields.showAll();
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(box->text(), "40");
    EXPECT_EQ(ud->Position(), 40);
    EXPECT_TRUE(mono->isChecked());

    // As a window's one-line handler does.
    seams().clear();
    QObject::connect(ud, &TUpDown::Click, &host, [&](bool up) { fields.step(ud, up); });
    QTest::mouseClick(ud->upButton(), Qt::LeftButton);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 03 06 0D 0E 7F"});
    EXPECT_EQ(form().GetUpperParam(pos), 82);
    EXPECT_EQ(form().GetLowerParam(pos), 0);
    EXPECT_EQ(box->text(), "41");
    EXPECT_EQ(shownAfter, 82);

    // Another current program moves the field.
    form().CurrentUpperProgram = 0;
    fields.showAll();
    EXPECT_EQ(box->text(), "0");
    EXPECT_FALSE(mono->isChecked());
    seams().clear();
    fields.toggle(mono, false);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 02 09 0D 0E 7F"});
    EXPECT_EQ(form().UpperProgramDump[966], 1);
    EXPECT_EQ(form().UpperProgramDump[966 + 72 * 2], 1);
}

TEST_F(FieldStepperTest, WavesampleFieldsOfTheChosenWavesample)
{
    QWidget host;
    auto* ud = new TUpDown(&host);
    auto* box = new TValueBox(&host);
    int half = 0;
    int ws = 5;
    FieldStepper fields(form(), [&] { return DumpTarget::Wavesample(half, ws); });
    fields.add({wsf::RelAmplitude, 69, 1, {}, 0, 63}, ud, box);
    form().SetLowerParam(22 + 48 * 5 + 6, 63);
    fields.showAll();
    EXPECT_EQ(box->text(), "63");
    fields.step(ud, false);
    EXPECT_EQ(seams().sent().back(), parameterStepMessage(69, false));
    EXPECT_EQ(form().GetLowerParam(22 + 48 * 5 + 6), 62);
    half = 1;
    ws = 7;
    fields.step(ud, true);
    EXPECT_EQ(form().GetUpperParam(22 + 48 * 7 + 6), 1);
    EXPECT_EQ(form().GetLowerParam(22 + 48 * 5 + 6), 62);
}

TEST_F(FieldStepperTest, StepToSendsWholeStepsTowardTheValueAndStopsWhenAsked)
{
    QWidget host;
    auto* ud = new TUpDown(&host);
    auto* box = new TValueBox(&host);
    FieldStepper fields(form(), [] { return DumpTarget::Program(0, 0); });
    fields.add(StepField::of(37), ud, box); // resonance, kept times four
    const int pos = programFieldPos(0, pgf::Resonance);
    struct Case {
        int from, to, steps;
    };
    // (to - from) / 4 rounded toward zero; the shown range ends at 40.
    for (const Case c : {Case{40, 52, 3}, Case{40, 43, 0}, Case{52, 37, -3}, Case{156, 200, 1}}) {
        form().SetLowerParam(pos, c.from);
        seams().clear();
        EXPECT_EQ(fields.stepTo(ud, c.to, 30), std::abs(c.steps)) << c.from << " -> " << c.to;
        EXPECT_EQ(form().GetLowerParam(pos), c.from + 4 * c.steps);
        EXPECT_EQ(seams().waits(), std::vector<int>(static_cast<std::size_t>(std::abs(c.steps)), 30));
        if (c.steps != 0) {
            EXPECT_EQ(box->text(), QString::number(form().GetLowerParam(pos) / 4));
        }
    }
    form().SetLowerParam(pos, 0);
    int asked = 0;
    EXPECT_EQ(fields.stepTo(ud, 40, 30, [&] { return ++asked > 2; }), 2);
    EXPECT_EQ(form().GetLowerParam(pos), 8);
}

TEST_F(FieldStepperTest, LimitsFromNeighbouringFieldsBoundEveryStep)
{
    QWidget host;
    auto* start = new TUpDown(&host);
    auto* end = new TUpDown(&host);
    FieldStepper fields(form(), [] { return DumpTarget::Wavesample(0, 0); });
    const int s = wavesampleFieldPos(0, wsf::StartPage);
    const int e = wavesampleFieldPos(0, wsf::EndPage);
    FieldStepper::Options startOptions;
    startOptions.limits = [&] { return std::pair{0, form().GetLowerParam(e)}; };
    fields.add(StepField::of(60), start, nullptr, startOptions);
    FieldStepper::Options endOptions;
    endOptions.limits = [&] { return std::pair{form().GetLowerParam(s), 255}; };
    fields.add(StepField::of(61), end, nullptr, endOptions);
    form().SetLowerParam(s, 0x10);
    form().SetLowerParam(e, 0x11);
    fields.showAll();
    EXPECT_TRUE(fields.step(start, true));
    EXPECT_FALSE(fields.step(start, true)) << "start may not pass the end";
    EXPECT_EQ(end->Min(), 0x11) << "the end's range follows the start";
    EXPECT_FALSE(fields.step(end, false));
    EXPECT_EQ(seams().sent(), std::vector<Message>{parameterStepMessage(60, true)});
}

TEST_F(FieldStepperTest, WindowsComeInTheProgramsOrder)
{
    std::vector<std::string> order;
    for (const auto& [name, w] : form().Windows())
        order.push_back(name);
    auto at = [&](const char* name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    ASSERT_LT(at("TConfigTableForm"), static_cast<long>(order.size()));
    ASSERT_LT(at("TfmSample"), static_cast<long>(order.size()));
    EXPECT_EQ(at("TConfigTableForm"), at("TMidiSetupDialogBox") + 1);
    EXPECT_EQ(at("TfmSample"), at("TfmSetColours") + 1);
    EXPECT_LT(at("TfmSample"), at("TAboutBox"));
}

} // namespace
} // namespace corvane::test
