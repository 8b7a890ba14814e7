#!/usr/bin/env bash
# The system's main job today, on throwaway simulated machines: the token library driven from a program, then a
# scripted install that encrypts the machine's files and asks for a restart.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
work=$(mktemp -d /tmp/xpmachine.XXXXXX)
trap 'rm -rf "$work"' EXIT
bin="$top/build/bin"
export XPMACHINE_CLOCK=virtual

echo "== 1. The token =="
"$bin/xpmachine" new "$work/pc" --token-seed 7
"$bin/xpmachine" token show "$work/pc" | head -3
"$bin/xpmachine" run "$work/pc" "$bin/token_demo"
echo "The token afterwards (its failed-attempt counter counts the last wrong password):"
"$bin/xpmachine" token show "$work/pc" | grep -E '^(password|counter|status)'

echo
echo "== 2. An install =="
pc="$work/office"
"$bin/xpmachine" new "$pc" --token-seed 11
docs="$pc/drives/C/Documents and Settings/Administrator/My Documents"
mkdir -p "$docs"
printf 'Dear diary,\r\nthe disk is about to be encrypted.\r\n' > "$docs/diary.txt"
cp "$top/demo/BOOT.INI" "$pc/drives/C/BOOT.INI"
cp "$top/demo/install.script" "$pc/install.script"
echo "The outside installer copies the system in and starts diskseal; a script plays the person at the screen."
# diskseal ends every running program of the user before it encrypts, the installer too: it ends with code 1.
XPMACHINE_UI=script:install.script "$bin/xpmachine" run "$pc" "$bin/tavik_setup" 2>/dev/null || true
echo "What the person saw (from the machine's journal):"
grep -E ' ui (box|dialog [0-9]+ "[^"]*" open)' "$pc/journal.log" | cut -d' ' -f3- | cut -c1-110 | sed 's/^/  /'
grep -E 'restart requested' "$pc/journal.log" | cut -d' ' -f3- | sed 's/^/  /'
echo "The registry now:"
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Quillmarsh\morvelFlag' | sed '/^$/d; s/^/  /'
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon' | sed '/^$/d; s/^/  /'
echo "The diary on the disk (it was plain text; now it holds the system's format, same length):"
od -A d -t x1 "$docs/diary.txt" | head -3 | sed 's/^/  /'
echo "The diary through the machine, once the driver holds the key (as the logon component will hand it over):"
"$bin/xpmachine" run "$pc" "$bin/hand_over_key" Secret12 2>/dev/null | sed 's/^/  /'
"$bin/xpmachine" type "$pc" 'C:\Documents and Settings\Administrator\My Documents\diary.txt' | sed 's/^/  /'
"$bin/xpmachine" kernel stop "$pc"
echo "The restart's logon goes through the logon component that GinaDLL names; it is not built yet, so the demo"
echo "stops here (the tests boot for real and log on through the system's own logon in its place)."
