#!/bin/sh
# Starts LuckyScope from the desktop's menu in a folder of the user's own.
#
# The program keeps its settings file (luckyscope.dat) in the folder it is started in,
# and looks for bare data-file names there too. A menu entry starts programs in no
# particular folder, so this launcher gives the program one:
# ${XDG_DATA_HOME:-~/.local/share}/luckyscope, made on first use. To work in another
# folder, run `luckyscope` from a terminal in that folder instead.
set -eu

# The folder this launcher really lies in, found before anything changes the current
# folder and with every link on the way resolved, so that a launcher started by a
# relative path ("./luckyscope-launch", "bin/...") or through a link from another folder
# (~/bin/luckyscope-launch -> /usr/bin/luckyscope-launch) still finds the program beside
# it rather than whatever is first on the PATH.
case $0 in
  */*) self=$0 ;;
  *) self=./$0 ;;  # started as "sh luckyscope-launch": it lies in the current folder
esac
if resolved=$(readlink -f -- "$self" 2>/dev/null) && [ -n "$resolved" ]; then
  self=$resolved
fi
here=${self%/*}
[ -n "$here" ] || here=/
case $here in
  /*) ;;
  *) here=$PWD/$here ;;
esac

# XDG_DATA_HOME counts only when it is an absolute path.
case "${XDG_DATA_HOME:-}" in
  /*) data_home=$XDG_DATA_HOME ;;
  *)
    if [ -z "${HOME:-}" ]; then
      echo "luckyscope-launch: HOME is not set, so there is no folder to start LuckyScope in." >&2
      exit 1
    fi
    data_home=$HOME/.local/share
    ;;
esac
folder=$data_home/luckyscope

# The files to open (a file manager passes full paths; a terminal may pass names in the
# current folder) keep naming the same files once the folder has changed. Options stay
# as they are, up to "--".
options=1
for arg do
  shift
  case $options:$arg in
    1:--) options= ;;
    1:-?*) ;;
    *: | *:/*) ;;
    *) arg=$PWD/$arg ;;
  esac
  set -- "$@" "$arg"
done

if [ ! -d "$folder" ]; then
  mkdir -p -- "$folder"
  # A new folder gets the settings file with every setting at its default, exactly as
  # the program writes it, so that the first start does not report a missing file.
  printf '[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n' >"$folder/luckyscope.dat"
fi
cd -- "$folder"

# A program named in LUCKYSCOPE_PROGRAM comes first: tools/run.sh starts the one it built.
if [ -n "${LUCKYSCOPE_PROGRAM:-}" ]; then
  exec "$LUCKYSCOPE_PROGRAM" "$@"
fi

# The program installed beside this launcher; failing that, the one on the PATH.
if [ -x "$here/luckyscope" ]; then
  exec "$here/luckyscope" "$@"
fi
exec luckyscope "$@"
