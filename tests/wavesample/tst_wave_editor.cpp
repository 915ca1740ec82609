// The wave editor driven as a user drives it, against the built-in emulator:
// the current wavesample opened, selected with the mouse, cut, undone,
// reversed and sent, the emulator's memory then holding exactly the bytes
// expected; loop markers dragged and snapped, their pointers sent; the
// question when the sample no longer fits; saved and opened again unchanged.
#include "MirageFixture.h"

#include "AudioConvert.h"
#include "BuildSound.h"
#include "DiskImages.h"
#include "Dumps.h"
#include "SoundFile.h"
#include "WaveEditView.h"
#include "WaveEditor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QClipboard>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace corvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using waveedit::Loop;
using waveedit::Range;

constexpr int StartPage = 0x10, EndPage = 0x17; // L1: 8 pages, 2,048 samples

class WaveEditorTest : public MirageFixture {
protected:
    TfmWaveEditor* editor = nullptr;
    Bytes original;
    QTemporaryDir files;

    void SetUp() override
    {
        MirageFixture::SetUp();
        editor = qobject_cast<TfmWaveEditor*>(form().Window("TfmWaveEditor"));
        ASSERT_NE(editor, nullptr);
        // L1 holds a tone of 1..255 (no 0) looping from page 12 to byte 80 of page 16.
        mirage().setCurrentHalf(0);
        mirage().setCurrentWavesample(0);
        auto& l1 = mirage().half(0).wavesamples[0];
        for (const auto& [f, v] : {std::pair{wsf::StartPage, StartPage}, {wsf::EndPage, EndPage}, {wsf::LoopSwitch, 1},
                                   {wsf::LoopStart, 0x12}, {wsf::LoopEnd, 0x16}, {wsf::LoopEndFine, 0x80}})
            l1.setField(f, v);
        for (int i = 0; i < 2048; ++i)
            original.push_back(static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(i * 0.07) + 20 * std::sin(i * 0.011))));
        std::copy(original.begin(), original.end(), mirage().half(0).memory.begin() + StartPage * 256);
        fetchDumps();
        editor->resize(900, 500);
        activate(editor);
        seams().clear();
    }
    Bytes memory() const
    {
        const auto& m = const_cast<WaveEditorTest*>(this)->mirage().half(0).memory;
        return Bytes(m.begin() + StartPage * 256, m.begin() + (EndPage + 1) * 256);
    }
    void openCurrent()
    {
        editor->acOpenCurrent->trigger();
        ASSERT_TRUE(editor->Buffer().has_value()) << (seams().boxes().empty() ? "" : seams().boxes()[0].text);
    }
    QPoint at(double sample) const
    {
        return {static_cast<int>(std::lround(editor->pbWave->xOf(sample))), editor->pbWave->height() / 2};
    }
    void drag(double from, double to)
    {
        QTest::mousePress(editor->pbWave, Qt::LeftButton, {}, at(from));
        QTest::mouseMove(editor->pbWave, at((from + to) / 2));
        QTest::mouseMove(editor->pbWave, at(to));
        QTest::mouseRelease(editor->pbWave, Qt::LeftButton, {}, at(to));
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::ControlModifier) { QTest::keyClick(editor, static_cast<Qt::Key>(k), m); }
    // Answers the next Process dialog with `value` in its spin box `name`.
    static void answerDialog(const char* name, double value)
    {
        QTimer::singleShot(0, [name, value] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->findChild<QDoubleSpinBox*>(name)->setValue(value);
            d->accept();
        });
    }
    int field(int offset) { return form().GetLowerParam(wavesampleFieldPos(0, offset)); }
    int emulatorField(int offset) { return mirage().half(0).wavesamples[0].field(offset); }
};

TEST_F(WaveEditorTest, SelectCutUndoReverseAndSendLandInTheInstrumentsMemory)
{
    openCurrent();
    EXPECT_EQ(editor->Buffer()->bytes(), original);
    EXPECT_EQ(editor->Buffer()->loop(), (Loop{true, 0x200, 0x680}));
    EXPECT_EQ(editor->lbPages->text(), "Needs 08 (Hex) pages; L1 has 08");
    EXPECT_EQ(editor->lbLoop->text(), "Loop 12-16 fine 80, 1153 samples");

    drag(300, 700);
    const Range sel = editor->pbWave->selection();
    EXPECT_NEAR(sel.begin, 300, 3);
    EXPECT_NEAR(sel.end, 700, 3);
    EXPECT_TRUE(editor->lbSelection->text().startsWith(QString("Selection %1 samples").arg(sel.size())));
    key(Qt::Key_X);
    Bytes cut = original;
    cut.erase(cut.begin() + sel.begin, cut.begin() + sel.end);
    EXPECT_EQ(editor->Buffer()->bytes(), cut);
    key(Qt::Key_Z);
    EXPECT_EQ(editor->Buffer()->bytes(), original);
    EXPECT_FALSE(editor->Buffer()->edited());

    // Space plays what the key chosen plays, as the instrument renders it.
    editor->edKey->setValue(52 + 12);
    key(Qt::Key_Space, Qt::NoModifier);
    ASSERT_EQ(seams().played.size(), 1u);
    const waveedit::Rendered octaveUp = waveedit::renderAtPitch(original, {true, 0x200, 0x680}, 12);
    EXPECT_EQ(seams().played[0].samples, octaveUp.samples);
    EXPECT_EQ(seams().played[0].loop, (SoundLoop{octaveUp.loopBegin, octaveUp.loopEnd}));
    key(Qt::Key_Space, Qt::NoModifier);
    EXPECT_EQ(seams().stops, 1);

    key(Qt::Key_A);
    editor->acReverse->trigger();
    const Bytes reversed(original.rbegin(), original.rend());
    ASSERT_EQ(editor->Buffer()->bytes(), reversed);
    editor->acSend->trigger();
    EXPECT_TRUE(seams().boxes().empty()) << seams().boxes()[0].text;
    EXPECT_EQ(memory(), reversed);
    EXPECT_EQ(editor->lbStatus->text(), "Sent into L1 (08 Hex pages): the Mirage accepted it.");
    // The copy is what the instrument holds: the loop as it was.
    for (const int f : {wsf::LoopSwitch, wsf::LoopStart, wsf::LoopEnd, wsf::LoopEndFine})
        EXPECT_EQ(field(f), emulatorField(f)) << f;
    EXPECT_EQ(emulatorField(wsf::LoopStart), 0x12);
}

TEST_F(WaveEditorTest, LoopMarkersSnapToThePageAndTheFineByteAndTheirPointersAreSent)
{
    openCurrent();
    editor->pbWave->zoomTo({0x180, 0x780}); // about 2 samples a pixel
    // The start dragged to sample 2A0 lands on page 13; the end lands on the byte dropped at.
    drag(0x200, 0x2A0);
    EXPECT_EQ(editor->Buffer()->loop().start, 0x300);
    drag(0x681, 0x5D0);
    const Loop l = editor->Buffer()->loop();
    EXPECT_NEAR(l.end, 0x5D0 - 1, 3);
    EXPECT_EQ(l.end / 256, 5);
    EXPECT_EQ(editor->lbLoop->text(),
              QString("Loop 13-15 fine %1, %2 samples").arg(QString::number(l.end % 256, 16).toUpper()).arg(l.length()));
    EXPECT_EQ(editor->acUndo->text(), "&Undo Move Loop");

    // The pointers go with the data; the samples, unedited, go back byte for byte.
    editor->acSend->trigger();
    EXPECT_EQ(emulatorField(wsf::LoopStart), 0x13);
    EXPECT_EQ(emulatorField(wsf::LoopEnd), 0x15);
    EXPECT_EQ(emulatorField(wsf::LoopEndFine), l.end % 256);
    EXPECT_EQ(memory(), original);
    EXPECT_EQ(form().History().DriftText(), "") << "the program's own change is no drift";
    editor->acLoopSwitch->trigger();
    editor->acSend->trigger();
    EXPECT_EQ(emulatorField(wsf::LoopSwitch), 0);
}

TEST_F(WaveEditorTest, ASampleThatNoLongerFitsGetsTheQuestionAndIsTrimmedOnYes)
{
    openCurrent();
    editor->pbWave->setSelection({100, 100});
    answerDialog("edSilenceMs", 20); // 588 samples: 11 pages
    editor->acInsertSilence->trigger();
    ASSERT_EQ(editor->Buffer()->size(), 2048 + 588);
    EXPECT_EQ(editor->lbPages->text(), "Needs 0B (Hex) pages; L1 has 08");

    seams().answers = {BoxAnswer::No, BoxAnswer::No};
    editor->acSend->trigger();
    ASSERT_EQ(seams().boxes().size(), 2u);
    EXPECT_EQ(seams().boxes()[0].text,
              "This sample needs 0B (Hex) pages; wavesample L1 has 08. The Mirage refuses a dump larger than its "
              "wavesample, so it was not sent.\n\nTrim its end to fit into 08 (Hex) pages and send it? (No offers to "
              "resample it to fit instead.)");
    EXPECT_NE(seams().boxes()[1].text.find("Resample it to fit into 08 (Hex) pages"), std::string::npos);
    EXPECT_EQ(memory(), original);
    EXPECT_EQ(mirage().counters().wavesamplesRefused, 0);

    seams().clear();
    seams().answers = {BoxAnswer::Yes};
    editor->acSend->trigger();
    Bytes expected(original.begin(), original.begin() + 100);
    expected.insert(expected.end(), 588, 0x80);
    expected.insert(expected.end(), original.begin() + 100, original.begin() + (2048 - 588));
    EXPECT_EQ(memory(), expected);
    EXPECT_EQ(mirage().counters().wavesamplesRefused, 0);
}

TEST_F(WaveEditorTest, PencilRedrawsSingleSamplesAndAnotherProgramsClipboardIsRefused)
{
    openCurrent();
    editor->pbWave->zoomTo({0, 64}); // 14 pixels a sample
    editor->acPencil->trigger();
    const QPoint top(static_cast<int>(editor->pbWave->xOf(10.5)), 1);
    QTest::mousePress(editor->pbWave, Qt::LeftButton, {}, top);
    QTest::mouseMove(editor->pbWave, {static_cast<int>(editor->pbWave->xOf(20.5)), 1});
    QTest::mouseRelease(editor->pbWave, Qt::LeftButton, {}, {static_cast<int>(editor->pbWave->xOf(20.5)), 1});
    const Bytes b = editor->Buffer()->bytes();
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(b[static_cast<std::size_t>(i)], i >= 10 && i <= 20 ? 255 : original[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(editor->acUndo->text(), "&Undo Pencil");

    QApplication::clipboard()->setText("not audio");
    editor->acPaste->trigger();
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text,
              "The clipboard holds no audio: copy part of a wavesample, or a WAV from another program, first.");
    EXPECT_EQ(editor->Buffer()->size(), 2048);

    // A WAV on the clipboard, as another program puts it there, is pasted at the caret.
    const Bytes theirs{0x90, 0xA0, 0xB0, 0x70, 0x60};
    const std::vector<std::uint8_t> wav = waveedit::wavImage16(theirs, 29411, {});
    auto* data = new QMimeData;
    data->setData("audio/wav", QByteArray(reinterpret_cast<const char*>(wav.data()), static_cast<qsizetype>(wav.size())));
    QApplication::clipboard()->setMimeData(data);
    editor->pbWave->setSelection({100, 100});
    editor->acPaste->trigger();
    EXPECT_EQ(seams().boxes().size(), 1u);
    const Bytes pasted = editor->Buffer()->bytes();
    ASSERT_EQ(pasted.size(), 2048u + theirs.size());
    EXPECT_EQ(Bytes(pasted.begin() + 100, pasted.begin() + 105), theirs);
}

// Saved as WAV and opened again (through the audio conversion) the samples
// are what they were; the .syx holds the dump as it is sent.
TEST_F(WaveEditorTest, SavedAndOpenedAgainUnchanged)
{
    openCurrent();
    const std::string wav = files.filePath("l1.wav").toStdString(), syx = files.filePath("l1.syx").toStdString();
    seams().saveAnswers = {wav, syx};
    editor->acSaveWav->trigger();
    editor->acSaveSyx->trigger();
    std::ifstream f(syx, std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    Bytes message = sound::wavesampleSendMessage(sound::wavesampleDumpMessage(8, original, 0));
    message.push_back(0xF7);
    EXPECT_EQ(written, message);

    // Dropped on the window, as from a file manager.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(wav))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &drop);
    QCoreApplication::processEvents(); // the file opens once the drop has ended
    ASSERT_FALSE(editor->Opened().instrument);
    ASSERT_TRUE(seams().boxes().empty()) << seams().boxes()[0].text;
    EXPECT_EQ(editor->Buffer()->bytes(), original);
    seams().fileAnswers = {syx};
    editor->acOpenSound->trigger();
    EXPECT_EQ(editor->Buffer()->bytes(), original);
    EXPECT_TRUE(seams().boxes().empty());
}

// A wavesample of a disk image's slot, chosen, edited and written back:
// its pages and loop pointers change, nothing else of the image does.
TEST_F(WaveEditorTest, AWavesampleOfADiskImageSlotGoesBackIntoItsSlot)
{
    const std::string path = files.filePath("disk.img").toStdString();
    ASSERT_EQ(factoryImage().save(path), "");
    const disk::Bytes before = factoryImage().bytes();
    const disk::SlotRead slot0 = disk::readSlot(factoryImage(), 0);
    const auto entries = sound::wavesampleEntries(slot0.half.programDump);
    const int w = static_cast<int>(std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.dump >= 0; }) -
                                   entries.begin());
    const Bytes data = sound::wavesampleSamples(slot0.half.wavesampleDumps[static_cast<std::size_t>(entries[w].dump)]);

    seams().fileAnswers = {path};
    QString offered;
    QTimer::singleShot(0, [&offered] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        offered = d->findChild<QComboBox*>("cbWavesample")->itemText(0);
        d->accept();
    });
    editor->acOpenImage->trigger();
    ASSERT_TRUE(editor->Buffer().has_value());
    EXPECT_EQ(offered.toStdString(), disk::slotName(0) + " L" + std::to_string(w + 1) + ", pages " +
                                         QString("%1").arg(entries[w].range.start, 2, 16, QChar('0')).toUpper().toStdString() +
                                         "-" + QString("%1").arg(entries[w].range.end, 2, 16, QChar('0')).toUpper().toStdString());
    EXPECT_EQ(editor->Buffer()->bytes(), data);
    ASSERT_TRUE(editor->acWriteSlot->isEnabled());

    editor->acReverse->trigger();
    const Loop was = editor->Buffer()->loop();
    editor->pbWave->setSelection({editor->Buffer()->size(), editor->Buffer()->size()});
    editor->acFindLoop->trigger();
    const Loop loop = editor->Buffer()->loop();
    ASSERT_TRUE(loop.on);
    ASSERT_NE(loop, was);
    editor->acWriteSlot->trigger();
    ASSERT_TRUE(seams().boxes().empty()) << seams().boxes()[0].text;
    disk::Image after;
    ASSERT_EQ(after.open(path), "");
    const disk::SlotRead back = disk::readSlot(after, 0);
    ASSERT_TRUE(back.ok());
    Bytes reversed(data.rbegin(), data.rend());
    for (std::uint8_t& b : reversed)
        b = std::max<std::uint8_t>(b, 1);
    EXPECT_EQ(sound::wavesampleSamples(back.half.wavesampleDumps[static_cast<std::size_t>(entries[w].dump)]), reversed);
    const auto field = [&back, w](int offset) {
        return getNibblePair(back.half.programDump.data(), back.half.programDump.size(), wavesampleFieldPos(w, offset));
    };
    EXPECT_EQ(field(wsf::LoopSwitch), 1);
    EXPECT_EQ(field(wsf::LoopStart), entries[w].range.start + loop.start / 256);
    EXPECT_EQ(field(wsf::LoopEnd), entries[w].range.start + loop.end / 256);
    EXPECT_EQ(field(wsf::LoopEndFine), loop.end % 256);
    for (int s = 1; s < disk::Layout::Slots; ++s)
        EXPECT_EQ(disk::readSlot(after, s).half.wavesampleDumps, disk::readSlot(factoryImage(), s).half.wavesampleDumps) << s;
}

// Bad input gets a clear message and changes nothing.
TEST_F(WaveEditorTest, BadFilesAndAnEmptySelectionAreSaidAndChangeNothing)
{
    const std::string noise = files.filePath("noise.wav").toStdString(), text = files.filePath("notes.syx").toStdString();
    std::ofstream(noise, std::ios::binary) << "RIFF\x10\x00\x00\x00WAVEfmt damaged";
    std::ofstream(text) << "not a sound";
    struct Case {
        QAction* action;
        std::string file;
        const char* caption;
    };
    openCurrent();
    const Case cases[] = {
        {editor->acOpenFile, noise, "Audio Import"},
        {editor->acOpenSound, text, "Load Sound from File"},
        {editor->acCut, "", "Wave Editor"},
        {editor->acTrim, "", "Wave Editor"},
    };
    for (const Case& c : cases) {
        seams().clear();
        seams().fileAnswers = {c.file};
        editor->pbWave->setSelection({});
        c.action->trigger();
        ASSERT_EQ(seams().boxes().size(), 1u) << c.caption;
        EXPECT_EQ(seams().boxes()[0].caption, c.caption);
        EXPECT_EQ(editor->Buffer()->bytes(), original) << c.caption;
        EXPECT_TRUE(editor->Opened().instrument) << c.caption;
    }
}

TEST_F(WaveEditorTest, CancelWhileTheWavesampleArrivesKeepsNothing)
{
    seams().inputAt(seams().now + 400, [this] { QTest::mouseClick(editor->bnCancel, Qt::LeftButton); });
    editor->acOpenCurrent->trigger();
    EXPECT_FALSE(editor->Buffer().has_value());
    EXPECT_TRUE(seams().boxes().empty());
    EXPECT_TRUE(editor->ProgressBar1->isHidden());
    EXPECT_TRUE(editor->acOpenCurrent->isEnabled());
    openCurrent(); // and the next request is answered
    EXPECT_EQ(editor->Buffer()->bytes(), original);
}

// A zone of a built half opened from Build Sound, edited, and put back with
// Replace in Build: the build's zone and its half hold the edit; after the
// half is built again the old zone is refused.
TEST_F(WaveEditorTest, ABuiltZoneGoesBackIntoItsBuild)
{
    auto* builder = qobject_cast<TfmBuildSound*>(form().Window("TfmBuildSound"));
    ASSERT_NE(builder, nullptr);
    const QString folder = files.filePath("tones");
    QDir().mkpath(folder);
    for (const auto& [name, key] : {std::pair{"Tone C3.wav", 48}, {"Tone C4.wav", 60}}) {
        Bytes tone(12000);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<std::uint8_t>(128 + std::lround(90 * std::sin(2 * 3.14159265 * 440 * std::pow(2.0, (key - 69) / 12.0) * i / 29411)));
        ASSERT_TRUE(audio::exportAudio((folder + "/" + name).toStdString(), tone, 29411, {}).ok());
    }
    builder->show();
    seams().folderAnswers = {folder.toStdString()};
    builder->bnFolder->click();
    builder->bnBuild->click();
    ASSERT_TRUE(builder->Result() && builder->Result()->ok()) << builder->lbStatus->text().toStdString();
    builder->tbZones->selectRow(1);
    builder->bnEditZone->click();
    const build::BuiltZone zone = builder->Result()->zones[1];
    const Bytes other = builder->Result()->zones[0].bytes;
    ASSERT_TRUE(editor->Buffer().has_value());
    EXPECT_EQ(editor->Buffer()->bytes(), zone.bytes);
    ASSERT_TRUE(editor->acReplaceInBuild->isEnabled());

    editor->acReverse->trigger();
    editor->pbWave->setSelection({editor->Buffer()->size(), editor->Buffer()->size()});
    editor->acFindLoop->trigger();
    const Loop loop = editor->Buffer()->loop();
    const Bytes edited = editor->Buffer()->bytes();
    editor->acReplaceInBuild->trigger();
    ASSERT_TRUE(seams().boxes().empty()) << seams().boxes()[0].text;
    const build::BuildResult& r = *builder->Result();
    EXPECT_EQ(r.zones[1].bytes, edited);
    EXPECT_EQ(r.zones[0].bytes, other) << "the other zone as it was";
    const auto entries = sound::wavesampleEntries(r.half.programDump);
    EXPECT_EQ(sound::wavesampleSamples(r.half.wavesampleDumps[static_cast<std::size_t>(entries[1].dump)]), edited);
    EXPECT_EQ(getNibblePair(r.half.programDump.data(), r.half.programDump.size(), wavesampleFieldPos(1, wsf::LoopStart)),
              zone.startPage + loop.start / 256);
    EXPECT_EQ(r.zones[1].loopEndFine, loop.end % 256);

    builder->bnBuild->click();
    editor->acReplaceInBuild->trigger();
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text,
              "The half has been built again since the zone was opened; open the zone of the new build to edit it.");
}

} // namespace
} // namespace corvane::test
