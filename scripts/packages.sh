# Installs the Debian packages the game (and, with "test", its tests) need, when missing.
# Quiet when everything is there. Sourced by run.sh and test.sh.

vantor_runtime_packages=(
  pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libsdl2-mixer-dev libassimp-dev
  libfontconfig-dev fonts-comic-neue fonts-blankenburg fonts-dejavu-core
  libgl-dev libgl1-mesa-dri libegl-dev libenet-dev libcli11-dev
)
vantor_test_packages=(xvfb xauth xdotool openbox wmctrl x11-utils imagemagick clang libclang-rt-14-dev)

vantor_install_packages() {
  local wanted=("${vantor_runtime_packages[@]}")
  if [ "${1:-}" = test ]; then wanted+=("${vantor_test_packages[@]}"); fi
  local missing=()
  local p
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/tmp/vantor-apt.log 2>&1; then
    "${sudo[@]}" apt-get update -q >>/tmp/vantor-apt.log 2>&1 || true
    if ! "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >>/tmp/vantor-apt.log 2>&1; then
      echo "Package installation failed; see /tmp/vantor-apt.log" >&2
      tail -n 20 /tmp/vantor-apt.log >&2
      return 1
    fi
  fi
}

# Configures and builds quietly; shows the log only when something fails.
vantor_build() {
  local dir=$1
  shift
  local log="$dir.log"
  mkdir -p "$(dirname "$dir")"
  if ! cmake -S . -B "$dir" "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
  if ! cmake --build "$dir" -j"$(nproc)" >>"$log" 2>&1; then
    grep -E -A5 'error|Error' "$log" | head -n 80 >&2
    echo "Build failed; full log: $log" >&2
    return 1
  fi
}
