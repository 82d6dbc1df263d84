#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs; with --tests also the
# Clang toolchain that scripts/test.sh builds with. Skips the package
# manager when everything is already there.
#
#   scripts/setup.sh [--tests]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev python3-pytest   # a build with tests configures them
  zlib1g-dev fonts-dejavu-core
  libcups2-dev                               # the spooler library (platform/spooler)
)
case "${1:-}" in
  "") ;;
  --tests)
    packages+=(clang libclang-rt-14-dev libbenchmark-dev    # the Clang build, the libFuzzer targets, benchmarks
               cups-daemon cups-client) ;;           # the private scheduler the spooler tests start
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}" >&2
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
