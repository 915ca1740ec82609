// Joins the pieces in which a SysEx may reach mirage-emu (a sender that paces
// long dumps) into whole messages. A Mirage message is whole when it ends with
// F7, when a request or key list ends with its closing 7F, when it is the bare
// wavesample request, or when a wavesample dump ends with 7F after an even
// length.
#pragma once

#include "Frames.h"

#include <chrono>
#include <vector>

namespace corvane::emu {

class SysExAssembler {
public:
    using Clock = std::chrono::steady_clock;

    // Returns the messages completed by this piece. A piece that does not
    // start with F0 and continues nothing is passed on as it is.
    std::vector<Message> add(const Message& piece, Clock::time_point now = Clock::now());

    // A message that waited longer than `after` for its continuation is
    // taken as it is.
    std::vector<Message> expire(std::chrono::milliseconds after, Clock::time_point now = Clock::now());

    bool pending() const { return !pending_.empty(); }

private:
    static bool complete(const Message& m);
    void flush(std::vector<Message>& done);

    Message pending_;
    Clock::time_point since_{};
};

} // namespace corvane::emu
