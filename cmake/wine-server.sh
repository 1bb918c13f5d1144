#!/bin/sh
# up PREFIX:   create the test prefix if it is new and start a persistent wineserver
# down PREFIX: shut the wineserver of that prefix down
set -e
action="$1"
WINEPREFIX="$2"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
[ -x "$server" ] || server=/usr/lib/wine/wineserver
wine=$(command -v wine || command -v wine64)
case "$action" in
  up)
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
      "$server" -w
      # Unmanaged top-level windows close at once under a bare X server.
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      "$server" -w
    fi
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine prefix was not created" >&2; exit 1; }
    # A crashing test must fail, not wait on a crash dialog nobody can see.
    if ! grep -q ShowCrashDialog "$WINEPREFIX/user.reg" 2>/dev/null; then
      "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      "$server" -w
    fi
    # An already running server for this prefix is fine.
    "$server" -p </dev/null >/dev/null 2>&1 || true
    # Start the prefix's system processes here, detached from our output:
    # started later by a test, they would inherit the test's output pipe and
    # keep CTest waiting long after the test has finished.
    "$wine" wineboot </dev/null >/dev/null 2>&1 || true
    echo "wineserver running for $WINEPREFIX"
    ;;
  down)
    "$server" -k 2>/dev/null || true
    echo "wineserver stopped for $WINEPREFIX"
    ;;
  *)
    echo "usage: wine-server.sh up|down PREFIX" >&2
    exit 2
    ;;
esac
