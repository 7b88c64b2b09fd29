#!/usr/bin/env bash
# Opens Veltrun.exe of a Windows build under Wine and saves a screenshot of its main dialog.
#
#   run-dialog.sh BUILD_DIR
#
# With a $DISPLAY the dialog opens there and stays until it is closed; without one it opens in the
# project's private Xvfb and is closed again after the screenshot.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
exe=$build/app/Veltrun.exe
shot=$build/artifacts/run-dialog.png
[ -f "$exe" ] || { echo "run-dialog: $exe not found; build the windows preset first" >&2; exit 1; }
mkdir -p "$(dirname "$shot")"

interactive=0
if [ -n "${DISPLAY:-}" ]; then
  interactive=1
  export VELTRUN_USE_DISPLAY=1
fi
eval "$("$here/wine-run.sh" --env)"

"$here/wine-run.sh" "$exe" &
app=$!

# Wine names each top-level X window's class after the program.
window=
for ((i = 0; i < 600; i++)); do
  window=$(xdotool search --onlyvisible --classname '^veltrun\.exe$' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || { echo "run-dialog: Veltrun.exe ended before its dialog showed" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "run-dialog: no dialog after 60 s" >&2; kill "$app"; exit 1; }

# The first paint follows the mapping; wait until the window stops changing.
previous=
for ((i = 0; i < 50; i++)); do
  import -window "$window" "$shot.tmp.png" 2>/dev/null || true
  current=$(md5sum <"$shot.tmp.png" 2>/dev/null || true)
  [ -n "$current" ] && [ "$current" = "$previous" ] && break
  previous=$current
  sleep 0.1
done
mv "$shot.tmp.png" "$shot"
echo "run-dialog: screenshot of the dialog saved to $shot"

if [ "$interactive" = 1 ]; then
  echo "run-dialog: the dialog is open on $DISPLAY; close it to finish"
else
  "$here/wine-run.sh" taskkill /im Veltrun.exe >/dev/null 2>&1 || true
fi
wait "$app"
