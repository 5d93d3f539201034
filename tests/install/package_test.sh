#!/usr/bin/env bash
# The Debian package as a user receives it: made by CPack from this build, accepted by lintian,
# unpacked into a root of its own. There its desktop entry and metainfo pass their
# validators, its dependencies come from the libraries it links, and its runner outputs every
# demo report of the package from the demo database the package holds.
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/rg-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/reportgen_*.deb)
lintian --fail-on error "$deb"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libsqlite3-0 libodbc2; do
  case "$depends" in
    *"$lib"*) ;;
    *) echo "the package does not depend on $lib: $depends" >&2; exit 1 ;;
  esac
done

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.reportgen.reportgen.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.reportgen.reportgen.metainfo.xml"
test -s "$root/usr/share/man/man1/reportgen.1.gz"
test -s "$root/usr/share/icons/hicolor/scalable/apps/org.reportgen.reportgen.svg"

count=0
for ini in "$root"/usr/share/reportgen/setup/*.ini; do
  out=$work/$(basename "$ini" .ini).csv
  "$root/usr/bin/reportgen" --run "$ini" --format csv --output "$out"
  # A header and at least one row.
  if [ "$(wc -l <"$out")" -lt 2 ]; then
    echo "$(basename "$ini") gave no rows" >&2
    exit 1
  fi
  count=$((count + 1))
done
[ "$count" -ge 3 ] || { echo "only $count demo reports in the package" >&2; exit 1; }
echo "package checked: $(basename "$deb"), $count demo reports run"
