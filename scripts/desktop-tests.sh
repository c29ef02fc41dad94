#!/usr/bin/env bash
# Runs the window tests that need a real X server with a window manager (the ctest label
# "desktop": keyboard focus, the popup's keyboard grab, real key presses and clicks) under Xvfb
# on a free display with openbox, and stops both afterwards.
#   scripts/desktop-tests.sh BUILD_DIR [CTEST ARGUMENTS...]
set -euo pipefail
build=${1:?usage: scripts/desktop-tests.sh BUILD_DIR [CTEST ARGUMENTS...]}
shift

for tool in Xvfb openbox xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "desktop tests: $tool is missing (apt-get install xvfb openbox xdotool)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
xvfb='' wm=''
stop() {
  local pid
  for pid in $wm $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT

# wait_for SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds.
wait_for() {
  local tries=$(($1 * 10))
  shift
  while ! "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# Xvfb finds a free display itself and writes its number once it takes connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
if ! wait_for 30 test -s "$work/display"; then
  echo "desktop tests: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"

# openbox runs the start-up command once it manages the screen.
HOME=$work openbox --sm-disable --startup "touch $work/openbox-ready" >"$work/openbox.log" 2>&1 &
wm=$!
if ! wait_for 30 test -e "$work/openbox-ready"; then
  echo "desktop tests: openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

echo "Desktop tests on Xvfb $DISPLAY with openbox"
QT_QPA_PLATFORM=xcb ctest --test-dir "$build" -L desktop --output-on-failure "$@"
