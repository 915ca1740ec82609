#include "LibraryIndex.h"

#include "AtomicFile.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>

namespace corvane::library {

namespace {

QAtomicInt connections;

QString escaped(QString s)
{
    return s.replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n").replace('\r', "\\r");
}

QString unescaped(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar c = s[++i];
        out += c == 't' ? QChar('\t') : c == 'n' ? QChar('\n') : c == 'r' ? QChar('\r') : c;
    }
    return out;
}

bool exec(QSqlQuery& q, const QString& sql, QString* why = nullptr)
{
    if (q.exec(sql))
        return true;
    if (why)
        *why = q.lastError().text();
    return false;
}

} // namespace

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Sound: return "Sound file";
    case Kind::Slot: return "Disk image";
    case Kind::Audio: return "Audio";
    case Kind::Damaged: return "Damaged";
    }
    return {};
}

void Row::finish()
{
    sourceText = QString();
    sourceText = source();
    nameKey = name.toLower();
    haystack = (name + ' ' + sourceText + ' ' + wavesampleNames + ' ' + tags).toLower();
}

QString Row::source() const
{
    if (!sourceText.isEmpty())
        return sourceText;
    const QString file = QFileInfo(path).fileName();
    if (kind == Kind::Sound)
        return file + (part == 0 ? " lower" : " upper");
    if (kind == Kind::Slot || (kind == Kind::Damaged && part >= 0 && path.endsWith(".img", Qt::CaseInsensitive)))
        return part >= 0 ? file + " " + QString(part % 2 ? "U" : "L") + QString::number(part / 2 + 1) : file;
    return file;
}

bool lessThan(const Row& a, const Row& b, SortKey key)
{
    switch (key) {
    case SortKey::Kind: return static_cast<int>(a.kind) < static_cast<int>(b.kind);
    case SortKey::Source: return a.sourceText.compare(b.sourceText, Qt::CaseInsensitive) < 0;
    case SortKey::Wavesamples: return a.wavesamples < b.wavesamples;
    case SortKey::Pages: return a.pages < b.pages;
    case SortKey::Date: return a.modified < b.modified;
    case SortKey::Tags: return a.tags.compare(b.tags, Qt::CaseInsensitive) < 0;
    case SortKey::Rating: return a.rating < b.rating;
    case SortKey::Copies: return a.copies < b.copies;
    case SortKey::Name: break;
    }
    return a.nameKey < b.nameKey;
}

void sortRows(Rows& rows, SortKey key, bool descending)
{
    std::stable_sort(rows.begin(), rows.end(), [key, descending](const Row& a, const Row& b) {
        return descending ? lessThan(b, a, key) : lessThan(a, b, key);
    });
}

QString Place::text() const
{
    Row r;
    r.path = path;
    r.part = part;
    r.kind = kind;
    return QDir::toNativeSeparators(QFileInfo(path).path()) + "  " + r.source() +
           (kind == Kind::Audio ? QString() : QString(", wavesample %1").arg(number + 1));
}

QString notesFileName() { return "library-notes.txt"; }
QString databaseFileName() { return "library.sqlite"; }

std::vector<QStringList> Database::schemaSteps()
{
    return {
        {"CREATE TABLE schema_version(version INTEGER NOT NULL)",
         "CREATE TABLE folders(path TEXT PRIMARY KEY)",
         "CREATE TABLE files(id INTEGER PRIMARY KEY, path TEXT UNIQUE NOT NULL, size INTEGER NOT NULL, "
         "mtime INTEGER NOT NULL, hash TEXT NOT NULL, damage TEXT NOT NULL DEFAULT '')",
         "CREATE TABLE items(id INTEGER PRIMARY KEY, file_id INTEGER NOT NULL, part INTEGER NOT NULL, "
         "kind INTEGER NOT NULL, name TEXT NOT NULL, wavesamples INTEGER NOT NULL, pages INTEGER NOT NULL, "
         "data_hash TEXT NOT NULL, damage TEXT NOT NULL DEFAULT '')",
         "CREATE TABLE wavesamples(item_id INTEGER NOT NULL, number INTEGER NOT NULL, name TEXT NOT NULL, "
         "start_page INTEGER, end_page INTEGER, looped INTEGER, loop_start INTEGER, loop_end INTEGER, "
         "loop_fine INTEGER, rate INTEGER, sample_hash TEXT NOT NULL)",
         "CREATE TABLE notes(path TEXT NOT NULL, part INTEGER NOT NULL, tags TEXT NOT NULL DEFAULT '', "
         "rating INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(path, part))",
         "INSERT INTO schema_version VALUES(1)"},
        // Comments on the user's notes; the look-ups by file, item and
        // sample data that the window and duplicates need at scale.
        {"ALTER TABLE notes ADD COLUMN comment TEXT NOT NULL DEFAULT ''",
         "CREATE INDEX items_file ON items(file_id)", "CREATE INDEX items_data ON items(data_hash)",
         "CREATE INDEX wavesamples_item ON wavesamples(item_id)",
         "CREATE INDEX wavesamples_sample ON wavesamples(sample_hash)", "UPDATE schema_version SET version = 2"},
        // A sound's wavesamples counted as those that differ: one that
        // plays another's pages (the same page range) is not counted again.
        {"UPDATE items SET wavesamples = (SELECT count(DISTINCT w.start_page * 256 + w.end_page) FROM wavesamples w "
         "WHERE w.item_id = items.id AND w.sample_hash <> '') WHERE kind IN (0, 1)",
         "UPDATE schema_version SET version = 3"},
    };
}

Database::Database(const QString& directory, bool checked)
    : directory_(directory), connection_(QString("corvane-library-%1").arg(connections.fetchAndAddRelaxed(1)))
{
    QDir().mkpath(directory_);
    const QString file = QDir(directory_).filePath(databaseFileName());
    const bool existed = QFileInfo::exists(file);
    QString why;
    if (checked) {
        open_ = openAt(file, why, false) && version() == Version;
        if (!open_)
            error_ = "Error - the library database " + QDir::toNativeSeparators(file) + " cannot be opened: " + why + ".";
        return;
    }
    if (openAt(file, why) && migrate(why)) {
        open_ = true;
        if (!existed)
            importNotes();
        return;
    }
    // A database another program holds is not damaged: it is left alone.
    if (why.contains("locked", Qt::CaseInsensitive) || why.contains("busy", Qt::CaseInsensitive)) {
        error_ = "Error - the library database " + QDir::toNativeSeparators(file) + " is in use: " + why + ".";
        close();
        return;
    }
    rebuild(why);
}

Database::~Database() { close(); }

void Database::close()
{
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

bool Database::openAt(const QString& file, QString& why, bool check)
{
    db_ = QSqlDatabase::addDatabase("QSQLITE", connection_);
    db_.setDatabaseName(file);
    db_.setConnectOptions("QSQLITE_BUSY_TIMEOUT=5000");
    if (!db_.open()) {
        why = db_.lastError().text();
        return false;
    }
    QSqlQuery q(db_);
    if (check) {
        if (!exec(q, "PRAGMA quick_check", &why))
            return false;
        if (!q.next() || q.value(0).toString() != "ok") {
            why = "its check found damage (" + q.value(0).toString() + ")";
            return false;
        }
    }
    exec(q, "PRAGMA journal_mode=WAL");
    exec(q, "PRAGMA synchronous=NORMAL");
    return true;
}

int Database::version()
{
    QSqlQuery q(db_);
    if (!db_.tables().contains("schema_version"))
        return 0;
    if (!q.exec("SELECT version FROM schema_version") || !q.next())
        return -1;
    return q.value(0).toInt();
}

bool Database::migrate(QString& why)
{
    const int from = version();
    if (from < 0 || from > Version) {
        why = from < 0 ? "its version cannot be read" : QString("it was made by a later Corvane (version %1)").arg(from);
        return false;
    }
    const auto steps = schemaSteps();
    for (int v = from; v < Version; ++v) {
        if (!db_.transaction()) {
            why = db_.lastError().text();
            return false;
        }
        QSqlQuery q(db_);
        for (const QString& sql : steps[static_cast<std::size_t>(v)])
            if (!exec(q, sql, &why)) {
                db_.rollback();
                why = QString("the step to version %1 failed: %2").arg(v + 1).arg(why);
                return false;
            }
        if (!db_.commit()) {
            why = db_.lastError().text();
            return false;
        }
    }
    return true;
}

// The notes are saved from the damaged database as far as it can be read;
// what the notes file already held stays when nothing can.
void Database::rebuild(const QString& why)
{
    if (db_.isOpen() && db_.tables().contains("notes"))
        exportNotes();
    close();
    const QString file = QDir(directory_).filePath(databaseFileName());
    const QString aside = file + ".damaged-" + QDateTime::currentDateTimeUtc().toString("yyyyMMdd-hhmmss");
    for (const QString& suffix : {QString(), QString("-wal"), QString("-shm")})
        if (QFileInfo::exists(file + suffix) && !QFile::rename(file + suffix, aside + suffix))
            QFile::remove(file + suffix);
    QString again;
    if (!openAt(file, again) || !migrate(again)) {
        error_ = "Error - the library database " + QDir::toNativeSeparators(file) + " cannot be made: " + again + ".";
        close();
        return;
    }
    open_ = true;
    importNotes();
    recovered_ = "Error - the library database could not be opened (" + why + "). It was moved aside as " +
                 QDir::toNativeSeparators(aside) + " and is rebuilt from the library folders; the folders, tags, "
                 "ratings and comments come back from " + QDir(directory_).filePath(notesFileName()) + ".";
}

QString Database::exportNotes()
{
    QString text;
    QTextStream s(&text);
    QSqlQuery q(db_);
    if (q.exec("SELECT path FROM folders ORDER BY path"))
        while (q.next())
            s << "folder\t" << escaped(q.value(0).toString()) << '\n';
    const bool comments = version() >= 2;
    if (q.exec(QString("SELECT path, part, rating, tags%1 FROM notes ORDER BY path, part").arg(comments ? ", comment" : "")))
        while (q.next())
            s << "note\t" << escaped(q.value(0).toString()) << '\t' << q.value(1).toInt() << '\t' << q.value(2).toInt()
              << '\t' << escaped(q.value(3).toString()) << '\t' << (comments ? escaped(q.value(4).toString()) : "")
              << '\n';
    s.flush();
    const QByteArray bytes = text.toUtf8();
    const auto failure = writeFileAtomically(
        QDir(directory_).filePath(notesFileName()).toStdString(),
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    return failure ? QString::fromStdString(failure->reason()) : QString();
}

void Database::importNotes()
{
    QFile in(QDir(directory_).filePath(notesFileName()));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream s(&in);
    s.setEncoding(QStringConverter::Utf8);
    db_.transaction();
    QSqlQuery folder(db_), note(db_);
    folder.prepare("INSERT OR IGNORE INTO folders(path) VALUES(?)");
    note.prepare("INSERT OR REPLACE INTO notes(path, part, rating, tags, comment) VALUES(?, ?, ?, ?, ?)");
    while (!s.atEnd()) {
        const QStringList f = s.readLine().split('\t');
        if (f.size() == 2 && f[0] == "folder") {
            folder.addBindValue(unescaped(f[1]));
            folder.exec();
        } else if (f.size() == 6 && f[0] == "note") {
            note.addBindValue(unescaped(f[1]));
            note.addBindValue(f[2].toInt());
            note.addBindValue(std::clamp(f[3].toInt(), 0, 5));
            note.addBindValue(unescaped(f[4]));
            note.addBindValue(unescaped(f[5]));
            note.exec();
        }
    }
    db_.commit();
}

QStringList Database::folders()
{
    QStringList out;
    QSqlQuery q(db_);
    if (q.exec("SELECT path FROM folders ORDER BY path"))
        while (q.next())
            out << q.value(0).toString();
    return out;
}

bool Database::setFolders(const QStringList& folders)
{
    if (!db_.transaction())
        return false;
    QSqlQuery q(db_);
    bool ok = q.exec("DELETE FROM folders");
    q.prepare("INSERT OR IGNORE INTO folders(path) VALUES(?)");
    for (const QString& f : folders) {
        q.addBindValue(f);
        ok = ok && q.exec();
    }
    ok = ok && db_.commit();
    if (!ok)
        db_.rollback();
    exportNotes();
    return ok;
}

Note Database::note(const QString& path, int part)
{
    QSqlQuery q(db_);
    q.prepare("SELECT tags, rating, comment FROM notes WHERE path = ? AND part = ?");
    q.addBindValue(path);
    q.addBindValue(part);
    if (!q.exec() || !q.next())
        return {};
    return {q.value(0).toString(), q.value(1).toInt(), q.value(2).toString()};
}

bool Database::setNote(const QString& path, int part, const Note& n)
{
    QSqlQuery q(db_);
    q.prepare("INSERT OR REPLACE INTO notes(path, part, tags, rating, comment) VALUES(?, ?, ?, ?, ?)");
    q.addBindValue(path);
    q.addBindValue(part);
    q.addBindValue(n.tags);
    q.addBindValue(std::clamp(n.rating, 0, 5));
    q.addBindValue(n.comment);
    const bool ok = q.exec();
    exportNotes();
    return ok;
}

Rows Database::rows()
{
    Rows out;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    const bool ok = q.exec(
        "SELECT i.id, i.kind, i.name, f.path, i.part, i.wavesamples, i.pages, f.mtime, "
        "coalesce(n.tags, ''), coalesce(n.rating, 0), coalesce(n.comment, ''), i.damage, "
        "CASE WHEN i.data_hash = '' THEN 1 ELSE (SELECT count(*) FROM items j WHERE j.data_hash = i.data_hash) END, "
        "coalesce((SELECT group_concat(w.name, ' ') FROM wavesamples w WHERE w.item_id = i.id), '') "
        "FROM items i JOIN files f ON f.id = i.file_id LEFT JOIN notes n ON n.path = f.path AND n.part = i.part");
    if (!ok)
        return out;
    while (q.next()) {
        Row r;
        r.id = q.value(0).toLongLong();
        r.kind = static_cast<Kind>(q.value(1).toInt());
        r.name = q.value(2).toString();
        r.path = q.value(3).toString();
        r.part = q.value(4).toInt();
        r.wavesamples = q.value(5).toInt();
        r.pages = q.value(6).toInt();
        r.modified = q.value(7).toLongLong();
        r.tags = q.value(8).toString();
        r.rating = q.value(9).toInt();
        r.comment = q.value(10).toString();
        r.damage = q.value(11).toString();
        r.copies = q.value(12).toInt();
        r.wavesampleNames = q.value(13).toString();
        r.finish();
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<WavesampleRow> Database::wavesamples(qint64 itemId)
{
    std::vector<WavesampleRow> out;
    QSqlQuery q(db_);
    q.prepare("SELECT number, name, start_page, end_page, looped, loop_start, loop_end, loop_fine, rate, sample_hash "
              "FROM wavesamples WHERE item_id = ? ORDER BY number");
    q.addBindValue(itemId);
    if (!q.exec())
        return out;
    while (q.next())
        out.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt(), q.value(3).toInt(),
                       q.value(4).toBool(), q.value(5).toInt(), q.value(6).toInt(), q.value(7).toInt(),
                       q.value(8).toInt(), q.value(9).toString()});
    return out;
}

// One place per item: a wavesample that plays the pages of another in the
// same half is not a copy.
std::vector<Place> Database::places(const QString& sampleHash)
{
    std::vector<Place> out;
    QSqlQuery q(db_);
    q.prepare("SELECT f.path, i.part, i.kind, min(w.number) FROM wavesamples w JOIN items i ON i.id = w.item_id "
              "JOIN files f ON f.id = i.file_id WHERE w.sample_hash = ? GROUP BY i.id ORDER BY f.path, i.part");
    q.addBindValue(sampleHash);
    if (!sampleHash.isEmpty() && q.exec())
        while (q.next())
            out.push_back({q.value(0).toString(), q.value(1).toInt(), static_cast<Kind>(q.value(2).toInt()),
                           q.value(3).toInt()});
    return out;
}

int Database::placeCount(const QString& sampleHash)
{
    QSqlQuery q(db_);
    q.prepare("SELECT count(DISTINCT item_id) FROM wavesamples WHERE sample_hash = ?");
    q.addBindValue(sampleHash);
    return !sampleHash.isEmpty() && q.exec() && q.next() ? q.value(0).toInt() : 0;
}

} // namespace corvane::library
