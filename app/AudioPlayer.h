// The program's audio output: the module with Qt Multimedia's low-level sink
// (audio/SinkPlayer.cpp), loaded when a window first asks about playing, so
// that neither Qt Multimedia nor the sound server's libraries are loaded at
// start. Nothing is decoded, and a machine without a sound server, a device
// or the module is told apart, never crashed on: each call says why it
// cannot play instead.
#pragma once

#include "AudioOutput.h"

#include <memory>
#include <string>

namespace corvane {

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
    // The module's file once it has been loaded, otherwise "".
    std::string modulePath() const;

    // Another folder to look for the module in, after the program's own
    // (test programs, which do not sit beside it).
    static void addModuleFolder(const std::string& folder);

private:
    // The module's output, loaded at the first call; null when it could
    // not be (loadProblem_ says why).
    AudioOutput* output() const;

    mutable std::unique_ptr<AudioOutput> output_;
    mutable std::string loadProblem_;
    mutable std::string modulePath_;
    mutable bool loaded_ = false;
};

} // namespace corvane
