#include "SysExAssembler.h"

namespace corvane::emu {

std::vector<Message> SysExAssembler::add(const Message& piece, Clock::time_point now)
{
    std::vector<Message> done;
    if (piece.empty())
        return done;
    if (piece[0] == sysex::Start) {
        flush(done);
        pending_ = piece;
    } else if (!pending_.empty()) {
        pending_.insert(pending_.end(), piece.begin(), piece.end());
    } else {
        done.push_back(piece); // not a SysEx piece: pass it on (ignored later)
        return done;
    }
    since_ = now;
    if (complete(pending_))
        flush(done);
    return done;
}

std::vector<Message> SysExAssembler::expire(std::chrono::milliseconds after, Clock::time_point now)
{
    std::vector<Message> done;
    if (!pending_.empty() && now - since_ > after)
        flush(done);
    return done;
}

bool SysExAssembler::complete(const Message& m)
{
    const std::size_t n = m.size();
    if (m.back() == sysex::End)
        return true;
    if (n < 4)
        return false;
    if (m[3] == cmd::WavesampleDump)
        return n >= 8 && n % 2 == 0 && m.back() == sysex::Close;
    if (m[3] == cmd::WavesampleRequest && n == 4)
        return true;
    return m.back() == sysex::Close;
}

void SysExAssembler::flush(std::vector<Message>& done)
{
    if (!pending_.empty())
        done.push_back(std::move(pending_));
    pending_.clear();
}

} // namespace corvane::emu
