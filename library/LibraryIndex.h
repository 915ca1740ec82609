// The sound library: every sound file, disk image slot and audio file under
// the user's library folders, indexed in an SQLite database (Qt SQL). Qt Core
// and Qt Sql only, no widgets.
//
// A file is kept with its path, size, modification time and a content hash;
// what it holds are its items: a keyboard half of a .syx file, a slot of a
// disk image, an audio file, or the reason it could not be read. A sound
// item keeps its eight wavesamples with name, pages, loop, rate and a hash
// of their sample bytes. The user's tags, rating and comment live in a table
// of their own keyed by path and part, so that a rescan, which replaces the
// items of a changed file, keeps them; they are also written to a plain
// notes file beside the database, with the library folders, from which a
// database rebuilt after damage takes them back.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace corvane::library {

enum class Kind { Sound = 0, Slot = 1, Audio = 2, Damaged = 3 };
QString kindText(Kind kind);

// Rows of the library window, one per item.
struct Row {
    qint64 id = 0;
    Kind kind = Kind::Sound;
    QString name;
    QString path;
    int part = 0;        // half of a .syx file, slot of an image, 0 for audio
    int wavesamples = 0; // those with pages that differ (1 for audio)
    int pages = 0;       // pages used, shared pages once
    qint64 modified = 0; // seconds since 1970
    QString tags;
    int rating = 0;      // 0..5
    QString comment;
    int copies = 1;      // places holding the same sample data
    QString damage;      // why the file or slot could not be read
    QString wavesampleNames;
    // Made once by finish(), on the scan's thread, so that the window's
    // search and sort do no more than compare.
    QString sourceText;
    QString nameKey;  // the name in lower case
    QString haystack; // name, source, wavesample names and tags in lower case
    QString source() const; // "strings.syx lower", "disk.img L2", "kick.wav"
    void finish();
};
using Rows = std::vector<Row>;

// The columns the rows sort by, in the order of the window's table.
enum class SortKey { Name, Kind, Source, Wavesamples, Pages, Date, Tags, Rating, Copies };
bool lessThan(const Row& a, const Row& b, SortKey key);
// A stable sort by `key`.
void sortRows(Rows& rows, SortKey key, bool descending);

struct WavesampleRow {
    int number = 0; // 0..7
    QString name;
    int startPage = 0;
    int endPage = 0;
    bool looped = false;
    int loopStart = 0; // page
    int loopEnd = 0;   // page
    int loopEndFine = 0;
    int rate = 0;
    QString sampleHash; // "" for a wavesample without pages
};

struct Place {
    QString path;
    int part = 0;
    Kind kind = Kind::Sound;
    int number = 0; // wavesample
    QString text() const;
};

struct Note {
    QString tags;
    int rating = 0;
    QString comment;
};

// The text file of folders and notes: "folder<TAB>path" and
// "note<TAB>path<TAB>part<TAB>rating<TAB>tags<TAB>comment" lines, tabs,
// newlines and backslashes escaped.
QString notesFileName();
QString databaseFileName();

class Database {
public:
    static constexpr int Version = 3;

    // The statements of each schema step: step 1 makes the first schema,
    // step n takes version n - 1 to n.
    static std::vector<QStringList> schemaSteps();

    // Opens (or creates) the database in `directory`. A database that cannot
    // be opened, fails its check or cannot be brought to this version is
    // moved aside and a new one made; the folders and notes are written to
    // the notes file first, as far as they can be read, and taken back from
    // it. `recovered()` then says what happened.
    //
    // A second connection to a database the first one has checked (the
    // scan's, on its thread) passes `checked`: it neither checks nor
    // rebuilds, and is only not open when opening fails.
    explicit Database(const QString& directory, bool checked = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isOpen() const { return open_; }
    QString error() const { return error_; }
    QString recovered() const { return recovered_; }
    QString directory() const { return directory_; }
    QSqlDatabase& db() { return db_; }
    int version();

    QStringList folders();
    bool setFolders(const QStringList& folders);

    Note note(const QString& path, int part);
    bool setNote(const QString& path, int part, const Note& note);

    Rows rows();
    std::vector<WavesampleRow> wavesamples(qint64 itemId);
    std::vector<Place> places(const QString& sampleHash);
    int placeCount(const QString& sampleHash);

    // Writes the notes file from the database; "" or what went wrong.
    QString exportNotes();

private:
    bool openAt(const QString& file, QString& why, bool check = true);
    bool migrate(QString& why);
    void importNotes();
    void rebuild(const QString& why);
    void close();

    QString directory_;
    QString connection_;
    QSqlDatabase db_;
    bool open_ = false;
    QString error_;
    QString recovered_;
};

} // namespace corvane::library
