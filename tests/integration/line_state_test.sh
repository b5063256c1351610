#!/usr/bin/env bash
# The line's state as the operator and a screen reader get it, from the real
# program on a private X server with its own session bus, accessibility bus
# and sound server: the band read through the accessibility tree (AT-SPI),
# the tray icon's tooltip read from its StatusNotifierItem, and the desktop
# notifications taken by a recording notification server. The hold device is
# taken out of the sound server and put back, as a pulled cable does there;
# given the USB test bed helper, its USB and HID devices are pulled out of
# umockdev's test bed too, which the program watches.
# A second run has no notification server on the bus: nothing fails, the
# band still follows, and the message comes back on air.
#
# usage: line_state_test.sh <espera binary> <artefact folder> [<usb_testbed helper>]
# Leaves fora-do-ar.png in the artefact folder, for a look by eye.
set -u

prog=${1:?usage: line_state_test.sh <espera binary> <artefact folder>}
artefacts=${2:?usage: line_state_test.sh <espera binary> <artefact folder>}
testbed=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "FAIL: $*"; exit 1; }

for tool in Xvfb xdotool import sox dbus-daemon; do
  command -v "$tool" >/dev/null || die "$tool is not installed (scripts/install-deps installs it)"
done
[ -x /usr/libexec/at-spi-bus-launcher ] || die "at-spi2-core is not installed"
"$py" -c 'import pyatspi, dbus' 2>/dev/null || die "python3-pyatspi or python3-dbus is missing"
[ -x "$prog" ] || die "no program at $prog"
mkdir -p "$artefacts" || die "cannot create $artefacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/quindra-line.XXXXXX") || die "mktemp failed"
xvfb_pid="" bus_pid="" a11y_pid="" services_pid="" app_pid=""
hold_device="$(cd "$here/../../scripts" && pwd)/virtual-hold-device"
sound=""

cleanup() {
  [ -n "$sound" ] && "$hold_device" stop "$sound" >/dev/null 2>&1
  local pid
  for pid in "$app_pid" "$services_pid" "$a11y_pid" "$bus_pid" "$xvfb_pid" "${TESTBED_PID:-}"; do
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  done
  for pid in "$app_pid" "$services_pid" "$a11y_pid" "$bus_pid" "$xvfb_pid" "${TESTBED_PID:-}"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=tests/support/settings-store.sh
. "$here/../support/settings-store.sh"
alive() { kill -0 "$1" 2>/dev/null; }

mkdir -p "$work/home" "$work/config" "$work/runtime" "$work/quindra/Audio" || die "cannot create the private folders"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export QUINDRA_INSTANCE_TAG="line-test-$$" QUINDRA_HOME="$work/quindra"
export QUINDRA_REGISTRY="$work/registry.db"
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export NO_AT_BRIDGE=0
sox -n -r 44100 -b 16 -c 1 "$QUINDRA_HOME/Audio/boas-vindas.wav" synth 3 sine 440 vol 0.5 ||
  die "cannot make the message with sox"

# --- X server -------------------------------------------------------------------
display_no=""
for n in $(seq 200 299); do
  { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  xvfb_up() { DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; }
  if wait_for 100 xvfb_up; then display_no=$n; break; fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
done
[ -n "$display_no" ] || die "could not start Xvfb"
export DISPLAY=":$display_no"

# --- session bus, with no service of the system's: only what this test runs --------
cat >"$work/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/session.conf" --nofork >"$work/bus.log" 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
wait_for 50 test -S "$work/bus" || die "the session bus did not start"
# The accessibility bus and its registry, as a desktop session starts them.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/a11y.log" 2>&1 &
a11y_pid=$!
a11y_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
wait_for 100 a11y_up || die "the accessibility bus did not start ($(tail -n 3 "$work/a11y.log"))"

start_services() { # extra arguments for desktop_services.py
  : >"$work/notices.log"
  rm -f "$work/notices.log.items"
  "$py" "$here/desktop_services.py" "$work/notices.log" "$@" >"$work/services.out" 2>&1 &
  services_pid=$!
  wait_for 100 grep -q ready "$work/services.out" || die "the desktop services did not start: $(cat "$work/services.out")"
}
stop_services() {
  kill "$services_pid" 2>/dev/null; wait "$services_pid" 2>/dev/null; services_pid=""
}

sound="$work/sound"
mkdir -p "$sound" && chmod 700 "$sound"
eval "$("$hold_device" start "$sound")" || die "could not start the private sound server"

# The USB test bed, when given: the program sees the hold hardware's USB
# and HID devices there.
program_env=()
if [ -n "$testbed" ]; then
  coproc TESTBED { "$testbed" 2>"$work/testbed.err"; }
  while read -r -t 30 line <&"${TESTBED[0]}"; do
    case $line in
      UMOCKDEV_DIR=* | LD_PRELOAD=*) program_env+=("$line") ;;
      ready) break ;;
    esac
  done
  [ "${#program_env[@]}" -eq 2 ] || die "the USB test bed did not start: $(cat "$work/testbed.err")"
fi
testbed_does() { # pull | plug
  [ -n "$testbed" ] || return 0
  local answer=""
  echo "$1" >&"${TESTBED[1]}"
  read -r -t 30 answer <&"${TESTBED[0]}"
  [ "$answer" = done ] || fail "the USB test bed did not $1 the hold hardware"
}
pull_cable() {
  "$hold_device" unplug "$sound" >/dev/null || fail "could not take the hold device out"
  testbed_does pull
}
plug_cable() {
  "$hold_device" replug "$sound" >/dev/null || fail "could not put the hold device back"
  testbed_does plug
}

band() { "$py" "$here/read_line_state.py" band 2>>"$work/read.err"; }
band_is() { [ "$(band)" = "$1" ]; }
tooltip() { "$py" "$here/read_line_state.py" tooltip "$work/notices.log.items" 2>>"$work/read.err"; }
tooltip_has() { tooltip | grep -qxF "$1"; }
noticed() { grep -qxF "$1" "$work/notices.log"; }

run_program() { # run name
  env "${program_env[@]}" "$prog" >"$work/$1.out" 2>"$work/$1.err" &
  app_pid=$!
}
end_program() {
  kill -TERM "$app_pid" 2>/dev/null
  wait_for 100 eval '! alive "$app_pid"' || kill -KILL "$app_pid" 2>/dev/null
  wait "$app_pid" 2>/dev/null
  app_pid=""
}
show_logs() {
  echo "--- program stdout ($1)"; cat "$work/$1.out"
  echo "--- program stderr ($1)"; tail -n 20 "$work/$1.err"
  echo "--- reader errors (tail)"; tail -n 5 "$work/read.err" 2>/dev/null
  echo "--- notifications"; cat "$work/notices.log"
}

on_air='No ar · boas-vindas.wav · 0:03'
unplugged='Fora do ar · hardware desconectado'

# --- a first start with no message -----------------------------------------------------
start_services
mv "$QUINDRA_HOME/Audio/boas-vindas.wav" "$work/boas-vindas.wav"
run_program empty
no_message='Fora do ar · sem mensagem na pasta'
opened() { grep -q "Stream inicializado com sucesso." "$work/empty.out"; }
if wait_for 300 opened && wait_for 50 band_is "$no_message"; then
  pass "a first start with no message, channel open, reads \"$no_message\""
else
  fail "a first start with no message reads \"$(band)\""
  show_logs empty
fi
end_program
mv "$work/boas-vindas.wav" "$QUINDRA_HOME/Audio/boas-vindas.wav"
[ -s "$work/notices.log" ] && fail "notifications at a start that never went on air: $(tr '\n' '/' <"$work/notices.log")"

# --- with a notification server ------------------------------------------------------
run_program main
if wait_for 300 band_is "$on_air"; then
  pass "the band reads \"$on_air\" in the accessibility tree"
else
  fail "the band reads \"$(band)\", not \"$on_air\""
  show_logs main
fi
if wait_for 100 tooltip_has "$on_air"; then
  pass "the tray icon's tooltip says \"$on_air\""
else
  fail "the tray icon's tooltip is \"$(tooltip | tr '\n' '|')\" (items: $(cat "$work/notices.log.items" 2>/dev/null | tr '\n' ' '); $(tail -n 2 "$work/read.err" 2>/dev/null))"
fi

pull_cable
if wait_for 150 band_is "$unplugged"; then
  pass "after the hold device left, the band reads \"$unplugged\""
  win=$(xdotool search --maxdepth 1 --onlyvisible --name '^Quindra - VIZUDU$' 2>/dev/null | head -n 1)
  [ -n "$win" ] && import -window "$win" "$artefacts/fora-do-ar.png" 2>/dev/null
else
  fail "after the hold device left, the band reads \"$(band)\""
fi
if [ -n "$testbed" ]; then
  if grep -q "O Hardware da espera foi desconectado." "$work/main.out"; then
    pass "the program saw the hold hardware's HID device leave the USB test bed"
  else
    fail "no unplug line from the USB test bed"
  fi
fi
if wait_for 100 tooltip_has "$unplugged" && tooltip_has "Mensagem: boas-vindas.wav"; then
  pass "the tooltip changed to the off-air state with the message"
else
  fail "the tooltip after the unplug is \"$(tooltip | tr '\n' '|')\""
fi
if wait_for 50 noticed "Mensagem de espera fora do ar|Hardware desconectado.|2"; then
  pass "the desktop was told, urgently, that the line went off air"
else
  fail "no off-air notification (got: $(tr '\n' '/' <"$work/notices.log"))"
fi

plug_cable
if wait_for 300 band_is "$on_air" && wait_for 50 noticed "Mensagem de espera de volta ao ar|$on_air|1"; then
  pass "back on air: the band and a notification say so"
else
  fail "after the replug the band reads \"$(band)\"; notifications: $(tr '\n' '/' <"$work/notices.log")"
  show_logs main
fi
if [ "$(wc -l <"$work/notices.log")" -eq 2 ]; then
  pass "two notifications in all: off air and back"
else
  fail "notifications: $(tr '\n' '/' <"$work/notices.log")"
fi
end_program

# --- without a notification server -----------------------------------------------------
stop_services
start_services --no-notifications
run_program quiet
wait_for 300 band_is "$on_air" || fail "without a notification server the band reads \"$(band)\""
pull_cable
wait_for 150 band_is "$unplugged" || fail "without a notification server the unplug shows \"$(band)\""
plug_cable
if wait_for 300 band_is "$on_air" && alive "$app_pid"; then
  pass "without a notification server nothing fails: off air and back on the band"
else
  fail "without a notification server: band \"$(band)\", alive=$(alive "$app_pid" && echo yes || echo no)"
  show_logs quiet
fi
end_program

if [ "$failures" -ne 0 ]; then
  echo "FAIL: $failures check(s) failed"
  exit 1
fi
echo "PASS: all line-state checks"
