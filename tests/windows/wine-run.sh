#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: a program of the Windows build under
# Wine, in the prefix PREFIX, with no display and no install prompts.
# wine-run.sh PREFIX --start | --stop: starts Wine's server to stay up
# between the programs, and makes the prefix or brings it up to date; or
# stops the server. A server that ends between two programs can drop the
# next one's start ("recvmsg: Connection reset by peer").
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
case "$1" in
  --start)
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1 || true  # one may run already
    # The services it starts stay with the server: they must not hold the caller's output open.
    exec wine wineboot -i </dev/null >/dev/null 2>&1 ;;
  --stop) exec wineserver -k ;;
esac
exec wine "$@"
