#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's private prefix and X display, code page 936.
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run it and exit with its exit code (the cross-compiling emulator)
#   wine-run.sh --env                   print shell assignments that reach the same prefix and display
#   wine-run.sh --stop                  end this tree's Xvfb and wineserver
#
# Everything lives under build/: the prefix in build/wineprefix, the display's number, X authority
# cookie, lock and logs in build/wine-state. VELTRUN_WINEPREFIX and VELTRUN_WINE_STATE move them,
# for a test that needs a prefix and a display of its own. The first call sets the prefix up and starts Xvfb; later
# calls, also concurrent ones, find both again. An existing $DISPLAY is used only with
# VELTRUN_USE_DISPLAY=1, so tests never depend on the caller's desktop.
#
# Nothing Wine starts may hold the caller's pipes (ctest waits for every holder): Wine's output goes
# to files that are printed once the program has ended, and the servers start detached.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
state=${VELTRUN_WINE_STATE:-$root/build/wine-state}
wineserver_bin=/usr/lib/wine/wineserver64
export WINEPREFIX=${VELTRUN_WINEPREFIX:-$root/build/wineprefix}
# winemenubuilder is off: an installer's shortcuts must not reach the host's own menus.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# Debian's wineserver wrapper starts the server with no persistence; the binary itself keeps it a
# few seconds, so consecutive test programs share one server.
export WINESERVER=$wineserver_bin
# Bump when the prefix settings below change, so existing prefixes are set up again.
prefix_version=1

mkdir -p "$state"

lock() {
  exec 9>"$state/lock"
  flock 9
}

unlock() {
  exec 9>&-
}

# The recorded Xvfb, if it still runs: "NUMBER PID" in $state/display.
xvfb_alive() {
  local n pid
  [ -r "$state/display" ] || return 1
  read -r n pid <"$state/display" || return 1
  [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "Xvfb :$n " || return 1
  DISPLAY=:$n XAUTHORITY=$state/Xauthority xdotool getdisplaygeometry >/dev/null 2>&1
}

# Starts a private Xvfb on a free display number, cookie-protected and without TCP. Caller holds the lock.
start_xvfb() {
  local base n pid tries
  # Start the search at a number derived from this tree so that worktrees rarely collide.
  base=$((100 + $(printf '%s' "$root" | cksum | cut -d' ' -f1) % 400))
  for ((n = base; n < base + 50; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    rm -f "$state/Xauthority"
    touch "$state/Xauthority"
    xauth -q -f "$state/Xauthority" add ":$n" MIT-MAGIC-COOKIE-1 "$(mcookie)" || return 1
    setsid Xvfb ":$n" -auth "$state/Xauthority" -nolisten tcp -screen 0 1280x1024x24 \
      >"$state/xvfb.log" 2>&1 </dev/null 9>&- &
    pid=$!
    for ((tries = 0; tries < 200; tries++)); do
      if DISPLAY=:$n XAUTHORITY=$state/Xauthority xdotool getdisplaygeometry >/dev/null 2>&1; then
        echo "$n $pid" >"$state/display"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  echo "wine-run: could not start Xvfb (see $state/xvfb.log)" >&2
  return 1
}

use_display() {
  if [ "${VELTRUN_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local n pid
  xvfb_alive || start_xvfb || return 1
  read -r n pid <"$state/display"
  export DISPLAY=:$n XAUTHORITY=$state/Xauthority
}

# wine with its output appended to init.log, which the caller prints on failure. Caller holds the lock.
wine_quiet() {
  wine "$@" >>"$state/init.log" 2>&1 </dev/null 9>&-
}

# Creates the prefix once: no window manager here, so Wine draws the captions itself, and the
# dialog font 宋体 is drawn with the installed CJK font.
init_prefix() {
  [ "$(cat "$WINEPREFIX/.veltrun-ready" 2>/dev/null)" = "$prefix_version" ] && return 0
  : >"$state/init.log"
  mkdir -p "$WINEPREFIX"
  local font="WenQuanYi Micro Hei"
  if ! wine_quiet wineboot --init ||
    ! wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f ||
    ! wine_quiet reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 宋体 /d "$font" /f ||
    ! wine_quiet reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d "$font" /f ||
    ! wine_quiet reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 新宋体 /d "$font" /f ||
    ! wine_quiet reg add 'HKCU\Software\Wine\Fonts\Replacements' /v NSimSun /d "$font" /f; then
    cat "$state/init.log" >&2
    echo "wine-run: setting up $WINEPREFIX failed" >&2
    return 1
  fi
  # The server writes the registry to disk when it exits; wait for that before calling it done.
  "$wineserver_bin" -w 9>&-
  echo "$prefix_version" >"$WINEPREFIX/.veltrun-ready"
}

stop_all() {
  local n pid
  "$wineserver_bin" -k >/dev/null 2>&1
  if [ -r "$state/display" ]; then
    read -r n pid <"$state/display"
    xvfb_alive && kill "$pid"
    rm -f "$state/display"
  fi
  return 0
}

case "${1:-}" in
  "")
    echo "usage: $0 PROGRAM.exe [ARGS...] | --env | --stop" >&2
    exit 2
    ;;
  --stop)
    lock
    stop_all
    exit 0
    ;;
esac

lock
use_display || exit 1
init_prefix || exit 1
unlock

if [ "$1" = --env ]; then
  for v in WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES WINESERVER LANG LC_ALL DISPLAY XAUTHORITY; do
    printf 'export %s=%q\n' "$v" "${!v-}"
  done
  exit 0
fi

# A server that outlives single programs saves starting one per test; it leaves after idling.
"$wineserver_bin" -p30 >/dev/null 2>&1 </dev/null

out=$(mktemp "$state/out.XXXXXX")
err=$(mktemp "$state/err.XXXXXX")
wine "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
