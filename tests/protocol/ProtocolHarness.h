// The protocol state on its own, with the recording seams and a send log.
#pragma once

#include "MirageProtocol.h"
#include "RecordingSeams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace corvane::test {

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() : proto(seams)
    {
        proto.setSysExOut([this](const std::uint8_t* d, int n) { seams.recordSent(d, static_cast<std::size_t>(n)); });
    }

    void receive(const Message& m) { proto.MidiIn1SysEx(m.data(), static_cast<int>(m.size())); }
    // Delivers a message as the input port does: in pieces of its receive
    // buffer, each after the first without F0; at most `pieces` of them.
    void receiveInPieces(const Message& m, std::size_t pieces = SIZE_MAX)
    {
        for (std::size_t at = 0; at < m.size() && pieces > 0; at += ReceiveBufferSize, --pieces) {
            const std::size_t n = std::min(m.size() - at, ReceiveBufferSize);
            proto.MidiIn1SysEx(m.data() + at, static_cast<int>(n));
        }
    }

    // A dump of `size` bytes: F0 0F 01 cmd, nibble data, closing byte.
    static Message dump(std::uint8_t command, std::size_t size, std::uint8_t fill = 0x05)
    {
        Message m(size, fill);
        if (size > 0) m[0] = 0xF0;
        if (size > 1) m[1] = 0x0F;
        if (size > 2) m[2] = 0x01;
        if (size > 3) m[3] = command;
        if (size > 4) m[size - 1] = 0xF7;
        return m;
    }

    RecordingSeams seams;
    MirageProtocol proto;
};

} // namespace corvane::test
