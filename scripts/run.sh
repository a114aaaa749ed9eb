#!/usr/bin/env bash
# Installs what is missing, builds Daymark and starts it. Without a display
# Daymark is started under a virtual X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # Wayland clients cannot place their own windows: use XWayland.
  export QT_QPA_PLATFORM=xcb
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Daymark under a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1920x1080x24" build/bin/daymark
fi
exec build/bin/daymark
