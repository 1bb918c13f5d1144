#!/bin/sh
# Runs a Windows program under Wine in the build tree's test prefix.
# CTest uses this as the cross-compiling emulator; tools use it by hand.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set" >&2
  exit 2
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko installers: the prefix must come up without a network.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if command -v wine >/dev/null 2>&1; then
  exec wine "$@"
fi
exec wine64 "$@"
