# Sourced by the other scripts: the Wine prefix of one build tree.
# Usage: source scripts/wineenv.sh BUILD_DIR
NL_BUILD_DIR=$(realpath -m "$1")
export WINEPREFIX="$NL_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export LANG=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
NL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Creates the prefix once, with Windows font names mapped to the IPA font so
# Japanese text does not draw as boxes.
nl_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.nodelark-ready-2" ]; then
    echo "setup: creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    wine regedit "$NL_ROOT/scripts/fonts.reg" >/dev/null 2>&1
    wine regedit "$NL_ROOT/scripts/fonts-unicode.reg" >/dev/null 2>&1
    # Text files open in Notepad, as on any Windows machine (F1 relies on it).
    wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.nodelark-ready-2"
  fi
}

# A private X display for Wine programs that create windows. Sets DISPLAY and
# NL_XVFB_PID; nl_xvfb_stop ends it by its pid.
nl_xvfb_start() {
  local n
  for n in $(seq 70 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  NL_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
}
nl_xvfb_stop() {
  if [ -n "${NL_XVFB_PID:-}" ]; then kill "$NL_XVFB_PID" 2>/dev/null; wait "$NL_XVFB_PID" 2>/dev/null; fi
  NL_XVFB_PID=
}
