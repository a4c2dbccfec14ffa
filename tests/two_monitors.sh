#!/usr/bin/env bash
# two_monitors.sh --- runs a command on two monitors side by side: an Xephyr display of two
# 640 x 480 screens joined by Xinerama (RandR off, or Wine sees one monitor), inside a virtual
# display of its own. The command finds the two-monitor display in $DISPLAY.
#
# usage: two_monitors.sh <command> [arguments]
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
        [ $waited -lt 300 ] || { echo "two_monitors: display :$1 did not start" >&2; exit 1; }
    done
}

host_pid= monitors_pid=
finish() {
    [ -z "$monitors_pid" ] || kill "$monitors_pid" 2>/dev/null || true
    [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
}
trap finish EXIT

host=$(free_display 120)
Xvfb ":$host" -screen 0 1400x700x24 -nolisten tcp >/dev/null 2>&1 &
host_pid=$!
wait_display "$host"
monitors=$(free_display $((host + 1)))
DISPLAY=":$host" Xephyr ":$monitors" +xinerama -extension RANDR -screen 640x480 -screen 640x480 \
    -nolisten tcp >/dev/null 2>&1 &
monitors_pid=$!
wait_display "$monitors"

export DISPLAY=":$monitors"
status=0
"$@" || status=$?
exit $status
