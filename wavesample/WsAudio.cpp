#include "WsAudio.h"

#include "Dumps.h"
#include "MirageProtocol.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>

namespace corvane {

int wavesampleRate(const MirageProtocol& mirage)
{
    const int t = mirage.GetConfigParam(cfg::SampleTime);
    return audio::rateOfSampleTime(t > 0 ? t : audio::DefaultSampleTimeUs);
}

AudioProgress::AudioProgress(QProgressBar* bar, QPushButton* cancel, std::vector<QWidget*> locked)
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
    work_.cancel = &stop_;
    work_.progress = [this](double fraction) {
        if (bar_)
            bar_->setValue(static_cast<int>(fraction * Steps));
        QCoreApplication::processEvents();
    };
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

} // namespace corvane
