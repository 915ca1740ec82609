// What the send and get windows share for audio files of other formats: the
// rate a wavesample plays at, and a conversion run block by block with a
// progress bar and a Cancel button while the window keeps answering.
#pragma once

#include "AudioConvert.h"

#include <QPointer>

#include <atomic>
#include <vector>

class QProgressBar;
class QPushButton;
class QWidget;

namespace corvane {

class MirageProtocol;

// The rate of the sample time in the configuration dump (1,000,000 / µs);
// 29,411 Hz for the default 34 µs while no configuration has arrived.
int wavesampleRate(const MirageProtocol& mirage);

// While it lives: the bar shows the conversion's progress, the Cancel button
// is shown and stops it, and `locked` are disabled (and enabled again
// afterwards if they were). Between blocks the window's events are handled.
class AudioProgress {
public:
    AudioProgress(QProgressBar* bar, QPushButton* cancel, std::vector<QWidget*> locked);
    ~AudioProgress();
    AudioProgress(const AudioProgress&) = delete;
    AudioProgress& operator=(const AudioProgress&) = delete;

    const audio::Work& work() const { return work_; }

    static constexpr int Steps = 1000;

private:
    QPointer<QProgressBar> bar_;
    QPointer<QPushButton> cancel_;
    std::vector<QPointer<QWidget>> locked_;
    QMetaObject::Connection cancelled_;
    std::atomic<bool> stop_{false};
    audio::Work work_;
};

} // namespace corvane
