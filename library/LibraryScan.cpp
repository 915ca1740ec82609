#include "LibraryScan.h"

#include "AudioConvert.h"
#include "DiskImage.h"
#include "Dumps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <sndfile.h>

#include <set>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace corvane::library {

namespace {

const QSet<QString> AudioSuffixes = {"wav", "wave", "aif", "aiff", "aifc", "flac", "ogg", "oga", "au",
                                     "snd", "w64", "caf", "voc", "rf64", "opus"};

QString suffixOf(const QString& path) { return QFileInfo(path).suffix().toLower(); }

QString sha1(const std::uint8_t* data, std::size_t size)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArrayView(data, static_cast<qsizetype>(size)), QCryptographicHash::Sha1).toHex());
}

ItemInfo damaged(int part, const QString& name, const QString& why)
{
    ItemInfo i;
    i.kind = Kind::Damaged;
    i.part = part;
    i.name = name;
    i.damage = why;
    return i;
}

// The item of a half: its wavesamples and a hash over all their data.
ItemInfo soundItem(Kind kind, int part, const QString& name, const sound::Half& half)
{
    ItemInfo i;
    i.kind = kind;
    i.part = part;
    i.name = name;
    i.wavesamples = wavesamplesOf(half);
    QCryptographicHash all(QCryptographicHash::Sha1);
    std::set<int> pages;
    for (const WavesampleInfo& w : i.wavesamples)
        if (w.hasPages()) {
            all.addData(QByteArrayView(w.samples.data(), static_cast<qsizetype>(w.samples.size())));
            for (int p = w.range.start; p <= w.range.end; ++p)
                pages.insert(p);
        }
    i.pages = static_cast<int>(pages.size());
    i.dataHash = pages.empty() ? QString() : QString::fromLatin1(all.result().toHex());
    i.half = half;
    return i;
}

std::vector<ItemInfo> syxItems(const QString& path, const QByteArray& bytes)
{
    const QString base = QFileInfo(path).completeBaseName();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    sound::ReadResult r = sound::parseFile({data, static_cast<std::size_t>(bytes.size())});
    if (!r.ok())
        return {damaged(0, base, QString::fromStdString(r.text))};
    std::vector<ItemInfo> out;
    for (const sound::Half& h : r.sound.halves)
        out.push_back(soundItem(Kind::Sound, h.half, base, h));
    return out;
}

std::vector<ItemInfo> imageItems(const QString& path, const QByteArray& bytes)
{
    const QString base = QFileInfo(path).completeBaseName();
    disk::Image image;
    const std::string error = image.assign(disk::Bytes(bytes.begin(), bytes.end()), path.toStdString());
    if (!error.empty())
        return {damaged(-1, base, QString::fromStdString(error))};
    std::vector<ItemInfo> out;
    for (int slot = 0; slot < disk::Layout::Slots; ++slot) {
        const disk::SlotRead r = disk::readSlot(image, slot);
        const QString name = base + " " + QString::fromStdString(disk::slotName(slot));
        if (r.check.state == disk::SlotState::Damaged)
            out.push_back(damaged(slot, name, QString::fromStdString(r.check.text)));
        else if (r.ok())
            out.push_back(soundItem(Kind::Slot, slot, name, r.half));
    }
    return out;
}

struct SndFile {
    SNDFILE* f = nullptr;
    ~SndFile()
    {
        if (f)
            sf_close(f);
    }
};

// An audio file as one sample: its rate and length, and a hash of the
// decoded frames so that the same sound in another container matches.
ItemInfo audioItem(const QString& path, const std::atomic<bool>* cancel)
{
    const QString base = QFileInfo(path).completeBaseName();
    SF_INFO info{};
    SndFile file{sf_open(QFile::encodeName(path).constData(), SFM_READ, &info)};
    if (!file.f)
        return damaged(0, base, QString("Not an audio file that can be read: %1").arg(sf_strerror(nullptr)));
    if (info.channels <= 0 || info.frames <= 0)
        return damaged(0, base, "The audio file holds no sample frames.");
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<short> block(static_cast<std::size_t>(16384) * static_cast<std::size_t>(info.channels));
    sf_count_t total = 0;
    for (sf_count_t n; (n = sf_readf_short(file.f, block.data(), 16384)) > 0;) {
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(block.data()),
                                    static_cast<qsizetype>(n * info.channels * static_cast<sf_count_t>(sizeof(short)))));
        total += n;
        if (cancel && *cancel)
            return damaged(0, base, "Cancelled.");
    }
    if (total < info.frames)
        return damaged(0, base, QString("The audio data stops after %1 of %2 frames.").arg(total).arg(info.frames));
    ItemInfo i;
    i.kind = Kind::Audio;
    i.name = base;
    WavesampleInfo w;
    w.name = base.toStdString();
    w.rate = info.samplerate;
    i.wavesamples.push_back(w);
    i.dataHash = QString::fromLatin1(hash.result().toHex());
    return i;
}

} // namespace

QString ItemInfo::sampleHash(std::size_t w) const
{
    if (kind == Kind::Audio)
        return dataHash;
    if (w >= wavesamples.size() || !wavesamples[w].hasPages())
        return {};
    return sha1(wavesamples[w].samples.data(), wavesamples[w].samples.size());
}

int soundRate() { return audio::rateOfSampleTime(audio::DefaultSampleTimeUs); }

std::vector<WavesampleInfo> wavesamplesOf(const sound::Half& half)
{
    std::vector<WavesampleInfo> out;
    const auto& dump = half.programDump;
    const auto field = [&dump](int w, int offset) {
        const auto p = static_cast<std::size_t>(wavesampleFieldPos(w, offset));
        return p + 1 < dump.size() ? dump[p] + 16 * dump[p + 1] : 0;
    };
    const auto entries = sound::wavesampleEntries(dump);
    for (int w = 0; w < 8; ++w) {
        const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
        WavesampleInfo i;
        i.number = w;
        i.name = half.hasNames ? half.names[static_cast<std::size_t>(w)] : std::string();
        i.range = e.range;
        i.looped = field(w, wsf::LoopSwitch) != 0;
        i.loopStart = field(w, wsf::LoopStart);
        i.loopEnd = field(w, wsf::LoopEnd);
        i.loopEndFine = field(w, wsf::LoopEndFine);
        i.rate = soundRate();
        if (e.dump >= 0 && !e.first)
            for (int v = 0; v < w && !i.sameAs; ++v)
                if (entries[static_cast<std::size_t>(v)].first && entries[static_cast<std::size_t>(v)].dump == e.dump)
                    i.sameAs = v + 1;
        if (e.dump >= 0 && static_cast<std::size_t>(e.dump) < half.wavesampleDumps.size())
            i.samples = sound::wavesampleSamples(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
        out.push_back(std::move(i));
    }
    return out;
}

bool isLibraryFile(const QString& path)
{
    const QString s = suffixOf(path);
    return s == "syx" || s == "img" || AudioSuffixes.contains(s);
}

std::vector<ItemInfo> readItems(const QString& path, const QByteArray& bytes, const std::atomic<bool>* cancel)
{
    const QString s = suffixOf(path);
    if (s == "syx")
        return syxItems(path, bytes);
    if (s == "img")
        return imageItems(path, bytes);
    return {audioItem(path, cancel)};
}

std::optional<ItemInfo> readItem(const QString& path, int part, QString& error)
{
    QFile f(path);
    if (!isLibraryFile(path) || !f.open(QIODevice::ReadOnly)) {
        error = "Error - " + QDir::toNativeSeparators(path) + " cannot be opened: " + f.errorString() + ".";
        return std::nullopt;
    }
    const QByteArray bytes = AudioSuffixes.contains(suffixOf(path)) ? QByteArray() : f.readAll();
    for (ItemInfo& i : readItems(path, bytes))
        if (i.part == part) {
            if (i.kind == Kind::Damaged) {
                error = "Error - " + i.damage;
                return std::nullopt;
            }
            return std::move(i);
        }
    error = "Error - " + QDir::toNativeSeparators(path) + " no longer holds this sound; rescan the library.";
    return std::nullopt;
}

// ---- the scan ----------------------------------------------------------------------

namespace {

// A null QString binds as NULL.
QVariant text(const QString& s) { return QVariant(s.isNull() ? QString("") : s); }

struct Found {
    QString path;
    qint64 size = 0;
    qint64 mtime = 0;
};

struct Known {
    qint64 id = 0;
    qint64 size = 0;
    qint64 mtime = 0;
};

std::vector<Found> walk(const QStringList& folders, const std::atomic<bool>& cancel)
{
    std::vector<Found> out;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Readable | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext() && !cancel) {
            it.next();
            const QFileInfo fi = it.fileInfo();
            const QString path = fi.absoluteFilePath();
            if (isLibraryFile(path) && !seen.contains(path)) {
                seen.insert(path);
                out.push_back({path, fi.size(), fi.lastModified().toMSecsSinceEpoch()});
            }
        }
    }
    return out;
}

QHash<QString, Known> known(QSqlDatabase& db)
{
    QHash<QString, Known> out;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec("SELECT id, path, size, mtime FROM files"))
        while (q.next())
            out.insert(q.value(1).toString(), {q.value(0).toLongLong(), q.value(2).toLongLong(), q.value(3).toLongLong()});
    return out;
}

void forget(QSqlDatabase& db, qint64 fileId)
{
    QSqlQuery q(db);
    q.prepare("DELETE FROM wavesamples WHERE item_id IN (SELECT id FROM items WHERE file_id = ?)");
    q.addBindValue(fileId);
    q.exec();
    q.prepare("DELETE FROM items WHERE file_id = ?");
    q.addBindValue(fileId);
    q.exec();
    q.prepare("DELETE FROM files WHERE id = ?");
    q.addBindValue(fileId);
    q.exec();
}

// The prepared statements of one scan.
struct Writer {
    explicit Writer(QSqlDatabase& db) : file(db), item(db), wavesample(db)
    {
        file.prepare("INSERT INTO files(path, size, mtime, hash, damage) VALUES(?, ?, ?, ?, ?)");
        item.prepare("INSERT INTO items(file_id, part, kind, name, wavesamples, pages, data_hash, damage) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        wavesample.prepare("INSERT INTO wavesamples(item_id, number, name, start_page, end_page, looped, loop_start, "
                           "loop_end, loop_fine, rate, sample_hash) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    }
    void add(const Found& f, const QString& hash, const std::vector<ItemInfo>& items);

    QSqlQuery file, item, wavesample;
};

void Writer::add(const Found& f, const QString& hash, const std::vector<ItemInfo>& items)
{
    const bool image = f.path.endsWith(".img", Qt::CaseInsensitive);
    const bool wholeFileDamaged = items.size() == 1 && items[0].kind == Kind::Damaged && (!image || items[0].part < 0);
    file.addBindValue(f.path);
    file.addBindValue(f.size);
    file.addBindValue(f.mtime);
    file.addBindValue(hash);
    file.addBindValue(text(wholeFileDamaged ? items[0].damage : QString()));
    if (!file.exec()) {
        qWarning("library: %s", qPrintable(file.lastError().text()));
        return;
    }
    const qint64 fileId = file.lastInsertId().toLongLong();
    for (const ItemInfo& i : items) {
        // Those that differ: one playing another's pages is not counted again.
        int used = 0;
        for (const WavesampleInfo& w : i.wavesamples)
            used += (w.hasPages() && !w.sameAs) || i.kind == Kind::Audio ? 1 : 0;
        for (const QVariant& v : {QVariant(fileId), QVariant(i.part), QVariant(static_cast<int>(i.kind)), text(i.name),
                                  QVariant(used), QVariant(i.pages), text(i.dataHash), text(i.damage)})
            item.addBindValue(v);
        if (!item.exec()) {
            qWarning("library: %s", qPrintable(item.lastError().text()));
            continue;
        }
        const qint64 itemId = item.lastInsertId().toLongLong();
        for (std::size_t n = 0; n < i.wavesamples.size(); ++n) {
            const WavesampleInfo& w = i.wavesamples[n];
            for (const QVariant& v : {QVariant(itemId), QVariant(w.number), text(QString::fromStdString(w.name)),
                                      QVariant(w.range.start), QVariant(w.range.end), QVariant(w.looped ? 1 : 0),
                                      QVariant(w.loopStart), QVariant(w.loopEnd), QVariant(w.loopEndFine),
                                      QVariant(w.rate), text(i.sampleHash(n))})
                wavesample.addBindValue(v);
            wavesample.exec();
        }
    }
}

// The file read whole for its hash and its items; audio files are hashed in
// blocks and decoded by libsndfile from the path.
bool readFile(const Found& f, const std::atomic<bool>& cancel, QString& hash, std::vector<ItemInfo>& items)
{
    QFile in(f.path);
    if (!in.open(QIODevice::ReadOnly)) {
        items = {damaged(0, QFileInfo(f.path).completeBaseName(), "The file cannot be opened: " + in.errorString() + ".")};
        return true;
    }
    // Sound files and images are read whole; one far larger than any can be
    // is only hashed.
    constexpr qint64 MostBytes = 16 << 20;
    const bool audio = AudioSuffixes.contains(suffixOf(f.path));
    const bool tooBig = !audio && f.size > MostBytes;
    QCryptographicHash h(QCryptographicHash::Sha1);
    QByteArray bytes;
    if (audio || tooBig) {
        while (!in.atEnd()) {
            h.addData(in.read(1 << 20));
            if (cancel)
                return false;
        }
    } else {
        bytes = in.readAll();
        h.addData(bytes);
    }
    hash = QString::fromLatin1(h.result().toHex());
    items = tooBig ? std::vector<ItemInfo>{damaged(-1, QFileInfo(f.path).completeBaseName(),
                                                   QString("The file is too big for a sound file or disk image "
                                                           "(%1 bytes).").arg(f.size))}
                   : readItems(f.path, bytes, &cancel);
    return !cancel;
}

} // namespace

ScanSummary scan(Database& db, const QStringList& folders, const std::atomic<bool>& cancel,
                 const std::function<void(int done, int total)>& progress)
{
    QElapsedTimer clock;
    clock.start();
    ScanSummary s;
    const std::vector<Found> found = walk(folders, cancel);
    QHash<QString, Known> before = known(db.db());
    std::vector<const Found*> changed;
    QSet<QString> changedPaths;
    for (const Found& f : found) {
        const auto k = before.find(f.path);
        if (k != before.end() && k->size == f.size && k->mtime == f.mtime) {
            before.erase(k);
            continue;
        }
        changed.push_back(&f);
        changedPaths.insert(f.path);
    }
    s.files = static_cast<int>(found.size());
    // What is left of `before` changed or is gone; a walk cut short by
    // Cancel has not seen every file, so nothing is taken as gone then.
    Writer writer(db.db());
    db.db().transaction();
    for (auto k = before.begin(); k != before.end() && !cancel; ++k) {
        forget(db.db(), k->id);
        s.removed += changedPaths.contains(k.key()) ? 0 : 1;
    }
    db.db().commit();
    QElapsedTimer batch;
    batch.start();
    db.db().transaction();
    for (std::size_t n = 0; n < changed.size() && !cancel; ++n) {
        QString hash;
        std::vector<ItemInfo> items;
        if (!readFile(*changed[n], cancel, hash, items))
            break;
        writer.add(*changed[n], hash, items);
        ++s.read;
        for (const ItemInfo& i : items)
            s.damaged += i.kind == Kind::Damaged ? 1 : 0;
        // The first file at once (the bar moves as soon as reading has
        // begun), then every tenth of a second.
        if (n == 0 || batch.elapsed() > 100) {
            db.db().commit();
            db.db().transaction();
            progress(static_cast<int>(n + 1), static_cast<int>(changed.size()));
            batch.restart();
        }
    }
    db.db().commit();
    progress(s.read, static_cast<int>(changed.size()));
    s.cancelled = cancel;
    s.ms = clock.elapsed();
    return s;
}

// ---- the indexer ---------------------------------------------------------------------

Indexer::Indexer()
{
    qRegisterMetaType<ScanSummary>();
    qRegisterMetaType<std::shared_ptr<Rows>>();
}

Indexer::~Indexer() = default;

void Indexer::run(const QString& directory, const QStringList& folders, int sortKey, bool descending)
{
#ifdef __linux__
    // A nicer thread than the window's: where the two share a core, the
    // window's events go first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
    // A connection belongs to the thread that made it: one per run.
    db_ = std::make_unique<Database>(directory, true);
    ScanSummary s;
    if (db_->isOpen())
        s = scan(*db_, folders, cancel_, [this](int done, int total) { emit progress(done, total); });
    auto rows = std::make_shared<Rows>(db_->isOpen() ? db_->rows() : Rows{});
    sortRows(*rows, static_cast<SortKey>(sortKey), descending);
    db_.reset();
    emit finished(s, std::move(rows));
}

void Indexer::open(const QString& directory)
{
    const Database db(directory);
    emit opened(db.isOpen(), db.error(), db.recovered());
}

} // namespace corvane::library
