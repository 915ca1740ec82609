// A profile-style settings file: [Section] headers and key=value lines, read
// and written the way the classic profile-file functions do it. Values are
// raw text (a comma or quote is part of the value); section and key names
// compare without regard to case; lines the program does not know are kept.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace corvane {

class IniFile {
public:
    // Empty when the file does not exist or cannot be read.
    static IniFile load(const QString& path);
    static IniFile parse(const QByteArray& text);

    // The value, trimmed, with one pair of surrounding double quotes removed.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Replaces the key's line, or adds it at the end of its section (the
    // section is added at the end of the file when it is new).
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray text() const;
    // To a temporary file next to `path`, then renamed over it; on failure
    // the old file stays whole, false returns and `error`, when given, says why.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    struct Line {
        QString raw;     // as read, or as built by setValue
        QString section; // the section the line belongs to ("" before the first)
        QString key;     // empty for headers, comments and blank lines
        bool header = false;
    };
    int findKey(const QString& section, const QString& key) const;
    std::vector<Line> lines_;
};

} // namespace corvane
