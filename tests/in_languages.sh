#!/usr/bin/env bash
# in_languages.sh --- runs a test program once for each language named, as a user whose Windows
# speaks it. Wine takes the user's, the system's and the interface's language and the ANSI code
# page from LC_ALL (LANG alone is not enough where the machine lacks that locale); each run is
# told in SKYFLARE_LANGUAGE which of the saver's languages that user must get.
#
# usage: in_languages.sh [--unmanaged] <locale>:<language, hexadecimal>[,...] <program> [arguments]
#   e.g. in_languages.sh de_DE:0407,fi_FI:0809 test_dialog.exe --no-skip --test-case="..."
set -u
unmanaged=
if [ "$1" = --unmanaged ]; then
    unmanaged=yes
    shift
fi
IFS=, read -r -a languages <<<"$1"
shift
# Xvfb runs no window manager, for which Wine otherwise waits two seconds as a window closes:
# with --unmanaged, while these runs last, Wine is told that none manages its windows (a test of
# one program's own windows; another program's, such as a setup's question, may then go unseen).
managed='HKCU\Software\Wine\X11 Driver'
if [ -n "$unmanaged" ] && ! wine reg query "$managed" /v Managed >/dev/null 2>&1; then
    wine reg add "$managed" /v Managed /d N /f >/dev/null 2>&1
    trap 'wine reg delete "$managed" /v Managed /f >/dev/null 2>&1' EXIT
fi
status=0
for entry in "${languages[@]}"; do
    echo "== ${entry%%:*}: $*"
    LC_ALL=${entry%%:*}.UTF-8 SKYFLARE_LANGUAGE=${entry#*:} wine "$@"
    code=$?
    # A run that ends before it prints anything says nothing of why: its exit code does.
    [ $code -eq 0 ] || { echo "== ${entry%%:*}: ended with exit code $code"; status=1; }
done
exit $status
