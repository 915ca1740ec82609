// One Corvane per settings file: a second start hands the files it was
// given to the Corvane already running, which comes to the front and opens
// them, and leaves. Two programs on one settings file and one MIDI port
// would talk over each other to the instrument.
//
// The two meet on a local socket named after the settings file's path. A
// start that finds no one listening there (none running, or one that ended
// without tidying up) is the first and listens itself.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

namespace corvane {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `settingsPath`: the settings file this run uses.
    explicit SingleInstance(const QString& settingsPath, QObject* parent = nullptr);

    enum class HandOver { NoneRunning, Taken, NoAnswer };
    // Gives `files` (made absolute) to the Corvane running on the same
    // settings, and waits up to `answerMs` for it to take them.
    HandOver handOver(const QStringList& files, int answerMs = 5000);

    // Listens for later starts: `open` gets the files each one hands over
    // (none, when it was started without files). False when the socket
    // cannot be made: this run then goes on alone.
    bool listen(std::function<void(const QStringList&)> open);

    const QString& serverName() const { return name_; }

private:
    void takeConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
    std::function<void(const QStringList&)> open_;
};

} // namespace corvane
