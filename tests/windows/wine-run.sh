#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: a program of the Windows build under
# Wine, in the prefix PREFIX, with no display and no install prompts.
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
