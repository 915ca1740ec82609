#include "WsAudio.h"

#include "Dumps.h"
#include "MirageProtocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <thread>

namespace corvane {

int wavesampleRate(const MirageProtocol& mirage)
{
    const int t = mirage.GetConfigParam(cfg::SampleTime);
    return audio::rateOfSampleTime(t > 0 ? t : audio::DefaultSampleTimeUs);
}

AudioProgress::AudioProgress(TProgressBar* bar, QPushButton* cancel, std::vector<QWidget*> locked)
    : bar_(bar), cancel_(cancel)
{
    for (QWidget* w : locked)
        if (w->isEnabled()) {
            locked_.emplace_back(w);
            w->setEnabled(false);
        }
    bar_->setRange(0, Steps);
    bar_->setValue(0);
    bar_->show();
    cancel_->show();
    cancelled_ = QObject::connect(cancel_, &QPushButton::clicked, cancel_, [this] { stop_ = true; });
}

AudioProgress::~AudioProgress()
{
    QObject::disconnect(cancelled_);
    if (cancel_)
        cancel_->hide();
    if (bar_) {
        bar_->hide();
        bar_->setValue(0);
    }
    for (const QPointer<QWidget>& w : locked_)
        if (w)
            w->setEnabled(true);
}

// The conversion's blocks take milliseconds each at the best resampling
// quality; on their own thread they never hold up the window.
void AudioProgress::run(const std::function<void(const audio::Work&)>& job)
{
    std::atomic<int> shown{0};
    audio::Work work;
    work.cancel = &stop_;
    work.progress = [&shown](double fraction) { shown = static_cast<int>(fraction * Steps); };
    QEventLoop loop;
    QTimer follow;
    QObject::connect(&follow, &QTimer::timeout, [this, &shown] {
        if (bar_)
            bar_->setValue(shown);
    });
    follow.start(20);
    std::thread worker;
    QMetaObject::invokeMethod(
        &loop,
        [&] {
            worker = std::thread([&] {
                job(work);
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
        },
        Qt::QueuedConnection);
    loop.exec();
    stop_ = true; // the loop may have been ended early, by the program quitting
    if (worker.joinable())
        worker.join();
}

} // namespace corvane
