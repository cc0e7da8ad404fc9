# Shared by run.sh and test.sh: install what is missing, then configure and build.
# Sourced, not run.

MV_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev qt6-qpa-plugins fonts-dejavu-core libxcb1-dev libxcb-shm0-dev
  libgps-dev gpsd
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xdotool imagemagick desktop-file-utils dbus-daemon
  qt6-base-private-dev libwayland-dev wayland-protocols
  weston libweston-10-dev qt6-wayland
  dpkg-dev file lintian appstream man-db systemd
  gcovr
)

mv_install_missing() {
  local missing=()
  for pkg in "${MV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: need root or sudo to install ${missing[*]}" >&2; return 1; }
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# mv_build DIR [cmake options...]
mv_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
