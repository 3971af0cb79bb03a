#!/usr/bin/env bash
# Builds the Debian package from a Release build and checks it as a packager
# would: lintian, the desktop's own checkers on the installed files, and the
# unpacked program itself, which must find its help under any prefix.
#   scripts/check-package.sh build/release
set -euo pipefail
build=$(cd "${1:?usage: $0 RELEASE-BUILD-FOLDER}" && pwd)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
deb=$(ls "$build"/package/caldrin_*.deb)
echo "Built $deb"

lintian --fail-on error,warning "$deb"

dpkg-deb -x "$deb" "$out/root"
usr=$out/root/usr
desktop-file-validate "$usr/share/applications/org.caldrin.Calculator.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/org.caldrin.Calculator.metainfo.xml" >/dev/null

fail() {
    echo "check-package: $*" >&2
    exit 1
}

for path in share/icons/hicolor/scalable/apps/org.caldrin.Calculator.svg \
    share/icons/hicolor/48x48/apps/org.caldrin.Calculator.png \
    share/man/man1/caldrin.1.gz share/doc/caldrin/copyright; do
    [[ -f $usr/$path ]] || fail "missing $path"
done

# Unpacked elsewhere than /usr, the program still finds its own help.
[[ $(env -i "$usr/bin/caldrin" --version) == "caldrin "* ]] || fail "--version"
help=$(env -i "$usr/bin/caldrin" --help)
grep -qxF "Help file:   $usr/share/caldrin/Caldrin v3.hlp" <<<"$help" || fail "help file not found: $help"
grep -qxF "Help viewer: $usr/libexec/caldrin/caldrin-help" <<<"$help" || fail "help viewer not found: $help"
[[ $(env -i "$usr/bin/caldrin-audit-window" --version) == "Caldrin Audit "* ]] ||
    fail "audit window --version"

# It starts offscreen and keeps running until it is ended.
status=0
env -i QT_QPA_PLATFORM=offscreen timeout 5 "$usr/bin/caldrin" || status=$?
[[ $status -eq 124 ]] || fail "the unpacked program ended by itself with status $status"

echo "Package checked: $(basename "$deb")"
