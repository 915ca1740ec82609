#include "IniFile.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace corvane {

namespace {
bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
} // namespace

IniFile IniFile::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parse(f.readAll());
}

IniFile IniFile::parse(const QByteArray& text)
{
    IniFile ini;
    QString section;
    // UTF-8 as we write it; a file in a single-byte code page, as older
    // programs wrote it, is read as Latin-1 so no byte is lost.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString all = utf8(text);
    if (utf8.hasError())
        all = QString::fromLatin1(text);
    const QStringList rows = all.split('\n');
    for (int i = 0; i < rows.size(); ++i) {
        QString raw = rows[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (i == rows.size() - 1 && raw.isEmpty())
            break; // the newline that ends the last line
        Line line{raw, section, {}, false};
        const QString t = raw.trimmed();
        if (t.startsWith('[') && t.contains(']')) {
            section = t.mid(1, t.indexOf(']') - 1).trimmed();
            line.section = section;
            line.header = true;
        } else if (!t.startsWith(';') && t.contains('=')) {
            line.key = t.left(t.indexOf('=')).trimmed();
        }
        ini.lines_.push_back(line);
    }
    return ini;
}

int IniFile::findKey(const QString& section, const QString& key) const
{
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Line& l = lines_[static_cast<std::size_t>(i)];
        if (!l.header && !l.key.isEmpty() && same(l.section, section) && same(l.key, key))
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    const int i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    const QString& raw = lines_[static_cast<std::size_t>(i)].raw;
    QString v = raw.mid(raw.indexOf('=') + 1).trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
        v = v.mid(1, v.size() - 2);
    return v;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    // Only a line feed ends a line. A value that reading would change
    // (blanks at either end, a pair of outer quotes) goes in quotes, which
    // reading takes off again.
    QString clean = value;
    clean.replace('\n', ' ');
    if (clean != clean.trimmed() || (clean.size() >= 2 && clean.startsWith('"') && clean.endsWith('"')))
        clean = '"' + clean + '"';
    const Line line{key + "=" + clean, section, key, false};
    const int existing = findKey(section, key);
    if (existing >= 0) {
        lines_[static_cast<std::size_t>(existing)] = line;
        return;
    }
    // After the last key line of the section, or a new section at the end.
    int last = -1;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Line& l = lines_[static_cast<std::size_t>(i)];
        if (same(l.section, section) && (l.header || !l.key.isEmpty()))
            last = i;
    }
    if (last < 0) {
        if (!lines_.empty() && !lines_.back().raw.trimmed().isEmpty())
            lines_.push_back(Line{QString(), lines_.back().section, {}, false});
        lines_.push_back(Line{"[" + section + "]", section, {}, true});
        lines_.push_back(line);
        return;
    }
    lines_.insert(lines_.begin() + last + 1, line);
}

QByteArray IniFile::text() const
{
    QByteArray out;
    for (const Line& l : lines_) {
        out += l.raw.toUtf8();
        // Reading takes one carriage return off a line's end: a line that
        // still ends in one was read with CR LF, and is written so again.
        out += l.raw.endsWith('\r') ? "\r\n" : "\n";
    }
    return out;
}

bool IniFile::save(const QString& path, QString* error) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray bytes = text();
    const auto failure = writeFileAtomically(
        path.toStdString(), std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(bytes.size())));
    if (error)
        *error = failure ? QString::fromStdString(failure->reason()) : QString();
    return !failure;
}

} // namespace corvane
