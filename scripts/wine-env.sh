# Sourced by the run and test scripts: a private Wine prefix and X display for
# one run, and the cleanup of both by pid, whatever way the run ends.
#
#   keltaz_env_start [screen-geometry]   sets WORKDIR, WINEPREFIX, DISPLAY, TMPDIR
#   keltaz_env_stop                       ends wineserver and Xvfb, removes WORKDIR
#   keltaz_prefix_clone NAME              copies the booted prefix (server stopped)

KELTAZ_XVFB_PID=""
KELTAZ_OWN_DISPLAY=0

keltaz_log() { echo "[env] $*" >&2; }

keltaz_env_stop() {
  set +e
  if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-/nonexistent}" ]; then
    WINEPREFIX="$WINEPREFIX" timeout 20 wineserver -k >/dev/null 2>&1
  fi
  for p in "${WORKDIR:-/nonexistent}"/prefix-*; do
    [ -d "$p" ] && WINEPREFIX="$p" timeout 20 wineserver -k >/dev/null 2>&1
  done
  if [ -n "$KELTAZ_XVFB_PID" ]; then
    kill "$KELTAZ_XVFB_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$KELTAZ_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$KELTAZ_XVFB_PID" 2>/dev/null
    KELTAZ_XVFB_PID=""
  fi
  if [ -n "${WORKDIR:-}" ] && [ -z "${KELTAZ_KEEP_WORKDIR:-}" ]; then
    rm -rf "$WORKDIR"
  fi
}

# Starts Xvfb on a free display number; the server reports the number it took.
keltaz_start_xvfb() {
  local geometry="${1:-1280x1024x24}"
  local fifo="$WORKDIR/displayfd"
  rm -f "$fifo"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$fifo" >"$WORKDIR/xvfb.log" 2>&1 &
  KELTAZ_XVFB_PID=$!
  local num=""
  read -r -t 20 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then
    keltaz_log "Xvfb did not start"; cat "$WORKDIR/xvfb.log" >&2; return 1
  fi
  export DISPLAY=":$num"
  KELTAZ_OWN_DISPLAY=1
}

keltaz_wine() { timeout "${KELTAZ_WINE_TIMEOUT:-120}" wine "$@"; }

keltaz_boot_prefix() {
  local t0=$SECONDS
  WINEDLLOVERRIDES="mscoree=;mshtml=" timeout 120 wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w
  # Unmanaged windows take focus without a window manager, and closing one
  # does not wait for the withdrawn state.
  keltaz_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  timeout 60 wineserver -w
  keltaz_log "prefix ready in $((SECONDS - t0)) s: $WINEPREFIX"
}

# A persistent server, warmed, so every later wine call is quick.
keltaz_server_up() {
  wineserver -p
  keltaz_wine cmd /c exit >/dev/null 2>&1
}

keltaz_env_start() {
  export WINEDEBUG="${WINEDEBUG:--all}"
  WORKDIR="$(mktemp -d /tmp/keltaz-run.XXXXXX)"
  export WORKDIR
  export TMPDIR="$WORKDIR"
  export WINEPREFIX="$WORKDIR/prefix-main"
  if [ -n "${DISPLAY:-}" ] && [ -z "${KELTAZ_FORCE_XVFB:-}" ] && xdpyinfo >/dev/null 2>&1; then
    keltaz_log "using display $DISPLAY"
  else
    keltaz_start_xvfb "${1:-1280x1024x24}" || return 1
    keltaz_log "Xvfb on $DISPLAY (pid $KELTAZ_XVFB_PID)"
  fi
  keltaz_boot_prefix
}

keltaz_prefix_clone() {
  local name="$1"
  local src="$WINEPREFIX"
  WINEPREFIX="$src" timeout 60 wineserver -k >/dev/null 2>&1
  WINEPREFIX="$src" timeout 60 wineserver -w >/dev/null 2>&1
  cp -a "$src" "$WORKDIR/prefix-$name"
  echo "$WORKDIR/prefix-$name"
}
