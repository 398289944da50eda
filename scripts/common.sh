# Shared by the project's scripts: install what is missing, find the number of build jobs.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages every build needs; scripts may pass more.
BASE_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev fonts-noto-cjk xvfb x11-apps x11-utils imagemagick xauth)
# The X connection's own library (the window frame is asked for before a window shows); a window
# manager and real X input for the end-to-end tests and the screenshot of scripts/run; a private
# session bus for the arrivals' desktop notices; xclip reads the clipboard back.
BASE_PACKAGES+=(libxcb1-dev openbox xdotool dbus-daemon xclip)

ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq || true
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

# build_preset PRESET [cmake --build options...]: configures and builds with a preset of
# CMakePresets.json (cmake reads it from the current folder, hence the cd). With BUILD_DIR set the
# build goes there instead of the preset's own folder.
build_preset() {
  local preset=$1 dir
  shift
  if [ -n "${BUILD_DIR:-}" ]; then
    dir=$(realpath -m "$BUILD_DIR")
    (cd "$ROOT" && cmake --preset "$preset" -B "$dir" >/dev/null && cmake --build "$dir" "$@")
  else
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" "$@")
  fi
}
