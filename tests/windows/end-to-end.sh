#!/usr/bin/env bash
# vornactl.exe end to end under Wine, without --port, as a Windows user runs it: the simulated
# ESC and program card run natively on a pseudo-terminal (the Linux build's vornactl simulate),
# Wine maps a COM port to that terminal (dosdevices/comN), and the prefix's registry lists a
# CP210x bridge whose PortName is that COM port. What Linux says in the same situation is asked
# of the Linux vornactl, and the Windows program must say the same.
#
# Last, the window (test_window.exe, WindowTest.cpp) runs on a private X server against a
# simulated ESC found the same way.
#
#   end-to-end.sh NATIVE_BIN WINDOWS_BIN WORK [WINDOW_TEST.exe]
# with WINEPREFIX set to a prepared prefix of its own. Prints each check; exits 1 when any fails.
set -uo pipefail

window_test="${4:-}"
mkdir -p "$3"
# Absolute: Wine's COM port links and Z: names are taken from the root.
native="$(cd "$1" && pwd)/vornactl"
data="$(cd "$2" && pwd)"
windows="$data/vornactl.exe"
work="$(cd "$3" && pwd)"
: "${WINEPREFIX:?a prefix of its own}"
export WINEDEBUG=-all LC_ALL=C.UTF-8
failures=0
pass() { echo "ok      $1"; }
fail() {
    echo "FAILED  $1"
    failures=$((failures + 1))
}

# As root, the terminal's exclusive mode (how another program keeps the port) stops nobody
# with CAP_SYS_ADMIN, Wine's server included: Wine runs without it, as a user's would.
wine_cmd=(wine)
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    wine_cmd=(setpriv --bounding-set -sys_admin wine)
    # The prefix's server, if one runs, was started with it; the next call starts it anew.
    wineserver -k 2>/dev/null || true
fi
# One server for the run, started here and kept: a server that a command starts when the last
# one ended writes its own notes into that command's standard error.
server_cmd=("${wine_cmd[@]}")
server_cmd[${#server_cmd[@]} - 1]=wineserver
"${server_cmd[@]}" -p >"$work/wineserver.log" 2>&1 || true

# Simulated devices, by name: a link at $work/NAME, the process kept in sims[NAME].
declare -A sims
sim_start() {
    local name="$1"
    shift
    rm -f "$work/$name"
    "$native" simulate "$@" --link "$work/$name" >"$work/$name.log" 2>&1 &
    sims[$name]=$!
    for _ in $(seq 100); do
        [ -e "$work/$name" ] && return 0
        sleep 0.1
    done
    echo "the simulated device $name did not start:" >&2
    cat "$work/$name.log" >&2
    return 1
}
sim_stop() {
    local pid="${sims[$1]:-}"
    [ -n "$pid" ] || return 0
    kill -INT "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    unset "sims[$1]"
}
stop_all() {
    for name in "${!sims[@]}"; do sim_stop "$name"; done
}
trap stop_all EXIT

# A COM port of the prefix that reaches the simulated device NAME (or nothing).
map_com() { ln -sfn "$work/$2" "$WINEPREFIX/dosdevices/com$1"; }

# A CP210x bridge in the prefix's registry as its driver enters one: SERIAL COMn [nodriver];
# COMn "-": the driver gave it no COM port.
bridge_key='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_10C4&PID_EA60'
bridge_add() {
    local file="$work/bridge-$1.reg"
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s\\%s]\r\n' "$bridge_key" "$1"
        printf '"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"\r\n'
        printf '"DeviceDesc"="CP210x USB to UART Bridge"\r\n'
        if [ "${3:-}" != nodriver ]; then
            printf '"Driver"="{4d36e978-e325-11ce-bfc1-08002be10318}\\\\0007"\r\n'
            printf '"Service"="silabser"\r\n'
        fi
        printf '\r\n[%s\\%s\\Device Parameters]\r\n' "$bridge_key" "$1"
        [ "$2" = - ] || printf '"PortName"="%s"\r\n' "$2"
    } >"$file"
    "${wine_cmd[@]}" reg import "Z:$file" >/dev/null 2>&1
}
bridge_remove() { "${wine_cmd[@]}" reg delete "${bridge_key//HKEY_LOCAL_MACHINE/HKLM}\\$1" /f >/dev/null 2>&1; }

# Runs a program; its output in $out, its standard error in $err, its exit code in $rc. The
# checks compare text: Windows' CR LF line ends are taken off (the bytes stay in $work/out).
run() {
    "$@" >"$work/out" 2>"$work/err"
    rc=$?
    out="$(tr -d '\r' <"$work/out")"
    err="$(tr -d '\r' <"$work/err")"
}
# Every line of FILE ends in CR LF, as Windows' own programs write text.
crlf_only() { [ -s "$1" ] && ! grep -q $'[^\r]$\|^$' "$1"; }
vornactl() { run "${wine_cmd[@]}" "$windows" "$@"; }
last_err() { printf '%s\n' "$err" | sed '/^$/d' | tail -n 1; }
expect() {  # WHAT CONDITION...
    local what="$1"
    shift
    if "$@"; then pass "$what"; else
        fail "$what"
        echo "        exit $rc; out: ${out:0:600}" | head -n 12
        echo "        err: ${err:0:600}" | head -n 12
    fi
}
has() { [[ "$1" == *"$2"* ]]; }
lacks() { [[ "$1" != *"$2"* ]]; }
# The Windows words and Linux's, shown both when they differ.
same() { [ "$1" = "$2" ] || { printf '        windows: %s\n        linux:   %s\n' "$1" "$2"; false; }; }

echo "== the programs' help speaks of COM ports and of nothing the build lacks"
vornactl --help
expect "vornactl.exe's help names --port COMn" has "$out" "[--port COMn]"
expect "vornactl.exe's help leaves out simulate, which it does not have" lacks "$out" "simulate"

echo "== one bridge on COM7, a simulated ESC of model type 16"
sim_start esc esc --model 16
map_com 7 esc
bridge_add 0001 COM7
vornactl ports
expect "ports lists the bridge by its COM name" has "$out" "COM7  CP210x USB to UART Bridge"
vornactl identify
expect "identify finds the ESC without --port" \
    has "$out" $'Identity: 0b 40 83 05 00 03 00\nModel type: 16'
vornactl read --format cfg
expect "read gives the settings file" has "$out" "[option]"
expect "redirected, its lines end in CR LF" crlf_only "$work/out"
settings_file="$work/réglages ü.cfg"
printf '%s' "$out" >"$settings_file"
vornactl set "Drag Brake=10%"
expect "set is sent and verified" [ "$rc" = 0 ]
vornactl read
expect "the ESC holds what set sent" has "$out" "Drag Brake: 10%"
vornactl write "Z:$settings_file"
expect "write takes a settings file with a non-ASCII name" has "$out" "settings from"
vornactl read
expect "the ESC holds what the file held" has "$out" "Drag Brake: 5%"
vornactl read --format cfg -o "Z:$work/ausgelesen ö.cfg"
expect "read -o writes a file with a non-ASCII name" \
    has "$(cat "$work/ausgelesen ö.cfg" 2>/dev/null)" "Drag Brake=5%"
expect "and names it in UTF-8" has "$out" "ausgelesen ö.cfg"
expect "read -o ends its lines in CR LF" crlf_only "$work/ausgelesen ö.cfg"
vornactl defaults
expect "defaults restores and saves a backup under LOCALAPPDATA" \
    has "$out" "AppData\\Local\\VORNA Link\\backups\\"
backup="$(ls -t "$WINEPREFIX"/drive_c/users/*/AppData/Local/VORNA\ Link/backups/*.cfg 2>/dev/null | head -n 1)"
expect "the backup ends its lines in CR LF" crlf_only "$backup"
vornactl --port COM7 identify
expect "--port COM7 names the port" [ "$rc" = 0 ]
vornactl --port '\\.\COM7' identify
expect "--port \\\\.\\COM7 names it too" [ "$rc" = 0 ]
vornactl doctor
expect "doctor is ready with the driver installed" \
    has "$out" $'Its driver is installed (silabser).\n  ok       Its port is COM7.\n  ok       It opens.\nReady: COM7 can be opened.'
vornactl report "Z:$work/report.txt"
expect "report writes its file" has "$(cat "$work/report.txt" 2>/dev/null)" "Model type: 16"
vornactl flash-esc "Z:$data/Firmware/Expert V1.70.mmc"
expect "flash-esc updates the ESC" has "$out" "ESC firmware updated from"
sim_stop esc

echo "== a program card on COM7"
sim_start card card
map_com 7 card
vornactl identify --mode card
expect "identify finds the card" has "$out" "Firmware: VORNA JVX"
vornactl flash-card "Z:$data/Firmware/VORNA JVX V2.30.xup"
expect "flash-card updates the card" has "$out" "Program card firmware updated"
sim_stop card
map_com 7 esc

echo "== the link lost during a write, an unplugged bridge, a busy port: as on Linux"
sim_start esc esc --model 16 --fault unplug-after-pair:3
vornactl set "Drag Brake=10%"
windows_words="$(last_err)"
sim_stop esc
sim_start esc esc --model 16 --fault unplug-after-pair:3
run "$native" --port "$work/esc" set "Drag Brake=10%"
expect "a link lost during a write: Linux's words" same "$windows_words" "$(last_err)"
expect "those are the words for a lost link" has "$err" "was lost"
sim_stop esc

sim_start esc esc --model 16
vornactl --timeout 5 identify
expect "the ESC answers again" [ "$rc" = 0 ]
sim_stop esc
bridge_remove 0001
vornactl --timeout 2 identify
windows_words="$(last_err)"
run "$native" --timeout 2 identify
expect "unplugged: Linux's words" [ "$windows_words" = "$(last_err)" ]
expect "those are the words for no bridge" has "$windows_words" "no bridge found within 2 s"

bridge_add 0001 COM7
sim_start esc esc --model 16 --fault silent
# Another program holds the port: the Linux vornactl, waiting for a silent ESC.
"$native" --port "$work/esc" --timeout 30 identify >/dev/null 2>&1 &
holder=$!
sleep 2
vornactl --timeout 2 identify
windows_words="$(last_err)"
run "$native" --port "$work/esc" --timeout 2 identify
linux_words="$(last_err | sed -E "s|$work/esc|COM7|; s/in use by .* \(pid [0-9]+\)/in use by another program/")"
expect "busy: Linux's words, with the COM port" [ "$windows_words" = "$linux_words" ]
expect "those are the words for a busy port" has "$windows_words" "COM7: the port is in use by"
vornactl doctor
expect "doctor says the port is in use" has "$out" "Not ready: COM7 is in use by another program."
expect "doctor gives its advice for a busy port once" \
    [ "$(grep -ciE 'close (that|the) program' <<<"$out")" = 1 ]
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
# Wine lets any number of Windows programs open one COM port; another copy of this program is
# kept out all the same.
"${wine_cmd[@]}" "$windows" --timeout 30 identify >/dev/null 2>&1 &
holder=$!
sleep 3
vornactl --timeout 2 identify
expect "busy with another vornactl.exe: the same words" [ "$(last_err)" = "$windows_words" ]
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
sim_stop esc

echo "== two bridges: the first listed is used"
sim_start esc esc --model 16
sim_start other esc --model 3
map_com 8 other
bridge_add 0002 COM8
vornactl ports
first="$(printf '%s\n' "$out" | head -n 1 | cut -d' ' -f1)"
expect "ports lists both" [ "$(printf '%s\n' "$out" | grep -c '^COM')" = 2 ]
vornactl identify
expected_type=16
[ "$first" = COM8 ] && expected_type=3
expect "identify uses the first listed ($first)" has "$out" "Model type: $expected_type"
sim_stop other
sim_stop esc
bridge_remove 0002

echo "== a bridge without its driver"
bridge_remove 0001
bridge_add 0003 COM9 nodriver
vornactl doctor
expect "doctor advises the CP210x USB-to-UART driver" \
    has "$out" "What to do: install the CP210x USB-to-UART driver"
expect "doctor does not try the port of a bridge without a driver" lacks "$out" "It opens."
vornactl --timeout 1 identify
no_driver="a CP210x bridge is plugged in, but it has no driver: install the CP210x USB-to-UART driver, then unplug the link and plug it in again."
expect "identify says the bridge has no driver and what to install" \
    [ "$(last_err)" = "vornactl: $no_driver" ]
vornactl ports
expect "ports says the bridge has no driver, not COM9" \
    has "$out" $'(no driver)  CP210x USB to UART Bridge  serial 0003  (USB\\VID_10C4&PID_EA60\\0003)\n  '"$no_driver"
bridge_remove 0003

echo "== a bridge with its driver but no COM port"
bridge_add 0004 -
vornactl doctor
expect "doctor says the driver is there and the COM port is not" \
    has "$out" $'Its driver is installed (silabser).\n  PROBLEM  It has no COM port.'
no_port="a CP210x bridge is plugged in and its driver is installed, but it has no COM port: unplug the link and plug it in again; if that does not help, install the CP210x USB-to-UART driver, then unplug the link and plug it in again."
vornactl --timeout 1 identify
expect "identify says so, with doctor's advice" [ "$(last_err)" = "vornactl: $no_port" ]
vornactl --timeout 1 flash-esc "Z:$data/Firmware/Expert V1.70.mmc"
expect "flash-esc says so too" [ "$(last_err)" = "vornactl: $no_port" ]
vornactl ports
expect "ports says so" has "$out" $'(no COM port)  CP210x USB to UART Bridge  serial 0004  (USB\\VID_10C4&PID_EA60\\0004)\n  '"$no_port"
bridge_remove 0004

if [ -n "$window_test" ]; then
    echo "== the window on an X server"
    bridge_add 0001 COM7
    sim_start esc esc --model 16
    map_com 7 esc
    # The window's Wine session is to start on the X server's display.
    wineserver -k 2>/dev/null || true
    here="$(cd "$(dirname "$0")" && pwd)"
    VORNA_XSERVER_SHOTS="$work/window-shots" run bash "$here/../../scripts/on-xvfb.sh" \
        "$here/../../scripts/wine-run.sh" "$WINEPREFIX" "$window_test"
    printf '%s\n' "$out" | grep -E '^\[ +(OK|FAILED) +\]'
    expect "the window reads the ESC, fits the screen, and its text reads" [ "$rc" = 0 ]
    echo "        its pictures: $work/window-shots/"
    sim_stop esc
    bridge_remove 0001
    wineserver -k 2>/dev/null || true
fi

echo "== $failures failed"
[ "$failures" = 0 ]
