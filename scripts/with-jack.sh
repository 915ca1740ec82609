#!/bin/sh
# Runs a command against a JACK server of its own: starts jackd with the dummy
# driver (no audio hardware needed) under a private server name, waits until
# it answers, runs the command with JACK_DEFAULT_SERVER pointing at it, and
# ends the server by its process id, whatever happens to the command.
#
#   scripts/with-jack.sh <command> [arguments...]
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 <command> [arguments...]" >&2
    exit 2
fi

server="corvane-test-$$"
export JACK_DEFAULT_SERVER="$server"
export JACK_NO_AUDIO_RESERVATION=1
export JACK_NO_START_SERVER=1

log="${TMPDIR:-/tmp}/$server.log"
# -r: no realtime scheduling (not granted inside most containers); -t: a
# generous client time-out, so a client slowed down by a busy machine is not
# thrown out by the server.
jackd -r -t 10000 -n "$server" -d dummy -r 48000 -p 1024 >"$log" 2>&1 &
jack_pid=$!

stop_server() {
    if kill -0 "$jack_pid" 2>/dev/null; then
        kill "$jack_pid" 2>/dev/null
        wait "$jack_pid" 2>/dev/null
    fi
    rm -f "$log"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

if ! jack_wait -s "$server" -w -t 10 >/dev/null 2>&1 || ! kill -0 "$jack_pid" 2>/dev/null; then
    echo "$0: the JACK server did not start:" >&2
    cat "$log" >&2
    exit 1
fi

"$@"
