#include "QtSeams.h"
#include "Settings.h"

#include "Colours.h"

#include <QApplication>
#include <QColorDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace corvane {

QtSeams::QtSeams() = default;
QtSeams::~QtSeams()
{
    // Timers still pending would otherwise outlive the seams and call into
    // whatever their functions captured.
    for (auto& [id, timer] : timers_)
        delete timer;
    timers_.clear();
}

// A local event loop for the time of the wait that excludes user input:
// windows repaint and received messages are dispatched, clicks queue until
// the step has finished.
void QtSeams::wait(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtSeams::waitAcceptingInput(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

int QtSeams::startTimer(int ms, std::function<void()> fn)
{
    const int id = nextTimer_++;
    auto* t = new QTimer;
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    QObject::connect(t, &QTimer::timeout, t, [this, id, t, fn = std::move(fn)] {
        timers_.erase(id);
        t->deleteLater();
        fn();
    });
    timers_[id] = t;
    t->start(std::max(ms, 0));
    return id;
}

void QtSeams::cancelTimer(int id)
{
    const auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

BoxAnswer QtSeams::messageBox(const std::string& text, const std::string& caption, BoxButtons buttons)
{
    if (unattended_) {
        std::fprintf(stderr, "corvane: %s: %s%s\n", caption.c_str(), text.c_str(),
                     buttons == BoxButtons::YesNo ? " (answered No)" : "");
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    buttons == BoxButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    QApplication::activeWindow());
    const int answer = box.exec();
    if (buttons == BoxButtons::Ok)
        return BoxAnswer::Ok;
    return answer == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

void QtSeams::beep() { QApplication::beep(); }

bool QtSeams::chooseColour(std::uint32_t initial, std::uint32_t& chosen)
{
    const QColor c = QColorDialog::getColor(fromWindowsColour(initial), QApplication::activeWindow(),
                                            QString(), QColorDialog::DontUseNativeDialog);
    if (!c.isValid())
        return false;
    chosen = toWindowsColour(c);
    return true;
}

namespace {
// "Wave files|*.wav" becomes Qt's "Wave files (*.wav)".
QString qtFilter(const std::string& filter)
{
    QString f = QString::fromStdString(filter);
    const auto bar = f.indexOf('|');
    if (bar >= 0)
        f = f.left(bar) + " (" + f.mid(bar + 1) + ")";
    return f;
}
} // namespace

namespace {
// Each kind of file is looked for where one was last taken or put.
QString startIn(const std::string& filter, const QString& suggested = {})
{
    const QString folder = lastFolder(settingsFilePath(), fileKind(filter));
    if (folder.isEmpty() || QFileInfo(suggested).isAbsolute())
        return suggested;
    return suggested.isEmpty() ? folder : QDir(folder).filePath(suggested);
}
std::string chosen(const std::string& filter, const QString& file)
{
    if (!file.isEmpty())
        rememberFolder(settingsFilePath(), fileKind(filter), QFileInfo(file).absolutePath());
    return file.toStdString();
}
} // namespace

std::string QtSeams::openFileName(const std::string& filter)
{
    return chosen(filter,
                  QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), startIn(filter), qtFilter(filter)));
}

std::string QtSeams::saveFileName(const std::string& filter, const std::string& suggested)
{
    if (unattended_)
        return {};
    return chosen(filter, QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                       startIn(filter, QString::fromStdString(suggested)),
                                                       qtFilter(filter)));
}

std::string QtSeams::chooseFolder(const std::string& caption)
{
    if (unattended_)
        return {};
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString::fromStdString(caption)).toStdString();
}

} // namespace corvane
