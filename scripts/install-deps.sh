#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# Idempotent: packages already present are left alone; nothing is fetched
# from anywhere but the distribution's archive.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  # Its CMake package needs the OpenGL one, which it does not pull in.
  qt6-charts-dev libqt6opengl6-dev
  libhidapi-dev
  libcurl4-openssl-dev
  libxlsxwriter-dev python3-openpyxl
  libasio-dev
  libsimpleini-dev
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format bash-completion
  fonts-noto-cjk
  xvfb xauth
  librsvg2-bin desktop-file-utils appstream lintian
  mosquitto mosquitto-clients libmosquitto-dev
  libsqlite3-dev prometheus
  python3-setuptools python3-wheel python3-pip python3-venv python3-pytest
  # The network test page's benchmark with the accessibility bridge and an AT-SPI client.
  dbus at-spi2-core python3-dbus python3-gi
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
