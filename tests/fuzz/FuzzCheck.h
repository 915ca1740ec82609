// What the fuzz targets share: a check that stops the run with a readable
// reason (the fuzzer keeps the input that broke it), and quiet seams.
#pragma once

#include "Seams.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace corvane::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "\n*** invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

// The targets' own checking loops need no coverage of their own; left
// instrumented they would cost more time than the code under test.
#define FUZZ_UNCOVERED __attribute__((no_sanitize("coverage")))

#define FUZZ_REQUIRE(cond)                                                     \
    do {                                                                       \
        if (!(cond))                                                           \
            ::corvane::fuzz::fail(#cond, __FILE__, __LINE__);                  \
    } while (0)

// Seams that never block: a message box or a wait only runs `pump` (what a
// modal box or a wait does with the events that arrive meanwhile) and
// counts.
class QuietSeams : public Seams {
public:
    std::function<void()> pump;
    int boxes = 0;

    void wait(int) override
    {
        if (pump)
            pump();
    }
    BoxAnswer messageBox(const std::string&, const std::string&, BoxButtons) override
    {
        ++boxes;
        if (pump)
            pump();
        return BoxAnswer::Ok;
    }
    void beep() override {}
    bool chooseColour(std::uint32_t, std::uint32_t&) override { return false; }
    std::string openFileName(const std::string&) override { return {}; }
    std::string chooseFolder(const std::string&) override { return {}; }
    std::string saveFileName(const std::string&, const std::string&) override { return {}; }
    std::string audioOutputProblem() override { return "No audio output in the fuzz run."; }
    std::string playSound(const PlaySound&) override { return audioOutputProblem(); }
    void stopSound() override {}
};

} // namespace corvane::fuzz
