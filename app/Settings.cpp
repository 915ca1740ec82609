#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

namespace corvane {

namespace {

QString overrideDir;

const std::array<std::uint32_t, 16> DefaultColours = {
    0x0000FF, 0x00FFFF, 0xFF0000, 0x808000, 0x000080, 0x008000, 0x800080, 0x008080, // lower
    0x0000FF, 0xFF0000, 0x00FFFF, 0x008000, 0x000080, 0x800000, 0x008080, 0x808000, // upper
};

QString keySuffix(int index)
{
    return (index < 8 ? QStringLiteral("L") : QStringLiteral("U")) + QString::number(index % 8 + 1);
}

} // namespace

SettingsData defaultSettings()
{
    SettingsData d;
    d.names.fill("Un Named");
    d.colours = DefaultColours;
    return d;
}

QString configDirectory()
{
    if (!overrideDir.isEmpty())
        return overrideDir;
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

void setConfigDirectory(const QString& dir) { overrideDir = dir; }

QString settingsFilePath() { return QDir(configDirectory()).filePath("Corvane.ini"); }
QString presetsFilePath() { return QDir(configDirectory()).filePath("EnvPresets.cv1"); }

SettingsData readSettings(const QString& path)
{
    SettingsData d = defaultSettings();
    if (!QFile::exists(path))
        return d;
    QSettings ini(path, QSettings::IniFormat);
    for (int i = 0; i < 16; ++i) {
        const QVariant name = ini.value("WsNames/Wsn" + keySuffix(i));
        if (name.isValid())
            d.names[i] = name.toString().toStdString();
        bool ok = false;
        const QVariant colour = ini.value("WsColours/Wsc" + keySuffix(i));
        const qlonglong value = colour.toString().trimmed().toLongLong(&ok);
        if (colour.isValid() && ok)
            d.colours[i] = static_cast<std::uint32_t>(value);
    }
    bool ok = false;
    int port = ini.value("MIDIports/MidiInPort").toString().trimmed().toInt(&ok);
    if (ok)
        d.midiInPort = port;
    port = ini.value("MIDIports/MidiOutPort").toString().trimmed().toInt(&ok);
    if (ok)
        d.midiOutPort = port;
    return d;
}

bool writeSettings(const QString& path, const SettingsData& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString temp = path + ".tmp";
    QFile::remove(temp);
    {
        QSettings ini(temp, QSettings::IniFormat);
        for (int i = 0; i < 16; ++i)
            ini.setValue("WsNames/Wsn" + keySuffix(i), QString::fromStdString(data.names[i]));
        for (int i = 0; i < 16; ++i)
            ini.setValue("WsColours/Wsc" + keySuffix(i), QString::number(data.colours[i]));
        ini.setValue("MIDIports/MidiInPort", QString::number(data.midiInPort));
        ini.setValue("MIDIports/MidiOutPort", QString::number(data.midiOutPort));
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            QFile::remove(temp);
            return false;
        }
    }
    // std::rename replaces the old file in one step on POSIX; Windows needs
    // the old one out of the way first.
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(path);
    if (std::rename(from.constData(), to.constData()) != 0) {
        if (!(QFile::exists(path) && QFile::remove(path) && QFile::rename(temp, path))) {
            QFile::remove(temp);
            return false;
        }
    }
    return true;
}

} // namespace corvane
