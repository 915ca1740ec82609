// The MIDI monitor's plain half: what each message is called, and the
// bounded history with its .syx and text outputs.
#include "Frames.h"
#include "MidiTraffic.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

// As the output port sends a message built by the program: with its F7.
Message wire(Message m)
{
    m.push_back(sysex::End);
    return m;
}

Message wavesampleDump(int pages) { return makeWavesampleDump(pages, std::vector<std::uint8_t>(256 * pages, 0x80)); }

TEST(MessageText, NamesEachMessageInTheInstrumentsWords)
{
    Message program = makeProgramDump(0, std::vector<std::uint8_t>(625, 0));
    Message cutProgram(program.begin(), program.begin() + 700);
    cutProgram.push_back(sysex::End);
    Message sentDump = makeWavesampleDump(2, std::vector<std::uint8_t>(512, 1), sysex::Close);
    sentDump.push_back(sysex::End); // as the port sends it
    const struct {
        Message bytes;
        MessageKind kind;
        std::string text;
    } table[] = {
        {{0xF0, 0x0F, 0x01, 0x00, 0x7F, 0xF7}, MessageKind::Request, "Configuration dump request"},
        {{0xF0, 0x0F, 0x01, 0x13, 0x7F, 0xF7}, MessageKind::Request, "Program dump request, upper"},
        {{0xF0, 0x0F, 0x01, 0x04, 0xF7}, MessageKind::Request, "Wavesample dump request"},
        {program, MessageKind::Dump, "Program dump, lower, 1,255 bytes"},
        {cutProgram, MessageKind::Malformed, "Program dump, lower, 1,255 bytes, cut short: 701 of 1,255 bytes"},
        {wavesampleDump(128), MessageKind::Dump, "Wavesample dump, 128 pages"},
        {sentDump, MessageKind::Dump, "Wavesample dump, 2 pages"},
        {wire(parameterStepMessage(21, true)), MessageKind::Keys, "Parameter step: Master Tune up"},
        {wire(typedStepMessage(72, false)), MessageKind::Keys, "Parameter step: Top Key down"},
        {wire(keyCodeMessage({key::UpperWavesample, 3})), MessageKind::Keys, "Select wavesample U3"},
        {wire(keyCodeMessage({key::Param, 2, 6, key::Value})), MessageKind::Keys, "Query current wavesample (parameter 26)"},
        {wire(keyCodeMessage({key::UpperLoad, key::LowerLoad, 2, key::Enter})), MessageKind::Keys,
         "Load sound 2 into both halves"},
        {wire(keyCodeMessage({0x01, 0x02, 3, key::Enter})), MessageKind::Keys, "Save upper half to disk, sound 3"},
        {wire(keyCodeMessage({0x09, key::Abort})), MessageKind::Keys, "Keys: 9 Abort"},
        {{0xF0, 0x0F, 0x01, 0x01, 0x0C, 0x02}, MessageKind::Malformed, "SysEx cut short: no End of Exclusive after 6 bytes"},
        {{0xF0, 0x0F, 0x01, 0x0E, 0x12, 0xF7}, MessageKind::Answer, "Status: upper half, wavesample U3"},
        {{0xF0, 0x0F, 0x01, 0x09, 0xF7}, MessageKind::Answer, "Ack"},
        {{0xF0, 0x0F, 0x01, 0x0A, 0xF7}, MessageKind::Answer, "NAck"},
        {{0xF0, 0x43, 0x10, 0x4C, 0xF7}, MessageKind::OtherSysEx, "unknown SysEx (manufacturer 43)"},
        {{0x90, 60, 90}, MessageKind::Channel, "Note on C4 vel 90 (ch 1)"},
        {{0x9F, 60, 0}, MessageKind::Channel, "Note off C4 (note on, vel 0) (ch 16)"},
        {{0x90, 60}, MessageKind::Malformed, "Note on of 2 bytes (3 expected) (ch 1)"},
        {{0x12, 0x34, 0x56}, MessageKind::Malformed, "Junk: 3 bytes without a status byte"},
        {{0xFE}, MessageKind::Channel, "Active sensing"},
    };
    for (const auto& row : table) {
        const MessageMeaning m = describeMessage(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(m.text, row.text);
        EXPECT_EQ(m.kind, row.kind) << row.text;
    }
}

TEST(MidiTraffic, KeepsTheNewestWithinItsBoundsAndSaysHowManyWent)
{
    MidiTraffic t;
    t.setLimits(3, 1000);
    const Message request = requestMessage(cmd::ConfigRequest);
    for (int i = 0; i < 5; ++i)
        t.add(true, "Out", request.data(), request.size(), true);
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(t.dropped(), 2u);
    EXPECT_EQ(t.at(0).serial, 2u);
    EXPECT_EQ(t.at(0).bytes.back(), sysex::End) << "the F7 the port adds is part of what crossed the wire";
    EXPECT_EQ(t.bytes(), 18u);

    // The byte bound: a 1,032-byte dump leaves only itself.
    const Message dump = wavesampleDump(2);
    t.add(false, "In", dump.data(), dump.size());
    EXPECT_EQ(t.size(), 1u);
    EXPECT_EQ(t.dropped(), 5u);
    EXPECT_EQ(t.portName(t.at(0).port), "In");
    t.clear();
    EXPECT_EQ(t.size(), 0u);
    EXPECT_EQ(t.bytes(), 0u);
}

// Limits changed while the history runs full keep every message in order,
// each with its own bytes and name, and the byte count true.
TEST(MidiTraffic, ChangedLimitsKeepTheOrder)
{
    MidiTraffic t;
    auto note = [](std::uint64_t i) { return Message{0x90, static_cast<std::uint8_t>(60 + i), 100}; };
    auto add = [&](std::uint64_t from, std::uint64_t to) {
        for (std::uint64_t i = from; i < to; ++i)
            t.add(false, "In", note(i).data(), 3);
    };
    auto expectFrom = [&](std::uint64_t first, std::size_t count) {
        ASSERT_EQ(t.size(), count);
        EXPECT_EQ(t.dropped(), first);
        EXPECT_EQ(t.bytes(), 3 * count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(t.at(i).serial, first + i);
            EXPECT_EQ(t.at(i).bytes, note(first + i));
            EXPECT_EQ(t.at(i).meaning.text, describeMessage(note(first + i).data(), 3).text);
        }
    };
    t.setLimits(3, 1000);
    add(0, 5);
    expectFrom(2, 3);
    t.setLimits(6, 1000);
    add(5, 9);
    expectFrom(3, 6);
    t.setLimits(2, 1000);
    add(9, 10);
    expectFrom(8, 2);
}

TEST(MidiTraffic, SavesSysExBackToBackAndEverythingAsALog)
{
    MidiTraffic t;
    const Message step = parameterStepMessage(36, true);
    const Message note{0x90, 60, 90};
    const Message dump = wavesampleDump(1);
    t.add(true, "Out", step.data(), step.size(), true);
    t.add(false, "In", note.data(), note.size());
    t.add(false, "In", dump.data(), dump.size());
    const std::vector<const TrafficEntry*> all{&t.at(0), &t.at(1), &t.at(2)};

    Message expected = step;
    expected.push_back(sysex::End);
    expected.insert(expected.end(), dump.begin(), dump.end());
    EXPECT_EQ(syxBytes(all), expected) << "the note has no place in a .syx file";

    const std::string log = trafficLog(t, all);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    EXPECT_NE(log.find("\tout\tOut\t11\tParameter step: Filter Cutoff up\tF0 0F 01 01 0C 03 06 0D 0E 7F F7\n"),
              std::string::npos);
    EXPECT_NE(log.find("\tin\tIn\t3\tNote on C4 vel 90 (ch 1)\t90 3C 5A\n"), std::string::npos);
}

} // namespace
} // namespace corvane
