#!/bin/sh
# The network test page's flood benchmark twice: as it is, and with the accessibility bridge on
# (an X server of its own, since only a real window system carries the bridge; a D-Bus session of
# its own, the AT-SPI bus and registry, QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
# while an AT-SPI client listens to every event and asks the program questions five times a
# second. Arguments go to the benchmark (MiB to send, idle peers).
# Usage: bench/app/net_test_page_a11y.sh [build/bin/bench_net_test_page] [MiB] [idle peers]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-build/bin/bench_net_test_page}
[ $# -gt 0 ] && shift

echo "== without the accessibility bridge"
"$bench" "$@"

echo "== with the accessibility bridge and an AT-SPI client"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
export NET_TEST_BENCH="$bench" ATSPI_PROBE="$here/atspi_probe.py"
xvfb-run -a dbus-run-session -- sh -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    launcher=$!
    "$NET_TEST_BENCH" "$@" &
    bench=$!
    /usr/bin/python3 "$ATSPI_PROBE" "$bench" || probe=$?
    wait "$bench" || status=$?
    kill "$launcher" 2>/dev/null || true
    exit "${status:-${probe:-0}}"
' sh "$@"
