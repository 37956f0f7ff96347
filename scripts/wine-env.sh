# Sourced by the scripts that run Windows programs: one quiet, private Wine prefix per
# build folder, a server started outside any test runner's pipes, Xvfb when there is
# no display (SONAVI_SCREEN_SIZE pixels, 1024x768 unless told).
: "${SONAVI_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win32}"
export WINEPREFIX="${WINEPREFIX:-$SONAVI_BUILD/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv,winepulse.drv="
export WINEARCH=win64
export LANG="${SONAVI_LANG:-pt_PT.UTF-8}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_start() {
  mkdir -p "$WINEPREFIX"
  if [[ -z "${DISPLAY:-}" ]]; then
    local n=$((90 + RANDOM % 500))
    Xvfb ":$n" -screen 0 "${SONAVI_SCREEN_SIZE:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
    SONAVI_XVFB_PID=$!
    export DISPLAY=":$n"
    sleep 0.5
  fi
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
    # Windows that no window manager manages: without one, Wine waits about 2 s for each
    # hide to be confirmed. (Screenshots with frames use a Wine desktop instead.)
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  # A prefix made before Wine's 32-bit side (wine32) was installed lacks it: update it
  # (without its timestamp, as a prefix being made, or Wine cannot start the 32-bit part of
  # the update for want of the very files it installs).
  if [[ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" &&
    -d /usr/lib/i386-linux-gnu/wine/i386-windows ]]; then
    rm -f "$WINEPREFIX/.update-timestamp"
    timeout 300 "$WINE" wineboot -u >/dev/null 2>&1 </dev/null || true
  fi
  # A persistent server, detached from our output, so each Wine process starts quickly.
  setsid "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  if [[ -n "${SONAVI_XVFB_PID:-}" ]]; then kill "$SONAVI_XVFB_PID" 2>/dev/null || true; fi
}

# wine_map_port COM5 /dev/pts/7: the next Wine process sees the pty as COM5.
wine_map_port() {
  "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >/dev/null 2>&1
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  setsid "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# wine_settings PORT SPEAKEROFF: writes HKCU\Software\Borvane\Sonavi.
wine_settings() {
  "$WINE" reg add 'HKCU\Software\Borvane\Sonavi' /v Port /d "$1" /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Borvane\Sonavi' /v DesligAltif /d "$2" /f >/dev/null 2>&1
}

wine_clear_settings() {
  "$WINE" reg delete 'HKCU\Software\Borvane\Sonavi' /f >/dev/null 2>&1 || true
}
