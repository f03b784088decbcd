# Sourced by the scripts that run programs under Wine: a prefix of the build's
# own, a persistent wineserver, and an X display (a private Xvfb when none is given).
VANTELO_ROOT=${VANTELO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VANTELO_ROOT/build/x86_64/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINE=/usr/lib/wine/wine64
VANTELO_XVFB_PID=

vantelo_wine_start() {
  local headless=${1:-auto}
  if [ "$headless" = always ] || [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 130); do
      [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      VANTELO_XVFB_PID=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
  fi
  /usr/lib/wine/wineserver -p
  # Start Wine's services now, with no pipes of ours open: services started by
  # a test program would hold its output open and stall whoever reads it.
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
}

vantelo_wine_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -n "$VANTELO_XVFB_PID" ]; then
    kill "$VANTELO_XVFB_PID" 2>/dev/null || true
    wait "$VANTELO_XVFB_PID" 2>/dev/null || true
  fi
}
