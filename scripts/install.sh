#!/usr/bin/env bash
# Installs Quorvane for the current user as a desktop program: the program folder in
# $XDG_DATA_HOME/quorvane (options.ini beside the program stays writable), an entry in the
# application menu with the bar's icon, and on request an entry that starts the bar at login.
# No root needed.
#
#   install.sh [--autostart] [--build DIR]  install or upgrade; --autostart: start it at login too;
#                                           DIR: a tree already built (else build/ is built)
#   install.sh --no-autostart               no longer start it at login
#   install.sh --uninstall [--purge]        remove it; keeps options.ini, schedule.txt and your own
#                                           sounds unless --purge is given
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  if [ "$1" = 0 ]; then
    sed -n '7,11s/^# \{0,1\}//p' "$0"
  else
    sed -n '7,11s/^# \{0,1\}//p' "$0" >&2
  fi
  exit "$1"
}

action=install autostart=keep purge=0 build=""
while [ $# -gt 0 ]; do
  case $1 in
    --autostart) autostart=on ;;
    --no-autostart) action=no-autostart ;;
    --uninstall) action=uninstall ;;
    --purge) purge=1 ;;
    --build) [ $# -ge 2 ] || usage 2; build=$2; shift ;;
    -h | --help) usage 0 ;;
    *) echo "install.sh: unknown option $1" >&2; usage 2 ;;
  esac
  shift
done
if { [ $purge = 1 ] && [ $action != uninstall ]; } \
  || { [ $autostart = on ] && [ $action != install ]; }; then
  usage 2
fi

# The base directory rules: an unset, empty or relative value means the default.
data=${XDG_DATA_HOME:-}
[[ $data == /* ]] || data=$HOME/.local/share
config=${XDG_CONFIG_HOME:-}
[[ $config == /* ]] || config=$HOME/.config
appdir=$data/quorvane
entry=$data/applications/quorvane.desktop
login_entry=$config/autostart/quorvane.desktop

running() {
  [ -e "$appdir/quorvane.lock" ] && ! flock -n "$appdir/quorvane.lock" true
}

place_login_entry() {
  mkdir -p "$(dirname "$login_entry")"
  { cat "$entry"; echo "X-GNOME-Autostart-enabled=true"; } >"$login_entry.new"
  chmod 644 "$login_entry.new"
  mv "$login_entry.new" "$login_entry"
}

case $action in
  no-autostart)
    rm -f "$login_entry"
    echo "Quorvane no longer starts at login."
    ;;

  install)
    if [ -z "$build" ]; then
      "$top/scripts/install-deps.sh"
      "$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release
      build=$top/build
    fi
    # The install step writes each program file anew and renames it into place, so a running
    # bar keeps the program it started with.
    cmake --install "$build" --prefix "$data" --strip
    if [ $autostart = on ] || [ -e "$login_entry" ]; then
      place_login_entry
    fi
    echo
    echo "Quorvane is installed in $appdir and listed in the application menu."
    if [ -e "$login_entry" ]; then
      echo "It starts at login ($login_entry)."
    fi
    if running; then
      echo "A bar is running from there: the new program runs from its next start."
    fi
    ;;

  uninstall)
    if running; then
      echo "A bar is running from $appdir; close it (menu, Close) and uninstall again." >&2
      exit 1
    fi
    rm -f "$entry" "$login_entry" "$data"/icons/hicolor/*/apps/quorvane.png
    for dir in "$data"/icons/hicolor/*/apps; do
      rmdir "$dir" "$(dirname "$dir")" 2>/dev/null || true
    done
    rmdir "$data/icons/hicolor" "$data/icons" 2>/dev/null || true
    [ -d "$appdir" ] || { echo "Quorvane was not installed in $appdir."; exit 0; }
    if [ $purge = 1 ]; then
      rm -rf "$appdir"
      echo "Removed Quorvane and its folder $appdir with everything in it."
      exit 0
    fi
    rm -f "$appdir/quorvane" "$appdir/quorvane-schedule" "$appdir/quorvane-sound.so" \
      "$appdir/quorvane.lock"
    # Only the sounds still as an install left them go; an alarm you changed or added stays.
    if [ -e "$appdir/.installed" ]; then
      while read -r sum rel; do
        file=$appdir/$rel
        if [ -f "$file" ] && [ "$(sha256sum <"$file" | cut -d' ' -f1)" = "$sum" ]; then
          rm -f "$file"
        fi
      done <"$appdir/.installed"
      rm -f "$appdir/.installed"
    fi
    rmdir "$appdir/sounds" 2>/dev/null || true
    rmdir "$appdir" 2>/dev/null || true
    echo "Removed Quorvane."
    if [ -d "$appdir" ]; then
      echo "Kept in $appdir (remove with --uninstall --purge):"
      (cd "$appdir" && find . -mindepth 1 -type f | sed 's|^\./|  |' | sort)
    fi
    ;;
esac
