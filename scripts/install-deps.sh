#!/usr/bin/env bash
# Installs the Debian packages the suite needs to build, test and run; the one list of them.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev
  libdxflib-dev
  libeigen3-dev libsuitesparse-dev libopenblas0-pthread libopenblas-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth locales
  python3-ezdxf
  desktop-file-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi

# Locales the locale-dependent tests use; they skip with a message where one is missing.
want_locales=(de_DE.UTF-8 ro_RO.UTF-8 en_US.UTF-8)
need_gen=0
for l in "${want_locales[@]}"; do
  norm=$(echo "$l" | sed 's/UTF-8/utf8/')
  locale -a 2>/dev/null | grep -qi "^$norm$" || need_gen=1
done
if [ $need_gen -eq 1 ] && [ -f /etc/locale.gen ]; then
  for l in "${want_locales[@]}"; do
    $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null || echo "warning: locale-gen failed; locale tests will skip" >&2
fi
