#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated board with a device tree in a temporary
# directory and the program against it. The program's settings (look, font size, window places)
# and its data folder (where a debug log file would go; the program writes none) live in the
# script's own folder .run/ beside it, kept from run to run and apart from the user's own settings;
# "Autostart" is switched on at every start, so that the program connects to the fresh board by
# itself. The program's messages go to standard error.
# Usage: ./run.sh [--chip 3162|3141] [program arguments ...]
set -euo pipefail
cd "$(dirname "$0")"

chip=3162
if [ "${1:-}" = "--chip" ]; then
    chip=${2:-}
    shift 2 || true
fi
case "$chip" in
    3141|3162) ;;
    *) echo "run.sh: --chip takes 3141 or 3162" >&2; exit 2 ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    # The virtual X server the message below offers comes with the xvfb package.
    scripts/install-deps.sh xvfb
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session," >&2
    echo "        or under a virtual X server: xvfb-run -a ./run.sh" >&2
    exit 1
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target kvn31xx-eval kvn-boardsim kvn-devcon

work=$(mktemp -d -t kvn31xx-eval-run.XXXXXX)
board_pid=
cleanup() {
    [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

build/tools/boardsim/kvn-boardsim --chip "$chip" --fixture "$work/board" &
board_pid=$!
for _ in $(seq 100); do
    [ -e "$work/board/dev/ttyACM0" ] && break
    kill -0 "$board_pid" 2>/dev/null || { echo "run.sh: the simulated board did not start" >&2; exit 1; }
    sleep 0.05
done
echo "Simulated KVN$chip board on $work/board/dev/ttyACM0 (control: $work/board/control.sock)"

keep="$PWD/.run"
export XDG_CONFIG_HOME="$keep/config" XDG_DATA_HOME="$keep/data"
settings="$XDG_CONFIG_HOME/Korvane/kvn31xx-eval.ini"
mkdir -p "$(dirname "$settings")" "$XDG_DATA_HOME"
# Autostart on, every other key as the last run left it.
if [ -f "$settings" ] && grep -q '^\[General\]' "$settings"; then
    sed -i -e '/^Autostart=/d' -e 's/^\[General\]$/[General]\nAutostart=true/' "$settings"
else
    { printf '[General]\nAutostart=true\n\n'; cat "$settings" 2>/dev/null || true; } >"$settings.new"
    mv "$settings.new" "$settings"
fi
export KVN_SYSFS_ROOT="$work/board/sys" KVN_DEV_ROOT="$work/board/dev"
export KVN_UDEV_RULES_DIR="$work/rules.d"

build/kvn31xx-eval "$@"
