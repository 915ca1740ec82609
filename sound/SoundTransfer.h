// Whole keyboard halves between the instrument and a sound file: fetching a
// half's program dump and the data of its wavesamples, and sending a checked
// file back. Plain C++ on the protocol object; the windows run these inside
// the one conversation and give them a wait in which Cancel can be pressed.
#pragma once

#include "SoundFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {
class MirageProtocol;
}

namespace corvane::sound {

// What a job is given by its window.
struct JobHooks {
    // A wait in which the user may press Cancel.
    std::function<void(int ms)> wait;
    std::function<bool()> cancelled;
    // What the job does now, and how far it has got of the time it expects
    // in all (both in ms of wire and wait time).
    std::function<void(const std::string& status, long long doneMs, long long totalMs)> progress;
};

enum class JobEnd { Done, Cancelled, Failed };

// Expected time of one job step at the wire rate.
long long programFetchMs();
long long wavesampleFetchMs(int pages);
long long fetchMs(std::span<const std::uint8_t> programDump); // every wavesample of a half
long long sendMs(const Sound& sound);

struct FetchResult {
    JobEnd end = JobEnd::Done;
    std::string text; // what went wrong
    Sound sound;
    long long expectedMs = 0;
};

// Fetches the halves (0 lower, 1 upper, in the order given): the program
// dump, then each wavesample with pages of its own, selected in turn and
// requested. The halves carry no names.
FetchResult fetchSound(MirageProtocol& mirage, const std::vector<int>& halves, const JobHooks& hooks);
// The same, with the program's names and colours (16 each, L1-L8, U1-U8)
// going along: they name what the user has in the instrument now.
FetchResult fetchSound(MirageProtocol& mirage, const std::vector<int>& halves,
                       const std::array<std::string, 16>& names, const std::array<std::uint32_t, 16>& colours,
                       const JobHooks& hooks);

enum class Answer { NotSent, Accepted, Refused, NoAnswer };
const char* answerText(Answer a);

struct SendResult {
    JobEnd end = JobEnd::Done;
    std::array<Answer, 16> answers{}; // per wavesample, L1-L8, U1-U8
    std::string text;                 // what went wrong (Failed)
    // The program dumps that went out (lower, upper): the instrument's
    // parameters of that half are the sound's from then on.
    std::array<bool, 2> programSent{};
    // The wavesample whose dump was stopped or cut short part-way (0-15),
    // or -1: it may hold part of the new sound.
    int cutShort = -1;
    // The instrument did not answer a wavesample dump: the job stopped there.
    bool unanswered = false;
};

// Sends a checked sound: the program dumps first, then each wavesample's data
// after selecting it, waiting for its answer before the next (a wavesample
// whose dump is left empty keeps the data it has, as when one wavesample's
// data and the pointers of its half are sent). A dump the
// instrument does not answer within the request's limit (after its time on
// the wire) stops the job there and nothing more is sent; a dump cut short
// by a lost port fails the job. Otherwise, also after Cancel, each half's
// current program is selected again and fresh program dumps are requested,
// so that the instrument and the program agree.
SendResult sendSound(MirageProtocol& mirage, const Sound& sound, const JobHooks& hooks);

// What a send left in the instrument, for the window's status line:
// "Sent: 4 wavesamples accepted, 0 not." (each wavesample with data of its
// own counted once), or, for a send that stopped, which wavesamples were
// replaced and which still hold the old sound. `what`, when given, names
// what was sent ("L2 into the lower half").
std::string sendSummary(const Sound& sound, const SendResult& r, const std::string& what = {});

struct WavesampleFetch {
    JobEnd end = JobEnd::Done;
    std::string text; // what went wrong
    Bytes dump;       // as the instrument sent it, F0 ... F7
};
// Fetches the data of wavesample `index` (L1-L8, U1-U8) of `pages` pages (its
// page pointers): selects it, requests it and waits for it whole.
WavesampleFetch fetchWavesampleData(MirageProtocol& mirage, int index, int pages, const JobHooks& hooks);

// "L1 pages 0-31 (32) Strings" lines of what a file holds.
std::vector<std::string> describe(const Sound& sound);

} // namespace corvane::sound
