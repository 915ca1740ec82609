// The library index on folders the tests make: a scan, a rescan after files
// changed, came and went, damaged files with their reasons, duplicates, the
// user's notes through a rescan and a rebuild, the step from the first
// schema, and Cancel on the worker thread.
#include "LibraryFolders.h"
#include "LibraryScan.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <map>

namespace corvane::test {
namespace {

using namespace library;

class LibraryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeSoundFile(lib("sounds/a.syx"), 0);
        writeSoundFile(lib("sounds/deep/b.syx"), 1, -1, {1});
        writeImage(lib("disks/one.img"), 0, -1, 1u << 5, 1u << 4);
        writeAudio(lib("audio/tone.wav"), 440);
        writeAudio(lib("audio/tone.flac"), 440); // the same frames in another container
        sound::Bytes cut = sound::fileImage(sound::Sound{{markedHalf(0, 2)}});
        cut.resize(cut.size() / 2);
        writeFile(lib("sounds/cut.syx"), cut);
        writeFile(lib("disks/short.img"), sound::Bytes(1000, 0));
        writeFile(lib("audio/noise.wav"), sound::Bytes(300, 7));
        writeFile(lib("notes.txt"), sound::Bytes(10, 'x')); // not a library file
    }

    QString lib(const QString& name) const { return dir.filePath("lib/" + name); }
    QString dbDir() const { return dir.filePath("data"); }

    ScanSummary scanNow(Database& db)
    {
        std::atomic<bool> cancel{false};
        return scan(db, {dir.filePath("lib")}, cancel, [](int, int) {});
    }

    static const Row* find(const Rows& rows, const QString& source)
    {
        for (const Row& r : rows)
            if (r.source() == source)
                return &r;
        return nullptr;
    }

    // Every library file's bytes, to show that nothing wrote to them.
    std::map<QString, QByteArray> contents() const
    {
        std::map<QString, QByteArray> out;
        for (QDirIterator it(dir.filePath("lib"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile f(it.next());
            f.open(QIODevice::ReadOnly);
            out[it.filePath()] = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
        }
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(LibraryIndexTest, ScanThenRescanReadsOnlyWhatChangedCameOrWent)
{
    const auto before = contents();
    Database db(dbDir());
    ASSERT_TRUE(db.isOpen()) << db.error().toStdString();
    ScanSummary s = scanNow(db);
    EXPECT_EQ(s.files, 8);
    EXPECT_EQ(s.read, 8);
    Rows rows = db.rows();
    // 2 halves + 1 half + 4 slots + 1 damaged slot + 2 audio + 3 damaged files.
    EXPECT_EQ(rows.size(), 13u);
    const Row* lower = find(rows, "a.syx lower");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->kind, Kind::Sound);
    EXPECT_EQ(lower->name, "a");
    EXPECT_GT(lower->wavesamples, 0);
    EXPECT_GT(lower->pages, 0);
    ASSERT_TRUE(find(rows, "b.syx upper") && find(rows, "one.img U2") && find(rows, "tone.flac"));
    EXPECT_FALSE(find(rows, "one.img U3")); // empty
    const std::vector<WavesampleRow> ws = db.wavesamples(lower->id);
    ASSERT_EQ(ws.size(), 8u);
    EXPECT_EQ(ws[0].rate, soundRate());
    EXPECT_LE(ws[0].startPage, ws[0].endPage);
    EXPECT_EQ(ws[0].sampleHash.size(), 40);
    // Damaged files and slots, each with its reason.
    for (const char* source : {"cut.syx", "short.img", "noise.wav", "one.img L3"}) {
        const Row* r = find(rows, source);
        ASSERT_TRUE(r) << source;
        EXPECT_EQ(r->kind, Kind::Damaged) << source;
        EXPECT_FALSE(r->damage.isEmpty()) << source;
    }
    EXPECT_TRUE(find(rows, "one.img L3")->damage.contains("wavesample 3")) << find(rows, "one.img L3")->damage.toStdString();

    s = scanNow(db);
    EXPECT_EQ(s.read, 0);
    EXPECT_EQ(s.removed, 0);
    EXPECT_EQ(db.rows().size(), 13u);

    writeSoundFile(lib("sounds/a.syx"), 2, -1, {0}); // now only a lower half
    touch(lib("sounds/a.syx"), 100);
    writeSoundFile(lib("sounds/c.syx"), 1, 9);
    QFile::remove(lib("audio/tone.wav"));
    s = scanNow(db);
    EXPECT_EQ(s.read, 2);
    EXPECT_EQ(s.removed, 1);
    rows = db.rows();
    EXPECT_EQ(rows.size(), 13u - 1 - 1 + 2);
    EXPECT_TRUE(find(rows, "a.syx lower") && !find(rows, "a.syx upper") && find(rows, "c.syx upper"));
    EXPECT_FALSE(find(rows, "tone.wav"));
    EXPECT_NE(db.wavesamples(find(rows, "a.syx lower")->id)[0].sampleHash, ws[0].sampleHash);
    EXPECT_EQ(contents().size(), before.size() + 1 - 1);
}

TEST_F(LibraryIndexTest, TheSameSampleDataInSeveralPlacesIsFoundWithWhere)
{
    // a.syx holds factory sound 1, as do slots L1 and U1 of one.img, and a
    // copy of it lies in another folder; b.syx's upper half is U2's.
    QDir().mkpath(lib("copies"));
    QFile::copy(lib("sounds/a.syx"), lib("copies/a copy.syx"));
    Database db(dbDir());
    scanNow(db);
    const Rows rows = db.rows();
    const Row* copy = find(rows, "a copy.syx lower");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->copies, 3);
    EXPECT_EQ(find(rows, "one.img L1")->copies, 3);
    EXPECT_EQ(find(rows, "a.syx upper")->copies, 3);
    EXPECT_EQ(find(rows, "b.syx upper")->copies, 2);
    EXPECT_EQ(find(rows, "one.img L2")->copies, 1);
    EXPECT_EQ(find(rows, "tone.wav")->copies, 2); // the same frames as tone.flac
    const std::vector<WavesampleRow> ws = db.wavesamples(copy->id);
    const std::vector<Place> where = db.places(ws[0].sampleHash);
    // The factory sounds share some waves: at least these three places.
    EXPECT_GE(where.size(), 3u);
    EXPECT_EQ(db.placeCount(ws[0].sampleHash), static_cast<int>(where.size()));
    QStringList texts;
    for (const Place& p : where)
        texts << p.text();
    for (const char* place : {"a.syx lower, wavesample 1", "a copy.syx lower, wavesample 1", "one.img L1, wavesample 1"})
        EXPECT_TRUE(texts.join('\n').contains(place)) << texts.join('\n').toStdString();
}

TEST_F(LibraryIndexTest, NotesSurviveARescanAndARebuildOfADamagedDatabase)
{
    QString path;
    {
        Database db(dbDir());
        ASSERT_TRUE(db.setFolders({dir.filePath("lib")}));
        scanNow(db);
        path = find(db.rows(), "one.img U1")->path;
        ASSERT_TRUE(db.setNote(path, 1, {"pad, warm", 4, "from the \"blue\"\tbox\nsecond line"}));
        touch(path, 50);
        EXPECT_EQ(scanNow(db).read, 1);
        const Rows rows = db.rows();
        const Row* r = find(rows, "one.img U1");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->tags, "pad, warm");
        EXPECT_EQ(r->rating, 4);
    }
    // The database file damaged: moved aside, made again, the notes and
    // folders taken back from the notes file.
    QFile f(QDir(dbDir()).filePath(databaseFileName()));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(QByteArray(4096, '\x5A'));
    f.close();
    const auto before = contents();
    Database db(dbDir());
    ASSERT_TRUE(db.isOpen());
    EXPECT_TRUE(db.recovered().startsWith("Error - the library database could not be opened"))
        << db.recovered().toStdString();
    EXPECT_EQ(QDir(dbDir()).entryList({"library.sqlite.damaged-*"}).size(), 1);
    EXPECT_EQ(db.folders(), QStringList{dir.filePath("lib")});
    scanNow(db);
    const Rows rows = db.rows();
    const Row* r = find(rows, "one.img U1");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->tags, "pad, warm");
    EXPECT_EQ(r->comment, "from the \"blue\"\tbox\nsecond line");
    EXPECT_EQ(contents(), before);
}

TEST_F(LibraryIndexTest, ADatabaseOfTheFirstSchemaIsBroughtToTheCurrentOneKeepingItsNotes)
{
    QDir().mkpath(dbDir());
    {
        QSqlDatabase old = QSqlDatabase::addDatabase("QSQLITE", "first");
        old.setDatabaseName(QDir(dbDir()).filePath(databaseFileName()));
        ASSERT_TRUE(old.open());
        QSqlQuery q(old);
        const QStringList first = Database::schemaSteps()[0];
        for (const QString& sql : first)
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
        ASSERT_TRUE(q.exec("INSERT INTO notes(path, part, tags, rating) VALUES('/x/y.syx', 0, 'bass', 3)"));
        ASSERT_TRUE(q.exec("INSERT INTO folders VALUES('/x')"));
        // A built half counted as eight: wavesamples 6-8 play 5's pages.
        ASSERT_TRUE(q.exec("INSERT INTO files VALUES(1, '/x/built.syx', 1, 1, 'f', '')"));
        ASSERT_TRUE(q.exec("INSERT INTO items VALUES(1, 1, 0, 0, 'built', 8, 200, 'd', '')"));
        for (int w = 0; w < 8; ++w)
            ASSERT_TRUE(q.exec(QString("INSERT INTO wavesamples VALUES(1, %1, '', %2, %3, 0, 0, 0, 0, 29411, 'h%4')")
                                   .arg(w).arg(std::min(w, 4) * 40).arg(std::min(w, 4) * 40 + 39).arg(std::min(w, 4))));
        old.close();
    }
    QSqlDatabase::removeDatabase("first");
    Database db(dbDir());
    ASSERT_TRUE(db.isOpen());
    EXPECT_TRUE(db.recovered().isEmpty()) << db.recovered().toStdString();
    EXPECT_EQ(db.version(), Database::Version);
    EXPECT_EQ(db.note("/x/y.syx", 0).tags, "bass");
    EXPECT_EQ(db.note("/x/y.syx", 0).rating, 3);
    ASSERT_TRUE(db.setNote("/x/y.syx", 0, {"bass", 3, "a comment"}));
    EXPECT_EQ(db.note("/x/y.syx", 0).comment, "a comment");
    EXPECT_EQ(db.folders(), QStringList{"/x"});
    const Rows rows = db.rows();
    const Row* built = find(rows, "built.syx lower");
    ASSERT_TRUE(built);
    EXPECT_EQ(built->wavesamples, 5);
}

// A cancel while the worker reads ends its scan at the next file; what was
// read stays and the next scan reads the rest.
TEST_F(LibraryIndexTest, CancelEndsTheWorkersScanAtTheNextFileAndTheNextScanCompletes)
{
    for (int i = 0; i < 60; ++i)
        writeImage(lib(QString("many/%1.img").arg(i)), i % 2, i);
    { Database ui(dbDir()); } // the window's connection makes the database first
    QThread thread;
    Indexer indexer;
    indexer.moveToThread(&thread);
    thread.start();
    std::optional<ScanSummary> done;
    std::shared_ptr<Rows> rows;
    QObject receiver; // on this thread: the result comes as the window gets it
    QObject::connect(&indexer, &Indexer::finished, &receiver, [&](ScanSummary s, std::shared_ptr<Rows> r) {
        done = s;
        rows = std::move(r);
    });
    const auto waitDone = [&](QElapsedTimer& clock, int ms) {
        while (!done && clock.elapsed() < ms) {
            QCoreApplication::processEvents();
            QThread::msleep(2);
        }
    };
    // Cancelled on the worker's own thread once the first file is read,
    // however fast the machine reads.
    const QMetaObject::Connection cancelling = QObject::connect(
        &indexer, &Indexer::progress, &indexer, [&indexer] { indexer.cancel(); }, Qt::DirectConnection);
    const QStringList folders{dir.filePath("lib")};
    indexer.rearm();
    QMetaObject::invokeMethod(&indexer, [&] { indexer.run(dbDir(), folders, 0, false); }, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    waitDone(clock, 60000);
    ASSERT_TRUE(done);
    EXPECT_TRUE(done->cancelled);
    EXPECT_EQ(done->read, 1);
    const int first = done->read;
    QObject::disconnect(cancelling);
    done.reset();
    indexer.rearm();
    QMetaObject::invokeMethod(&indexer, [&] { indexer.run(dbDir(), folders, 0, false); }, Qt::QueuedConnection);
    waitDone(clock, 60000);
    ASSERT_TRUE(done);
    EXPECT_FALSE(done->cancelled);
    EXPECT_EQ(done->read, 68 - first);
    EXPECT_EQ(rows->size(), 13u + 60u * 6u);
    thread.quit();
    thread.wait();
}

} // namespace
} // namespace corvane::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
