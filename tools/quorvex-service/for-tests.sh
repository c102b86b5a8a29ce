#!/bin/sh
# Starts or stops the stand-in service for a test run. The tests ask this
# instance for an instance of their own (/_control/spawn), so tests running at
# the same time never share faults or request logs.
#
#   for-tests.sh start STATE_DIR   writes STATE_DIR/port and STATE_DIR/pid
#   for-tests.sh stop STATE_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=$1
state=$2
mkdir -p "$state"

case $action in
start)
    "$0" stop "$state"
    rm -f "$state/port"
    # Detached from the test driver's output so that it never holds ctest's pipes open.
    setsid python3 "$here/server.py" --port 0 --strict-keys --cache-dir "$state/pictures" \
        >"$state/stdout" 2>"$state/stderr" </dev/null &
    echo $! >"$state/pid"
    for _ in $(seq 1 100); do
        if port=$(sed -n 's/^PORT //p' "$state/stdout" 2>/dev/null) && [ -n "$port" ]; then
            echo "$port" >"$state/port"
            echo "service on port $port"
            exit 0
        fi
        sleep 0.1
    done
    echo "the service did not start:" >&2
    cat "$state/stderr" >&2
    exit 1
    ;;
stop)
    if [ -f "$state/pid" ]; then
        kill "$(cat "$state/pid")" 2>/dev/null || true
        rm -f "$state/pid" "$state/port"
    fi
    ;;
*)
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
