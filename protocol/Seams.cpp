#include "Seams.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace corvane {

namespace {
Seams* installed = nullptr;
}

Seams& seams()
{
    if (!installed) {
        std::fprintf(stderr, "corvane: no seams installed\n");
        std::abort();
    }
    return *installed;
}

void installSeams(Seams* s) { installed = s; }

int Seams::startTimer(int, std::function<void()>)
{
    std::fprintf(stderr, "corvane: these seams have no timers\n");
    std::abort();
}

void Seams::cancelTimer(int) {}

long long Seams::clockMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace corvane
