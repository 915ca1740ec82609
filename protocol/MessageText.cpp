#include "MessageText.h"

#include "Parameters.h"

#include "Dumps.h"
#include "Frames.h"
#include "HexText.h"

#include <utility>
#include <vector>

namespace corvane {

namespace {

// The parameter's name as the windows and the edit history give it, or its
// number where the table has none.
std::string parameterText(int number)
{
    const std::string name = parameterName(number);
    return name == "Parameter" ? "parameter " + std::to_string(number) : name;
}

// "1,255": the monitor's counts of bytes.
std::string grouped(std::size_t n)
{
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

MessageMeaning meaning(MessageKind k, std::string text) { return {k, std::move(text)}; }

std::string wsName(int half, int n) { return (half == 0 ? "L" : "U") + std::to_string(n); }

const char* keyName(std::uint8_t k)
{
    static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    if (k <= 9)
        return digits[k];
    switch (k) {
    case key::Enter: return "Enter";
    case key::Abort: return "Abort";
    case key::Param: return "Param";
    case key::Value: return "Value";
    case key::Inc: return "Up";
    case key::Dec: return "Down";
    case key::UpperLoad: return "Upper load";
    case key::LowerLoad: return "Lower load";
    case key::UpperWavesample: return "Upper wavesample";
    case key::LowerWavesample: return "Lower wavesample";
    }
    return nullptr;
}

bool digit(std::uint8_t k) { return k <= 9; }

// What a key-code message's keys (between command and closing byte) do.
std::string describeKeys(const std::vector<std::uint8_t>& k)
{
    const auto is = [&k](std::initializer_list<int> pattern) {
        if (pattern.size() != k.size())
            return false;
        std::size_t i = 0;
        for (int p : pattern)
            if (p >= 0 && k[i++] != p)
                return false;
            else if (p < 0)
                ++i;
        return true;
    };
    const std::size_t n = k.size();
    // Parameter steps: Param d d Value Up/Down, or typed d d Value Up/Down.
    const bool stepKey = n >= 4 && (k[n - 1] == key::Inc || k[n - 1] == key::Dec) && k[n - 2] == key::Value;
    if (stepKey && ((n == 5 && k[0] == key::Param && digit(k[1]) && digit(k[2])) || (n == 4 && digit(k[0]) && digit(k[1])))) {
        const int number = 10 * k[n - 4] + k[n - 3];
        return "Parameter step: " + parameterText(number) + (k[n - 1] == key::Inc ? " up" : " down");
    }
    if (n == 4 && k[0] == key::Param && digit(k[1]) && digit(k[2]) && k[3] == key::Value) {
        const int number = 10 * k[1] + k[2];
        if (number == 26)
            return "Query current wavesample (parameter 26)";
        return "Select parameter " + std::to_string(number) + ", " + parameterText(number);
    }
    if (n == 2 && (k[0] == key::LowerWavesample || k[0] == key::UpperWavesample) && k[1] >= 1 && k[1] <= 8)
        return "Select wavesample " + wsName(k[0] == key::LowerWavesample ? 0 : 1, k[1]);
    if (is({0x00, 0x00}))
        return "Program select";
    if (is({0x00}))
        return "Switch keyboard half";
    if (n == 1 && k[0] >= 1 && k[0] <= 4)
        return "Program " + std::to_string(k[0]);
    if (is({key::UpperLoad, key::LowerLoad, 0x00, key::Enter}))
        return "Reboot from the operating-system disk";
    if (n == 3 && (k[0] == key::LowerLoad || k[0] == key::UpperLoad) && k[2] == key::Enter)
        return "Load sound " + std::to_string(k[1]) + " into the " + (k[0] == key::LowerLoad ? "lower" : "upper") +
               " half";
    if (n == 4 && k[0] == key::UpperLoad && k[1] == key::LowerLoad && k[3] == key::Enter)
        return "Load sound " + std::to_string(k[2]) + " into both halves";
    if (is({0x01, 0x04, key::Enter}))
        return "Save the configuration to disk";
    if (n == 4 && k[0] == 0x01 && k[1] >= 1 && k[1] <= 3 && k[3] == key::Enter) {
        static const char* const which[] = {"", "lower half", "upper half", "both halves"};
        return std::string("Save ") + which[k[1]] + " to disk, sound " + std::to_string(k[2]);
    }
    std::string text = "Keys:";
    for (std::uint8_t c : k) {
        const char* name = keyName(c);
        text += " ";
        text += name ? name : "key " + hexByte(c);
    }
    return n == 0 ? "Keys: none" : text;
}

// A Mirage dump of `expected` bytes closed by F7 (or 7F F7, as the program
// sends it): its text, or why it is malformed.
MessageMeaning dumpMeaning(const std::string& what, const std::uint8_t* data, std::size_t size, std::size_t expected)
{
    const bool closed7F = size == expected + 1 && data[size - 2] == sysex::Close;
    if (size == expected || closed7F)
        return meaning(MessageKind::Dump, what);
    if (size < expected)
        return meaning(MessageKind::Malformed, what + ", cut short: " + grouped(size) + " of " + grouped(expected) + " bytes");
    return meaning(MessageKind::Malformed, what + ", " + grouped(size) + " bytes (" + grouped(expected) + " expected)");
}

MessageMeaning mirageMeaning(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t command = data[3];
    switch (command) {
    case cmd::ConfigRequest: return meaning(MessageKind::Request, "Configuration dump request");
    case cmd::LowerRequest: return meaning(MessageKind::Request, "Program dump request, lower");
    case cmd::UpperRequest: return meaning(MessageKind::Request, "Program dump request, upper");
    case cmd::WavesampleRequest: return meaning(MessageKind::Request, "Wavesample dump request");
    case cmd::KeyCodes: {
        std::vector<std::uint8_t> keys(data + 4, data + size);
        if (!keys.empty() && keys.back() == sysex::End)
            keys.pop_back();
        if (keys.empty() || keys.back() != sysex::Close)
            return meaning(MessageKind::Malformed, "Key-code message without its closing 7F");
        keys.pop_back();
        return meaning(MessageKind::Keys, describeKeys(keys));
    }
    case cmd::ConfigDump: return dumpMeaning("Configuration dump", data, size, ConfigDumpSize);
    case cmd::LowerDump:
    case cmd::UpperDump:
        return dumpMeaning(std::string("Program dump, ") + (command == cmd::LowerDump ? "lower" : "upper") + ", " +
                               grouped(ProgramDumpSize) + " bytes",
                           data, size, ProgramDumpSize);
    case cmd::WavesampleDump: {
        if (size < 8)
            return meaning(MessageKind::Malformed, "Wavesample dump, cut short: " + grouped(size) + " bytes");
        const int pages = data[4] + 16 * data[5];
        return dumpMeaning("Wavesample dump, " + std::to_string(pages) + (pages == 1 ? " page" : " pages"), data, size,
                           8 + 512 * static_cast<std::size_t>(pages));
    }
    case cmd::StatusHalf:
    case cmd::StatusHalfAlt:
    case cmd::StatusHalfWavesample:
    case cmd::StatusHalfWavesampleAlt: {
        if (size < 5 || size > 9)
            return meaning(MessageKind::Malformed, "Status reply of " + std::to_string(size) + " bytes");
        const int half = data[4] / 16;
        std::string text = std::string("Status: ") + (half == 0 ? "lower" : "upper") + " half";
        if (command == cmd::StatusHalfWavesample || command == cmd::StatusHalfWavesampleAlt)
            text += ", wavesample " + wsName(half, data[4] % 16 + 1);
        return meaning(MessageKind::Answer, text);
    }
    case cmd::WavesampleAck: return meaning(MessageKind::Answer, "Ack");
    case cmd::WavesampleNak: return meaning(MessageKind::Answer, "NAck");
    }
    return meaning(MessageKind::OtherSysEx, "Mirage command " + hexByte(command) + " (unknown)");
}

MessageMeaning sysExMeaning(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || data[1] >= 0x80)
        return meaning(MessageKind::Malformed, "SysEx without a manufacturer");
    if (data[size - 1] != sysex::End) {
        // The commonest text of a bad wire: made in one string, not by
        // joining temporaries.
        std::string text;
        text.reserve(64);
        text += "SysEx cut short: no End of Exclusive after ";
        text += grouped(size);
        text += " bytes";
        return meaning(MessageKind::Malformed, std::move(text));
    }
    if (isMirageMessage(data, size)) {
        if (size < 5)
            return meaning(MessageKind::Malformed, "Mirage message without a command");
        return mirageMeaning(data, size);
    }
    if (data[1] == sysex::Ensoniq && size > 3)
        return meaning(MessageKind::OtherSysEx, "Ensoniq SysEx for another instrument (device " + hexByte(data[2]) + ")");
    std::string maker = hexByte(data[1]);
    if (data[1] == 0x00 && size > 4)
        maker += " " + hexByte(data[2]) + " " + hexByte(data[3]);
    return meaning(MessageKind::OtherSysEx, "unknown SysEx (manufacturer " + maker + ")");
}

std::string controllerName(int c)
{
    switch (c) {
    case 1: return "Modulation";
    case 7: return "Volume";
    case 64: return "Sustain";
    case 120: return "All sound off";
    case 121: return "Reset controllers";
    case 123: return "All notes off";
    }
    return "Controller " + std::to_string(c);
}

MessageMeaning channelMeaning(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t status = data[0];
    const int kind = status & 0xF0;
    const std::size_t length = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    const std::string channel = " (ch " + std::to_string((status & 0x0F) + 1) + ")";
    static const char* const names[] = {"Note off", "Note on", "Key pressure", "Control change",
                                        "Program change", "Channel pressure", "Pitch bend"};
    const std::string name = names[(kind - 0x80) >> 4];
    if (size != length)
        return meaning(MessageKind::Malformed, name + " of " + std::to_string(size) + " bytes (" +
                                                   std::to_string(length) + " expected)" + channel);
    for (std::size_t i = 1; i < size; ++i)
        if (data[i] >= 0x80)
            return meaning(MessageKind::Malformed, name + " with a status byte for data" + channel);
    const int a = data[1];
    const int b = length == 3 ? data[2] : 0;
    std::string text;
    switch (kind) {
    case 0x80: text = "Note off " + noteName(a) + " vel " + std::to_string(b); break;
    case 0x90: text = b == 0 ? "Note off " + noteName(a) + " (note on, vel 0)" : "Note on " + noteName(a) + " vel " + std::to_string(b); break;
    case 0xA0: text = "Key pressure " + noteName(a) + " " + std::to_string(b); break;
    case 0xB0: text = controllerName(a) + " = " + std::to_string(b); break;
    case 0xC0: text = "Program change " + std::to_string(a + 1); break;
    case 0xD0: text = "Channel pressure " + std::to_string(a); break;
    default: {
        const int bend = a + 128 * b - 8192;
        text = "Pitch bend " + std::string(bend > 0 ? "+" : "") + std::to_string(bend);
    }
    }
    return meaning(MessageKind::Channel, text + channel);
}

MessageMeaning systemMeaning(const std::uint8_t* data, std::size_t size)
{
    struct Common {
        std::uint8_t status;
        std::size_t length;
        const char* name;
    };
    static const Common common[] = {
        {0xF1, 2, "MTC quarter frame"}, {0xF2, 3, "Song position"}, {0xF3, 2, "Song select"},
        {0xF6, 1, "Tune request"},      {0xF8, 1, "Clock"},         {0xFA, 1, "Start"},
        {0xFB, 1, "Continue"},          {0xFC, 1, "Stop"},          {0xFE, 1, "Active sensing"},
        {0xFF, 1, "System reset"},
    };
    for (const Common& c : common)
        if (c.status == data[0])
            return size == c.length ? meaning(MessageKind::Channel, c.name)
                                    : meaning(MessageKind::Malformed, std::string(c.name) + " of " +
                                                                          std::to_string(size) + " bytes");
    if (data[0] == sysex::End)
        return meaning(MessageKind::Malformed, "End of Exclusive without a start");
    return meaning(MessageKind::Malformed, "Undefined status " + hexByte(data[0]));
}

} // namespace

const char* messageKindName(MessageKind k)
{
    switch (k) {
    case MessageKind::Request: return "Requests";
    case MessageKind::Keys: return "Key codes";
    case MessageKind::Dump: return "Dumps";
    case MessageKind::Answer: return "Answers";
    case MessageKind::OtherSysEx: return "Other SysEx";
    case MessageKind::Channel: return "Notes and other short messages";
    case MessageKind::Malformed: return "Malformed";
    }
    return "";
}

MessageMeaning describeMessage(const std::uint8_t* data, std::size_t size)
{
    if (!data || size == 0)
        return meaning(MessageKind::Malformed, "Empty message");
    if (data[0] < 0x80)
        return meaning(MessageKind::Malformed, "Junk: " + grouped(size) + (size == 1 ? " byte" : " bytes") +
                                                   " without a status byte");
    if (data[0] == sysex::Start)
        return sysExMeaning(data, size);
    if (data[0] < 0xF0)
        return channelMeaning(data, size);
    return systemMeaning(data, size);
}

std::string noteName(int note)
{
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return names[note % 12] + std::to_string(note / 12 - 1);
}

} // namespace corvane
