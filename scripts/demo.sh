#!/usr/bin/env bash
# The system's whole life, on throwaway simulated machines: the token library driven from a program, then a
# scripted install that encrypts the machine's files, the restart into the token logon, the key records' rotation
# at the next boot, lock and unlock, the console utilities the install left beside the system (the token's device
# removed and brought back, and a program ended by name), a logon without the token by the Key Answer, a file
# changed while logged on, and the uninstall: its first start restarts into the system's own logon, where the token
# password hands over to the decryption; one file left encrypted on purpose is named in the report and recovered
# into its copy by the File Recovery Tool. Last, on a fresh machine, a token's first password set and registered
# with the web service.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
work=$(mktemp -d /tmp/xpmachine.XXXXXX)
bin="$top/build/bin"
# A booted machine's kernel host outlives the boot, and a web service still running (the demo stopped early) too:
# both stop with the demo (a kept machine boots its kernel again).
finish() {
  "$bin/xpmachine" web stop "$work/home" >/dev/null 2>&1 || true
  for machine in "$work"/*/; do "$bin/xpmachine" kernel stop "$machine" >/dev/null 2>&1 || true; done
  [ -n "${XP_DEMO_KEEP:-}" ] || rm -rf "$work"
}
trap finish EXIT
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
printf 'Rent      700.00\r\nPower      45.10\r\n' > "$docs/ledger.txt"
cp "$docs/ledger.txt" "$work/ledger.txt"
echo "The person's files: a diary and a ledger in My Documents."
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
echo
echo "== 3. The restart: a token logon =="
puzzle() { grep -E ' ui dialog 300 control 1045 ' "$pc/journal.log" | tail -1 | sed 's/.*edit "\(.*\)".*/\1/'; }
# What the person saw and what Winlogon did since the journal's line $1 (the start of the boot).
seen=' ui (box|ctrl-alt-del|dialog [A-Za-z0-9]+ "[^"]*" open|dialog 200 control 206)'
seen+='|winlogon (GINA|logon|restart|shutdown)|MRVVerifyCFK ran'
shown() { tail -n +"$1" "$pc/journal.log" | grep -E "$seen" | cut -d' ' -f3- | cut -c1-110 | sed 's/^/  /'; }
# A boot; its output (the token library's own messages among it) is shown only when it fails. Each script ends
# where the person leaves the machine, logged on or at the welcome screen: xpmachine says that Winlogon stopped
# waiting for Ctrl+Alt+Del (exit code 3), which here is the boot's end.
boot() {
  local script=$1 code=0
  from=$(($(wc -l < "$pc/journal.log") + 1))
  XPMACHINE_UI=script:$script "$bin/xpmachine" boot "$pc" > "$work/boot.out" 2>&1 || code=$?
  if [ "$code" = 3 ] && grep -q 'the UI script ran out: Winlogon stopped waiting for Ctrl+Alt+Del' "$work/boot.out"; then
    code=0
  fi
  [ "$code" = 0 ] || { cat "$work/boot.out"; return 1; }
}
cp "$top/demo/first-logon.script" "$top/demo/next-logon.script" "$top/demo/no-token.script" "$pc/"
echo "xpmachine boot restarts the machine; Winlogon loads logongate, which GinaDLL names."
boot first-logon.script
shown "$from"
first_puzzle=$(puzzle)
echo "The diary through the machine, while the user is logged on (the driver holds the file key):"
"$bin/xpmachine" type "$pc" 'C:\Documents and Settings\Administrator\My Documents\diary.txt' | sed 's/^/  /'
echo "and on the disk, still ciphertext:"
od -A d -t x1 "$docs/diary.txt" | head -2 | sed 's/^/  /'

echo
echo "== 4. The next boot: a new Key Puzzle =="
boot next-logon.script
echo "The Key Puzzle at the first logon: $first_puzzle"
echo "and at this one:                  $(puzzle)  (the key records rotate at each boot's first token logon)"

echo
echo "== 5. The console utilities =="
# The utilities change the disk behind the kernel's back (a driver file goes): the kernel writes back and stops first.
"$bin/xpmachine" kernel stop "$pc"
folder='C:\Program Files\Quillmarsh\Tavik\XP'
# Runs an installed utility in the machine; its output is indented, its exit code kept in $code.
utility() {
  local name=$1; shift
  if "$bin/xpmachine" run "$pc" "$folder\\$name.exe" "$@" > "$work/out" 2>/dev/null; then code=0; else code=$?; fi
  sed 's/^/  /' "$work/out"; [ -s "$work/out" ] && [ -n "$(tail -c1 "$work/out")" ] && echo
  return 0
}
utility tokenping; echo "tokenping says $code: a token is plugged in"
echo "Remove with a lower-case prefix of the token's hardware ID:"
utility Remove 'usb\vid_7a5c'; echo "  (exit code $code)"
"$bin/xpmachine" device list "$pc" | grep -E 'INSTANCE|VID_7A5C' | sed 's/^/  /'
utility tokenping; echo "tokenping says $code: the token is still in its socket, but no longer in the device tree"
echo "Its driver file goes too, as if it had never been installed; Install puts it back from the driver folder:"
rm "$pc/drives/C/WINDOWS/system32/drivers/nubousb.sys"
utility Install "$folder\\Driver" nubousb.inf; echo "  (exit code $code)"
"$bin/xpmachine" token unplug "$pc" > /dev/null
"$bin/xpmachine" token plug "$pc"
utility tokenping; echo "tokenping says $code: the token is back"
echo "prockill ends a running program by its name, in any letter case:"
cp "$(command -v sleep)" "$pc/drives/C/WINDOWS/notepad.exe"
( "$bin/xpmachine" run "$pc" 'C:\WINDOWS\notepad.exe' 600; true ) 2>/dev/null &
notepad=$!
until "$bin/xpmachine" ps "$pc" | grep -q 'running .*notepad.exe'; do sleep 0.1; done
utility prockill NOTEPAD.EXE; echo "  prockill NOTEPAD.EXE: exit code $code"
wait "$notepad" || true
utility prockill NOTEPAD.EXE; echo "  prockill NOTEPAD.EXE again: nothing matches"
utility prockill; echo "  prockill without an argument"
echo "The process table keeps each exit code whole (a Linux exit status keeps 8 bits):"
"$bin/xpmachine" ps "$pc" | grep -E 'IMAGE|notepad|prockill' | sed 's/^/  /'

echo
echo "== 6. A logon without the token: the Key Answer =="
"$bin/xpmachine" token unplug "$pc"
boot no-token.script
shown "$from"
answer=$("$bin/xpmachine" token answer "$pc" "$(puzzle)")
echo "The web service's Key Answer to $(puzzle): $answer"
cat > "$pc/key-answer.script" <<SCRIPT
dialog 100: enter
dialog 300: click 1048; type 1008 "$answer"; click 203
dialog 1500: type 1502 "Administrator"; type 1504 "admin"; click IDOK
SCRIPT
boot key-answer.script
shown "$from"
echo "The diary through the machine, opened by the Key Answer:"
"$bin/xpmachine" type "$pc" 'C:\Documents and Settings\Administrator\My Documents\diary.txt' | sed 's/^/  /'

echo
echo "== 7. Use: a file changed while logged on =="
diary='C:\Documents and Settings\Administrator\My Documents\diary.txt'
echo "A program of the machine adds a line to the diary (the driver encrypts what it writes); read back through it:"
"$bin/xpmachine" run "$pc" "$bin/append_line" "$diary" 'Written while logged on by the Key Answer.'
"$bin/xpmachine" type "$pc" "$diary" | sed 's/^/  /'
echo "and on the disk, ciphertext of the new length ($(wc -c < "$docs/diary.txt") bytes):"
od -A d -t x1 "$docs/diary.txt" | tail -3 | sed 's/^/  /'

echo
echo "== 8. The uninstall: its first start =="
cp "$top/demo/uninstall-start.script" "$top/demo/uninstall.script" "$pc/"
from=$(($(wc -l < "$pc/journal.log") + 1))
echo "The person starts diskunseal from the install folder, still logged on, and answers its two warnings:"
code=0
XPMACHINE_UI=script:uninstall-start.script "$bin/xpmachine" run "$pc" "$folder\\diskunseal.exe" > "$work/out" 2>&1 ||
  code=$?
# The first start ends with exit code 1 once it has asked for the restart.
[ "$code" = 1 ] || { cat "$work/out"; exit 1; }
seen+='|restart requested'
shown "$from"
echo "The registry it leaves for the restart:"
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Quillmarsh\Tavik\driver' /v nostart | sed '/^$/d; s/^/  /'
"$bin/xpmachine" reg query "$pc" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon' /v GinaDLL |
  sed '/^$/d; s/^/  /'
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' | sed '/^$/d; s/^/  /'

echo
echo "== 9. The uninstall: the restart and the decryption =="
"$bin/xpmachine" token plug "$pc"
echo "One file will not decrypt: the machine fails every rename of ledger.txt (error 32, the file is in use)."
"$bin/xpmachine" fault arm "$pc" fail MoveFileA times=0 error=32 'path=\ledger.txt'
# What the person did in the uninstaller's dialogs too (the password shows masked).
seen+='|ui dialog (102|139): '
echo "The restart: the system's own logon, RunOnce brings diskunseal's main dialog, the token's password hands over;"
echo "the engine asks, decrypts, shows its report, and at its end the person asks for the File Recovery Tool:"
boot uninstall.script
"$bin/xpmachine" fault clear "$pc"
shown "$from"
# What follows reads the disk itself: the kernel writes its cache back and stops first.
"$bin/xpmachine" kernel stop "$pc"
installed="$pc/drives/C/Program Files/Quillmarsh/Tavik/XP"
echo "The report it showed (MorvelReport.txt from its first \"Decryption Log\" line) names the file and the key:"
sed -n '/Decryption Log/,$p' "$installed/MorvelReport.txt" | tr -d '\r' | sed '/^$/d' | cut -c1-110 | sed 's/^/  /'
echo "The diary on the disk, plain text again, with the line added while logged on:"
tr -d '\r' < "$docs/diary.txt" | sed 's/^/  /'
echo "The registry after it: no \"Tavik\" key under Quillmarsh, \"Decrypted\" is \"1\", and Winlogon has no GinaDLL"
echo "(it loads the system's own msgina.dll) and runs only the system's Userinit:"
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Quillmarsh' | sed '/^$/d; s/^/  /'
"$bin/xpmachine" reg query "$pc" 'HKLM\SOFTWARE\Quillmarsh\morvelFlag' /v Decrypted | sed '/^$/d; s/^/  /'
"$bin/xpmachine" reg query "$pc" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Winlogon' |
  grep -E '^HKEY|^ +(GinaDLL|Userinit) ' | sed 's/^/  /'
echo "The driver's service, which the install created, is gone too:"
{ "$bin/xpmachine" reg query "$pc" 'HKLM\SYSTEM\CurrentControlSet\Services\Morvel' 2>&1 || true; } | sed 's/^/  /'

echo
echo "== 10. The recovery =="
echo "The file the uninstall left encrypted, as its round listed it (MorvelSpecials1.txt):"
tr -d '\r' < "$installed/MorvelSpecials1.txt" | sed 's/^/  /'
echo "ledger.txt on the disk, still ciphertext (the recovery never changes it):"
od -A d -t x1 "$docs/ledger.txt" | head -2 | sed 's/^/  /'
echo "recoverkit took the key from the report and wrote the plaintext beside it, ledger.txt.H2K:"
tr -d '\r' < "$docs/ledger.txt.H2K" | sed 's/^/  /'
cmp "$work/ledger.txt" "$docs/ledger.txt.H2K"
echo "  ledger.txt.H2K equals the ledger of before the install, byte for byte."
echo
echo "== 11. A password and its registration =="
home="$work/home"
"$bin/xpmachine" new "$home" --token-seed 13 > /dev/null
echo "A fresh machine; the web service starts for it (its names in the machine's hosts table, on loopback ports):"
"$bin/xpmachine" web start "$home" | sed 's/^/  /'
# What the outside installer leaves for the two programs: the registration program where the password program
# starts it, and the client's web-service settings.
mkdir -p "$home/drives/C/Program Files/Quillmarsh/Tavik/XP"
cp "$bin/tokenreg" "$home/drives/C/Program Files/Quillmarsh/Tavik/XP/tokenreg.exe"
client='HKLM\SOFTWARE\Teradolm\Ferrowind\3.0.0'
"$bin/xpmachine" reg add "$home" "$client" /v ServerPath /d client.teradolm.test/tavik/ > /dev/null
"$bin/xpmachine" reg add "$home" "$client" /v SSL /d 1 > /dev/null
"$bin/xpmachine" reg add "$home" "$client" /v testing /d 0 > /dev/null
cp "$top/demo/register.script" "$home/register.script"
echo "tokenpass sets the token's first password; the person accepts registration, and tokenreg registers:"
XPMACHINE_UI=script:register.script "$bin/xpmachine" run "$home" "$bin/tokenpass" > /dev/null 2>&1
# The browser tokenreg hands the registration page to runs on by itself: wait (ten seconds at most) until it is done.
for _ in $(seq 100); do
  grep -q ' browser opens ' "$home/journal.log" && ! "$bin/xpmachine" ps "$home" | grep -q 'running .*browser' && break
  sleep 0.1
done
echo "What the person saw (from the machine's journal):"
grep -E ' ui (box|dialog [A-Za-z0-9]+ "[^"]*" open)| browser opens ' "$home/journal.log" | cut -d' ' -f3- |
  cut -c1-110 | sed 's/^/  /'
echo "The requests the web service got (scheme, port, method, target, version, host, agent):"
cut -c1-110 "$home/web/requests.log" | sed 's/^/  /'
echo "What it recorded (verdict, ESN, session, p0, p1, password):"
sed 's/^/  /' "$home/web/registrations.log"
echo "The token afterwards:"
"$bin/xpmachine" token show "$home" | grep -E '^(password|counter)  ' | sed 's/^/  /'
"$bin/xpmachine" web stop "$home" && echo "The web service has stopped."
