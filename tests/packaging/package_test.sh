#!/usr/bin/env bash
# The Debian package as a user meets it: built by tools/package, checked by
# lintian, desktop-file-validate and appstreamcli, installed with dpkg -i on
# this machine, started from its menu entry on a virtual display, and purged
# without a file left behind. Installs onto the machine itself (as root or
# through sudo): a throw-away dpkg root would have no libraries to run the
# programs with. Exit 77 (skipped) where that cannot be done; with CI set,
# failing instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"

skip() {
  echo "SKIPPED: $*"
  [ -n "${CI:-}" ] && exit 1
  exit 77
}
fail() {
  echo "FAILED: $*"
  exit 1
}

for tool in dpkg-shlibdeps lintian desktop-file-validate appstreamcli gio xvfb-run xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "installing the package needs root or sudo without a password"
  sudo="sudo -n"
fi
# A copy the user installed is theirs: the test would replace and purge it.
dpkg -s prefixutil >/dev/null 2>&1 && skip "prefixutil is installed on this machine already"

deb="$("$root/tools/package" | tail -1)"
deb="$root/$deb"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/release/CMakeCache.txt")"

# The file list, exactly.
expected="/usr/bin/dbftool
/usr/bin/prefixutil
/usr/share/applications/prefixutil.desktop
/usr/share/doc/prefixutil/changelog.gz
/usr/share/doc/prefixutil/copyright
/usr/share/icons/hicolor/scalable/apps/prefixutil.svg
/usr/share/man/man1/dbftool.1.gz
/usr/share/man/man1/prefixutil.1.gz
/usr/share/metainfo/prefixutil.metainfo.xml"
files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)"
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = prefixutil ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the tree says $version"
changed="$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)"
[ "$changed" = "$version" ] || fail "the latest entry of packaging/changelog is $changed, the version $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
for dependency in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
  field Depends | grep -q "\b$dependency (>= " || fail "Depends lacks $dependency: $(field Depends)"
done

lintian --allow-root --fail-on error,warning "$deb" || fail "lintian"

cleanup() {
  dpkg -s prefixutil >/dev/null 2>&1 && $sudo dpkg --purge prefixutil >/dev/null
  rm -rf "$home"
}
home="$(mktemp -d)"
trap cleanup EXIT
$sudo dpkg -i "$deb" >/dev/null || fail "dpkg -i"

desktop-file-validate /usr/share/applications/prefixutil.desktop || fail "desktop-file-validate"
# Warnings are let through: the id is not a reverse domain name, as the project has no domain.
report="$(appstreamcli validate --no-net /usr/share/metainfo/prefixutil.metainfo.xml || true)"
echo "$report"
! grep -q '^E:' <<<"$report" || fail "appstreamcli validate"

# Nothing installed points back into this checkout (its sample/ folder among others).
for file in $files; do
  ! zgrep -qF "$root" "$file" || fail "$file names $root"
done
[ "$(/usr/bin/dbftool --version)" = "dbftool $version" ] || fail "dbftool --version"
[ "$(/usr/bin/prefixutil --version)" = "prefixutil $version" ] || fail "prefixutil --version"
/usr/bin/prefixutil --help | grep -q '^Usage: prefixutil \[FOLDER\]$' || fail "prefixutil --help"
# Every command and option of --help has its entry in the manual page, and back.
for program in dbftool prefixutil; do
  said="$(/usr/bin/$program --help | sed -n 's/^  \(-*[a-z][a-z-]*\) .*/\1/p' | sort)"
  # The first bold word after each .TP, exit statuses left out.
  manual="$(zcat /usr/share/man/man1/$program.1.gz | sed -n '/^\.TP/{n;s/^\(\\fB\|\.B \)\([^ ]*\).*/\2/p}' |
            sed 's/\\fR.*//; s/\\-/-/g' | grep -v '^[0-9]' | sort)"
  [ "$said" = "$manual" ] || fail "$program --help lists"$'\n'"$said"$'\n'"the manual page"$'\n'"$manual"
done

# Started from the menu entry in the home folder, it opens its folder dialog.
(
  unset QT_QPA_PLATFORM
  export HOME="$home"
  cd "$home"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    gio launch /usr/share/applications/prefixutil.desktop || exit 1
    window="$(timeout 120 xdotool search --sync --name "^Select Folder\$" | head -1)"
    [ -n "$window" ] || exit 1
    pid="$(xdotool getwindowpid "$window")"
    exe="$(readlink "/proc/$pid/exe")"
    kill "$pid"
    [ "$exe" = /usr/bin/prefixutil ]'
) || fail "the folder dialog of /usr/bin/prefixutil did not show when started from its menu entry"

$sudo dpkg --purge prefixutil >/dev/null || fail "dpkg --purge"
# What is still there must be a folder another package owns.
for path in $(dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); print $6 }'); do
  [ -e "$path" ] || continue
  [ -d "$path" ] && dpkg -S "${path%/}" >/dev/null 2>&1 || fail "$path left behind"
done
echo "package $(basename "$deb"): built, checked, installed, started and purged"
