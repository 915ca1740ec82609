// The settings file "Corvane.ini": wavesample names and colours and the
// chosen MIDI ports, and where it and the presets file live.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace corvane {

struct SettingsData {
    std::array<std::string, 16> names;       // L1..L8, U1..U8
    std::array<std::uint32_t, 16> colours{}; // Windows colour values
    int midiInPort = 0;
    int midiOutPort = 0;
    // The chosen devices' names, kept beside the numbers so that a device
    // listed under another number in a later run is still found.
    std::string midiInPortName;
    std::string midiOutPortName;
    // The MIDI system chosen ("alsa", "jack"; "" lets the program pick).
    std::string midiApi;
    // Read only, written by the user when wanted: how long an answer may
    // take before "The Mirage did not answer" ([Answers] ConfigMs,
    // ProgramMs, 200 to 60000), and the MIDI monitor's history ([Monitor]
    // Messages, Megabytes).
    int configAnswerMs = 2000;
    int programAnswerMs = 3000;
    int monitorMessages = 10000;
    int monitorMegabytes = 16;
    // [Steps] WaitMs (10 to 1000): the pause after each step of a walk,
    // recall, undo or redo; UndoRotate (0 or 1): sample rotates go into the
    // edit history.
    int stepWaitMs = 30;
    bool undoRotations = true;
    // [Windows] KeepEditorsOpen (0 or 1): editor windows stay open beside
    // the other windows (Setup - Keep editor windows open).
    bool keepEditorsOpen = false;
};

SettingsData defaultSettings();

// The user's configuration directory, or the one set for this run.
QString configDirectory();
void setConfigDirectory(const QString& dir);
QString settingsFilePath();
QString presetsFilePath();

class IniFile;

// Missing file or key gives the default of that key; a colour that is not
// an integer gives its default.
SettingsData readSettings(const QString& path);
SettingsData settingsFrom(const IniFile& ini);
// Sets every key of `data` in `ini`, keeping whatever else it holds.
void putSettings(IniFile& ini, const SettingsData& data);

// Writes every key, defaults included (names, then colours, then ports, the
// ports' device names and the MIDI system),
// to a temporary file and renames it over the old one; on failure the old
// file stays whole, false returns and `error`, when given, says why.
bool writeSettings(const QString& path, const SettingsData& data, QString* error = nullptr);
// The folder last used for a kind of file ([Folders], one key a kind),
// kept when a file dialog is left with a file: the kind is the first
// pattern's extension ("Sound files|*.syx" -> "syx"; "" for none).
QString fileKind(const std::string& filter);
QString lastFolder(const QString& path, const QString& kind);
bool rememberFolder(const QString& path, const QString& kind, const QString& folder);
// Sets [Windows] KeepEditorsOpen alone, written the same safe way.
bool writeKeepEditorsOpen(const QString& path, bool on, QString* error = nullptr);

} // namespace corvane
