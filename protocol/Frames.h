// The Mirage's SysEx frame, its command bytes and its front-panel key codes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace corvane {

using Message = std::vector<std::uint8_t>;

namespace sysex {
constexpr std::uint8_t Start = 0xF0;
constexpr std::uint8_t End = 0xF7; // End of Exclusive, added only by the output layer
constexpr std::uint8_t Ensoniq = 0x0F;
constexpr std::uint8_t Mirage = 0x01;
constexpr std::uint8_t Close = 0x7F; // the Mirage's own closing byte
} // namespace sysex

namespace cmd {
constexpr std::uint8_t ConfigRequest = 0x00;
constexpr std::uint8_t KeyCodes = 0x01;
constexpr std::uint8_t ConfigDump = 0x02;
constexpr std::uint8_t LowerRequest = 0x03;
constexpr std::uint8_t WavesampleRequest = 0x04;
constexpr std::uint8_t LowerDump = 0x05;
constexpr std::uint8_t WavesampleDump = 0x06;
constexpr std::uint8_t StatusHalf = 0x07;
constexpr std::uint8_t StatusHalfWavesample = 0x08;
constexpr std::uint8_t WavesampleAck = 0x09;
constexpr std::uint8_t WavesampleNak = 0x0A;
constexpr std::uint8_t StatusHalfAlt = 0x0D;
constexpr std::uint8_t StatusHalfWavesampleAlt = 0x0E;
constexpr std::uint8_t UpperRequest = 0x13;
constexpr std::uint8_t UpperDump = 0x15;
} // namespace cmd

namespace key {
constexpr std::uint8_t Digit0 = 0x00; // 0x00..0x09 are the digit keys
constexpr std::uint8_t Enter = 0x0A;
constexpr std::uint8_t Abort = 0x0B;
constexpr std::uint8_t Param = 0x0C;
constexpr std::uint8_t Value = 0x0D;
constexpr std::uint8_t Inc = 0x0E;
constexpr std::uint8_t Dec = 0x0F;
constexpr std::uint8_t UpperLoad = 0x10;
constexpr std::uint8_t LowerLoad = 0x11;
constexpr std::uint8_t UpperWavesample = 0x14;
constexpr std::uint8_t LowerWavesample = 0x15;
// Functions 19 (rotate the current wavesample left) and 20 (right): the
// amount is then stepped with Inc and Dec and carried out with Enter.
constexpr std::uint8_t RotateLeft[2] = {0x01, 0x09};
constexpr std::uint8_t RotateRight[2] = {0x02, 0x00};
// The Mirage needs this long to enter a rotate function before its amount
// can be stepped.
constexpr int RotateSettleMs = 2000;
} // namespace key

// F0 0F 01 cmd 7F: the dump requests (0x00, 0x03, 0x13).
Message requestMessage(std::uint8_t command);

// F0 0F 01 01 k1 ... kn 7F
Message keyCodeMessage(std::initializer_list<std::uint8_t> keys);
Message keyCodeMessage(const std::vector<std::uint8_t>& keys);

// F0 0F 01 01 0C d1 d2 0D 0E/0F 7F: select Mirage parameter `parameter`
// (two decimal digits) and step it up or down once.
Message parameterStepMessage(int parameter, bool up);

// F0 0F 01 01 d1 d2 0D 0E/0F 7F: the same step with the parameter's digits
// typed straight before the value key, without the parameter key.
Message typedStepMessage(int parameter, bool up);

// F0 0F 01 04: exactly four bytes, no closing byte.
Message wavesampleRequestMessage();

// The checksum of a dump: its bytes from position 4 on (page count and
// data nibbles) added up, modulo 128. `message` ends before the checksum.
std::uint8_t dumpChecksum(std::span<const std::uint8_t> message);

// F0 0F 01 06, the page count as low and high nibble, each sample byte as
// low and high nibble, the checksum, then `end`: F7 as the instrument sends
// it, 7F when the instrument is sent it.
Message makeWavesampleDump(int pages, std::span<const std::uint8_t> samples, std::uint8_t end = sysex::End);

// F0 0F 01 05 (lower) or 15 (upper), each of the program's data bytes as
// low and high nibble, F7: 1,255 bytes from 625.
Message makeProgramDump(int half, std::span<const std::uint8_t> data);

// True when the message starts F0 0F 01.
bool isMirageMessage(const std::uint8_t* data, std::size_t size);

} // namespace corvane
