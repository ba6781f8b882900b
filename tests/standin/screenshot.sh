#!/usr/bin/env bash
# Hosts the player stand-in in the test container inside a private X display,
# photographs the screen while the control paints, and checks that the
# control's area has its background colour and the container's does not.
#
#   screenshot.sh SCRIPTS_DIR WINEPREFIX TEST_EXE OUTPUT_PNG
set -uo pipefail
scripts="$1" prefix="$2" exe="$3" out="$4"

# shellcheck source=/dev/null
source "$scripts/wine-env" "$prefix"
"$scripts/wine-prefix" "$prefix" || exit 1

work="$(mktemp -d /tmp/standin-shot.XXXXXX)"
xvfb_pid="" wine_pid=""
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb || exit 1

winpath() { printf 'Z:%s' "${1//\//\\}"; }
export STANDIN_SCREENSHOT_READY="$(winpath "$work/ready")"
export STANDIN_SCREENSHOT_DONE="$(winpath "$work/done")"
wine "$exe" --gtest_filter='*HoldsPaintingControlForScreenshot' >"$work/test.out" 2>&1 &
wine_pid=$!

for _ in $(seq 1 300); do
  [ -f "$work/ready" ] && break
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -f "$work/ready" ]; then
  echo "screenshot: the control never became ready" >&2
  cat "$work/test.out" >&2
  exit 1
fi
import -window root "$out" || exit 1
touch "$work/done"
wait "$wine_pid"
rc=$?
wine_pid=""
cat "$work/test.out"
[ $rc -eq 0 ] || exit $rc

# Container at (100,100), player at (120,130) size 400x300, background
# 0x00A06020 = RGB(0x20,0x60,0xA0). Sample away from the text.
pixel() { convert "$out" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
inside="$(pixel 500 410)"
outside="$(pixel 110 110)"
echo "screenshot: $out, player pixel $inside, container pixel $outside"
[ "$inside" = "2060A0" ] || { echo "screenshot: player area is not its background colour" >&2; exit 1; }
[ "$outside" != "2060A0" ] || { echo "screenshot: container area has the player's colour" >&2; exit 1; }
