#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it (dpkg -i, then
# apt-get -f install for what it depends on), runs the installed program
# (--help, --agenda and --export over a database make_event_db makes), checks
# the desktop entry, icons, metainfo and manual page, and removes it again.
#   bash scripts/package_test.sh [build folder]
# Installing a package needs root on a Debian system (as in CI); elsewhere
# the test says why it does not run and exits with 77 (CTest: skipped).
# Runs are serialised through a lock file, as is dpkg itself.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"

skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing the package needs root (run as root, as CI does)"
for tool in dpkg dpkg-deb apt-get cpack flock; do
  command -v "$tool" >/dev/null || skip "$tool is missing (not a Debian system?)"
done
[ -x "$build/bin/daymark" ] && [ -x "$build/bin/make_event_db" ] ||
  skip "build daymark and make_event_db first"

exec 9>/tmp/daymark-package-test.lock
flock 9
if dpkg-query -W -f='${Status}' daymark 2>/dev/null | grep -q "install ok installed"; then
  skip "a daymark package is installed already; remove it (apt-get remove daymark) to run this test"
fi

work="$(mktemp -d)"
installed=0
cleanup() {
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 remove -y daymark >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

echo "== cpack"
(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/package/daymark_*.deb)"
echo "$deb"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# dpkg-shlibdeps names the libraries' packages with their versions.
grep -q "libqt6widgets6 (>=" <<<"$depends" || fail "Depends lacks the Qt libraries from dpkg-shlibdeps"
grep -q "libical3 (>=" <<<"$depends" || fail "Depends lacks libical from dpkg-shlibdeps"
grep -q "qt6-qpa-plugins" <<<"$depends" || fail "Depends lacks qt6-qpa-plugins"
contents="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/daymark ./usr/share/daymark/image/menu.png ./usr/share/daymark/style/ \
  ./usr/share/applications/jp.kestrel.Daymark.desktop \
  ./usr/share/metainfo/jp.kestrel.Daymark.metainfo.xml \
  ./usr/share/icons/hicolor/48x48/apps/jp.kestrel.Daymark.png \
  ./usr/share/icons/hicolor/scalable/apps/jp.kestrel.Daymark.svg \
  ./usr/share/man/man1/daymark.1.gz; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done

echo "== install"
export DEBIAN_FRONTEND=noninteractive
installed=1
if ! dpkg -i "$deb"; then
  apt-get -o DPkg::Lock::Timeout=300 -f install -y
fi
dpkg-query -W -f='${Status}' daymark | grep -q "install ok installed" || fail "not installed"
[ "$(command -v daymark)" = /usr/bin/daymark ] || fail "daymark is not /usr/bin/daymark"

echo "== run"
help="$(daymark --help)" || fail "daymark --help"
grep -q -- "--agenda" <<<"$help" || fail "--help does not list --agenda"
data="$work/home/Kestrel/Daymark"
mkdir -p "$work/home/Kestrel"
TZ=Asia/Tokyo "$build/bin/make_event_db" "$data" 300 5 >/dev/null
agenda="$(XDG_DATA_HOME="$work/home" TZ=Asia/Tokyo daymark --agenda --tsv)" ||
  fail "daymark --agenda"
[ "$(wc -l <<<"$agenda")" -gt 10 ] || fail "the agenda has too few lines"
XDG_DATA_HOME="$work/home" TZ=Asia/Tokyo daymark --export "$work/all.ics" ||
  fail "daymark --export"
grep -q "^BEGIN:VCALENDAR" "$work/all.ics" || fail "the export is no iCalendar"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/jp.kestrel.Daymark.metainfo.xml ||
    fail "appstreamcli validate"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/jp.kestrel.Daymark.desktop ||
    fail "desktop-file-validate"
fi
man -l /usr/share/man/man1/daymark.1.gz >/dev/null 2>&1 || zcat /usr/share/man/man1/daymark.1.gz |
  grep -q "^.TH DAYMARK" || fail "the manual page"

echo "== remove"
apt-get -o DPkg::Lock::Timeout=300 remove -y daymark
installed=0
! dpkg-query -W -f='${Status}' daymark 2>/dev/null | grep -q "install ok installed" ||
  fail "still installed"
[ ! -e /usr/bin/daymark ] && [ ! -e /usr/share/daymark ] &&
  [ ! -e /usr/share/applications/jp.kestrel.Daymark.desktop ] || fail "files left behind"
echo "PASSED: the package installs, runs and is removed cleanly"
