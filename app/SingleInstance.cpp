#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace corvane {

namespace {

// The running one answers a whole hand-over with "taken".
constexpr char Taken[] = "taken\n";
constexpr int ConnectMs = 1000;
// What a hand-over may hold: paths enough for any selection in a file
// manager, and no more from a stray client.
constexpr qint64 MaxHandOverBytes = 1 << 20;

} // namespace

SingleInstance::SingleInstance(const QString& settingsPath, const QString& folder, QObject* parent) : QObject(parent)
{
    // Qt makes sure the runtime folder is the user's own (mode 0700), and
    // makes one under the temporary folder when the session gives none.
    const QString dir = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
    if (dir.isEmpty())
        return; // no folder of our own: this run goes on alone
    const QByteArray key = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    const QString base =
        "corvane-" + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    name_ = QDir(dir).filePath(base);
    lock_ = std::make_unique<QLockFile>(name_ + ".lock");
    lock_->setStaleLockTime(0); // held by a process that ended: taken over at once
}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::frame(const QStringList& paths)
{
    QByteArray out;
    for (const QString& p : paths) {
        const QByteArray bytes = p.toUtf8();
        out += QByteArray::number(bytes.size()) + ':' + bytes + '\n';
    }
    return out + "0:\n";
}

std::optional<QStringList> SingleInstance::unframe(const QByteArray& bytes, bool& bad)
{
    bad = false;
    QStringList paths;
    qsizetype at = 0;
    for (;;) {
        const qsizetype colon = bytes.indexOf(':', at);
        if (colon < 0) {
            bad = bytes.size() - at > 20; // no length is that long
            return std::nullopt;
        }
        bool number = false;
        const qint64 length = bytes.mid(at, colon - at).toLongLong(&number);
        if (!number || length < 0 || length > MaxHandOverBytes || colon == at) {
            bad = true;
            return std::nullopt;
        }
        if (bytes.size() < colon + 1 + length + 1)
            return std::nullopt;
        if (bytes[colon + 1 + length] != '\n') {
            bad = true;
            return std::nullopt;
        }
        if (length == 0) {
            bad = colon + 2 != bytes.size(); // nothing may follow the end
            return bad ? std::nullopt : std::optional<QStringList>(paths);
        }
        paths << QString::fromUtf8(bytes.mid(colon + 1, length));
        at = colon + 1 + length + 1;
    }
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& files, int answerMs, int lockMs)
{
    if (!lock_)
        return HandOver::NoneRunning;
    // Another start between its first look and its listening: it is the
    // first, and this one hands over to it once it listens.
    if (!lock_->isLocked() && !lock_->tryLock(lockMs))
        return HandOver::NoAnswer;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(ConnectMs))
        return HandOver::NoneRunning; // the lock stays held until listen()
    lock_->unlock();
    QStringList paths;
    for (const QString& f : files)
        paths << QFileInfo(f).absoluteFilePath();
    socket.write(frame(paths));
    if (!socket.waitForBytesWritten(answerMs))
        return HandOver::NoAnswer;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(answerMs))
        answer += socket.readAll();
    return answer == Taken ? HandOver::Taken : HandOver::NoAnswer;
}

bool SingleInstance::listen(std::function<void(const QStringList&)> open)
{
    if (!lock_)
        return false;
    // Listening without having looked first (a run of its own) still waits
    // for a start that is taking the socket.
    if (!lock_->isLocked() && !lock_->tryLock(ConnectMs))
        return false;
    open_ = std::move(open);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a run that ended without tidying up: no one answered
    // on it while the lock was held, so it can go.
    QLocalServer::removeServer(name_);
    const bool listening = server_->listen(name_);
    lock_->unlock();
    if (!listening)
        return false;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    return true;
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        QPointer<QLocalSocket> socket(s);
        connect(s, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket)
                return;
            const QByteArray got = socket->property("got").toByteArray() + socket->readAll();
            bool bad = false;
            const std::optional<QStringList> files = unframe(got, bad);
            if (bad || got.size() > MaxHandOverBytes) {
                socket->abort();
                return;
            }
            socket->setProperty("got", got);
            if (!files)
                return;
            socket->write(Taken);
            socket->flush();
            if (open_)
                open_(*files);
        });
    }
}

} // namespace corvane
