#!/usr/bin/env bash
# The Debian package as a switchboard's PC gets it: built and checked by
# lintian, installed with apt, started by an ordinary user without a display
# on a private sound server with the virtual hold device, then removed and
# purged; the user's message and settings stay where they were.
#
#   package_test.sh SOURCE_DIR [PACKAGE]
#
# PACKAGE names a .deb that scripts/package built already, to skip the build.
set -euo pipefail
src=$(cd "$1" && pwd)
prebuilt=${2:-}
user=quindra-pacote
work=$(mktemp -d "${TMPDIR:-/tmp}/quindra-package.XXXXXX")
chmod 755 "$work"
home=""
sound=""
program=""

fail() {
  echo "FALHOU: $*" >&2
  exit 1
}

cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  if [ -n "$sound" ]; then
    runuser -u "$user" -- "$src/scripts/virtual-hold-device" stop "$sound" >/dev/null 2>&1 || true
  fi
  if dpkg-query -W -f='${Status}' quindra 2>/dev/null | grep -q 'install ok installed'; then
    apt-get purge -y -qq quindra >/dev/null 2>&1 || true
  fi
  if [ -n "$home" ] && id "$user" >/dev/null 2>&1; then
    userdel -r "$user" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ "$(id -u)" -ne 0 ]; then
  echo "package_test: installing a package needs root; skipped" >&2
  exit 77
fi

# 1. Built and checked (scripts/package fails on a lintian error or warning).
if [ -n "$prebuilt" ]; then
  deb=$prebuilt
  lintian --fail-on error,warning "$deb"
else
  deb=$(QUINDRA_PACKAGE_DIR="$work/package" "$src/scripts/package" | tail -n 1)
fi
[ -f "$deb" ] || fail "no package was built"
version=$(dpkg-deb -f "$deb" Version)
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
relations=$(dpkg-deb -f "$deb" Depends Recommends | grep -oE '[a-z0-9][a-z0-9.+-]+' | sort -u)
for tool in xvfb umockdev python3-aiosmtpd trayer sox; do
  if grep -qxF "$tool" <<<"$relations"; then
    fail "a test tool is in Depends or Recommends: $tool"
  fi
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/espera ./usr/share/applications/br.com.vizudu.quindra.desktop \
  ./usr/share/metainfo/br.com.vizudu.quindra.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/br.com.vizudu.quindra.svg \
  ./usr/share/icons/hicolor/48x48/apps/br.com.vizudu.quindra.png \
  ./usr/share/icons/hicolor/256x256/apps/br.com.vizudu.quindra.png \
  ./usr/share/man/man1/espera.1.gz ./usr/share/doc/quindra/README.md.gz; do
  grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done

# 2. The files an installation ships pass their own validators.
unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/br.com.vizudu.quindra.desktop"
appstreamcli validate --no-net --pedantic \
  "$unpacked/usr/share/metainfo/br.com.vizudu.quindra.metainfo.xml"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
  man --warnings -E UTF-8 -l -Tutf8 -Z "$unpacked/usr/share/man/man1/espera.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "the manual page warns: $man_warnings"

# 3. Installed with apt, as a technician would.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
[ "$(/usr/bin/espera --version)" = "espera (Quindra) $version" ] || fail "espera --version"

# 4. An ordinary user starts it without a display, on a private sound server.
id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { runuser -u "$user" -- env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin \
  LANG=pt_BR.UTF-8 XDG_RUNTIME_DIR="$runtime" "$@"; }
runtime="$work/run"
mkdir -m 700 "$runtime"
chown "$user" "$runtime"
sound="$work/sound"
mkdir -m 700 "$sound"
chown "$user" "$sound"
exports=$(as_user "$src/scripts/virtual-hold-device" start "$sound")
pulse_server=$(sed -nE 's/^export PULSE_SERVER=//p' <<<"$exports" | tr -d "'\"")
[ -n "$pulse_server" ] || fail "the private sound server did not start"

message_folder="$home/.local/share/quindra/Audio"
as_user mkdir -p "$message_folder"
as_user sox -n -r 44100 -c 1 -b 16 "$message_folder/espera.wav" synth 1.5 sine 440 gain -6

marker="$work/installed"
touch "$marker"
sleep 1 # file times have a second's grain on some file systems
log="$work/espera.log"
as_user env PULSE_SERVER="$pulse_server" /usr/bin/espera >"$log" 2>&1 &
program=$!
for _ in $(seq 600); do
  grep -q "Stream inicializado com sucesso." "$log" && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
grep -q "Stream inicializado com sucesso." "$log" || { cat "$log" >&2; fail "the channel did not open"; }

# The message on air: the hold device plays sound.
played="$sound/played.raw"
heard=0
for _ in $(seq 300); do
  if [ -s "$played" ] && od -An -v -tx1 "$played" | tr -d ' \n' | grep -q '[1-9a-f]'; then
    heard=1
    break
  fi
  sleep 0.1
done
[ "$heard" -eq 1 ] || { cat "$log" >&2; fail "nothing was heard on the hold device"; }

# The signal goes to the program itself, not to runuser, which would pass on
# its own death by the signal.
pkill -TERM -u "$user" -x espera || fail "espera is not running"
wait "$program" || fail "espera did not end with 0 after SIGTERM"
program=""

written=$(find /usr -newer "$marker" -print 2>/dev/null | head -n 5)
[ -z "$written" ] || fail "the program wrote under /usr: $written"
[ -f "$home/.config/quindra/registry.db" ] || fail "no settings store in the user's folder"

# 5. Removed and purged: the user's data stays.
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quindra >/dev/null
[ ! -e /usr/bin/espera ] || fail "/usr/bin/espera is still there after removal"
# A package without configuration files leaves nothing for purge after
# remove; dpkg says so and purges what there is.
dpkg --purge quindra >/dev/null 2>&1
[ -f "$message_folder/espera.wav" ] || fail "removing the package took the user's message"
[ -f "$home/.config/quindra/registry.db" ] || fail "removing the package took the user's settings"
echo "package_test: $(basename "$deb") built, checked, installed, on air, removed"
