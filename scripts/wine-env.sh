# Sourced by the scripts that run Tovira's Windows programs under Wine.
# Every build tree has its own Wine prefix; the user's ~/.wine is never touched.

tovira_wine_env() { # prefix
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export LANG=C.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # Without a display of their own, tests draw on a private headless X server.
  export DISPLAY="${DISPLAY:-:${TOVIRA_XVFB_DISPLAY:-97}}"
}

tovira_display_up() {
  local number="${DISPLAY#:}"
  number="${number%%.*}"
  [[ "$DISPLAY" == :* ]] || return 0 # a remote display is the user's own
  xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return 0
  setsid Xvfb "$DISPLAY" -screen 0 1600x1400x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  local tries
  for tries in $(seq 1 50); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "wine-env: X server $DISPLAY did not start" >&2
  return 1
}

tovira_write_prefix_settings() { # file
  cat >"$1" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"Meiryo UI"="IPAGothic"
"Yu Gothic UI"="IPAGothic"
"MS PGothic"="IPAPGothic"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"shell"="800x600"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
}

tovira_prefix_create() {
  [[ -f "$WINEPREFIX/.tovira-ready-2" ]] && return 0
  echo "wine-env: creating Wine prefix $WINEPREFIX" >&2
  # A prefix of an older recipe (or a half-made one) is a build artefact: start afresh.
  if [[ -d "$WINEPREFIX/drive_c" ]]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  timeout 120 wineboot -i </dev/null >/dev/null 2>&1 || true
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
  cp -n /usr/share/fonts/opentype/ipafont-gothic/*.ttf "$fonts/" 2>/dev/null || true
  tovira_write_prefix_settings "$WINEPREFIX/drive_c/tovira.reg"
  wine regedit /S 'C:\tovira.reg' </dev/null >/dev/null 2>&1
  # Japanese glyphs behind the UI fonts, or titles and balloons show boxes. A
  # REG_MULTI_SZ from an ANSI .reg file arrives mangled: set these with reg add.
  local face
  for face in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f </dev/null >/dev/null 2>&1
  done
  # The server that made the prefix saves the registry as it ends.
  timeout 60 wineserver -w 2>/dev/null || true
  touch "$WINEPREFIX/.tovira-ready-2"
}

# Starts the prefix's server ourselves, warmed with closed pipes: services that a
# first Wine process starts inherit its output and would hold a test runner's pipes.
tovira_wine_up() { # prefix
  tovira_wine_env "$1"
  tovira_display_up
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    tovira_prefix_create
  ) 9>"$WINEPREFIX.lock"
  # Our own persistent server, always fresh: a server that is not persistent
  # (or a stale one) would exit under a later test's feet, and `wineserver -p`
  # does not change a running one.
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  setsid wineserver -p </dev/null >/dev/null 2>>"$WINEPREFIX.server.log" || true
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

tovira_wine_down() { # prefix
  tovira_wine_env "$1"
  wineserver -k 2>/dev/null || true
}
