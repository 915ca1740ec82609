#include "Frames.h"

namespace corvane {

Message requestMessage(std::uint8_t command)
{
    return {sysex::Start, sysex::Ensoniq, sysex::Mirage, command, sysex::Close};
}

Message keyCodeMessage(const std::vector<std::uint8_t>& keys)
{
    Message m{sysex::Start, sysex::Ensoniq, sysex::Mirage, cmd::KeyCodes};
    m.insert(m.end(), keys.begin(), keys.end());
    m.push_back(sysex::Close);
    return m;
}

Message keyCodeMessage(std::initializer_list<std::uint8_t> keys)
{
    return keyCodeMessage(std::vector<std::uint8_t>(keys));
}

Message parameterStepMessage(int parameter, bool up)
{
    const auto tens = static_cast<std::uint8_t>((parameter / 10) % 10);
    const auto units = static_cast<std::uint8_t>(parameter % 10);
    return keyCodeMessage({key::Param, tens, units, key::Value, up ? key::Inc : key::Dec});
}

Message typedStepMessage(int parameter, bool up)
{
    const auto tens = static_cast<std::uint8_t>((parameter / 10) % 10);
    const auto units = static_cast<std::uint8_t>(parameter % 10);
    return keyCodeMessage({tens, units, key::Value, up ? key::Inc : key::Dec});
}

Message wavesampleRequestMessage()
{
    return {sysex::Start, sysex::Ensoniq, sysex::Mirage, cmd::WavesampleRequest};
}

std::uint8_t dumpChecksum(std::span<const std::uint8_t> message)
{
    unsigned sum = 0;
    for (std::size_t i = 4; i < message.size(); ++i)
        sum += message[i];
    return static_cast<std::uint8_t>(sum % 128);
}

namespace {
void putNibbles(Message& m, std::span<const std::uint8_t> bytes)
{
    for (const std::uint8_t b : bytes) {
        m.push_back(b & 0x0F);
        m.push_back(b >> 4);
    }
}
} // namespace

Message makeWavesampleDump(int pages, std::span<const std::uint8_t> samples, std::uint8_t end)
{
    Message m{sysex::Start, sysex::Ensoniq, sysex::Mirage, cmd::WavesampleDump,
              static_cast<std::uint8_t>(pages % 16), static_cast<std::uint8_t>(pages / 16)};
    m.reserve(8 + 2 * samples.size());
    putNibbles(m, samples);
    m.push_back(dumpChecksum(m));
    m.push_back(end);
    return m;
}

Message makeProgramDump(int half, std::span<const std::uint8_t> data)
{
    Message m{sysex::Start, sysex::Ensoniq, sysex::Mirage, half == 0 ? cmd::LowerDump : cmd::UpperDump};
    m.reserve(5 + 2 * data.size());
    putNibbles(m, data);
    m.push_back(sysex::End);
    return m;
}

bool isMirageMessage(const std::uint8_t* data, std::size_t size)
{
    return size >= 3 && data[0] == sysex::Start && data[1] == sysex::Ensoniq &&
           data[2] == sysex::Mirage;
}

} // namespace corvane
