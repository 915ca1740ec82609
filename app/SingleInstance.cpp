#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace corvane {

namespace {

// The files, one a line, closed by an empty line; the running one answers
// "taken".
constexpr char Taken[] = "taken\n";
constexpr int ConnectMs = 1000;
// What a hand-over may hold: paths enough for any selection in a file
// manager, and no more from a stray client.
constexpr qint64 MaxHandOverBytes = 1 << 20;

} // namespace

SingleInstance::SingleInstance(const QString& settingsPath, QObject* parent) : QObject(parent)
{
    const QByteArray key = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    name_ = "corvane-" + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& files, int answerMs)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(ConnectMs))
        return HandOver::NoneRunning;
    QByteArray message;
    for (const QString& f : files)
        message += QFileInfo(f).absoluteFilePath().toUtf8() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(answerMs))
        return HandOver::NoAnswer;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(answerMs))
        answer += socket.readAll();
    return answer == Taken ? HandOver::Taken : HandOver::NoAnswer;
}

bool SingleInstance::listen(std::function<void(const QStringList&)> open)
{
    open_ = std::move(open);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a run that ended without tidying up: no one answered
    // on it, so it can go.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_))
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
            QByteArray got = socket->property("got").toByteArray() + socket->readAll();
            if (got.size() > MaxHandOverBytes) {
                socket->abort();
                return;
            }
            socket->setProperty("got", got);
            if (!got.endsWith("\n\n") && got != "\n")
                return;
            QStringList files;
            for (const QByteArray& line : got.split('\n'))
                if (!line.isEmpty())
                    files << QString::fromUtf8(line);
            socket->write(Taken);
            socket->flush();
            if (open_)
                open_(files);
        });
    }
}

} // namespace corvane
