#!/usr/bin/env bash
# demo-screenshot.sh [-s WIDTHxHEIGHT] [-x SCALE] [-w SECONDS] [-k KEYS] [OUT.png]
#
# The demo district as a dispatcher sees it: the workstation (`vertamo --demo`,
# muted, in a scratch work folder) on an X server of its own (Xvfb with
# openbox) of the given size (1920x1080 by default) and Qt scale (1), in a
# network namespace of its own so that the demo's lift intercoms and gateway
# stay off the machine's ports. After SECONDS (20) the keys KEYS, if any, are
# typed into the window (xdotool key syntax, blank-separated), and the whole
# screen is written to OUT.png (docs/demo-district.png). The README's picture
# is made by this script without options.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=1920x1080 scale=1 wait=20 keys=""
while getopts s:x:w:k: option; do
  case $option in
    s) size=$OPTARG ;;
    x) scale=$OPTARG ;;
    w) wait=$OPTARG ;;
    k) keys=$OPTARG ;;
    *) exit 1 ;;
  esac
done
shift $((OPTIND - 1))
out=$(realpath -m "${1:-$root/docs/demo-district.png}")
vertamo=${VERTAMO:-$root/build/shell/vertamo}
[ -x "$vertamo" ] || { echo "no $vertamo: build first (tools/build.sh build)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

if [ -z "${DEMO_SCREENSHOT_INSIDE:-}" ]; then
  # Once more inside a private network namespace (root, or a user namespace).
  flags=(-n)
  [ "$(id -u)" = 0 ] || flags=(-rn)
  exec unshare "${flags[@]}" env DEMO_SCREENSHOT_INSIDE=1 "$0" -s "$size" -x "$scale" -w "$wait" -k "$keys" "$out"
fi
ip link set lo up 2>/dev/null || true

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
display=""
for n in $(seq 70 130); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale XDG_DATA_HOME=$work/data \
  "$vertamo" --demo --mute --workdir "$work/demo" >"$work/vertamo.log" 2>&1 &
pids+=($!)
sleep "$wait"
if [ -n "$keys" ]; then
  window=$(xdotool search --onlyvisible --class vertamo | head -1 || true)
  [ -n "$window" ] && xdotool windowactivate --sync "$window" 2>/dev/null || true
  # shellcheck disable=SC2086
  xdotool key --delay 300 $keys
  sleep 2
fi
import -window root "$out"
echo "$out"
