#!/usr/bin/env bash
# check_package.sh BUILD_DIR: makes the Debian package from a built tree and
# checks it as a dispatcher's machine would see it, without installing it: the
# package is unpacked into a scratch root and the program run from there on
# the offscreen platform, with a home folder of its own.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
demo_pid=
cleanup() {
  [ -n "$demo_pid" ] && kill -KILL "$demo_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
deb=$(echo "$scratch"/out/vertamo_*.deb)
root=$scratch/root
dpkg-deb -x "$deb" "$root"
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(field Installed-Size) KiB"

# --- the files -------------------------------------------------------------
lib=usr/lib/vertamo
for file in $lib/vertamo $lib/orvex-sim usr/bin/vertamo \
            usr/share/applications/vertamo.desktop usr/share/applications/vertamo-demo.desktop \
            usr/share/icons/hicolor/scalable/apps/vertamo.svg usr/share/man/man1/vertamo.1.gz \
            usr/share/doc/vertamo/copyright usr/share/doc/vertamo/changelog.gz; do
  [ -e "$root/$file" ] || [ -L "$root/$file" ] || fail "the package holds /$file"
done
check "/usr/bin/vertamo links to the program folder" \
  test "$(readlink "$root/usr/bin/vertamo")" = ../lib/vertamo/vertamo
check "ohphone in the program folder links to vertamo-phone" \
  test "$(readlink "$root/$lib/ohphone")" = vertamo-phone -a -x "$root/$lib/vertamo-phone"
check "everything lies under /usr" test -z "$(find "$root" -mindepth 1 -maxdepth 1 ! -name usr)"
for program in "$root/$lib"/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  check "$(basename "$program") is stripped" test -z "$(readelf -S "$program" | grep -F .debug_info)"
done
png_size() {  # width x height from the PNG header
  local b
  read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
  echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}
for size in 16 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x$size/apps/vertamo.png
  check "icon ${size}x$size" test -f "$icon" -a "$(png_size "$icon" 2>/dev/null)" = "${size}x$size"
done
check "the man page is compressed and names the work folder" \
  bash -c "gzip -t '$root/usr/share/man/man1/vertamo.1.gz' && zcat '$root/usr/share/man/man1/vertamo.1.gz' |
           grep -q '^.TH VERTAMO 1' && zcat '$root/usr/share/man/man1/vertamo.1.gz' | grep -q 'local/share/Vertamo'"
apps=$root/usr/share/applications
check "the menu entry starts vertamo" grep -qx 'Exec=vertamo' "$apps/vertamo.desktop"
check "the demo entry starts vertamo --demo" grep -qx 'Exec=vertamo --demo' "$apps/vertamo-demo.desktop"
for entry in "$apps"/*.desktop; do
  check "$(basename "$entry"): Russian name and comment, our icon, a category" \
    bash -c "grep -q '^Name\[ru\]=' '$entry' && grep -q '^Comment\[ru\]=' '$entry' &&
             grep -qx 'Icon=vertamo' '$entry' && grep -q '^Categories=..*;' '$entry'"
  if command -v desktop-file-validate >/dev/null; then
    check "$(basename "$entry") validates" desktop-file-validate --no-hints "$entry"
  fi
done

# --- the control data ------------------------------------------------------
depends=$(field Depends)
for dep in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins libpng16-16 zlib1g libsndfile1 libpulse0 baresip-core; do
  check "depends on $dep" grep -qE "(^|, )$dep( |,|$)" <<<"$depends"
done
relations="$depends, $(field Recommends)"
for tool in build-essential cmake ninja-build ccache gcc g++ clang qt6-base-dev libgtest-dev; do
  check "no build tool $tool" bash -c "! grep -qE '(^|, )$tool( |,|$)' <<<'$relations'"
done
for dev in $(grep -oE '[a-z0-9.+-]+-dev\b' <<<"$relations"); do fail "depends on the development package $dev"; done
# Installing and removing touch no one's home: any maintainer script stays out
# of the users' folders.
dpkg-deb -e "$deb" "$scratch/control"
for script in preinst postinst prerm postrm; do
  [ -f "$scratch/control/$script" ] || continue
  check "$script stays out of home folders" bash -c "! grep -qE 'HOME|/home|~|\.local|Vertamo' '$scratch/control/$script'"
done
if command -v lintian >/dev/null; then
  lintian_status=0
  lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || lintian_status=$?
  grep -v 'root privileges' "$scratch/lintian.log" | sed 's/^/lintian: /' || true
  check "lintian reports no error" test $lintian_status = 0
else
  fail "lintian is not installed (tools/debian-packages.txt lists it)"
fi

# --- the unpacked program ----------------------------------------------------
home=$scratch/home
mkdir -p "$home"
# Sounds go to a sound server that is not there, never the machine's.
nosound=unix:$home/no-sound-server
run() { env -u XDG_DATA_HOME HOME="$home" PULSE_SERVER="$nosound" QT_QPA_PLATFORM=offscreen "$@"; }
has() { grep -q -- "$2" <<<"$1"; }  # has TEXT PATTERN
out=$(run "$root/usr/bin/vertamo" --version 2>&1) || fail "--version exits with an error"
check "--version through the link: Vertamo $version" has "$out" "^Vertamo $version\$"
out=$(run "$root/$lib/vertamo" --help 2>&1) || fail "--help exits with an error"
for text in '--workdir <DIR>' '--demo' '--version' 'local/share/Vertamo'; do
  check "--help names $text" has "$out" "$text"
done
check "orvex-sim answers --help" bash -c "'$root/$lib/orvex-sim' --help >/dev/null 2>&1"

# The demo from the installed layout: the district loads (its catalogue
# reaches the last step, the texts, and its pictures reach the cache), and the
# program ends cleanly on SIGTERM. The connection log is on (Debug=1), which
# the demo's settings keep.
work=$scratch/demo
mkdir -p "$work"
printf '[ServerInfo]\r\nDebug=1\r\n' >"$work/Vertamo.ini"
# Started without a shell in between, so that the signal reaches the program.
env -u XDG_DATA_HOME HOME="$home" PULSE_SERVER="$nosound" QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/vertamo" --demo --workdir "$work" >"$scratch/demo.out" 2>&1 &
demo_pid=$!
loaded=0
for _ in $(seq 600); do  # 60 s at most
  kill -0 "$demo_pid" 2>/dev/null || break
  if [ -f "$work/Client.log" ] && iconv -f CP1251 -t UTF-8 "$work/Client.log" | grep -q 'Создание текста' &&
     [ "$(find "$work/Cache" -type f 2>/dev/null | wc -l)" -ge 3 ]; then
    loaded=1
    break
  fi
  sleep 0.1
done
check "the demo district loads from the installed layout" test $loaded = 1
status=gone
if kill -TERM "$demo_pid" 2>/dev/null; then
  for _ in $(seq 300); do  # 30 s at most
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$demo_pid" 2>/dev/null; then status=hangs; else status=0; wait "$demo_pid" || status=$?; fi
fi
[ "$status" = hangs ] || demo_pid=
check "the demo ends cleanly on SIGTERM" test "$status" = 0
check "the demo says where it serves" grep -q 'demo district served on 127.0.0.1:' "$scratch/demo.out"
check "the demo keeps to its work folder" test ! -e "$home/.local/share/Vertamo"
[ $failures -eq 0 ] || { cat "$scratch/demo.out" >&2; echo "$failures check(s) failed" >&2; exit 1; }
echo "package checks passed"
