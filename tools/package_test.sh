#!/usr/bin/env bash
# The Debian package end to end, as a user gets it (CI only: needs root, and installs
# and removes the package luckyscope on this machine):
#   build the package with cpack in the release build folder (no tests), install it with apt-get,
#   validate the installed menu entry and metadata, start the installed program the way
#   the menu does (its Exec line) under Xvfb in a scratch HOME, check that the main
#   window appears in the user's folder, open the help from the menu, close the program,
#   remove the package and check that its files are gone.
# Every wait is bounded; everything it starts is ended; the package is removed again
# whatever happens. Exits non-zero when a check fails.
#
# Usage: tools/package_test.sh
# LUCKYSCOPE_BUILD_DIR names another build folder than build/release;
# LUCKYSCOPE_SHOTS names a folder for screenshots of the program and its help.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUCKYSCOPE_BUILD_DIR:-$top/build/release}
shots=${LUCKYSCOPE_SHOTS:-}
id=org.luckyscope.LuckyScope
main_title='^ラッキースコープ！( - .*)?$'
help_title='^ラッキースコープ！ヘルプ$'

say() { echo "package_test: $*"; }
if [ "$(id -u)" -ne 0 ]; then
  say "needs root: it installs and removes the package luckyscope" >&2
  exit 2
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
check() {  # check <what> <command...>
  local what=$1 out
  shift
  if out=$("$@" 2>&1); then
    pass "$what"
  else
    fail "$what"
    [ -n "$out" ] && printf '%s\n' "$out" | tail -n 30 | sed 's/^/    /'
  fi
}
finish() {
  echo "package: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}
# A step that later steps cannot do without: on failure the test ends here.
need() {
  local before=$failed
  check "$@"
  [ "$failed" -eq "$before" ] || finish
}

work=$(mktemp -d)
xvfb_pid=
app_pid=
we_installed=
cleanup() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$app_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ -n "$we_installed" ] && dpkg-query -W -f='${Status}' luckyscope 2>/dev/null | grep -q 'ok installed'; then
    say "removing the package luckyscope again"
    DEBIAN_FRONTEND=noninteractive timeout 300 apt-get remove -y -qq luckyscope >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- Build the package ----------------------------------------------------------------
need "set-up: the packages of tools/packages.txt are installed" "$top/tools/setup.sh"
# A Debian package installs under /usr, and the program has the folder of its installed
# help compiled in: the build is configured for that prefix.
need "configure the release build (no tests) for the prefix /usr" \
  cmake --preset release -S "$top" -B "$build" -DCMAKE_INSTALL_PREFIX=/usr
need "build the program, its help and its icons" cmake --build "$build" -j "$(nproc)"
rm -f "$build"/luckyscope_*.deb
need "cpack builds the Debian package" bash -c "cd '$build' && timeout 600 cpack -G DEB"
deb=$(ls "$build"/luckyscope_*_*.deb 2>/dev/null | head -n1)
need "the package file is luckyscope_1.01_<arch>.deb" test -n "$deb" -a -f "$build/luckyscope_1.01_$(dpkg --print-architecture).deb"

depends_cover() {
  local depends p
  depends=$(dpkg-deb -f "$deb" Depends) || return 1
  for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libgstreamer1.0-0 gstreamer1.0-plugins-base \
           gstreamer1.0-plugins-good gstreamer1.0-plugins-bad libchm1 fonts-noto-cjk \
           libtesseract5 tesseract-ocr-eng qt6-translations-l10n; do
    grep -qE "(^|, )$p( |,|$)" <<<"$depends" || { echo "Depends lacks $p: $depends"; return 1; }
  done
}
check "the package depends on Qt and its Japanese texts, GStreamer and its plugins, chmlib and a Japanese font" depends_cover

# --- Debian policy and the hardened build --------------------------------------------
# Lintian on the package: no error, and no warning the project could mend. What it may
# still say are infos and tags about the package's origin (not built from a Debian
# source package, an example.org address).
lintian_clean() {
  local out
  out=$(lintian --no-tag-display-limit "$deb" 2>&1)
  printf '%s\n' "$out" | grep -E '^[EW]: ' && return 1
  return 0
}
check "lintian finds no error and no warning in the package" lintian_clean
# hardening-check on the program and the postcard reader as the package holds them.
# Control-flow protection is not among Debian 12's build flags. The reader's memory
# copies all have sizes known only at run time, which _FORTIFY_SOURCE cannot check, so
# hardening-check finds no checked call in it although it is built with the flag.
hardened() {
  local unpacked=$work/unpacked
  dpkg-deb -x "$deb" "$unpacked" || return 1
  hardening-check --nocfprotection "$unpacked/usr/bin/luckyscope" || return 1
  hardening-check --nocfprotection --nofortify "$unpacked"/usr/lib/*/luckyscope/luckyscope-scan.so
}
check "hardening-check: stack protector, fortify, PIE, RELRO and BIND_NOW in the program and the module" hardened

# --- Install it -----------------------------------------------------------------------
if dpkg-query -W -f='${Status}' luckyscope 2>/dev/null | grep -q 'ok installed'; then
  say "luckyscope was installed already; it is replaced by this build and removed at the end"
fi
we_installed=1
need "apt-get install ./$(basename "$deb")" \
  env DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y -qq --no-install-recommends "$deb"
dpkg -L luckyscope >"$work/files"
desktop=/usr/share/applications/$id.desktop
metainfo=/usr/share/metainfo/$id.metainfo.xml
check "desktop-file-validate accepts the installed menu entry" desktop-file-validate "$desktop"
check "appstreamcli accepts the installed metadata" appstreamcli validate --no-net "$metainfo"
installed_files() {
  local f
  for f in /usr/bin/luckyscope /usr/bin/luckyscope-launch /usr/share/luckyscope/luckyscope.chm \
           /usr/share/doc/luckyscope/copyright /usr/share/doc/luckyscope/changelog.gz \
           /usr/share/man/man1/luckyscope.1.gz /usr/share/man/man1/luckyscope-launch.1.gz \
           /usr/share/mime/packages/$id.xml \
           "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/luckyscope/luckyscope-scan.so" \
           /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/$id.png; do
    [ -f "$f" ] || { echo "missing: $f"; return 1; }
    grep -qxF "$f" "$work/files" || { echo "not the package's: $f"; return 1; }
  done
}
check "the program, launcher, postcard reader, help, icons, file types, manual pages and copyright are installed" installed_files
printf '1等,1\r\n01,123456\r\n' >"$work/x.ban"
printf '"山田","01","123456"\r\n' >"$work/y.dat"
printf 'something,else\r\n' >"$work/other.dat"
file_types() {
  local f want got
  for f in x.ban:application/x-luckyscope-winning-numbers y.dat:application/x-luckyscope-search-targets \
           other.dat:text/plain; do
    want=${f#*:}
    got=$(gio info -a standard::content-type "$work/${f%%:*}" | sed -n 's/.*content-type: //p')
    [ "$got" = "$want" ] || { echo "${f%%:*} is $got, not $want"; return 1; }
  done
  grep -q "application/x-luckyscope-winning-numbers=.*$id.desktop" /usr/share/applications/mimeinfo.cache ||
    { echo "the menu entry is not listed for winning-number files"; return 1; }
}
check "winning-number files by name, search-target files by content, other .dat files untouched" file_types

options_answer() {
  [ "$(env -i LANG=C luckyscope --version)" = "luckyscope 1.01" ] || return 1
  env -i LANG=C luckyscope --help | grep -q '^Usage: luckyscope' || return 1
  env -i LANG=ja_JP.UTF-8 luckyscope --help | grep -q '^使い方: luckyscope' || return 1
  env -i luckyscope --frobnicate 2>/dev/null
  [ $? -eq 2 ] || { echo "an unknown option did not end with code 2"; return 1; }
}
check "--version and --help answer (English under the C locale), other options end with code 2" options_answer

# --- Start it the way the menu does ---------------------------------------------------
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 5>&-
need "Xvfb starts" test -s "$work/display"
display=":$(head -n1 "$work/display")"
x() { DISPLAY=$display timeout 10 "$@"; }
# Waits up to <seconds> for a visible window whose title matches; prints its id.
wait_window() {
  local pattern=$1 seconds=$2 found
  for _ in $(seq $((seconds * 10))); do
    found=$(x xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

home=$work/home
mkdir -p "$home" "$work/run"
chmod 700 "$work/run"
read -ra command <<<"$(sed -n 's/^Exec=//p' "$desktop" | head -n1 | sed 's/ %[fFuUdDnNickvm]//g')"
say "starting the menu entry's command: ${command[*]}"
env -i HOME="$home" USER=root LOGNAME=root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
  DISPLAY="$display" XDG_RUNTIME_DIR="$work/run" "${command[@]}" >"$work/program.log" 2>&1 &
app_pid=$!
program_log() { sed 's/^/    program: /' "$work/program.log" | tail -n 20; }

if win=$(wait_window "$main_title" 30); then
  pass "the installed program's main window appears"
else
  fail "the installed program's main window appears (within 30 s)"
  program_log
  finish
fi
folder=$home/.local/share/luckyscope
check "it runs in the user's folder ~/.local/share/luckyscope" \
  test "$(readlink "/proc/$app_pid/cwd")" = "$folder"
# The launcher's settings file spares the first start the missing-file message.
sleep 1
check "the first start shows no message" bash -c "! DISPLAY=$display timeout 10 xdotool search --onlyvisible --name '^ヒットメモ$'"
check "the window's class is the menu entry's StartupWMClass" \
  bash -c "DISPLAY=$display timeout 10 xprop -id $win WM_CLASS | grep -q '\"$(sed -n 's/^StartupWMClass=//p' "$desktop")\"'"
check "the window carries the program's icon" bash -c "DISPLAY=$display timeout 10 xprop -id $win _NET_WM_ICON | grep -q 'Icon'"
[ -n "$shots" ] && mkdir -p "$shots" && x import -window root "$shots/main.png"

# --- The help, from the menu ----------------------------------------------------------
# Types a menu's access key and then the item's; a menu that opened too late for the
# item's key is closed again before the next try.
menu_keys() {
  x xdotool key Escape >/dev/null 2>&1
  x xdotool windowfocus --sync "$win" >/dev/null 2>&1
  x xdotool key "$1" >/dev/null 2>&1
  sleep 0.5
  x xdotool key "$2" >/dev/null 2>&1
}
help_shown() {
  local attempt
  for attempt in 1 2 3; do
    menu_keys alt+h h
    wait_window "$help_title" 5 >/dev/null && return 0
  done
  return 1
}
if help_shown; then
  pass "ヘルプ → ラッキースコープ！ヘルプ opens the installed help file"
  [ -n "$shots" ] && x import -window root "$shots/help.png"
else
  fail "ヘルプ → ラッキースコープ！ヘルプ opens the installed help file (no help window in 3 tries)"
  program_log
fi

# --- A second start with a file hands it to the running copy ---------------------------
handed_over() {
  env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" XDG_RUNTIME_DIR="$work/run" \
    timeout 20 luckyscope "$work/y.dat" || { echo "the second start ended with code $?"; return 1; }
  wait_window '^ラッキースコープ！ - y.dat / ' 15 >/dev/null || { echo "the running copy did not open y.dat"; return 1; }
  [ "$(x xdotool search --name '^ラッキースコープ！ - ' | wc -l)" -eq 1 ] || { echo "a second main window appeared"; return 1; }
}
check "a second 'luckyscope y.dat' hands the file to the running copy and ends with code 0" handed_over

# --- Close it: ファイル → 終了 ----------------------------------------------------------
ended=
for attempt in 1 2 3; do
  menu_keys alt+f x
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
  [ -n "$ended" ] && break
done
if [ -n "$ended" ]; then
  wait "$app_pid"
  code=$?
  app_pid=
  check "ファイル → 終了 ends the program cleanly (exit code $code)" test "$code" -eq 0
else
  fail "ファイル → 終了 ends the program (still running after 3 tries)"
  program_log
fi
check "no window of it is left" bash -c "! DISPLAY=$display timeout 10 xdotool search --name 'ラッキースコープ！'"
check "its settings were saved in the user's folder" test -s "$folder/luckyscope.dat"

# --- Opened from the file manager -----------------------------------------------------
env -i HOME="$home" USER=root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" \
  XDG_RUNTIME_DIR="$work/run" gio open "$work/x.ban" >"$work/program.log" 2>&1
if win=$(wait_window '^ラッキースコープ！ - .* / x.ban' 30); then
  pass "gio open x.ban starts the program with the file loaded"
  app_pid=$(x xdotool getwindowpid "$win" 2>/dev/null)
  ended=
  for attempt in 1 2 3; do
    menu_keys alt+f x
    for _ in $(seq 100); do [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
    [ -n "$ended" ] && break
  done
  [ -n "$ended" ] && app_pid=
  check "the program opened by gio open ends from its menu" test -n "$ended"
else
  fail "gio open x.ban starts the program with the file loaded (no window within 30 s)"
  program_log
fi

# --- Remove it ------------------------------------------------------------------------
need "apt-get remove luckyscope" env DEBIAN_FRONTEND=noninteractive timeout 300 apt-get remove -y -qq luckyscope
we_installed=
files_gone() {
  local f left=0
  if dpkg-query -W -f='${Status}' luckyscope 2>/dev/null | grep -q 'ok installed'; then
    echo "the package is still installed"
    return 1
  fi
  while IFS= read -r f; do
    if [ -e "$f" ] && [ ! -d "$f" ]; then echo "left behind: $f"; left=1; fi
  done <"$work/files"
  for f in /usr/share/luckyscope /usr/share/icons/hicolor/scalable/apps/$id.svg; do
    [ -e "$f" ] && { echo "left behind: $f"; left=1; }
  done
  return $left
}
check "the package's files are gone" files_gone
finish
