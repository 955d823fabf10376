# Shared by scripts/run and scripts/test: Debian packages and the build.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"

BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-webengine-dev
    libxcb1-dev libxcb-screensaver0-dev
    g++-mingw-w64-x86-64 # the tests compile the Windows sources for syntax with it
    # spelling: the engine's dictionary converter and the dictionaries it converts
    qt6-webengine-dev-tools hunspell-en-us hunspell-de-de hunspell-fr)
# Buses of the tests' own, for fake logind and screen saver services.
BUS_PACKAGES=(dbus-daemon)
# clang with its sanitizer and libFuzzer runtimes, for scripts/fuzz.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Checking the installed files and building the Debian package.
PACKAGE_PACKAGES=(dpkg-dev desktop-file-utils appstream)
# A virtual desktop: an X display with software GL, a window manager and a
# notification area, for running the program and its tests without a screen.
DISPLAY_PACKAGES=(xvfb xauth x11-utils libgl1-mesa-dri fonts-dejavu-core openbox trayer)
# Driving the program from outside as a user does, for the end-to-end tests;
# a private session bus with a fake D-Bus notification area (StatusNotifierItem);
# weston's headless Wayland desktop, with XWayland and without (Qt's Wayland
# platform for the program).
E2E_PACKAGES=(python3 xdotool wmctrl imagemagick dbus python3-dbus python3-gi weston xwayland qt6-wayland)

# Installs whichever of the named Debian packages are missing.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "These Debian packages are missing: ${missing[*]}" >&2
            echo "Install them as root (apt-get install ${missing[*]}) and run this again." >&2
            exit 1
        fi
    fi
    echo "Installing ${missing[*]} ..."
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

build_program() {
    cmake -S "$ROOT" -B "$BUILD" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD" -j"$(nproc)"
}

# The browser engine refuses to run as root with its sandbox on.
allow_root_browser() {
    if [ "$(id -u)" -eq 0 ] && [ -z "${QTWEBENGINE_DISABLE_SANDBOX:-}" ]; then
        export QTWEBENGINE_DISABLE_SANDBOX=1
    fi
}

# A system bus of the run's own, in DBUS_SYSTEM_BUS_ADDRESS: the program looks
# for logind there, and no test may reach the machine's real one (or hold up
# its sleep). Ended by stop_private_system_bus.
start_private_system_bus() {
    local out
    out=$(dbus-daemon --config-file="$ROOT/tests/support/private-bus.conf" --fork \
        --print-address=1 --print-pid=1 2>/dev/null) || { echo "dbus-daemon did not start" >&2; return 1; }
    export DBUS_SYSTEM_BUS_ADDRESS="${out%%$'\n'*}"
    PRIVATE_BUS_PID="${out##*$'\n'}"
}

stop_private_system_bus() {
    [ -n "${PRIVATE_BUS_PID:-}" ] && kill "$PRIVATE_BUS_PID" 2>/dev/null || true
}

# Runs a command on a desktop of its own: Xvfb, openbox (an EWMH window
# manager) and trayer (an XEmbed notification area; not with
# TALVORIN_NO_TRAY=1), all ended afterwards.
run_on_virtual_desktop() {
    local fifo pids=() display status
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    pids+=($!)
    read -r -t 20 display <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
    # No session bus: the notification area is the X11 one, not D-Bus.
    unset DBUS_SESSION_BUS_ADDRESS
    # A window manager that did not come up would leave windows without
    # WM_STATE and tests failing for no fault of the program: one more try,
    # then the run stops here.
    local i attempt wm=""
    for attempt in 1 2; do
        openbox >/dev/null 2>&1 &
        pids+=($!)
        for i in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && wm=1 && break
            sleep 0.1
        done
        [ -n "$wm" ] && break
    done
    if [ -z "$wm" ]; then
        echo "openbox did not start on display $DISPLAY" >&2
        kill "${pids[@]}" 2>/dev/null || true
        return 1
    fi
    if [ "${TALVORIN_NO_TRAY:-}" != 1 ]; then
        trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
            --transparent false >/dev/null 2>&1 &
        pids+=($!)
        for i in $(seq 100); do
            xwininfo -root -tree 2>/dev/null | grep -q '"panel"' && break
            sleep 0.1
        done
    fi
    status=0
    "$@" || status=$?
    kill "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
    return $status
}
