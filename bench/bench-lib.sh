# shellcheck shell=bash
# Shell helpers the benchmarks share; sourced, never run.

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

# A fresh settings store at $1 with the program's key and the text values
# given as NAME=VALUE. The store's own layout (see SqliteRegistry): key paths
# and value names are matched by their lower-case form; kind 0 is a text.
write_store() {
  local db=$1
  shift
  local cfg='software\quindraespera\config'
  {
    echo "BEGIN;"
    echo "CREATE TABLE keys (root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
    echo "  PRIMARY KEY (root, path));"
    echo "CREATE TABLE vals (root INTEGER NOT NULL, path TEXT NOT NULL, name_key TEXT NOT NULL,"
    echo "  name TEXT NOT NULL, kind INTEGER NOT NULL, data, PRIMARY KEY (root, path, name_key));"
    local root part p
    for root in 0 1; do
      p=""
      for part in Software Microsoft Windows CurrentVersion Run; do
        p=${p:+$p\\}$part
        echo "INSERT INTO keys VALUES ($root, '$(printf '%s' "$p" | tr 'A-Z' 'a-z')', '$p');"
      done
    done
    echo "INSERT INTO keys VALUES (0, 'software\quindraespera', 'Software\QuindraEspera');"
    echo "INSERT INTO keys VALUES (0, '$cfg', 'Software\QuindraEspera\config');"
    local pair name value
    for pair in "$@"; do
      name=${pair%%=*}
      value=${pair#*=}
      echo "INSERT INTO vals VALUES (0, '$cfg', '$(printf '%s' "$name" | tr 'A-Z' 'a-z')'," \
        "'$name', 0, '${value//\'/\'\'}');"
    done
    echo "COMMIT;"
  } | sqlite3 -bail "$db"
}

# Runs the program at $1 in the private folders under $2 (home/, config/,
# runtime/, quindra/ for its own folder, registry.db), with no display, in
# the operator's locale; its output goes to $2/out.txt and $2/err.txt. Sets
# subject_pid.
start_program() {
  local program=$1 dir=$2
  (
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime"
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
