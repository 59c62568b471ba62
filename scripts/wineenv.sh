# Sourced by the other scripts: the Wine prefix of one build tree.
# Usage: source scripts/wineenv.sh BUILD_DIR
NL_BUILD_DIR=$(realpath -m "$1")
export WINEPREFIX="$NL_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export LANG=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
NL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Creates the prefix once, with Windows font names mapped to the IPA font so
# Japanese text does not draw as boxes.
nl_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.nodelark-ready" ]; then
    echo "setup: creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    wine regedit "$NL_ROOT/scripts/fonts.reg" >/dev/null 2>&1
    wine regedit "$NL_ROOT/scripts/fonts-unicode.reg" >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.nodelark-ready"
  fi
}

# Keeps one wineserver alive for the whole run, so each later start is cheap.
nl_wineserver_start() {
  wineserver -p </dev/null >/dev/null 2>&1
  # Start Wine's service processes now, outside any test's output pipe:
  # started under ctest they would hold its pipe open and ctest would wait.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}
nl_wineserver_stop() { wineserver -k 2>/dev/null || true; }
