// The library window on a generated library: the scan on its thread, search
// and the kind filter narrowing the table, a wavesample played looped, the
// user's notes kept, duplicates listed, and Send to Mirage leaving the
// instrument holding the sound; a sound dragged onto a slot of a disk image.
#include "DiskImagesWindow.h"
#include "LibraryFolders.h"
#include "LibraryWindow.h"
#include "MirageFixture.h"
#include "PlayerPanel.h"
#include "WaveEditor.h"
#include "WaveView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>

namespace corvane::test {
namespace {

class LibraryWindowTest : public MirageFixture {
protected:
    void SetUp() override
    {
        MirageFixture::SetUp();
        const QString lib = configDir() + "/lib";
        writeSoundFile(lib + "/strings.syx", 1);
        writeSoundFile(lib + "/old/strings copy.syx", 1);
        writeSoundFile(lib + "/bass.syx", 2, 5, {0});
        writeImage(lib + "/disks/three.img", 0, 20);
        writeAudio(lib + "/tones/tone.wav", 440);
        writeFile(lib + "/broken.syx", sound::Bytes{0xF0, 0x0F, 0x01});
        TfmLibrary::SetDataDirectory(configDir() + "/data");
        library = dynamic_cast<TfmLibrary*>(form().Window("TfmLibrary"));
        ASSERT_TRUE(library);
        activate(library);
        library->SetFolders({lib});
        waitForScan();
    }

    void waitForScan() { ASSERT_TRUE(QTest::qWaitFor([this] { return !library->Scanning(); }, 20000)); }

    int rows() const { return library->Model->rowCount(); }

    void select(const QString& source)
    {
        for (int r = 0; r < rows(); ++r)
            if (library->Model->row(r)->source() == source) {
                library->tvSounds->selectRow(r);
                return;
            }
        ADD_FAILURE() << "no row " << source.toStdString();
    }

    // The drag the table starts for the row of `source`.
    std::unique_ptr<QMimeData> dragOf(const QString& source)
    {
        select(source);
        return std::unique_ptr<QMimeData>(library->Model->mimeData(library->tvSounds->selectionModel()->selectedRows()));
    }

    // Enter and drop at `at` on the slot list; true when both were accepted.
    static bool drop(TfmDiskImages* images, QPoint at, const QMimeData& data)
    {
        QWidget* viewport = images->lvSlots->viewport();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        QCoreApplication::processEvents(); // the write waits for the drag to end
        return enter.isAccepted() && dropped.isAccepted();
    }

    TfmLibrary* library = nullptr;
};

TEST_F(LibraryWindowTest, SearchAndKindNarrowTheTableAndNotesAreKept)
{
    // 2 + 2 + 1 halves, 6 slots, 1 audio file, 1 damaged file.
    EXPECT_EQ(rows(), 13);
    QTest::keyClicks(library->edSearch, "str");
    EXPECT_EQ(rows(), 4);
    QTest::keyClicks(library->edSearch, "ings copy");
    EXPECT_EQ(rows(), 2);
    library->edSearch->clear();
    library->cbKind->setCurrentIndex(2); // disk images
    EXPECT_EQ(rows(), 6);
    library->cbKind->setCurrentIndex(4); // damaged
    ASSERT_EQ(rows(), 1);
    EXPECT_FALSE(library->Model->row(0)->damage.isEmpty());
    library->cbKind->setCurrentIndex(0);

    // Tags are found by the search and kept through a rescan.
    select("bass.syx lower");
    library->edTags->setText("deep round");
    emit library->edTags->editingFinished();
    library->cbRating->setCurrentIndex(3);
    emit library->cbRating->activated(3);
    library->Rescan();
    waitForScan();
    library->edSearch->setText("round");
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(library->Model->row(0)->rating, 3);
    EXPECT_EQ(library->Model->data(library->Model->index(0, LibraryModel::Rating), Qt::DisplayRole).toString().size(), 3);
}

TEST_F(LibraryWindowTest, AClickOnAColumnHeadingSortsTheShownRows)
{
    QHeaderView* header = library->tvSounds->horizontalHeader();
    const auto names = [this] {
        QStringList out;
        for (int r = 0; r < rows(); ++r)
            out << library->Model->data(library->Model->index(r, LibraryModel::Name), Qt::DisplayRole).toString();
        return out;
    };
    QTest::keyClicks(library->edSearch, "s"); // sorted while filtered
    const QStringList ascending = names();
    // The table opens sorted by name; a click on that heading turns it round.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(LibraryModel::Name) + 5, 5));
    QStringList descending = names();
    ASSERT_GT(descending.size(), 2);
    EXPECT_NE(descending.join(", ").toStdString(), ascending.join(", ").toStdString());
    std::reverse(descending.begin(), descending.end());
    EXPECT_TRUE(std::is_sorted(descending.begin(), descending.end(),
                               [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }))
        << descending.join(", ").toStdString();
}

TEST_F(LibraryWindowTest, AWavesamplePlaysLoopedAndItsCopiesAreListed)
{
    select("strings.syx upper");
    ASSERT_TRUE(library->MediaPlayer1->sound());
    EXPECT_EQ(library->Waves[0]->Samples(), markedHalf(1, 1).wavesampleDumps.empty()
                                                ? std::vector<std::uint8_t>{}
                                                : sound::wavesampleSamples(markedHalf(1, 1).wavesampleDumps[0]));
    // The copy in old/ holds the same data.
    EXPECT_TRUE(library->WaveLabels[0]->text().contains("places")) << library->WaveLabels[0]->text().toStdString();
    // A wavesample whose loop is on plays from its start to the loop's end
    // (page start + 30, all of it), then the loop from page start + 8.
    const emu::Half factory = emu::factoryHalf(1, 1);
    int looped = 0;
    while (looped < 7 && factory.wavesamples[static_cast<std::size_t>(looped)].field(wsf::LoopSwitch) == 0)
        ++looped;
    library->SelectWavesample(looped);
    library->MediaPlayer1->cbPlayLoop->setChecked(true);
    library->MediaPlayer1->bnPlay->click();
    ASSERT_EQ(seams().played.size(), 1u);
    EXPECT_EQ(seams().played[0].samples, library->Waves[static_cast<std::size_t>(looped)]->Samples());
    EXPECT_EQ(seams().played[0].rate, 29411);
    EXPECT_EQ(seams().played[0].loop, (SoundLoop{8 * 256, 31 * 256}));
    seams().clear();
    library->bnPlaces->click();
    ASSERT_EQ(seams().boxes().size(), 1u);
    const std::string where = "strings copy.syx upper, wavesample " + std::to_string(looped + 1);
    EXPECT_NE(seams().boxes()[0].text.find(where), std::string::npos)
        << seams().boxes()[0].text;
}

// A built half's wavesamples 6-8 play wavesample 5's pages: the table
// counts five, as the builder and a send do, and the list says whose
// pages the others play.
TEST_F(LibraryWindowTest, ABuiltHalfCountsTheWavesamplesThatDiffer)
{
    writeFile(configDir() + "/lib/built.syx", sound::fileImage(sound::Sound{{builtHalf(0, 1)}}));
    library->Rescan();
    waitForScan();
    select("built.syx lower");
    const library::Row* row = library->SelectedRow();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->wavesamples, 5);
    EXPECT_TRUE(library->WaveLabels[4]->text().startsWith("5 p ")) << library->WaveLabels[4]->text().toStdString();
    for (int w = 5; w < 8; ++w)
        EXPECT_TRUE(library->WaveLabels[static_cast<std::size_t>(w)]->text().startsWith(
            QString("%1 the pages of ws5").arg(w + 1)))
            << library->WaveLabels[static_cast<std::size_t>(w)]->text().toStdString();
    if (const char* dir = std::getenv("CORVANE_SCREENSHOTS"))
        library->grab().save(QString(dir) + "/library-built.png");
}

// The wavesample selected opens in the Wave Editor with its loop.
TEST_F(LibraryWindowTest, AWavesampleOpensInTheWaveEditor)
{
    select("strings.syx upper");
    const emu::Half factory = emu::factoryHalf(1, 1);
    int looped = 0;
    while (looped < 7 && factory.wavesamples[static_cast<std::size_t>(looped)].field(wsf::LoopSwitch) == 0)
        ++looped;
    library->SelectWavesample(looped);
    ASSERT_TRUE(library->bnEditWs->isEnabled());
    library->bnEditWs->click();
    auto* editor = qobject_cast<TfmWaveEditor*>(form().Window("TfmWaveEditor"));
    ASSERT_TRUE(editor && editor->isVisible() && editor->Buffer());
    EXPECT_EQ(editor->Buffer()->bytes(), library->Waves[static_cast<std::size_t>(looped)]->Samples());
    EXPECT_EQ(editor->Buffer()->loop(), (waveedit::Loop{true, 8 * 256, 31 * 256 - 1}));
}

TEST_F(LibraryWindowTest, SendToMirageLeavesTheInstrumentHoldingTheSound)
{
    const sound::Half half = markedHalf(0, 2, 5); // bass.syx, sent into the upper half
    select("bass.syx lower");
    library->cbHalf->setCurrentIndex(1);
    seams().clear();
    library->bnSend->click();
    EXPECT_TRUE(library->lbStatus->text().startsWith("Sent:")) << library->lbStatus->text().toStdString();
    // Fresh dumps of the upper half hold the file's program and sample data.
    const sound::Bytes program = disk::programDumpOf(1, disk::programDataOf(half.programDump));
    const Message upper = mirage().programDump(1);
    EXPECT_TRUE(std::equal(program.begin(), program.end(), upper.begin(), upper.end()));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), form().UpperProgramDump));
    const auto entries = sound::wavesampleEntries(half.programDump);
    for (int w = 0; w < 8; ++w) {
        const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
        if (e.dump < 0)
            continue;
        mirage().receive(keyCodeMessage({key::UpperWavesample, static_cast<std::uint8_t>(w + 1)}));
        const Message dump = mirage().wavesampleDump();
        EXPECT_EQ(sound::wavesampleSamples(dump), sound::wavesampleSamples(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]))
            << "wavesample " << w + 1;
    }
}

// Setup -> Library Folders: a folder added is indexed with its subfolders.
// The folder picker hands activation back to the dialog, as every window
// system does, before OK is pressed; Enter is OK.
TEST_F(LibraryWindowTest, AFolderAddedInLibraryFoldersIsIndexed)
{
    writeSoundFile(configDir() + "/more/deep/choir.syx", 2);
    auto* folders = dynamic_cast<TfmLibraryFolders*>(form().Window("TfmLibraryFolders"));
    ASSERT_TRUE(folders);
    form().Action("LibraryFolders1")->trigger();
    activate(folders);
    ASSERT_EQ(folders->lbFolders->count(), 1);
    seams().folderAnswers = {(configDir() + "/more").toStdString()};
    folders->bnAdd->click();
    activate(folders);
    ASSERT_EQ(folders->lbFolders->count(), 2);
    QTest::keyClick(folders->bnRemove, Qt::Key_Return);
    EXPECT_FALSE(folders->isVisible());
    EXPECT_EQ(library->Folders().size(), 2);
    waitForScan();
    library->edSearch->setText("choir");
    EXPECT_EQ(rows(), 2);
}

// The next run's window opens the library it finds on the indexer's thread
// (where the whole database is checked), then reads what changed.
TEST_F(LibraryWindowTest, AnExistingLibraryOpensOffTheWindowsThreadThenRescans)
{
    writeSoundFile(configDir() + "/lib/new.syx", 3);
    seams().clear();
    TfmLibrary next(form().Context());
    // Asked of the indexer's thread, however soon it has done it.
    QSignalSpy asked(&next, &TfmLibrary::openLibrary);
    activate(&next);
    ASSERT_TRUE(QTest::qWaitFor([&next] { return next.Model->total() > 0 && !next.Scanning(); }, 20000));
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(next.Model->rowCount(), 13 + 2);
    EXPECT_EQ(next.Folders(), library->Folders());
    EXPECT_TRUE(seams().boxes().empty());
}

// A lower half saved as a file of its own and written into an upper slot:
// the file reads back as the half, the slot holds its samples as an upper
// half, and the rescan that follows lists the slot as a copy.
TEST_F(LibraryWindowTest, SaveAsSyxAndWriteIntoAnImageSlot)
{
    const sound::Half half = markedHalf(0, 2, 5);
    select("bass.syx lower");
    const std::string saved = (configDir() + "/saved.syx").toStdString();
    seams().saveAnswers = {saved};
    library->bnSaveSyx->click();
    const sound::ReadResult back = sound::readFile(saved);
    ASSERT_TRUE(back.ok()) << back.text;
    ASSERT_EQ(back.sound.halves.size(), 1u);
    EXPECT_EQ(back.sound.halves[0].programDump, half.programDump);
    EXPECT_EQ(back.sound.halves[0].wavesampleDumps, half.wavesampleDumps);

    const std::string image = (configDir() + "/lib/disks/three.img").toStdString();
    library->cbSlot->setCurrentIndex(5); // U3
    seams().fileAnswers = {image};
    seams().answers = {BoxAnswer::Yes};
    library->bnWriteImage->click();
    disk::Image kept;
    ASSERT_EQ(kept.open(image + ".bak"), "") << "the image as it was, kept beside it";
    EXPECT_NE(disk::readSlot(kept, 5).half.wavesampleDumps, half.wavesampleDumps);
    disk::Image written;
    ASSERT_EQ(written.open(image), "");
    const disk::SlotRead u3 = disk::readSlot(written, 5);
    ASSERT_TRUE(u3.ok()) << u3.check.text;
    EXPECT_EQ(u3.half.programDump, disk::programDumpOf(1, disk::programDataOf(half.programDump)));
    EXPECT_EQ(u3.half.wavesampleDumps, half.wavesampleDumps);
    waitForScan();
    EXPECT_TRUE(library->lbStatus->text().startsWith(
        "Written into slot U3 of three.img; the old image is kept as three.img.bak. "))
        << library->lbStatus->text().toStdString();
    library->edSearch->setText("three.img u3");
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(library->Model->row(0)->copies, 2);
}

// A lower half dragged onto U3 of the image the disk images window holds:
// asked as Write from a .syx file asks, the slot then holds it as an upper
// half and the other slots are as they were. No drag for an audio file,
// no drop without an image, and none from a file changed since its scan.
TEST_F(LibraryWindowTest, ASoundDraggedOntoASlotIsWrittenThere)
{
    EXPECT_FALSE(dragOf("tone.wav"));
    const std::unique_ptr<QMimeData> drag = dragOf("bass.syx lower");
    ASSERT_TRUE(drag);
    auto* images = dynamic_cast<TfmDiskImages*>(form().Window("TfmDiskImages"));
    ASSERT_TRUE(images);
    activate(images);
    seams().clear();
    EXPECT_FALSE(drop(images, {20, 10}, *drag));

    const std::string path = (configDir() + "/disk1.img").toStdString();
    writeImage(QString::fromStdString(path), 3);
    disk::Image before;
    ASSERT_EQ(before.open(path), "");
    ASSERT_TRUE(images->OpenImage(path));
    const QPoint u3 = images->lvSlots->visualItemRect(images->lvSlots->item(5)).center();
    seams().answers = {BoxAnswer::Yes};
    EXPECT_TRUE(drop(images, u3, *drag));
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(seams().boxes()[0].text.rfind("Writing replaces U3 of \"disk1.img\" (", 0), 0u) << seams().boxes()[0].text;
    EXPECT_NE(seams().boxes()[0].text.find(") with the lower half of \"bass.syx\". A copy"), std::string::npos);
    const sound::Half half = markedHalf(0, 2, 5);
    disk::Image written;
    ASSERT_EQ(written.open(path), "");
    const disk::SlotRead slot = disk::readSlot(written, 5);
    ASSERT_TRUE(slot.ok()) << slot.check.text;
    EXPECT_EQ(slot.half.programDump, disk::programDumpOf(1, disk::programDataOf(half.programDump)));
    EXPECT_EQ(slot.half.wavesampleDumps, half.wavesampleDumps);
    for (int s = 0; s < 5; ++s)
        EXPECT_TRUE(written.slot(s).program == before.slot(s).program && written.slot(s).memory == before.slot(s).memory)
            << s;

    touch(configDir() + "/lib/bass.syx", 100);
    seams().clear();
    EXPECT_TRUE(drop(images, u3, *drag));
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_NE(seams().boxes()[0].text.find("has changed since the library read it"), std::string::npos);
    disk::Image after;
    ASSERT_EQ(after.open(path), "");
    EXPECT_EQ(after.bytes(), written.bytes());
}

// The windows that hold lists open with every column's heading whole (in
// the bold face of a selected row's headings) and grow with their frame:
// the list takes what the window grows by, the buttons keep their corner.
TEST_F(LibraryWindowTest, ListWindowsGrowWithTheirListsAndShowWholeHeadings)
{
    QHeaderView* heading = library->tvSounds->horizontalHeader();
    QFont bold = heading->font();
    bold.setBold(true);
    int columns = 0;
    for (int c = 0; c < heading->count(); ++c) {
        const QString text = library->Model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_GT(heading->sectionSize(c), QFontMetrics(bold).horizontalAdvance(text)) << text.toStdString();
        columns += heading->sectionSize(c);
    }
    EXPECT_LE(columns, library->tvSounds->viewport()->width());

    const struct {
        const char* window;
        const char* list;
    } windows[] = {{"TfmLibrary", "tvSounds"},
                   {"TfmLibraryFolders", "lbFolders"},
                   {"TfmDiskImages", "lvSlots"},
                   {"TfmLoadSound", "edContents"},
                   {"TfmArchiveDisk", "edSummary"}};
    for (const auto& w : windows) {
        QWidget* window = form().Window(w.window);
        ASSERT_TRUE(window) << w.window;
        window->show();
        auto* list = window->findChild<QWidget*>(w.list);
        auto* ok = window->findChild<QWidget*>("bnOK");
        ASSERT_TRUE(list && ok) << w.window;
        const QSize listBefore = list->size();
        const QPoint okFromCorner = QPoint(window->width(), window->height()) - ok->pos();
        window->resize(window->size() + QSize(120, 80));
        QCoreApplication::processEvents();
        EXPECT_EQ(list->height(), listBefore.height() + 80) << w.window;
        EXPECT_EQ(QPoint(window->width(), window->height()) - ok->pos(), okFromCorner) << w.window;
        window->hide();
    }
}

} // namespace
} // namespace corvane::test
