#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine. Idempotent:
# packages already present are not fetched again, so repeated runs are quick.
#   scripts/setup.sh            everything for the full build and its tests
#   scripts/setup.sh --fuzz     and clang with libFuzzer for scripts/fuzz.sh
#   scripts/setup.sh --no-gui   only what luma10ctl and luma10-sim need
#   scripts/setup.sh --no-windows  without the Windows cross build, Wine and NSIS
set -euo pipefail

gui=1
fuzz=0
windows=1
for arg in "$@"; do
  case "$arg" in
    --fuzz) fuzz=1 ;;
    --no-gui) gui=0 ;;
    --no-windows) windows=0 ;;
    *) echo "setup: unknown option $arg" >&2; exit 2 ;;
  esac
done

packages=(
  build-essential cmake pkg-config ccache
  libgtest-dev libgmock-dev
  rapidjson-dev
  python3
  locales
)
if [ "$gui" -eq 1 ]; then
  # librsvg2-bin: rsvg-convert renders the desktop icon's PNG sizes, which
  # the tests read back with libpng.
  packages+=(libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libfontconfig-dev libx11-dev libxtst-dev
    fonts-liberation fonts-wine xvfb openbox librsvg2-bin libpng-dev)
fi
if [ "$windows" -eq 1 ]; then
  # The Windows programs: MinGW-w64 cross compilers (posix threads) for 64
  # and 32 bits, GoogleTest's sources to build for them, Wine to run them
  # (wine64 the loader, wine the commands), NSIS for the installer and
  # rsvg-convert and ImageMagick to turn the icon into an .ico. Packages are
  # installed without their recommendations, so the X libraries Wine's X11
  # driver loads at run time are named here.
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 nsis imagemagick librsvg2-bin
    libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3)
fi
if [ "$fuzz" -eq 1 ]; then
  packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Exports are checked under a Russian numeric locale, which needs ru_RU.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "setup: generating ru_RU.UTF-8"
  $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
