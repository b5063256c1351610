# shellcheck shell=bash
# Shell helpers that the window test and the benchmarks share; sourced,
# never run.

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

# A text as an SQL string literal.
sql_text() { printf "'%s'" "${1//\'/\'\'}"; }

# The program's settings key, as the store files it: key paths and value
# names are matched by their lower-case form.
store_config_key='software\quindraespera\config'

# A fresh settings store at $1 holding the program's key with the values
# given as NAME=TEXT (a text) or NAME#=NUMBER (a 32-bit integer), in the
# store's own layout (see SqliteRegistry).
write_store() {
  local db=$1
  shift
  {
    echo "BEGIN;"
    echo "CREATE TABLE keys (root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
    echo "  PRIMARY KEY (root, path));"
    echo "CREATE TABLE vals (root INTEGER NOT NULL, path TEXT NOT NULL, name_key TEXT NOT NULL,"
    echo "  name TEXT NOT NULL, kind INTEGER NOT NULL, data, PRIMARY KEY (root, path, name_key));"
    echo "INSERT INTO keys VALUES (0, 'software', 'Software');"
    echo "INSERT INTO keys VALUES (0, 'software\\quindraespera', 'Software\\QuindraEspera');"
    echo "INSERT INTO keys VALUES (0, $(sql_text "$store_config_key"), 'Software\\QuindraEspera\\config');"
    local pair name value data kind
    for pair in "$@"; do
      name=${pair%%=*}
      value=${pair#*=}
      if [ "${name%#}" != "$name" ]; then
        name=${name%#} kind=1 data=$((value))
      else
        kind=0 data=$(sql_text "$value")
      fi
      echo "INSERT INTO vals VALUES (0, $(sql_text "$store_config_key"), $(sql_text "${name,,}")," \
        "$(sql_text "$name"), $kind, $data);"
    done
    echo "COMMIT;"
  } | sqlite3 -bail "$db"
}
