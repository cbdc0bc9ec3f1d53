#!/bin/sh
# Runs the service cases under Wine in a prefix of their own. Wine's service
# manager gives services its own environment, made once when it starts its
# first service, from the prefix's system variables: so the launcher's trace
# is named there, before anything starts that prefix's service manager.
#   service-wine-run.sh PREFIX TRACE PROGRAM [ARGUMENT...]
set -eu
export WINEPREFIX="$1"
trace="$2"
shift 2
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.initialised" ]; then
    wineboot -i >/dev/null 2>&1 && wineserver -w && touch "$WINEPREFIX/.initialised"
  fi
  windows_trace="Z:$(printf '%s' "$trace" | tr / '\\')"
  wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v ZORV_LAUNCHER_DEBUG \
    /d "$windows_trace" /f >/dev/null 2>&1
  # The next program starts the service manager afresh, with the trace named.
  wineserver -k 2>/dev/null || true
  wineserver -w
) 9>"$WINEPREFIX.lock"
export ZORV_E2E_SERVICE_TRACE="Z:$(printf '%s' "$trace" | tr / '\\')"
exec wine "$@"
