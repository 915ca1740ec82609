// The Build Sound window on the fixture: a folder of named tones built into
// the lower half, shown, played at a key, saved, sent to the emulator and
// read back; a source that cannot be read refused with its name. With
// CORVANE_SCREENSHOTS set, the built window is saved there as a picture.
#include "MirageFixture.h"

#include "AudioConvert.h"
#include "BuildSound.h"
#include "MirageEmulator.h"
#include "PlayerPanel.h"
#include "SoundFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

class BuildSoundTest : public MirageFixture {
protected:
    void SetUp() override
    {
        MirageFixture::SetUp();
        window = dynamic_cast<TfmBuildSound*>(form().Window("TfmBuildSound"));
        ASSERT_TRUE(window);
        folder = fs::path(configDir().toStdString()) / "tones";
        fs::create_directories(folder);
        // Three tones named by their notes, written as 16-bit WAV at 29,411 Hz.
        for (const auto& [name, key] : {std::pair{"Tone C3.wav", 48}, {"Tone G3.wav", 55}, {"Tone C4.wav", 60}}) {
            std::vector<std::uint8_t> bytes(12000);
            const double f = 440.0 * std::pow(2.0, (key - 69) / 12.0);
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>(128 + std::lround(90 * std::sin(2 * 3.14159265358979 * f * i / 29411)));
            ASSERT_TRUE(audio::exportAudio((folder / name).string(), bytes, 29411, {}).ok());
        }
    }

    TfmBuildSound* window = nullptr;
    fs::path folder;
};

TEST_F(BuildSoundTest, AFolderOfTonesIsBuiltShownPlayedSavedAndSent)
{
    window->show();
    seams().folderAnswers = {folder.string()};
    window->bnFolder->click();
    ASSERT_TRUE(window->bnBuild->isEnabled());
    EXPECT_FALSE(window->bnSend->isEnabled()) << "nothing to send before a build";
    // The zones by root, all ticked; one left out and ticked again.
    ASSERT_EQ(window->lwSource->count(), 3);
    EXPECT_EQ(window->lwSource->item(1)->text(), "G3 (55)  Tone G3.wav");
    window->lwSource->item(1)->setCheckState(Qt::Unchecked);
    window->bnBuild->click();
    ASSERT_TRUE(window->Result().has_value());
    EXPECT_EQ(window->tbZones->rowCount(), 2);
    window->lwSource->item(1)->setCheckState(Qt::Checked);
    window->bnBuild->click();
    ASSERT_TRUE(window->Result().has_value()) << window->lbStatus->text().toStdString();
    const build::BuildResult& r = *window->Result();
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(window->tbZones->rowCount(), 3);
    EXPECT_EQ(window->tbZones->item(0, 2)->text(), "C3 (48)");
    EXPECT_EQ(window->tbZones->item(2, 3)->text(), "58-96");
    EXPECT_TRUE(window->edReport->toPlainText().contains("zone 1: root C3 (48)"));

    // The selected zone plays at its root, and faster an octave up.
    window->tbZones->selectRow(1);
    window->Player->bnPlay->click();
    ASSERT_EQ(seams().played.size(), 1u);
    const double rootRate = 29411 * std::pow(2.0, r.zones[1].resample / 12.0);
    EXPECT_NEAR(seams().played.back().rate, rootRate, 1);
    ASSERT_TRUE(seams().played.back().loop.has_value());
    window->cbPlayKey->setCurrentIndex(window->cbPlayKey->findData(55 + 12));
    window->Player->bnPlay->click();
    EXPECT_NEAR(seams().played.back().rate, 2 * rootRate, 2);

    if (const char* dir = std::getenv("CORVANE_SCREENSHOTS")) {
        window->resize(1500, 700);
        window->grab().save(QString(dir) + "/build-sound.png");
    }

    const std::string syx = (fs::path(configDir().toStdString()) / "built.syx").string();
    seams().saveAnswers = {syx};
    window->bnSave->click();
    const sound::ReadResult saved = sound::readFile(syx);
    ASSERT_TRUE(saved.ok()) << saved.text;
    EXPECT_EQ(saved.sound.halves[0].programDump, r.half.programDump);
    EXPECT_EQ(saved.sound.halves[0].names[0], "Tone C3");
    EXPECT_EQ(window->lbStatus->text(), "Saved \"built.syx\" (" + QString::number(fs::file_size(syx)) + " bytes).");

    // Written into a slot of an image, as the Disk Images window writes:
    // what is replaced said, the image as it was kept beside it.
    const fs::path image = fs::path(configDir().toStdString()) / "disk.img";
    std::ofstream(image, std::ios::binary) << std::string(450560, '\0');
    seams().fileAnswers = {image.string()};
    window->bnWrite->click();
    ASSERT_FALSE(seams().boxes().empty());
    EXPECT_NE(seams().boxes().back().text.find("Writing replaces L1 of \"disk.img\" (empty) with the built half. A copy of "
                                               "the image as it is now is kept as \"disk.img.bak\"."),
              std::string::npos)
        << seams().boxes().back().text;
    EXPECT_EQ(window->lbStatus->text(), "Written into L1 of \"disk.img\"; the image as it was is kept as \"disk.img.bak\".");
    EXPECT_EQ(fs::file_size(fs::path(image.string() + ".bak")), 450560u);

    window->bnSend->click();
    EXPECT_TRUE(window->lbStatus->text().startsWith("Sent: 3 wavesamples accepted")) << window->lbStatus->text().toStdString();
    EXPECT_EQ(mirage().programDump(0), r.half.programDump);
    for (std::uint8_t w = 1; w <= 3; ++w) {
        mirage().receive(keyCodeMessage({key::LowerWavesample, w}));
        EXPECT_EQ(sound::wavesampleSamples(mirage().wavesampleDump()), r.zones[w - 1].bytes);
    }
    EXPECT_EQ(form().WavesampleNames[2], "Tone C4");
}

TEST_F(BuildSoundTest, ASourceThatCannotBeReadIsRefusedAndAMissingRootIsAskedFor)
{
    const std::string bad = (folder / "broken.sf2").string();
    std::ofstream(bad) << "not a soundfont";
    seams().fileAnswers = {bad};
    window->bnOpen->click();
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_NE(seams().boxes()[0].text.find("broken.sf2"), std::string::npos) << seams().boxes()[0].text;
    EXPECT_FALSE(window->bnBuild->isEnabled());

    // A tone without a note in its name is listed unticked until it is given
    // its root; then it takes its place among the others.
    fs::rename(folder / "Tone G3.wav", folder / "Tone.wav");
    seams().folderAnswers = {folder.string()};
    window->bnFolder->click();
    EXPECT_EQ(seams().boxes().size(), 1u);
    ASSERT_EQ(window->lwSource->count(), 3);
    EXPECT_EQ(window->lwSource->item(0)->text(), "? (no root)  Tone.wav");
    EXPECT_EQ(window->lwSource->item(0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(window->lbStatus->text().contains("1 without a root note"));
    window->lwSource->setCurrentRow(0);
    window->cbRoot->setCurrentIndex(window->cbRoot->findData(55));
    emit window->cbRoot->activated(window->cbRoot->currentIndex());
    EXPECT_EQ(window->lwSource->item(1)->text(), "G3 (55)  Tone.wav");
    EXPECT_EQ(window->lwSource->item(1)->checkState(), Qt::Checked);
    window->bnBuild->click();
    ASSERT_TRUE(window->Result().has_value()) << window->lbStatus->text().toStdString();
    EXPECT_EQ(window->tbZones->rowCount(), 3);
    // The root given is the zone's: nothing is said to lack one.
    EXPECT_FALSE(window->edReport->toPlainText().contains("root note")) << window->edReport->toPlainText().toStdString();
}

TEST_F(BuildSoundTest, PathsTypedIntoTheSourceLineAreOpened)
{
    window->show();
    window->edSource->setText(QString::fromStdString((folder / "Tone C3.wav").string() + "; " +
                                                     (folder / "Tone C4.wav").string()));
    QTest::keyClick(window->edSource, Qt::Key_Return);
    EXPECT_TRUE(seams().boxes().empty());
    ASSERT_EQ(window->lwSource->count(), 2);
    EXPECT_EQ(window->lwSource->item(1)->text(), "C4 (60)  Tone C4.wav");
    EXPECT_TRUE(window->bnBuild->isEnabled());

    window->edSource->setText(QString::fromStdString((folder / "gone.sfz").string()));
    QTest::keyClick(window->edSource, Qt::Key_Return);
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_NE(seams().boxes()[0].text.find("gone.sfz"), std::string::npos) << seams().boxes()[0].text;
    EXPECT_FALSE(window->bnBuild->isEnabled());
}

// FluidR3 opens on its lowest bank:program while the window keeps
// answering; the kit of bank 128 ticks its drums by role; the window fits
// the screen and keeps its width from build to build; its account is the
// command line's.
TEST_F(BuildSoundTest, ASoundFontOpensOnItsLowestPresetAndAKitOnItsDrumsWhileTheWindowKeepsItsSize)
{
    const std::string sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (!fs::exists(sf2))
        GTEST_FAIL() << sf2 << " is missing: scripts/install-deps.sh installs fluid-soundfont-gm";
    window->show();
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry())) << window->width() << "x" << window->height() << " min " << window->minimumSizeHint().width() << "x" << window->minimumSizeHint().height() << " area " << area.width() << "x" << area.height();
    int ticks = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&ticks] { ++ticks; });
    beat.start(1);
    seams().fileAnswers = {sf2};
    window->bnOpen->click();
    beat.stop();
    EXPECT_GT(ticks, 0) << "the window's events were handled while the file was read";
    ASSERT_TRUE(window->bnBuild->isEnabled()) << window->lbStatus->text().toStdString();
    EXPECT_EQ(window->cbPreset->currentText(), "000:000 Yamaha Grand Piano (40 zones)");

    window->bnBuild->click();
    ASSERT_TRUE(window->Result().has_value()) << window->lbStatus->text().toStdString();
    const int width = window->width();
    const QString report = window->edReport->toPlainText();
    EXPECT_TRUE(report.contains("note: Preset 000:000 Yamaha Grand Piano.")) << report.toStdString();
    EXPECT_TRUE(report.contains("zones chosen of")) << report.toStdString();
    EXPECT_TRUE(window->lbStatus->text().startsWith(QString::fromStdString(build::builtSummary(*window->Result()))));
    // The command line's account of the same preset: the same zones, left
    // out and chosen for the same reasons.
    build::BuildOptions o;
    o.templateDump = emu::MirageEmulator().programDump(0);
    const build::BuildResult alone = build::buildHalf(build::readSoundFont(sf2, ""), o);
    const auto choice = [](const std::vector<std::string>& lines) {
        std::vector<std::string> kept;
        for (const std::string& line : lines)
            if (line.starts_with("zone ") || line.find("left out") != std::string::npos ||
                line.find("thinned") != std::string::npos || line.find("chosen") != std::string::npos)
                kept.push_back(line);
        return kept;
    };
    EXPECT_EQ(choice(build::reportLines(*window->Result())), choice(build::reportLines(alone)));

    window->cbPreset->setCurrentIndex(window->cbPreset->findText("128:000 Standard", Qt::MatchStartsWith));
    emit window->cbPreset->activated(window->cbPreset->currentIndex());
    QStringList ticked;
    for (int i = 0; i < window->lwSource->count(); ++i)
        if (window->lwSource->item(i)->checkState() == Qt::Checked)
            ticked << window->lwSource->item(i)->text().section("  ", 1).section(",", 0, 0);
    EXPECT_EQ(ticked.size(), 8);
    for (const char* drum : {"Std Kick(L)", "Std Snr 1(L)", "Hi-Hat Closed(L)"})
        EXPECT_TRUE(ticked.contains(drum)) << drum << ": " << ticked.join("; ").toStdString();
    window->bnBuild->click();
    ASSERT_TRUE(window->Result().has_value());
    EXPECT_EQ(window->Result()->zones.size(), 8u);
    EXPECT_TRUE(window->edReport->toPlainText().contains("A kit: 8 drums"));
    EXPECT_EQ(window->width(), width) << "the window keeps its width";
    if (const char* dir = std::getenv("CORVANE_SCREENSHOTS"))
    {
        window->grab().save(QString(dir) + "/build-sound-kit.png");
        window->screen()->grabWindow(0).save(QString(dir) + "/build-sound-screen.png"); // with the window manager's frame
    }
    EXPECT_TRUE(area.contains(window->frameGeometry()));
}

TEST_F(BuildSoundTest, TheUnityKeysAndOctaveStepAreKeptForTheNextRun)
{
    EXPECT_EQ(window->cbUnity->currentData().toInt(), 52); // E3 for the lower half
    window->cbUnity->setCurrentIndex(window->cbUnity->findData(40));
    emit window->cbUnity->activated(window->cbUnity->currentIndex());
    window->sbOctaveStep->setValue(2);
    window->sbFineTune->setValue(30);
    window->rbUpper->click();
    EXPECT_EQ(window->cbUnity->currentData().toInt(), 81); // A5 for the upper half
    EXPECT_EQ(window->sbFineTune->value(), -1);            // the template's

    TfmBuildSound next(form().Context());
    EXPECT_EQ(next.cbUnity->currentData().toInt(), 40);
    EXPECT_EQ(next.sbOctaveStep->value(), 2);
    EXPECT_EQ(next.sbFineTune->value(), 30);
}

} // namespace
} // namespace corvane::test
