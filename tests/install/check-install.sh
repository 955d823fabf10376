#!/usr/bin/env bash
# Installs a build into a scratch prefix and packs it as a .deb, then checks
# that both hold what a desktop needs (the program, a valid desktop entry, the
# hicolor icons, valid AppStream metainfo), that the installed program starts
# its guardian from where it was installed, and that the package depends on the
# browser engine. The rest of what the program does is tested by tests/e2e.
# Usage: check-install.sh <build dir> <source dir>
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
fail() { echo "check-install: FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

metainfo=$(cd "$SRC/resources" && ls -- *.metainfo.xml)
expected=(bin/TalvorinTool libexec/TalvorinTool/talvorin-guardian share/applications/TalvorinTool.desktop "share/metainfo/$metainfo"
    share/man/man1/TalvorinTool.1)
# talvorin-16.png goes to share/icons/hicolor/16x16/apps/TalvorinTool.png.
icons=$(cd "$SRC/resources/icons" && ls talvorin-*.png \
    | sed -E 's|talvorin-(.*)\.png|share/icons/hicolor/\1x\1/apps/TalvorinTool.png|')
[ -f "$BUILD/qtwebengine_dictionaries/en-US.bdic" ] || fail "no en-US spelling dictionary was built"
bdics=$(cd "$BUILD" && ls qtwebengine_dictionaries/*.bdic | sed 's|^|share/TalvorinTool/|')
want=$(printf '%s\n' "${expected[@]}" $icons $bdics | sort)

usr="$scratch/root/usr"
"${CMAKE_COMMAND:-cmake}" --install "$BUILD" --prefix "$usr" >/dev/null || fail "cmake --install failed"
[ "$(cd "$usr" && find . -type f | sed 's|^\./||' | sort)" = "$want" ] || fail "installed files differ"
# The installed program finds its guardian where it was installed.
HOME="$scratch/home" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 "$usr/bin/TalvorinTool" \
    >/dev/null 2>&1 &
program=$!
guarded() { pgrep -P "$program" -xf "$usr/libexec/TalvorinTool/talvorin-guardian $usr/bin/TalvorinTool" >/dev/null; }
for _ in $(seq 300); do guarded && break; sleep 0.1; done
guarded || { kill "$program"; fail "the installed program started no guardian"; }
kill -TERM "$program" && wait "$program" || fail "the installed program did not end on SIGTERM"
desktop-file-validate "$usr/share/applications/TalvorinTool.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$usr/share/metainfo/$metainfo" || fail "metainfo invalid"

(cd "$scratch" && "${CPACK_COMMAND:-cpack}" -G DEB --config "$BUILD/CPackConfig.cmake" \
    -B "$scratch/pkg" >/dev/null) || fail "cpack -G DEB failed"
deb=$(ls "$scratch"/pkg/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6webenginecore6 libqt6webenginewidgets6 libqt6webenginecore6-bin; do
    grep -Eq "(^|, *)$p( |,|$)" <<<"$depends" || fail "Depends does not name $p: $depends"
done
dpkg-checkbuilddeps -d "$depends" /dev/null || fail "Depends is not satisfied on this system"
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./usr/||' | sort)" = "$want" ] \
    || fail "the package's files differ"

echo "check-install: OK"
