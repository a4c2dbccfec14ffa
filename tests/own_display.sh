#!/usr/bin/env bash
# own_display.sh --- runs a command on a virtual display of its own: either two monitors side by
# side (an Xephyr display of two screens joined by Xinerama, RandR off, or Wine sees one monitor,
# inside a virtual display: the primary 640 x 480, the second as large or of the size given), or
# one screen of a given size, in true colour or of the depth given (8: a palette display of 256
# colours). The command finds the display in $DISPLAY.
#
# usage: own_display.sh two-monitors[:<width>x<height>]|<width>x<height>[x<depth>] <command> [arguments]
set -eu

free_display() {
    n=$1
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    echo "$n"
}
wait_display() {
    waited=0
    until [ -e "/tmp/.X11-unix/X$1" ]; do
        sleep 0.1
        waited=$((waited + 1))
        [ $waited -lt 300 ] || { echo "own_display: display :$1 did not start" >&2; exit 1; }
    done
}

host_pid= monitors_pid=
finish() {
    [ -z "$monitors_pid" ] || kill "$monitors_pid" 2>/dev/null || true
    [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
}
trap finish EXIT

kind=$1
shift
host=$(free_display 120)
if [ "${kind%%:*}" = two-monitors ]; then
    second=640x480
    [ "$kind" = two-monitors ] || second=${kind#two-monitors:}
    Xvfb ":$host" -screen 0 1600x800x24 -nolisten tcp >/dev/null 2>&1 &
    host_pid=$!
    wait_display "$host"
    shown=$(free_display $((host + 1)))
    DISPLAY=":$host" Xephyr ":$shown" +xinerama -extension RANDR -screen 640x480 -screen "$second" \
        -nolisten tcp >/dev/null 2>&1 &
    monitors_pid=$!
    wait_display "$shown"
else
    case $kind in
        *x*x*) screen=$kind ;;
        *) screen=${kind}x24 ;;
    esac
    Xvfb ":$host" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    host_pid=$!
    wait_display "$host"
    shown=$host
fi

export DISPLAY=":$shown"
status=0
"$@" || status=$?
exit $status
