#!/usr/bin/env bash
# Installs the Windows installer silently in the current Wine prefix
# ($WINEPREFIX), starts the installed luma10ctl.exe, checks the Start-menu
# entry and uninstalls it again.
#   scripts/test-installer.sh build-win64/luma10-<version>-win64.exe
set -euo pipefail
installer=$1
wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
: "${WINEPREFIX:?a Wine prefix is needed}"

dir="$WINEPREFIX/drive_c/Program Files/LUMA-10"
menus="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
"$wine64" "$installer" /S
[ -f "$dir/luma10ctl.exe" ] || { echo "test-installer: luma10ctl.exe not installed in $dir" >&2; exit 1; }
[ -f "$dir/luma10.ico" ] || { echo "test-installer: the icon is not installed" >&2; exit 1; }
compgen -G "$menus/LUMA-10*/LUMA-10 luma10ctl.lnk" >/dev/null ||
  { echo "test-installer: no Start-menu entry in $menus" >&2; exit 1; }
# The installed program starts and answers (its help names its commands).
"$wine64" "$dir/luma10ctl.exe" --help 2>&1 | grep -q "thresholds" ||
  { echo "test-installer: the installed luma10ctl.exe did not start" >&2; exit 1; }
"$wine64" "$dir/Uninstall.exe" /S
# The uninstaller runs a copy of itself and returns at once: wait for it.
for _ in $(seq 600); do
  [ -e "$dir/luma10ctl.exe" ] || compgen -G "$menus/LUMA-10*" >/dev/null || break
  sleep 0.1
done
if [ -e "$dir/luma10ctl.exe" ] || compgen -G "$menus/LUMA-10*" >/dev/null; then
  echo "test-installer: the uninstaller left the program or its menu entry" >&2
  exit 1
fi
echo "test-installer: installed, started and uninstalled $(basename "$installer")"
