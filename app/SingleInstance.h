// One Corvane per settings file: a second start hands the files it was
// given to the Corvane already running, which comes to the front and opens
// them, and leaves. Two programs on one settings file and one MIDI port
// would talk over each other to the instrument.
//
// The two meet on a local socket named after the settings file's path, in
// the user's own runtime folder ($XDG_RUNTIME_DIR, which no other user can
// enter). A lock file beside it is held from the start's first look at the
// socket until it listens there itself, so that of two starts at the same
// moment one listens and the other hands over to it. A start that finds no
// one listening (none running, or one that ended without tidying up) is the
// first and listens itself.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;

namespace corvane {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `settingsPath`: the settings file this run uses. `folder`: where the
    // socket and its lock live, the user's runtime folder unless given.
    explicit SingleInstance(const QString& settingsPath, const QString& folder = QString(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class HandOver { NoneRunning, Taken, NoAnswer };
    // Gives `files` (made absolute) to the Corvane running on the same
    // settings, and waits up to `answerMs` for it to take them. First waits
    // up to `lockMs` for a start that is taking the socket at this moment
    // (NoAnswer when it does not finish). NoneRunning keeps the lock until
    // listen(): this start is the one to listen.
    HandOver handOver(const QStringList& files, int answerMs = 5000, int lockMs = 30000);

    // Listens for later starts, then lets go of the lock: `open` gets the
    // files each one hands over (none, when it was started without files).
    // False when the socket cannot be made: this run then goes on alone.
    bool listen(std::function<void(const QStringList&)> open);

    // The socket's whole path.
    const QString& serverName() const { return name_; }

    // A hand-over's bytes: each path as its length in bytes, a colon, its
    // UTF-8 bytes and a newline, so that no character of a name (a newline
    // included) can split or end it; "0:\n" closes the list.
    static QByteArray frame(const QStringList& paths);
    // The paths of a whole hand-over; none while it is incomplete, an empty
    // list once it is closed; `bad` set for bytes that are not a hand-over.
    static std::optional<QStringList> unframe(const QByteArray& bytes, bool& bad);

private:
    void takeConnection();

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    std::function<void(const QStringList&)> open_;
};

} // namespace corvane
