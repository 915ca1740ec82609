// What the program asks of an audio output: whether there is one, play a
// sound held in memory, stop. The real one lives in a module of its own
// (audio/SinkPlayer.cpp), loaded by AudioPlayer on first use.
#pragma once

#include "PlaySound.h"

#include <string>

namespace corvane {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // "" while there is a default output, otherwise why there is none.
    virtual std::string problem() const = 0;
    // Replaces what plays with `sound`; "" when it plays, otherwise why not.
    virtual std::string play(const PlaySound& sound) = 0;
    virtual void stop() = 0;
};

} // namespace corvane

// The module's one entry point.
extern "C" {
using MakeAudioOutput = corvane::AudioOutput* (*)();
}
