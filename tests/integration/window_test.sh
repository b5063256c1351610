#!/usr/bin/env bash
# Starts the real program on a private X server and checks what the operator
# gets: one fixed-size window titled "Quindra - VIZUDU", a second start that
# leaves it alone, a tray icon that appears in a notification area started
# after the program, both pages drawn, the boxes' exact captions, the settings
# read from and kept in the store, every way back from the tray and from the
# hidden mode, and an orderly end on SIGINT, SIGHUP and SIGTERM.
#
# usage: window_test.sh <espera binary> <artefact folder>
# Leaves principal.png, configuracoes.png, confirmacao.png, abrir.png and
# menu-bandeja.png in the artefact folder, for a look by eye.
set -u

prog=${1:?usage: window_test.sh <espera binary> <artefact folder>}
artefacts=${2:?usage: window_test.sh <espera binary> <artefact folder>}
title='Quindra - VIZUDU'

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "FAIL: $*"; exit 1; }

for tool in Xvfb xdotool xwininfo import compare sqlite3 trayer sox; do
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
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  done
  for pid in "$second_pid" "$app_pid" "$trayer_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=tests/support/settings-store.sh
. "$(dirname "$0")/../support/settings-store.sh"

alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

# Everything the program touches lives under $work, so the test never sees
# nor changes the settings, lock or folders of a real session.
mkdir -p "$work/home" "$work/config" "$work/runtime" "$work/quindra/Audio" "$work/home/Músicas" ||
  die "cannot create the private folders"
chmod 700 "$work/runtime"
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
export XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime"
# Single-instance guards of its own: a program of a real session, or of a test
# running beside this one, is not this test's first instance.
export QUINDRA_INSTANCE_TAG="window-test-$$"
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
# kind 1 a 32-bit integer. "PathAudio" names a file, as the browse button of
# earlier versions stored it, so the start must read it as its folder.
cfg=$store_config_key
dropped_file="$HOME/Músicas/promo.wav"
: >"$dropped_file"
drop_folder="$HOME/Músicas"
# A message that plays, so that every start goes on air.
sox -n -r 44100 -b 16 -c 1 "$QUINDRA_HOME/Audio/boas-vindas.wav" synth 3 sine 440 vol 0.5 ||
  die "cannot make the message with sox"

sq() { sql_text "$1"; }

# name=value pairs of the preset texts, checked again after the run. Two are in
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

write_store "$QUINDRA_REGISTRY" "${texts[@]}" "PathAudio=$dropped_file" "HotKey#=$hotkey" ||
  die "cannot preset the settings store"

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

# The notification area, started when the test asks for it: an autostart at
# log-in often beats the panel, and the icon must show all the same.
start_trayer() {
  trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
    >"$work/trayer.log" 2>&1 &
  trayer_pid=$!
}

# The program's tray icon, once a notification area has taken it in: a window
# of the program inside trayer's panel.
tray_icon() {
  local panel
  for panel in $(xdotool search --class trayer 2>/dev/null); do
    xwininfo -id "$panel" -tree 2>/dev/null |
      sed -n 's/^ *\(0x[0-9a-f]*\) "quindra": ("espera" "quindra").*/\1/p' | head -n 1
  done | head -n 1
}
has_tray_icon() { [ -n "$(tray_icon)" ]; }
no_tray_icon() { [ -z "$(tray_icon)" ]; }

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

# The message is on air: a line the program writes inside its run loop, some
# seconds after the moment it would have shown a window.
on_air() { grep -q "Stream inicializado com sucesso." "$work/$1.out" || gone "$app_pid"; }

# Sends a signal to the program of run $2 and expects the orderly end: exit
# code 0 and the last status line, which says the message went off air.
stop_with() { # signal run
  kill "-$1" "$app_pid"
  if wait_for 100 gone "$app_pid"; then
    wait "$app_pid"
    local rc=$?
    app_pid=""
    if [ "$rc" -eq 0 ] && grep -q "Sistema finalizado: a mensagem de espera saiu do ar." "$work/$2.out"; then
      pass "SIG$1 ends the program with code 0 after its shutdown line"
    else
      fail "SIG$1: exit code $rc, last lines: $(tail -n 2 "$work/$2.out" | tr '\n' '|')"
      show_logs "$2"
    fi
  else
    fail "the program is still running 10 s after SIG$1"
    kill -KILL "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=""
  fi
}

# Starts the program as run $1 without waiting for a window; sets app_pid.
launch() {
  "$prog" >"$work/$1.out" 2>"$work/$1.err" &
  app_pid=$!
}

set_value() { # name data: a preset text value
  sqlite3 "$QUINDRA_REGISTRY" "UPDATE vals SET data = $(sq "$2") WHERE root = 0 AND
    path = $(sq "$cfg") AND name_key = $(sq "$(printf '%s' "$1" | tr 'A-Z' 'a-z')");"
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

start_trayer
if wait_for 100 has_tray_icon; then
  pass "the tray icon appears in a notification area started after the program"
else
  fail "no tray icon in a notification area started after the program ($(tail -n 3 "$work/trayer.log"))"
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

# The status log, scrolled: more rows than it shows, typed into it (the
# operator may type there), so its first visible row can be looked at.
registro="$artefacts/principal-registro.png"
xdotool mousemove --window "$win" 380 530 click 1
for n in $(seq 1 14); do
  xdotool key Return
  xdotool type --delay 5 "linha $n"
done
wait_for 30 eval 'import -window "$win" "$registro" 2>/dev/null'

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

# --- Qt's file dialog, in Portuguese ----------------------------------------------------
# The browse button of "Diretório do arquivo de Áudio", right of the field.
dialog_up() { xdotool search --onlyvisible --name '^Abrir$' >/dev/null 2>&1; }
dialog_gone() { ! dialog_up; }
abrir="$artefacts/abrir.png"
rm -f "$abrir"
xdotool mousemove --window "$win" 358 298 click 1
if wait_for 50 dialog_up; then
  dialog=$(xdotool search --onlyvisible --name '^Abrir$' | head -n 1)
  wait_for 30 eval 'import -window "$dialog" "$abrir" 2>/dev/null' &&
    pass "the file dialog opens: $abrir"
  xdotool windowfocus --sync "$dialog" 2>/dev/null
  xdotool key Escape
  wait_for 30 dialog_gone || fail "Escape did not close the file dialog"
else
  fail "clicking the browse button at 358,298 opened no dialog \"Abrir\""
fi

# --- the power button's question ------------------------------------------------------
# Its caption is exactly "Confirmação", nothing appended; "Não" changes nothing.
xdotool mousemove --window "$win" 43 81 click 1 # back to "Principal"
box_up() { xdotool search --onlyvisible --name '^Confirmação$' >/dev/null 2>&1; }
box_gone() { ! box_up; }
confirmacao="$artefacts/confirmacao.png"
rm -f "$confirmacao"
xdotool mousemove --window "$win" 749 31 click 1
if wait_for 50 box_up; then
  box=$(xdotool search --onlyvisible --name '^Confirmação$' | head -n 1)
  pass "the power button asks in a box captioned exactly \"Confirmação\""
  wait_for 30 eval 'import -window "$box" "$confirmacao" 2>/dev/null'
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Escape
  if wait_for 30 box_gone && alive "$app_pid" && one_window; then
    pass "\"Não\" leaves the program running with its window"
  else
    fail "after \"Não\": box gone=$(box_gone && echo yes || echo no), alive=$(alive "$app_pid" && echo yes || echo no)"
  fi
else
  fail "no window captioned exactly \"Confirmação\" after the power button (windows: $(xdotool search --onlyvisible --name 'Confirma' 2>/dev/null | xargs -r -n1 xdotool getwindowname | tr '\n' '|'))"
fi

# --- the tray menu: "Ocultar", then the hot-key --------------------------------------------
menu_up() { [ -n "$(menu_window)" ]; }
# The menu: a top-level window of the program's, larger than its helper
# windows, other than the main window.
menu_window() {
  local w width
  for w in $(xdotool search --onlyvisible --maxdepth 1 --class quindra 2>/dev/null); do
    [ "$w" = "$win" ] && continue
    width=$(xwininfo -id "$w" 2>/dev/null | sed -n 's/^ *Width: //p')
    [ "${width:-0}" -gt 40 ] && echo "$w"
  done | head -n 1
}
icon=$(tray_icon)
menu_png="$artefacts/menu-bandeja.png"
rm -f "$menu_png"
if [ -n "$icon" ]; then
  xdotool mousemove --window "$icon" 11 11 click 3
  if wait_for 50 menu_up; then
    import -window root -crop 420x210+604+558 "$menu_png" 2>/dev/null
    pass "the right button opens the tray menu: $menu_png"
    # Maximizar, Minimizar, Ocultar.
    xdotool key Down Down Down Return
    if wait_for 50 no_window && wait_for 50 no_tray_icon; then
      pass "\"Ocultar\" hides the window and the icon"
      xdotool key --clearmodifiers shift+ctrl+q
      if wait_for 50 one_window && wait_for 50 has_tray_icon; then
        pass "the hot-key Shift+Ctrl+Q brings back the window and the icon"
        win=$(main_windows)
      else
        fail "after \"Ocultar\" the hot-key brought back no window or no icon"
      fi
    else
      fail "\"Ocultar\" left a window or an icon"
    fi
  else
    fail "the right button on the tray icon opened no menu"
  fi
fi

# --- SIGINT, on air ------------------------------------------------------------------
if wait_for 150 on_air main && alive "$app_pid"; then
  stop_with INT main
else
  fail "the message did not go on air"
  show_logs main
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
  [ "$got" = "0|${pair#*=}" ] || changed+=("${pair%%=*}: \"$got\" (preset \"0|${pair#*=}\")")
done
got=$(stored HotKey)
[ "$got" = "1|$hotkey" ] || changed+=("HotKey: \"$got\" (preset \"1|$hotkey\")")
if [ "${#changed[@]}" -eq 0 ]; then
  pass "the program kept all ${#texts[@]} preset settings and the hot-key"
else
  fail "settings changed by the run:"
  printf '      %s\n' "${changed[@]}"
fi

got=$(stored PathAudio)
if [ "$got" = "0|$drop_folder" ]; then
  pass "a file stored as the drop folder became its folder \"$drop_folder\""
else
  fail "PathAudio after the run: \"$got\", expected \"0|$drop_folder\""
fi

# --- start in the tray: a double-click shows the window, then SIGHUP -----------------------
set_value EstadoJanela -1
launch tray
if wait_for 150 has_tray_icon && wait_for 150 on_air tray && alive "$app_pid"; then
  if no_window; then
    pass "a start in the tray shows the icon and no window"
  else
    fail "a start in the tray shows a window"
  fi
  xdotool mousemove --window "$(tray_icon)" 11 11 click --repeat 2 --delay 100 1
  if wait_for 50 one_window; then
    pass "a double-click on the icon shows the window"
  else
    fail "a double-click on the icon did not show the window"
  fi
  # The end of the desktop session.
  stop_with HUP tray
else
  fail "the start in the tray showed no icon or did not go on air"
  show_logs tray
fi
set_value EstadoJanela 0

# --- hidden start and the default hot-key -------------------------------------------------
# Started fully hidden with no hot-key stored, the window comes back with the
# default Alt+A, whatever window has the focus.
set_value HideMode -1
sqlite3 "$QUINDRA_REGISTRY" "DELETE FROM vals WHERE root = 0 AND path = $(sq "$cfg") AND
  name_key = 'hotkey';" || die "cannot remove the stored hot-key"
launch hidden
if wait_for 150 on_air hidden && alive "$app_pid"; then
  if no_window && no_tray_icon; then
    pass "a hidden start shows no window and no icon"
  else
    fail "a hidden start shows a window or an icon"
  fi
  xdotool key --clearmodifiers alt+a
  if wait_for 50 one_window && wait_for 50 has_tray_icon; then
    pass "the default hot-key Alt+A brings back the hidden window and the icon"
  else
    fail "the default hot-key Alt+A did not bring the window back"
    show_logs hidden
  fi
  stop_with TERM hidden
else
  fail "the hidden start did not go on air"
  show_logs hidden
fi

if [ "$failures" -ne 0 ]; then
  show_logs main
  echo "FAIL: $failures check(s) failed"
  exit 1
fi
echo "PASS: all window checks"
