#!/usr/bin/env bash
# own_prefix.sh --- runs test programs in a fresh Wine prefix of their own, of the given kind of
# Windows (win64, or win32 for a pure 32-bit Windows), on the display in $DISPLAY. A program
# that faults there ends at once with a backtrace instead of waiting in a crash dialog.
#
# usage: own_prefix.sh <prefix folder> <win64|win32> [<program> [arguments] [-- <program> ...]]
# With no program it only makes the prefix (./run boots its own prefixes so). With SKYFLARE_DPI
# set, the prefix's display is scaled to that many dots per inch (96 is 100 %); with
# SKYFLARE_DESKTOP set (as 800x600), its programs run in a Wine virtual desktop of that size,
# whose size a program can change as on Windows.
set -eu
export WINEPREFIX=$1 WINEARCH=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift 2
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Chinese, Japanese and Korean letters, for the dialogs and setups in those languages.
bash "$(dirname "$0")/east_asian_fonts.sh"
if [ -n "${SKYFLARE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$SKYFLARE_DPI" /f >/dev/null 2>&1
fi
if [ -n "${SKYFLARE_DESKTOP:-}" ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$SKYFLARE_DESKTOP" /f >/dev/null 2>&1
fi
wineserver -w

status=0
run_one() {
    echo "== $* (in a $WINEARCH prefix of its own)"
    wine "$@" || status=1
}
program=()
for argument in "$@"; do
    if [ "$argument" = "--" ]; then
        run_one "${program[@]}"
        program=()
    else
        program+=("$argument")
    fi
done
[ ${#program[@]} -eq 0 ] || run_one "${program[@]}"
exit $status
