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

bool isMirageMessage(const std::uint8_t* data, std::size_t size)
{
    return size >= 3 && data[0] == sysex::Start && data[1] == sysex::Ensoniq &&
           data[2] == sysex::Mirage;
}

} // namespace corvane
