#include "Settings.h"

#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>


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

SettingsData readSettings(const QString& path) { return settingsFrom(IniFile::load(path)); }

SettingsData settingsFrom(const IniFile& ini)
{
    SettingsData d = defaultSettings();
    for (int i = 0; i < 16; ++i) {
        if (const auto name = ini.value("WsNames", "Wsn" + keySuffix(i)))
            d.names[static_cast<std::size_t>(i)] = name->toStdString();
        bool ok = false;
        if (const auto colour = ini.value("WsColours", "Wsc" + keySuffix(i))) {
            const qlonglong value = colour->toLongLong(&ok);
            if (ok)
                d.colours[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(value);
        }
    }
    auto port = [&](const char* key, int& out) {
        bool ok = false;
        if (const auto v = ini.value("MIDIports", key)) {
            const int n = v->toInt(&ok);
            if (ok)
                out = n;
        }
    };
    port("MidiInPort", d.midiInPort);
    port("MidiOutPort", d.midiOutPort);
    if (const auto v = ini.value("MIDIports", "MidiInPortName"))
        d.midiInPortName = v->toStdString();
    if (const auto v = ini.value("MIDIports", "MidiOutPortName"))
        d.midiOutPortName = v->toStdString();
    if (const auto v = ini.value("MIDIports", "MidiApi"); v && (v->toLower() == "alsa" || v->toLower() == "jack"))
        d.midiApi = v->toLower().toStdString();
    auto bounded = [&](const char* section, const char* key, int low, int high, int& out) {
        bool ok = false;
        if (const auto v = ini.value(section, key)) {
            const int n = v->toInt(&ok);
            if (ok && n >= low && n <= high)
                out = n;
        }
    };
    bounded("Answers", "ConfigMs", 200, 60000, d.configAnswerMs);
    bounded("Answers", "ProgramMs", 200, 60000, d.programAnswerMs);
    bounded("Monitor", "Messages", 100, 1000000, d.monitorMessages);
    bounded("Monitor", "Megabytes", 1, 1024, d.monitorMegabytes);
    bounded("Steps", "WaitMs", 10, 1000, d.stepWaitMs);
    int undoRotations = d.undoRotations ? 1 : 0;
    bounded("Steps", "UndoRotate", 0, 1, undoRotations);
    d.undoRotations = undoRotations == 1;
    int keep = d.keepEditorsOpen ? 1 : 0;
    bounded("Windows", "KeepEditorsOpen", 0, 1, keep);
    d.keepEditorsOpen = keep == 1;
    return d;
}

bool writeSettings(const QString& path, const SettingsData& data, QString* error)
{
    // Keys are updated in place; whatever else the file holds is kept.
    IniFile ini = IniFile::load(path);
    putSettings(ini, data);
    return ini.save(path, error);
}

QString fileKind(const std::string& filter)
{
    const QString f = QString::fromStdString(filter);
    const auto star = f.indexOf("*.");
    if (star < 0)
        return {};
    QString kind;
    for (qsizetype i = star + 2; i < f.size() && f[i].isLetterOrNumber(); ++i)
        kind += f[i].toLower();
    return kind;
}

QString lastFolder(const QString& path, const QString& kind)
{
    if (kind.isEmpty())
        return {};
    const auto v = IniFile::load(path).value("Folders", kind);
    return v && QDir(*v).exists() ? *v : QString();
}

bool rememberFolder(const QString& path, const QString& kind, const QString& folder)
{
    if (kind.isEmpty() || folder.isEmpty())
        return true;
    IniFile ini = IniFile::load(path);
    if (ini.value("Folders", kind) == folder)
        return true;
    ini.setValue("Folders", kind, folder);
    return ini.save(path);
}

bool writeKeepEditorsOpen(const QString& path, bool on, QString* error)
{
    IniFile ini = IniFile::load(path);
    ini.setValue("Windows", "KeepEditorsOpen", on ? "1" : "0");
    return ini.save(path, error);
}

void putSettings(IniFile& ini, const SettingsData& data)
{
    for (int i = 0; i < 16; ++i)
        ini.setValue("WsNames", "Wsn" + keySuffix(i), QString::fromStdString(data.names[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 16; ++i)
        ini.setValue("WsColours", "Wsc" + keySuffix(i), QString::number(data.colours[static_cast<std::size_t>(i)]));
    ini.setValue("MIDIports", "MidiInPort", QString::number(data.midiInPort));
    ini.setValue("MIDIports", "MidiOutPort", QString::number(data.midiOutPort));
    ini.setValue("MIDIports", "MidiInPortName", QString::fromStdString(data.midiInPortName));
    ini.setValue("MIDIports", "MidiOutPortName", QString::fromStdString(data.midiOutPortName));
    ini.setValue("MIDIports", "MidiApi", QString::fromStdString(data.midiApi));
}

} // namespace corvane
