#!/bin/bash
# Saves the documentation screenshots to docs/screenshots/: the main window on
# the Wake List page and on the Command Log page, the tool registration
# dialog, the About box, the entry sheet, the Wake List after a wake run,
# a tool run over every entry, and the network scan box, with a small sample
# data file and three tools. Nodelark runs inside network namespaces made for
# this run only, with its own Wine prefix copy and Xvfb.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/win)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build/win}")
OUT="$ROOT/docs/screenshots"
EXE="$BUILD/src/Nodelark.exe"
cd "$ROOT"

source "$ROOT/tests/lib/netns.sh"
NL_NS_LABEL=screenshots
[ -f "$EXE" ] || nl_ns_fail "missing $EXE (build first: bash scripts/test.sh or cmake --build)"
APP_PID=
end_app() { [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null; APP_PID=; }
NL_NS_EXTRA_CLEANUP=end_app
# An office LAN for the scan box to find: a switch with a router and four
# computers, two of them registered in the sample data (same hardware
# addresses), three with names.
office_lan() {
  nl_ns_add_switch 192.168.10.2/24 "192.168.10.1/24 00-90-FE-12-00-01 router.office.test" \
    "192.168.10.5/24 D0-50-99-A1-02-C3 fs01.office.test" "192.168.10.21/24 00-1B-21-3A-4F-01 keiri-tanaka.office.test" \
    "192.168.10.48/24 F4-4D-30-6E-2B-9A somu-kato.office.test" "192.168.10.63/24 00-15-5D-0A-33-71" || return 1
  ip -n "$NL_NS_APP" route add default via 192.168.10.1
}
NL_NS_TOPOLOGY=office_lan
nl_ns_setup screenshots nlshot nlsh "$BUILD"

DATA=$(nl_ns_data_folder) || nl_ns_fail "no application data folder"
mkdir -p "$DATA" "$OUT"

# A handful of entries as an office might keep them.
python3 - "$DATA/Ent.dat" <<'PY'
import struct, sys

def text(s, size):
    b = s.encode("cp932")
    return b + b"\0" * (size - len(b))

def when(y, mo, d, h, mi, s):
    return struct.pack("<8H", y, mo, 0, d, h, mi, s, 0) if y else b"\0" * 16

entries = [
    ("経理部 田中PC", (192, 168, 10, 21), "00-1B-21-3A-4F-01", "KEIRI-TANAKA", "東京本社 3階 経理部", "毎朝 8:30 に起動", (2024, 5, 13, 8, 30, 2), 0),
    ("営業部 佐藤ノート", (192, 168, 10, 35), "3C-52-82-11-AB-7E", "EIGYO-SATO", "東京本社 2階 営業部", "出張時は除外", (2024, 5, 10, 9, 0, 11), 1),
    ("設計部 CADワークステーション", (192, 168, 20, 12), "00-0E-C6-88-21-5D", "SEKKEI-CAD01", "大阪支社 4階 設計室", "夜間レンダリング用", (2024, 5, 13, 7, 45, 40), 0),
    ("ファイルサーバー", (192, 168, 10, 5), "D0-50-99-A1-02-C3", "FS01", "東京本社 サーバー室", "停電後に手動で起動", (0, 0, 0, 0, 0, 0), 0),
    ("会議室 山田用PC", (192, 168, 30, 44), "70-85-C2-5E-19-F0", "KAIGI-A", "名古屋営業所 会議室A", "会議の10分前に起動", (2024, 5, 9, 13, 50, 5), 0),
    ("倉庫 在庫管理端末", (192, 168, 40, 7), "00-23-24-6C-D9-12", "SOUKO-ZAIKO", "札幌倉庫 事務所", "", (2024, 4, 30, 6, 55, 0), 0),
]
out = bytearray()
for i, (name, ip, mac, host, place, comment, sent, excluded) in enumerate(entries, 1):
    rec = struct.pack("<i", i) + text(name, 128) + bytes(ip) + bytes((255, 255, 255, 0))
    rec += struct.pack("<i", 9) + bytes(int(x, 16) for x in mac.split("-")) + b"\0" * 6
    rec += text(host, 256) + text(place, 256) + text(comment, 256)
    rec += when(*sent) + when(2024, 4, 1, 10, 0, 0) + when(2024, 4, 22, 17, 12, 33)
    rec += struct.pack("<i", excluded)
    assert len(rec) == 976
    out += rec
open(sys.argv[1], "wb").write(out)
PY
[ -s "$DATA/Ent.dat" ] || nl_ns_fail "cannot write the sample data file"

# Registered tools, as the registration dialog writes them. The third is the
# project's console test child, which the tool-run shot runs for every entry
# (nothing it does touches the network). The Command Log shows its path, so
# it sits where a user keeps such a tool, not in a build folder.
[ -f "$BUILD/src/NlChild.exe" ] || nl_ns_fail "missing $BUILD/src/NlChild.exe"
mkdir -p "$WINEPREFIX/drive_c/Tools"
cp "$BUILD/src/NlChild.exe" "$WINEPREFIX/drive_c/Tools/alivecheck.exe" || nl_ns_fail "cannot copy the tool"
CHILD_WIN='C:\Tools\alivecheck.exe'
python3 - "$DATA/Tools.ini" "$CHILD_WIN" <<'PY'
import sys
tools = [
    ("疎通確認 (ping)", 1, "C:\\Windows\\System32\\ping.exe", "-n 2 $(IP)", "", 10000, 1),
    ("リモートデスクトップ接続", 1, "mstsc.exe", "/v:$(HOST)", "", 0, 1),
    ("稼働確認", 2, sys.argv[2], '-w "確認中: $(HOST) ($(IP))\\r\\n" -w "MAC $(MAC) 応答あり\\r\\n"', "", 30000, 0),
]
lines = []
for n, (title, style, command, argv, folder, timeout, show) in enumerate(tools, 1):
    lines += ["[Tool%d]" % n, "IsEnable=1", "Title=" + title, "ExecStyle=%d" % style, "Command=" + command,
              "Argv=" + argv, "ArgvFlag=0x00000000", "WorkFolder=" + folder, "Timeout=%d" % timeout,
              "ShowWindow=%d" % show]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("cp932"))
PY

# Two of the sample computers answer from the peer's side of the link, for
# the status column; the others are on subnets nobody routes here.
VA=$(ip -n "$NL_NS_APP" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1 | head -1)
VB=$(ip -n "$NL_NS_PEER" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1 | head -1)
ip -n "$NL_NS_APP" addr add 192.168.10.2/24 dev "$VA" && ip -n "$NL_NS_PEER" addr add 192.168.10.1/24 dev "$VB" &&
  ip -n "$NL_NS_PEER" addr add 192.168.10.21/32 dev "$VB" && ip -n "$NL_NS_PEER" addr add 192.168.10.5/32 dev "$VB" ||
  nl_ns_fail "cannot add the sample computers"
in_app wine "$EXE" </dev/null >/dev/null 2>&1 &
APP_PID=$!

# The first visible X window whose name is exactly the given one.
find_window() {
  local id
  for _ in $(seq 100); do
    id=$(in_app xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# Crops a screen capture to the window's rectangle, so the shot is what the
# window draws, frame included.
shoot() {
  local id=$1 file=$2 x y w h
  eval "$(in_app xdotool getwindowgeometry --shell "$id")"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  sleep 1
  in_app import -window root "$NL_NS_TMP/root.png" || nl_ns_fail "import"
  convert "$NL_NS_TMP/root.png" -crop "${w}x${h}+${x}+${y}" +repage "$OUT/$file" || nl_ns_fail "convert"
  echo "screenshots: $OUT/$file (${w}x${h})"
}

MAIN=$(find_window Nodelark) || nl_ns_fail "main window did not appear"
in_app xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
sleep 2
shoot "$MAIN" wake-list.png
# The list scrolled to its last column, the status: clicks in the
# horizontal scroll bar's trough, right of its thumb, then back left.
eval "$(in_app xdotool getwindowgeometry --shell "$MAIN")"
for _ in 1 2 3; do in_app xdotool mousemove --window "$MAIN" $((WIDTH - 60)) $((HEIGHT - 41)) click 1; sleep 0.3; done
sleep 1
shoot "$MAIN" status-column.png
for _ in 1 2 3; do in_app xdotool mousemove --window "$MAIN" 40 $((HEIGHT - 41)) click 1; sleep 0.3; done
sleep 0.5

in_app xdotool key --clearmodifiers ctrl+Tab
sleep 1
shoot "$MAIN" command-log.png
in_app xdotool key --clearmodifiers ctrl+Tab
sleep 1

in_app xdotool key --clearmodifiers alt+h
sleep 0.5
in_app xdotool key a
ABOUT=$(in_app xdotool search --onlyvisible --pid "$(in_app xdotool getwindowpid "$MAIN")" --name . 2>/dev/null | grep -vx "$MAIN" | head -1)
[ -n "$ABOUT" ] || nl_ns_fail "About box did not appear"
shoot "$ABOUT" about.png
in_app xdotool key Escape
sleep 0.5
# The registration dialog, from the Tools menu, showing tool 1.
in_app xdotool key --clearmodifiers alt+t
sleep 0.5
in_app xdotool key e
TOOLS=$(find_window "ﾂｰﾙの登録") || nl_ns_fail "registration dialog did not appear"
shoot "$TOOLS" tools-dialog.png
in_app xdotool key Escape
sleep 0.5

# The entry sheet over the first entry: select all, then "ｴﾝﾄﾘ編集" edits
# the first selected row.
in_app xdotool key --clearmodifiers ctrl+a
sleep 0.3
in_app xdotool key --clearmodifiers alt+e
sleep 0.5
in_app xdotool key e
SHEET=$(find_window "エントリ設定") || nl_ns_fail "entry sheet did not appear"
shoot "$SHEET" entry-dialog.png
in_app xdotool key Escape
sleep 0.5
# Ctrl+R inverts the selection back to none.
in_app xdotool key --clearmodifiers ctrl+r
sleep 0.3

# The scan box (編集 > ﾈｯﾄﾜｰｸから検索) on the office LAN above; it sweeps the
# switch's subnet as soon as it opens.
in_app xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
in_app xdotool key --clearmodifiers alt+e
sleep 0.5
in_app xdotool key n
SCAN=$(find_window "ﾈｯﾄﾜｰｸから検索") || nl_ns_fail "scan box did not appear"
sleep 8
shoot "$SCAN" net-scan.png
in_app xdotool key Escape
sleep 0.5

# A wake run over the sample entries (ファイル > MagicPacket送信 > 全エントリに送信);
# the packets stay inside the namespaces. The shot shows the state images.
in_app xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
in_app xdotool key --clearmodifiers alt+f
sleep 0.5
in_app xdotool key w
sleep 0.3
in_app xdotool key w
sleep 4
shoot "$MAIN" wake-run.png

# Tool 3 from the tools menu, for all six entries; shot once the last
# command's completion is in the log file.
in_app xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
in_app xdotool key --clearmodifiers alt+t
sleep 0.5
in_app xdotool key 3
for _ in $(seq 150); do
  done_count=$(iconv -f CP932 -t UTF-8 "$DATA/Nodelark.log" 2>/dev/null | grep -c 'ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=')
  [ "${done_count:-0}" -ge 6 ] && break
  sleep 0.2
done
[ "${done_count:-0}" -ge 6 ] || echo "screenshots: the tool run did not finish in time" >&2
sleep 1
shoot "$MAIN" tool-run.png

# Alt+F4 closes it as a user would; the clean-up ends whatever is left.
in_app xdotool key --clearmodifiers alt+F4
for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.2; done
end_app
