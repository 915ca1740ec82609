// Reading the library folders into the index: what a file holds (the
// halves of a .syx file, the six slots of a disk image, an audio file), and
// the scan that reads only what changed since the last one. The scan runs on
// a worker thread with a connection of its own; it never writes a library
// file.
#pragma once

#include "LibraryIndex.h"
#include "SoundFile.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <optional>

namespace corvane::library {

struct WavesampleInfo {
    int number = 0;
    std::string name;
    sound::PageRange range;
    bool looped = false;
    int loopStart = 0; // pages
    int loopEnd = 0;
    int loopEndFine = 0;
    int rate = 0;
    std::vector<std::uint8_t> samples; // the pages' bytes
    int sameAs = 0; // the earlier wavesample (1-8) whose pages it plays, or 0
    bool hasPages() const { return range.pages() > 0 && !samples.empty(); }
};

struct ItemInfo {
    Kind kind = Kind::Sound;
    int part = 0;
    QString name;
    QString damage;
    std::vector<WavesampleInfo> wavesamples; // eight for a sound, one for audio
    int pages = 0;
    QString dataHash;                        // of all sample data, "" for none
    std::optional<sound::Half> half;         // a sound's half, to send or save
    QString sampleHash(std::size_t w) const;
};

// The rate a wavesample plays at when the instrument's sample time is the
// default (34 µs); the files do not carry it.
int soundRate();

// The eight wavesamples of a half, with their loop as the program dump sets it.
std::vector<WavesampleInfo> wavesamplesOf(const sound::Half& half);

// The items of a file, from its bytes (audio files are read from `path`).
// A file that cannot be read is one Damaged item with the reason.
std::vector<ItemInfo> readItems(const QString& path, const QByteArray& bytes, const std::atomic<bool>* cancel = nullptr);
// One item of a file, read afresh; `error` says why there is none.
std::optional<ItemInfo> readItem(const QString& path, int part, QString& error);

bool isLibraryFile(const QString& path);

struct ScanSummary {
    int files = 0;   // files in the folders
    int read = 0;    // new or changed, read this time
    int removed = 0; // gone since the last scan
    int damaged = 0; // of those read
    bool cancelled = false;
    qint64 ms = 0;
};

// Brings the index to what the folders hold: new and changed files (size or
// modification time) are read, files gone are removed, the rest is left.
// Cancel is taken between files and inside a long one; what was read until
// then stays.
ScanSummary scan(Database& db, const QStringList& folders, const std::atomic<bool>& cancel,
                 const std::function<void(int done, int total)>& progress);

// The scan on its thread. run() is called there by a queued call; progress
// and the result come back by queued signals, the rows of the window with
// them so that the window's thread never waits for the database.
class Indexer : public QObject {
    Q_OBJECT
public:
    Indexer();
    ~Indexer() override;
    // A cancel holds for every run asked for before it, even one that has
    // not started yet; the one asking for a run re-arms first.
    void cancel() { cancel_ = true; }
    void rearm() { cancel_ = false; }

public slots:
    // Scans `folders` into the database in `directory`; the rows come
    // sorted by `sortKey`.
    void run(const QString& directory, const QStringList& folders, int sortKey = 0, bool descending = false);
    // Opens the database in `directory` as a run's first opening does: the
    // whole of it checked, brought to this version, rebuilt from the notes
    // file when damaged (Database). On a large library that takes tens of
    // milliseconds, which the window's thread does not wait for.
    void open(const QString& directory);

signals:
    void opened(bool ok, const QString& error, const QString& recovered);
    void progress(int done, int total);
    void finished(corvane::library::ScanSummary summary, std::shared_ptr<corvane::library::Rows> rows);

private:
    std::unique_ptr<Database> db_;
    std::atomic<bool> cancel_{false};
};

} // namespace corvane::library

Q_DECLARE_METATYPE(corvane::library::ScanSummary)
Q_DECLARE_METATYPE(std::shared_ptr<corvane::library::Rows>)
