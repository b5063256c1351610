#!/usr/bin/env bash
# Starts the real program on a private X server with a notification area and
# checks what the operator gets: one fixed-size window titled
# "Quindra - VIZUDU", a second start that leaves it alone, both pages drawn,
# the settings read from and kept in the store, and a clean exit on SIGTERM.
#
# usage: window_test.sh <espera binary> <artefact folder>
# Leaves principal.png and configuracoes.png in the artefact folder.
set -u

prog=${1:?usage: window_test.sh <espera binary> <artefact folder>}
artefacts=${2:?usage: window_test.sh <espera binary> <artefact folder>}
title='Quindra - VIZUDU'

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "FAIL: $*"; exit 1; }

for tool in Xvfb xdotool import compare sqlite3; do
  command -v "$tool" >/dev/null || die "$tool is not installed (scripts/install-deps installs it)"
done
[ -x "$prog" ] || die "no program at $prog"
mkdir -p "$artefacts" || die "cannot create $artefacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/quindra-window.XXXXXX") || die "mktemp failed"
xvfb_pid="" trayer_pid="" app_pid="" second_pid=""

hold_device="$(cd "$(dirname "$0")/../../scripts" && pwd)/virtual-hold-device"
sound=""

cleanup() {
  [ -n "$sound" ] && "$hold_device" stop "$sound" >/dev/null 2>&1
  local pid
  for pid in "$second_pid" "$app_pid" "$trayer_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  for pid in "$second_pid" "$app_pid" "$trayer_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls a command every 0.1 s until it succeeds or the tenths run out.
wait_for() {
  local tenths=$1
  shift
  while [ "$tenths" -gt 0 ]; do
    "$@" && return 0
    sleep 0.1
    tenths=$((tenths - 1))
  done
  return 1
}

alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

# Everything the program touches lives under $work, so the test never sees
# nor changes the settings, lock or folders of a real session.
mkdir -p "$work/home" "$work/config" "$work/runtime" "$work/quindra/Audio" "$work/home/Músicas" ||
  die "cannot create the private folders"
chmod 700 "$work/runtime"
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
export QUINDRA_HOME="$work/quindra"
export QUINDRA_REGISTRY="$work/registry.db"
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
# No Wayland, no forced platform, and no session bus: the tray icon must go to
# this test's notification area, not to the desktop of whoever runs the test.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"

# --- settings ---------------------------------------------------------------
# The store's own layout: key paths and value names are matched by their
# case-folded form, the names as written are kept beside it. Kind 0 is a text,
# kind 1 a 32-bit integer. "PathAudio" names a file, as the browse button
# stores it, so the start must replace it by the default drop folder.
cfg='software\quindraespera\config'
dropped_file="$HOME/Músicas/promo.wav"
: >"$dropped_file"
: >"$QUINDRA_HOME/Audio/boas-vindas.wav"
default_drop="$HOME/Vizudu Telefônica/"

sq() { printf "'%s'" "${1//\'/\'\'}"; }
seed_value() { # name kind data
  local key
  key=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
  echo "INSERT INTO vals VALUES (0, $(sq "$cfg"), $(sq "$key"), $(sq "$1"), $2, $3);"
}

# name=value pairs of the seeded texts, checked again after the run. Two are in
# mixed case: the fields turn typed letters to one case, but a stored value is
# shown and written back as it was stored.
texts=(
  "Empresa=VIZUDU TELEFONIA"
  "Contato=Contato: Maria"
  "Telefone=(11) 5555-0100"
  "SendTo=Avisos@Vizudu.example"
  "UserSMTP=quindra"
  "SenhaSMTP=segredo"
  "ServerSMTP=smtp.vizudu.example"
  "PortaSMTP=587"
  "SendMail=-1"
  "TrocaMSg=-1"
  "HardDesc=0"
  "AuthSeguro=-1"
  "HideMode=0"
  "iniwin=0"
  "EstadoJanela=0"
  "ArquivoAtual=boas-vindas.wav"
  "ArquivoAnterior=promo-natal.wav"
  "DataAtual=02/01/2025-08:30:00"
  "DataAnteriorEntra=01/12/2024-09:15:00"
  "DataAnteriorSai=02/01/2025-08:30:00"
)
hotkey=24657 # Shift+Ctrl+Q

{
  echo "BEGIN;"
  echo "CREATE TABLE keys (root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
  echo "  PRIMARY KEY (root, path));"
  echo "CREATE TABLE vals (root INTEGER NOT NULL, path TEXT NOT NULL, name_key TEXT NOT NULL,"
  echo "  name TEXT NOT NULL, kind INTEGER NOT NULL, data, PRIMARY KEY (root, path, name_key));"
  for root in 0 1; do
    p=""
    for part in Software Microsoft Windows CurrentVersion Run; do
      p=${p:+$p\\}$part
      echo "INSERT INTO keys VALUES ($root, $(sq "$(printf '%s' "$p" | tr 'A-Z' 'a-z')"), $(sq "$p"));"
    done
  done
  echo "INSERT INTO keys VALUES (0, 'software\\quindraespera', 'Software\\QuindraEspera');"
  echo "INSERT INTO keys VALUES (0, $(sq "$cfg"), 'Software\\QuindraEspera\\config');"
  for pair in "${texts[@]}"; do
    seed_value "${pair%%=*}" 0 "$(sq "${pair#*=}")"
  done
  seed_value PathAudio 0 "$(sq "$dropped_file")"
  seed_value HotKey 1 "$hotkey"
  echo "COMMIT;"
} | sqlite3 -bail "$QUINDRA_REGISTRY" || die "cannot seed the settings store"

# --- X server and notification area ------------------------------------------
# A display number nobody uses; if another server takes it first, try the next.
xvfb_up() {
  [ -S "/tmp/.X11-unix/X$display_no" ] && DISPLAY=":$display_no" xdotool getdisplaygeometry >/dev/null 2>&1
}
xvfb_settled() { gone "$xvfb_pid" || xvfb_up; }
display_no="" attempts=0
for n in $(seq 90 199); do
  { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
  [ "$attempts" -lt 5 ] || break
  attempts=$((attempts + 1))
  display_no=$n
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_for 100 xvfb_settled && alive "$xvfb_pid" && xvfb_up && break
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid="" display_no=""
done
[ -n "$display_no" ] || die "could not start Xvfb (last log: $(tail -n 3 "$work/xvfb.log" 2>/dev/null))"
export DISPLAY=":$display_no"
echo "INFO: Xvfb on $DISPLAY"

# The tray is a convenience here: the program runs without one, so a trayer
# that fails to come up is only noted.
if command -v trayer >/dev/null; then
  trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
    >"$work/trayer.log" 2>&1 &
  trayer_pid=$!
  trayer_up() { xdotool search --class trayer >/dev/null 2>&1; }
  if wait_for 50 trayer_up; then
    echo "INFO: trayer is the notification area"
  else
    echo "INFO: no notification area (trayer did not come up: $(tail -n 3 "$work/trayer.log"))"
  fi
else
  echo "INFO: trayer is not installed; running without a notification area"
fi

# The program's sound server: a private one with the virtual hold device, so
# the start finds its hardware instead of reporting a missing sound server.
sound="$work/sound"
mkdir -p "$sound" && chmod 700 "$sound"
eval "$("$hold_device" start "$sound")" || die "could not start the private sound server"

show_logs() { # run name
  echo "--- program stdout ($1)"; cat "$work/$1.out"
  echo "--- program stderr ($1)"; cat "$work/$1.err"
  echo "--- Xvfb log (tail)"; tail -n 5 "$work/xvfb.log"
}

# Top-level windows only: with no window manager they are the root's
# children. The tray icon, embedded in trayer, carries the same title.
main_windows() {
  xdotool search --maxdepth 1 --onlyvisible --name "^${title}\$" 2>/dev/null
}
window_count() { main_windows | wc -l; }
one_window() { [ "$(window_count)" -eq 1 ]; }
no_window() { [ "$(window_count)" -eq 0 ]; }
window_or_exit() { one_window || gone "$app_pid"; }

# Starts the program as run $1 and waits for its one window; sets app_pid, win.
start_program() {
  "$prog" >"$work/$1.out" 2>"$work/$1.err" &
  app_pid=$!
  if wait_for 150 window_or_exit && one_window; then
    win=$(main_windows)
    return 0
  fi
  echo "INFO: windows titled \"$title\": $(main_windows | tr '\n' ' ')"
  if gone "$app_pid"; then
    wait "$app_pid"
    echo "INFO: the program exited with code $? without showing one window"
    app_pid=""
  fi
  show_logs "$1"
  return 1
}

# --- a killed run ---------------------------------------------------------------
# The player runs unattended: after a crash or a kill -9 the instance lock it
# leaves behind must not keep the next start out.
start_program killed || die "the program did not show its window"
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null
app_pid=""
wait_for 50 no_window || die "the killed program's window is still there"

# --- the instance under test -------------------------------------------------------
if start_program main; then
  pass "after a killed instance, a new start shows the window \"$title\" (id $win)"
else
  die "after a killed instance, a new start shows no single window \"$title\""
fi

geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/^ *Geometry: //p')
if [ "$geometry" = "776x604" ]; then
  pass "window size is 776x604"
else
  fail "window size is ${geometry:-unknown}, expected 776x604"
fi

# --- second start ----------------------------------------------------------------
"$prog" >"$work/second.out" 2>"$work/second.err" &
second_pid=$!
if wait_for 50 gone "$second_pid"; then
  wait "$second_pid"
  rc=$?
  second_pid=""
  said=$(cat "$work/second.out" "$work/second.err")
  if [ "$rc" -eq 0 ] && [ -z "$said" ]; then
    pass "a second start exits at once with code 0, silently"
  else
    fail "a second start exits with code $rc, saying: ${said:-nothing}"
  fi
else
  kill "$second_pid" 2>/dev/null
  wait "$second_pid" 2>/dev/null
  second_pid=""
  fail "a second start is still running after 5 s"
fi
if alive "$app_pid" && [ "$(main_windows)" = "$win" ]; then
  pass "the first instance and its window are still there, alone"
else
  fail "after the second start: first instance alive=$(alive "$app_pid" && echo yes || echo no)," \
    "windows: $(main_windows | tr '\n' ' ')"
fi

# --- screenshots of both pages ---------------------------------------------------
# The window is mapped before Qt has painted it; a painted page has many colours.
painted() {
  import -window "$win" "$1" 2>/dev/null &&
    [ "$(identify -format '%k' "$1" 2>/dev/null || echo 0)" -gt 50 ]
}
principal="$artefacts/principal.png"
configuracoes="$artefacts/configuracoes.png"
rm -f "$principal" "$configuracoes"

if wait_for 50 painted "$principal"; then
  pass "screenshot of \"Principal\": $principal"
else
  fail "the page \"Principal\" was not painted within 5 s"
fi

# The tab "Configurações", right of "Principal" in the tab bar under the header.
xdotool mousemove --window "$win" 137 81 click 1
# A switched page repaints most of the window; hovering the tab only a few
# pixels. Wait for a change of at least a tenth of the window.
page_switched() {
  painted "$configuracoes" || return 1
  local ae
  ae=$(compare -metric AE "$principal" "$configuracoes" null: 2>&1 >/dev/null)
  awk -v ae="${ae%% *}" 'BEGIN { exit !(ae + 0 > 46870) }'
}
if wait_for 50 page_switched; then
  pass "clicking \"Configurações\" shows another page: $configuracoes"
else
  ae=$(compare -metric AE "$principal" "$configuracoes" null: 2>&1 >/dev/null)
  fail "the window hardly changed after clicking \"Configurações\" at 137,81 (${ae:-?} pixels differ; has the tab moved?)"
fi

# --- SIGTERM -------------------------------------------------------------------------
kill -TERM "$app_pid"
if wait_for 50 gone "$app_pid"; then
  wait "$app_pid"
  rc=$?
  app_pid=""
  if [ "$rc" -eq 0 ]; then
    pass "SIGTERM ends the program with code 0"
  else
    fail "SIGTERM ends the program with code $rc"
  fi
else
  fail "the program is still running 5 s after SIGTERM"
fi

# --- the store after the run -----------------------------------------------------------
stored() { # name -> "kind|data", or nothing
  local key
  key=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
  sqlite3 -separator '|' "$QUINDRA_REGISTRY" \
    "SELECT kind, data FROM vals WHERE root = 0 AND path = $(sq "$cfg") AND name_key = $(sq "$key");"
}
changed=()
for pair in "${texts[@]}"; do
  got=$(stored "${pair%%=*}")
  [ "$got" = "0|${pair#*=}" ] || changed+=("${pair%%=*}: \"$got\" (seeded \"0|${pair#*=}\")")
done
got=$(stored HotKey)
[ "$got" = "1|$hotkey" ] || changed+=("HotKey: \"$got\" (seeded \"1|$hotkey\")")
if [ "${#changed[@]}" -eq 0 ]; then
  pass "the program kept all ${#texts[@]} seeded settings and the hot-key"
else
  fail "settings changed by the run:"
  printf '      %s\n' "${changed[@]}"
fi

got=$(stored PathAudio)
if [ "$got" = "0|$default_drop" ] && [ -d "$default_drop" ]; then
  pass "a file stored as the drop folder became the default \"$default_drop\", which exists"
else
  fail "PathAudio after the run: \"$got\", expected \"0|$default_drop\" (folder exists:" \
    "$([ -d "$default_drop" ] && echo yes || echo no))"
fi

# --- hidden start and the restore hot-key ---------------------------------------------
# Started fully hidden, the window comes back only with the stored hot-key
# (Shift+Ctrl+Q here), whatever window has the focus.
sqlite3 "$QUINDRA_REGISTRY" \
  "UPDATE vals SET data = '-1' WHERE root = 0 AND path = $(sq "$cfg") AND name_key = 'hidemode';" ||
  die "cannot switch the store to a hidden start"
"$prog" >"$work/hidden.out" 2>"$work/hidden.err" &
app_pid=$!
started() { grep -q "Localizando Hardware da Vizudu" "$work/hidden.out" || gone "$app_pid"; }
if wait_for 150 started && alive "$app_pid"; then
  sleep 0.5
  if no_window; then
    pass "a hidden start shows no window"
  else
    fail "a hidden start shows a window"
  fi
  xdotool key --clearmodifiers shift+ctrl+q
  if wait_for 50 one_window; then
    pass "the hot-key Shift+Ctrl+Q brings the hidden window back"
  else
    fail "the hot-key Shift+Ctrl+Q did not bring the window back"
    show_logs hidden
  fi
  kill -TERM "$app_pid"
  wait_for 50 gone "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=""
else
  fail "the hidden start did not log its first line"
  show_logs hidden
fi

if [ "$failures" -ne 0 ]; then
  show_logs main
  echo "FAIL: $failures check(s) failed"
  exit 1
fi
echo "PASS: all window checks"
