#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Cheap when
# everything is already there: apt is only asked when a package is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev zlib1g-dev
  clang libclang-rt-14-dev
  dpf-plugins-vst  # Linux VST 2 plug-ins the host tests load and render
)
# Third-party hosts whose plug-in scanners the tests run on our bundles. Their
# recommended packages (sound servers, fonts, manuals) are not needed for a
# scan: without them the pair installs in about half a minute.
lean_packages=(ardour qtractor)

missing_from() {
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

mapfile -t missing < <(missing_from "${packages[@]}")
mapfile -t missing_lean < <(missing_from "${lean_packages[@]}")

if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]} ${missing_lean[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  fi
  if [ ${#missing_lean[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing_lean[@]}"
  fi
fi
