# Sourced by the scripts that run the Windows build of the configurator under
# Wine: a virtual X server and a private Wine prefix of their own, both gone
# with the calling script. Needs $scratch (an empty folder the caller
# removes) and defines $wine, DISPLAY, WINEPREFIX and wine_gui_cleanup.
wine="$(command -v wine64 || echo /usr/lib/wine/wine64)"
for need in "$wine" Xvfb; do
  command -v "$need" >/dev/null || { echo "$0: $need is missing" >&2; exit 1; }
done

xvfb_pid=""
wine_gui_cleanup() {
  WINEPREFIX="$scratch/prefix" wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
wait_for 30 test -s "$scratch/display" || { echo "$0: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

# Wine has no fonts of the names the program asks for; the Liberation fonts
# are metric-compatible with Arial and Courier New, and Wine's own Tahoma
# (which the Linux build draws with too) only needs copying in.
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
"$wine" wineboot -i >"$scratch/wineboot.log" 2>&1 || { echo "$0: wineboot failed" >&2; exit 1; }
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
for pair in "Courier New=Liberation Mono" "Arial=Liberation Sans"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /t REG_SZ /d "${pair#*=}" /f >/dev/null
done
