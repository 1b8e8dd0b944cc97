# Sourced by the scripts that run Windows programs: the project's own Wine prefix,
# code page 936 and quiet Wine. CORVANE_WINE_PREFIX picks another prefix (the GUI and
# screenshot runs use one of their own, because the graphics driver is chosen once per
# server session).
corvane_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX="${CORVANE_WINE_PREFIX:-$corvane_root/build/win/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LOCPATH="$corvane_root/build/locale"

# The zh_CN.UTF-8 locale makes Wine's code page 936 and convert command lines and
# file names correctly.
corvane_locale() {
  if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >/dev/null 2>&1 || [ -d "$LOCPATH/zh_CN.UTF-8" ] || return 1
  fi
}

# Runs wine64 in the zh_CN locale. The locale is given to wine alone (through env):
# assigning LC_ALL in this shell would make bash complain about its own locale.
corvane_wine() {
  env LC_ALL=zh_CN.UTF-8 "$WINE" "$@"
}

# Creates the prefix when missing. headless=1 sets the null graphics driver.
corvane_prefix() {
  local headless="${1:-1}"
  corvane_locale
  [ -f "$WINEPREFIX/.corvane-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  (unset DISPLAY; corvane_wine wineboot -i >/dev/null 2>&1 || true)
  corvane_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  if [ "$headless" = 1 ]; then
    corvane_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  fi
  "$WINESERVER" -w
  touch "$WINEPREFIX/.corvane-ready"
}

# A persistent server makes each Wine process start in ~20 ms instead of seconds.
corvane_server_start() {
  "$WINESERVER" -p
  corvane_wine wineboot >/dev/null 2>&1 || true
}

corvane_server_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
}
