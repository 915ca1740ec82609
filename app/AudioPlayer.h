// The real audio output of the player: Qt Multimedia's low-level sink on
// the system's default output, fed the samples already in memory. Nothing
// is decoded, and a machine without a sound server or device is told
// apart, never crashed on: each call says why it cannot play instead.
#pragma once

#include "PlaySound.h"

#include <memory>
#include <string>

class QAudioSink;

namespace corvane {

class SoundSource;

class AudioPlayer {
public:
    AudioPlayer();
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // "" while there is a default output, otherwise why there is none.
    std::string problem() const;
    // Replaces what plays with `sound`; "" when it plays, otherwise why not.
    std::string play(const PlaySound& sound);
    void stop();

private:
    // The sink is made only when something is played, and made again for
    // every sound: the rate is part of its format.
    std::unique_ptr<SoundSource> source_;
    std::unique_ptr<QAudioSink> sink_;
};

} // namespace corvane
