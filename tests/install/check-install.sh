#!/usr/bin/env bash
# Installs a build into a scratch prefix and packs it as a .deb, then checks
# that both hold what a desktop needs: the program, its desktop entry, the
# hicolor icons and the AppStream metainfo, all valid and agreeing with each
# other, and a package whose Depends bring in the browser engine's parts.
# Usage: check-install.sh <build dir> <source dir>
set -euo pipefail

BUILD=$(cd "${1:?usage: $0 <build dir> <source dir>}" && pwd)
SRC=$(cd "${2:?usage: $0 <build dir> <source dir>}" && pwd)
CMAKE=${CMAKE_COMMAND:-cmake}
CPACK=${CPACK_COMMAND:-cpack}
PACKAGE=talvorintool

fail() { echo "check-install: FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (Debian package $2)"; }
need desktop-file-validate desktop-file-utils; need appstreamcli appstream
need dpkg-shlibdeps dpkg-dev; need dpkg-deb dpkg

scratch=$(mktemp -d)
app_pid=
trap '[ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $BUILD/CMakeCache.txt"
metainfo_src=$(cd "$SRC/resources" && ls -- *.metainfo.xml)
sizes=$(cd "$SRC/resources/icons" && ls talvorin-*.png | sed 's/^talvorin-\([0-9]*\)\.png$/\1/' | sort -n)
[ -n "$sizes" ] || fail "no icons in $SRC/resources/icons"

# The files both the install and the package must hold, relative to /usr.
expected=(bin/TalvorinTool share/applications/TalvorinTool.desktop "share/metainfo/$metainfo_src")
for n in $sizes; do expected+=("share/icons/hicolor/${n}x$n/apps/TalvorinTool.png"); done

# --- cmake --install -----------------------------------------------------
usr="$scratch/root/usr"
"$CMAKE" --install "$BUILD" --prefix "$usr" >"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }
for f in "${expected[@]}"; do [ -f "$usr/$f" ] || fail "not installed: usr/$f"; done
[ -x "$usr/bin/TalvorinTool" ] || fail "usr/bin/TalvorinTool is not executable"
installed=$(cd "$usr" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$(printf '%s\n' "${expected[@]}" | sort)" ] \
    || fail "installed files differ from the expected ones:"$'\n'"$installed"

for n in $sizes; do
    icon="$usr/share/icons/hicolor/${n}x$n/apps/TalvorinTool.png"
    cmp -s "$icon" "$SRC/resources/icons/talvorin-$n.png" || fail "$icon is not talvorin-$n.png"
    # The PNG header's width and height must be the size the directory claims.
    read -r w h < <(od -An -tu1 -j16 -N8 "$icon" \
        | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w" = "$n" ] && [ "$h" = "$n" ] || fail "$icon is ${w}x$h, not ${n}x$n"
done

desktop="$usr/share/applications/TalvorinTool.desktop"
# Hints count too: a missing main category is only a hint, yet menus then
# file the program under "Other".
msgs=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$msgs" ] \
    || fail "desktop-file-validate on the desktop entry:"$'\n'"$msgs"
grep -qx 'Icon=TalvorinTool' "$desktop" || fail "desktop entry: Icon is not TalvorinTool"
grep -qx 'Exec=TalvorinTool' "$desktop" || fail "desktop entry: Exec is not TalvorinTool"

metainfo="$usr/share/metainfo/$metainfo_src"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo_src"
grep -q "<id>${metainfo_src%.metainfo.xml}</id>" "$metainfo" || fail "metainfo id is not its file name"
grep -q '<launchable type="desktop-id">TalvorinTool.desktop</launchable>' "$metainfo" \
    || fail "metainfo does not launch TalvorinTool.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

# --- cpack -G DEB --------------------------------------------------------
(cd "$scratch" && "$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$scratch/pkg") \
    >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$scratch"/pkg/*.deb); deb=${debs[0]}
[ ${#debs[@]} -eq 1 ] && [ -f "$deb" ] || fail "cpack made no single .deb: ${debs[*]}"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$PACKAGE" ] || fail "package name is '$(field Package)', not $PACKAGE"
[ "$(field Version)" = "$version" ] || fail "package version is '$(field Version)', not $version"
[ "$(field Section)" = net ] || fail "package section is '$(field Section)', not net"
[ -n "$(field Maintainer)" ] || fail "package has no Maintainer"
depends=$(field Depends)
has_dep() { grep -Eq "(^|, *)$1( |,|$)" <<<"$depends"; }
for p in libqt6webenginecore6 libqt6webenginewidgets6 libqt6webenginecore6-bin \
        libqt6webengine6-data libqt6widgets6 libqt6network6 libqt6gui6 libxcb1; do
    has_dep "$p" || fail "Depends does not name $p: $depends"
done

# Whatever the engine loads at run time must come from a package Depends
# names, whichever package the distribution puts it in.
if command -v qtpaths6 >/dev/null; then
    q() { qtpaths6 --query "$1"; }
    for f in "$(q QT_INSTALL_LIBEXECS)/QtWebEngineProcess" \
             "$(q QT_INSTALL_DATA)/resources/qtwebengine_resources.pak" \
             "$(q QT_INSTALL_TRANSLATIONS)/qtwebengine_locales/en-US.pak" \
             "$(q QT_INSTALL_PLUGINS)/platforms/libqxcb.so"; do
        owner=$(dpkg -S "$f" 2>/dev/null | head -n1 | cut -d: -f1) || true
        [ -n "$owner" ] || fail "no package holds $f"
        has_dep "$owner" || fail "$f comes from $owner, which Depends does not name"
    done
fi
# Every dependency must be satisfiable, here where the build's libraries are.
dpkg-checkbuilddeps -d "$depends" /dev/null || fail "Depends is not satisfied on this system"

packed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./usr/||' | sort)
[ "$packed" = "$(printf '%s\n' "${expected[@]}" | sort)" ] \
    || fail "the package's files differ from the expected ones:"$'\n'"$packed"

# --- the installed copy starts --------------------------------------------
# Needs a display (scripts/test provides one); it must stay up and end
# cleanly on SIGTERM, which runs Exit as a logout would.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    [ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
    mkdir -p "$scratch/home"
    (cd "$scratch" && HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
        XDG_DATA_HOME="$scratch/home/.local/share" XDG_CACHE_HOME="$scratch/home/.cache" \
        exec "$usr/bin/TalvorinTool") >"$scratch/run.log" 2>&1 &
    app_pid=$!
    sleep 4
    kill -0 "$app_pid" 2>/dev/null || { cat "$scratch/run.log" >&2; fail "installed copy did not stay up"; }
    kill -TERM "$app_pid"
    for _ in $(seq 150); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "installed copy still runs 15 s after SIGTERM"
    status=0; wait "$app_pid" || status=$?; app_pid=
    [ "$status" -eq 0 ] || { cat "$scratch/run.log" >&2; fail "installed copy ended with $status"; }
else
    echo "check-install: no display, the installed copy was not started"
fi
echo "check-install: OK ($PACKAGE $version, $(wc -w <<<"$sizes") icon sizes)"
