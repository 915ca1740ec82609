// What the send and get windows share for audio files of other formats: the
// rate a wavesample plays at, and a conversion run block by block with a
// progress bar and a Cancel button while the window keeps answering.
#pragma once

#include "AudioConvert.h"
#include "ProgressBar.h"

#include <QPointer>

#include <atomic>
#include <functional>
#include <vector>

class QPushButton;
class QWidget;

namespace corvane {

class MirageProtocol;

// The rate of the sample time in the configuration dump (1,000,000 / µs);
// 29,411 Hz for the default 34 µs while no configuration has arrived.
int wavesampleRate(const MirageProtocol& mirage);

// While it lives: the bar shows progress, the Cancel button is shown, and
// `locked` are disabled (and enabled again afterwards if they were).
class AudioProgress {
public:
    AudioProgress(TProgressBar* bar, QPushButton* cancel, std::vector<QWidget*> locked);
    ~AudioProgress();
    AudioProgress(const AudioProgress&) = delete;
    AudioProgress& operator=(const AudioProgress&) = delete;

    // Runs `job` on a thread of its own with a Work that only notes its
    // progress, while this thread handles the window's events (the bar
    // follows, Cancel stops it); returns when the job has ended. The job
    // starts once the events already waiting have been handled.
    void run(const std::function<void(const audio::Work&)>& job);

    static constexpr int Steps = 1000;

private:
    QPointer<TProgressBar> bar_;
    QPointer<QPushButton> cancel_;
    std::vector<QPointer<QWidget>> locked_;
    QMetaObject::Connection cancelled_;
    std::atomic<bool> stop_{false};
};

} // namespace corvane
