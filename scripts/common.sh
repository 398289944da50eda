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
# The accessibility bus of a session and a client of it: what a screen reader sees, end to end.
BASE_PACKAGES+=(at-spi2-core python3-pyatspi)

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
  # apt-get waits for dpkg's lock itself with a timeout; "update" takes the lists lock, which it
  # does not wait for, hence the wait beforehand.
  local apt=(apt-get -o DPkg::Lock::Timeout=600)
  wait_for_package_locks
  "${sudo[@]}" "${apt[@]}" update -qq || true
  "${sudo[@]}" "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# Another package manager (unattended upgrades, a second build installing the same packages) may
# hold apt's or dpkg's lock: wait for it, up to 10 minutes, instead of failing at once.
wait_for_package_locks() {
  local pid waited=0
  while pid=$(package_lock_holder) && [ -n "$pid" ]; do
    if [ $waited -eq 0 ]; then
      echo "Waiting for another package manager to finish (process $pid, $(ps -o comm= -p "$pid" 2>/dev/null || echo gone)), up to 10 minutes"
    fi
    if [ $waited -ge 600 ]; then
      echo "The package lock is still held after 10 minutes; trying anyway"
      return 0
    fi
    sleep 2
    waited=$((waited + 2))
  done
  [ $waited -gt 0 ] && echo "The package lock is free again after ${waited} s"
  return 0
}

# The process holding one of apt's or dpkg's locks, if any (they are fcntl locks: flock cannot see them).
package_lock_holder() {
  lslocks --raw --noheadings --output PID,PATH 2>/dev/null |
    awk '$2 ~ "^/var/lib/dpkg/lock(-frontend)?$|^/var/lib/apt/lists/lock$|^/var/cache/apt/archives/lock$" { print $1; exit }'
}

# screenshot_when_painted PID TITLE FILE [SECONDS]: waits until process PID shows a window whose
# title starts with TITLE and has painted it (a capture of the window with more than a few colours,
# the same twice in a row), then saves a screenshot of the whole screen ($DISPLAY) to FILE. A busy
# machine may take long over a first start, so it waits up to SECONDS (default 60); it fails with a
# message saying what never happened, or at once when the process ends first.
screenshot_when_painted() {
  local pid=$1 title=$2 file=$3 seconds=${4:-60}
  local end=$((SECONDS + seconds)) wid='' shot last colours stat
  shot=$(mktemp --suffix=.png) last=$(mktemp --suffix=.png)
  while [ $SECONDS -lt $end ]; do
    # An ended child of the caller stays a zombie until it is waited for: it counts as ended.
    stat=$(ps -o stat= -p "$pid" 2>/dev/null) || stat=''
    case $stat in
      '' | *Z*)
        echo "the program ended before its window \"$title\" was painted" >&2
        rm -f "$shot" "$last"; return 1 ;;
    esac
    [ -n "$wid" ] || wid=$(xdotool search --onlyvisible --name "^$title" 2>/dev/null | head -n 1) || true
    if [ -n "$wid" ] && import -window "$wid" "$shot" 2>/dev/null; then
      colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
      if [ "$colours" -gt 16 ] && compare -metric AE "$shot" "$last" null: >/dev/null 2>&1; then
        rm -f "$shot" "$last"
        import -window root "$file"
        return
      fi
      cp "$shot" "$last"
    fi
    sleep 0.5
  done
  rm -f "$shot" "$last"
  if [ -z "$wid" ]; then
    echo "no window \"$title\" appeared within $seconds s" >&2
  else
    echo "the window \"$title\" appeared but was not painted within $seconds s" >&2
  fi
  return 1
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
