// Shared helpers for the emulator tests: talk to the emulator only through
// messages, and read its state back the way the editor does, from dumps.
#pragma once

#include "Dumps.h"
#include "Frames.h"
#include "MirageEmulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane::emu::test {

class EmulatorTest : public ::testing::Test {
protected:
    MirageEmulator mirage;

    std::vector<Message> send(const Message& m) { return mirage.receive(m); }

    // A key-code message as the editor builds it (closing 7F), optionally
    // followed by the End of Exclusive that the output layer adds.
    std::vector<Message> keys(std::initializer_list<std::uint8_t> k, bool withF7 = true)
    {
        Message m = keyCodeMessage(k);
        if (withF7)
            m.push_back(sysex::End);
        return send(m);
    }

    void step(int parameter, bool up) { send(parameterStepMessage(parameter, up)); }

    Message lowerDump() { return single(send(requestMessage(cmd::LowerRequest))); }
    Message upperDump() { return single(send(requestMessage(cmd::UpperRequest))); }
    Message programDumpOf(int half) { return half ? upperDump() : lowerDump(); }
    Message configDump() { return single(send(requestMessage(cmd::ConfigRequest))); }

    static int field(const Message& dump, int pos)
    {
        return getNibblePair(dump.data(), dump.size(), pos);
    }

    // Puts the instrument on program `program` of `half` the way the editor
    // does: 00 00, the half switch if needed (judged by the status reply),
    // then the program digit.
    void selectProgram(int half, int program)
    {
        auto replies = keys({0x00, 0x00});
        int current = mirage.currentHalf();
        for (const auto& r : replies)
            if (r.size() >= 5 && (r[3] == cmd::StatusHalf || r[3] == cmd::StatusHalfWavesample))
                current = r[4] >> 4;
        if (current != half)
            keys({0x00});
        keys({static_cast<std::uint8_t>(program + 1)});
    }

    // Wavesample index 0..15 as the editor's selectors number them.
    void selectWavesample(int index)
    {
        if (index < 8)
            keys({key::LowerWavesample, static_cast<std::uint8_t>(index + 1)});
        else
            keys({key::UpperWavesample, static_cast<std::uint8_t>(index - 7)});
    }

    static Message single(const std::vector<Message>& replies)
    {
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? Message{} : replies.front();
    }
};

} // namespace corvane::emu::test
