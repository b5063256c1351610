# shellcheck shell=bash
# Shell helpers the benchmarks share; sourced, never run.

# shellcheck source=tests/support/settings-store.sh
. "$(dirname "${BASH_SOURCE[0]}")/../tests/support/settings-store.sh"

# TERM, then KILL after 10 s.
stop_pid() {
  local pid=$1 tenths=100
  kill "$pid" 2>/dev/null || return 0
  while kill -0 "$pid" 2>/dev/null && [ "$tenths" -gt 0 ]; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Resident memory of a process, in KiB (0 once it is gone).
rss_kib() {
  local line
  line=$(grep '^VmRSS:' "/proc/$1/status" 2>/dev/null) || { echo 0; return; }
  line=${line#VmRSS:}
  line=${line% kB}
  echo $((line))
}

# Microseconds since the epoch; the separator in EPOCHREALTIME follows the
# locale.
now_us() { echo "${EPOCHREALTIME//[!0-9]/}"; }

# Sleeps until the microsecond time $1 (at once if it has passed).
sleep_until_us() {
  local wait_us=$(($1 - $(now_us)))
  [ "$wait_us" -gt 0 ] && sleep "$(printf '%d.%06d' $((wait_us / 1000000)) $((wait_us % 1000000)))"
  return 0
}

# Runs the program at $1 in the private folders under $2 (home/, config/,
# runtime/, quindra/ for its own folder, registry.db), with no display, in
# the operator's locale; its output goes to $2/out.txt and $2/err.txt. Sets
# subject_pid.
start_program() {
  local program=$1 dir=$2
  (
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state"
    export XDG_RUNTIME_DIR="$dir/runtime"
    export QUINDRA_HOME="$dir/quindra" QUINDRA_REGISTRY="$dir/registry.db"
    export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/no-bus"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER DISPLAY
    [ -z "${bench_display:-}" ] || export DISPLAY="$bench_display"
    exec "$program" >"$dir/out.txt" 2>"$dir/err.txt"
  ) &
  # shellcheck disable=SC2034 # the caller's
  subject_pid=$!
}

program_on_air() { grep -qs 'Stream inicializado com sucesso' "$1"; }
