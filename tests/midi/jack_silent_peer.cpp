// jack_silent_peer: a SilentJackPeer as a process of its own. Says "ready"
// once its ports are there and stays until its standard input closes.
#include "JackPeer.h"

#include <cstdio>

int main()
{
    corvane::test::SilentJackPeer peer;
    if (!peer.ready())
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
