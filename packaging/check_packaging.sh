#!/usr/bin/env bash
# Checks of the desktop files that need no root: the menu entry and the metadata pass
# their validators, an install into a scratch folder puts every file in its place (and
# nothing else), the icons are drawn at their sizes, and the launcher starts the program
# in the user's own folder.
#
# Usage: packaging/check_packaging.sh <build folder> <desktop id> <launcher source>
set -uo pipefail
build=$1
id=$2
launcher=$3
packaging=$(dirname -- "$launcher")

# shellcheck source=../tools/checks.sh
. "$(dirname -- "$0")/../tools/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
record=$work/record  # what a stand-in for the program writes when it starts

# --- The menu entry and the metadata --------------------------------------------------
desktop=$build/packaging/$id.desktop
metainfo=$build/packaging/$id.metainfo.xml
check "desktop-file-validate accepts the menu entry" desktop-file-validate "$desktop"
check "appstreamcli accepts the metadata" appstreamcli validate --no-net "$metainfo"

entry_value() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
same_names() {
  [ "$(entry_value Icon)" = "$id" ] || { echo "Icon=$(entry_value Icon), not $id"; return 1; }
  grep -q "<id>$id</id>" "$metainfo" || { echo "the metadata's id is not $id"; return 1; }
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    { echo "the metadata does not launch $id.desktop"; return 1; }
  [ "$(entry_value StartupWMClass)" = luckyscope ] || { echo "StartupWMClass is not the program's window class"; return 1; }
}
check "menu entry, metadata and icon share the id $id" same_names

# --- An install into a scratch folder -------------------------------------------------
root=$work/root
check "cmake --install into a scratch folder" cmake --install "$build" --prefix "$root"

sizes=(16 22 24 32 48 64 128 256)
expected=(
  bin/luckyscope
  bin/luckyscope-launch
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/luckyscope/luckyscope.chm
  share/mime/packages/$id.xml
  share/doc/luckyscope/copyright
  share/doc/luckyscope/changelog.gz
  share/man/man1/luckyscope.1.gz
  share/man/man1/luckyscope-launch.1.gz
)
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
# The postcard reader, a module the program loads on first use, in the library folder
# the build was configured with.
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
expected+=("${libdir:-lib}/luckyscope/luckyscope-scan.so")

installed_set() {
  local want got
  want=$(printf '%s\n' "${expected[@]}" | sort)
  got=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
  [ "$want" = "$got" ] || { diff <(echo "$want") <(echo "$got"); return 1; }
  [ -x "$root/bin/luckyscope" ] && [ -x "$root/bin/luckyscope-launch" ] || { echo "a program is not executable"; return 1; }
}
check "the install holds exactly the program, launcher, postcard reader, menu entry, file types, metadata, icons, help, manual pages, copyright and changelog" installed_set

# The menu entry starts the launcher where the configured prefix puts it.
launcher_named() {
  local exec_path
  exec_path=$(entry_value Exec)
  # The files a file manager opens with the entry come last.
  [ "${exec_path% %F}" != "$exec_path" ] || { echo "Exec=$exec_path takes no files (%F)"; return 1; }
  exec_path=${exec_path% %F}
  case "$exec_path" in
    /*/bin/luckyscope-launch | \"/*/bin/luckyscope-launch\" | "/bin/sh \"/"*/bin/luckyscope-launch\") ;;  # quoted for an odd prefix
    *) echo "Exec=$exec_path is not the installed launcher's full path"; return 1 ;;
  esac
}
check "the menu entry's Exec is the launcher's full path" launcher_named

# The menu entry for install prefixes with characters that need quoting or escaping:
# written by the same rule as the build's, it must pass the validator, and a desktop
# launcher (gio launch) must start the launcher installed there, which starts the
# program beside it.
odd_prefixes() {
  local prefix entry n=0 ran
  for prefix in "$work/John Smith/.local" "$work/100% sure" "$work/\$HOME's" "$work/say \"cheese\"" \
    "$work/back\\slash \`tick\`"; do
    n=$((n + 1))
    mkdir -p "$prefix/bin" || return 1
    cp "$launcher" "$prefix/bin/luckyscope-launch"
    printf '#!/bin/sh\n{ pwd; printf "%%s\\n" "$0"; } >"$RECORD"\n' >"$prefix/bin/luckyscope"
    chmod +x "$prefix/bin/luckyscope-launch" "$prefix/bin/luckyscope"
    entry=$work/odd$n/$id.desktop
    cmake -DTEMPLATE="$packaging/luckyscope.desktop.in" -DOUTPUT="$entry" -DLAUNCHER="$prefix/bin/luckyscope-launch" \
      -DAPP_ID="$id" -P "$packaging/desktop_entry.cmake" || return 1
    desktop-file-validate "$entry" || { echo "for the prefix $prefix: $(grep '^Exec=' "$entry")"; return 1; }
    rm -f "$record"
    env -i PATH="$work/path:/usr/bin:/bin" RECORD="$record" HOME="$work/odd$n" gio launch "$entry" || return 1
    for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.1; done
    ran=$(sed -n 2p "$record" 2>/dev/null)
    [ "$ran" = "$prefix/bin/luckyscope" ] ||
      { echo "for the prefix $prefix, $(grep '^Exec=' "$entry") ran: $(cat "$record" 2>/dev/null)"; return 1; }
  done
}
check "menu entries for prefixes with a space, %, \$, \", \\ and \` validate and start the launcher there" odd_prefixes

# Each PNG is square at its size and has something drawn on it (not all transparent).
icons_drawn() {
  local size file geometry alpha
  for size in "${sizes[@]}"; do
    file=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
    geometry=$(identify -format '%wx%h' "$file") || return 1
    [ "$geometry" = "${size}x${size}" ] || { echo "$file is $geometry"; return 1; }
    alpha=$(convert "$file" -alpha extract -format '%[fx:mean>0.2]' info:) || return 1
    [ "$alpha" = 1 ] || { echo "$file is (nearly) empty"; return 1; }
  done
}
check "the icon is drawn at ${sizes[*]} pixels" icons_drawn

# --- The launcher ---------------------------------------------------------------------
# A stand-in for the program, installed beside the launcher, records where it started.
bin=$work/bin
mkdir -p "$bin" "$work/path"
cp "$launcher" "$bin/luckyscope-launch"
chmod +x "$bin/luckyscope-launch"
cat >"$bin/luckyscope" <<'EOF'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$RECORD"
EOF
printf '#!/bin/sh\necho from-path >"$RECORD"\n' >"$work/path/luckyscope"
chmod +x "$bin/luckyscope" "$work/path/luckyscope"

launch() {  # launch <env assignments...> -- <args...>
  local assignments=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do assignments+=("$1"); shift; done
  shift
  rm -f "$record"
  env -i PATH="$work/path:/usr/bin:/bin" RECORD="$record" "${assignments[@]}" "$bin/luckyscope-launch" "$@"
}

first_start() {
  local home="$work/first home"
  launch HOME="$home" -- || return 1
  [ "$(head -n1 "$record")" = "$home/.local/share/luckyscope" ] || { echo "started in $(head -n1 "$record")"; return 1; }
  [ -f "$home/.local/share/luckyscope/luckyscope.dat" ] || { echo "no settings file in the new folder"; return 1; }
}
check "first start: makes ~/.local/share/luckyscope with a settings file and starts there" first_start

xdg_data_home() {
  launch HOME="$work/h2" XDG_DATA_HOME="$work/xdg" -- || return 1
  [ "$(head -n1 "$record")" = "$work/xdg/luckyscope" ] || { echo "started in $(head -n1 "$record")"; return 1; }
  # A relative XDG_DATA_HOME is no folder to rely on: the default holds.
  launch HOME="$work/h3" XDG_DATA_HOME=relative -- || return 1
  [ "$(head -n1 "$record")" = "$work/h3/.local/share/luckyscope" ] || { echo "started in $(head -n1 "$record")"; return 1; }
  [ ! -e relative ] && [ ! -e "$bin/relative" ] || { echo "made a folder for the relative path"; return 1; }
}
check "XDG_DATA_HOME is used when absolute and ignored when relative" xdg_data_home

keeps_settings() {
  local folder=$work/h4/.local/share/luckyscope
  mkdir -p "$folder"
  printf 'mine\r\n' >"$folder/luckyscope.dat"
  launch HOME="$work/h4" -- || return 1
  [ "$(cat "$folder/luckyscope.dat")" = $'mine\r' ] || { echo "the user's settings file was changed"; return 1; }
}
check "an existing folder and its settings file are left as they are" keeps_settings

program_and_args() {
  # Files named relative to where the launcher was started keep naming the same files
  # in the program's folder; options, full paths and names after "--" as a file manager
  # or a user gives them.
  (cd "$work" && launch HOME="$work/h5" -- -a "two words" /full/path -- -b) || return 1
  [ "$(sed -n '2,$p' "$record")" = "-a"$'\n'"$work/two words"$'\n/full/path\n--\n'"$work/-b" ] ||
    { echo "arguments: $(sed -n '2,$p' "$record")"; return 1; }
  # Without a program beside it the launcher takes the one on the PATH.
  mv "$bin/luckyscope" "$work/aside"
  launch HOME="$work/h5" --
  local result=$?
  mv "$work/aside" "$bin/luckyscope"
  [ $result -eq 0 ] && [ "$(cat "$record")" = from-path ] || { echo "did not fall back to the PATH"; return 1; }
}
check "the launcher runs the program beside it with the arguments (files as full paths), else the one on the PATH" program_and_args

# Started by a relative path, from another folder than the launcher's; and a HOME that
# reads as an option to the commands that make and enter the folder.
relative_and_dash() {
  (cd "$work" && env -i PATH="$work/path:/usr/bin:/bin" RECORD="$record" HOME="$work/h6" bin/luckyscope-launch) ||
    return 1
  [ "$(head -n1 "$record")" = "$work/h6/.local/share/luckyscope" ] ||
    { echo "bin/luckyscope-launch ran: $(cat "$record")"; return 1; }
  (cd "$bin" && env -i PATH="$work/path:/usr/bin:/bin" RECORD="$record" HOME=-x sh luckyscope-launch) || return 1
  [ "$(head -n1 "$record")" = "$bin/-x/.local/share/luckyscope" ] ||
    { echo "sh luckyscope-launch with HOME=-x ran: $(cat "$record")"; return 1; }
  [ -f "$bin/-x/.local/share/luckyscope/luckyscope.dat" ] || { echo "no settings file under -x"; return 1; }
}
check "a relative start runs the program beside the launcher; HOME=-x is a folder, not an option" relative_and_dash

# Started through a link in another folder, the launcher finds its real self: neither a
# program planted beside the link nor the one on the PATH runs.
through_link() {
  mkdir -p "$work/links"
  ln -sf "$bin/luckyscope-launch" "$work/links/luckyscope-launch"
  printf '#!/bin/sh\necho decoy >"$RECORD"\n' >"$work/links/luckyscope"
  chmod +x "$work/links/luckyscope"
  rm -f "$record"
  env -i PATH="$work/path:/usr/bin:/bin" RECORD="$record" HOME="$work/h7" "$work/links/luckyscope-launch" || return 1
  [ "$(head -n1 "$record")" = "$work/h7/.local/share/luckyscope" ] || { echo "the link ran: $(cat "$record")"; return 1; }
}
check "a launcher started through a link runs the program beside the real launcher" through_link

named_program() {
  launch HOME="$work/h6" LUCKYSCOPE_PROGRAM="$work/path/luckyscope" -- || return 1
  [ "$(cat "$record")" = from-path ] || { echo "did not start the program named in LUCKYSCOPE_PROGRAM"; return 1; }
}
check "LUCKYSCOPE_PROGRAM names the program to start before the one beside the launcher" named_program

refuses() {
  : >"$work/a file"
  if launch HOME="$work/a file" -- 2>/dev/null; then echo "started although the folder cannot be made"; return 1; fi
  [ ! -e "$record" ] || { echo "the program was started"; return 1; }
  if launch -- 2>/dev/null; then echo "started without HOME"; return 1; fi
  [ ! -e "$record" ] || { echo "the program was started without HOME"; return 1; }
}
check "no folder to be had (HOME a file, or unset): an error, and the program is not started" refuses

echo "packaging: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
