// What a MIDI message means, in the instrument's words: the texts of the
// MIDI monitor. Built on the frame tables of Frames.h and the parameter table,
// so a message kind is named where its command byte is. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// The kinds the monitor filters by.
enum class MessageKind {
    Request,   // dump requests
    Keys,      // key-code messages: steps, selections, disk commands
    Dump,      // configuration, program and wavesample dumps
    Answer,    // status replies, Ack, NAck
    OtherSysEx, // SysEx of other makers or devices, unknown Mirage commands
    Channel,   // notes, controllers and the other short messages
    Malformed, // cut short, wrong length, data without a status byte
};
constexpr int MessageKindCount = 7;
const char* messageKindName(MessageKind k);

struct MessageMeaning {
    MessageKind kind = MessageKind::Malformed;
    std::string text;
};

// `data` is one whole message as it crossed the wire (End of Exclusive
// included when there was one).
MessageMeaning describeMessage(const std::uint8_t* data, std::size_t size);


// "C4" for note 60 (middle C), "C-1" for note 0: the one convention of
// every note name the program shows.
std::string noteName(int note);

} // namespace corvane
