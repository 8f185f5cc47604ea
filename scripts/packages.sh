# shellcheck shell=bash
# Installs the Debian packages the game (and, with "test" or "bench", its tests or
# benchmarks) need, when missing. Quiet when everything is there. Sourced by run.sh,
# test.sh and bench.sh. No name is tied to one release of Debian or Ubuntu.

vantor_runtime_packages=(
  pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libsdl2-mixer-dev libassimp-dev
  libfontconfig-dev fonts-comic-neue fonts-blankenburg fonts-dejavu-core
  libgl-dev libgl1-mesa-dri libegl-dev libx11-dev libcli11-dev libinih-dev libenet-dev
)
vantor_test_packages=(libgtest-dev libxtst-dev xvfb xauth xdotool openbox wmctrl x11-utils imagemagick libgdk-pixbuf2.0-bin clang)
vantor_bench_packages=(libbenchmark-dev)

# The packages of `$@` that are not installed.
vantor_missing_packages() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done
}

vantor_apt() {
  if [ "$(id -u)" -ne 0 ]; then sudo apt-get "$@"; else apt-get "$@"; fi
}

vantor_apt_install() {
  [ $# -eq 0 ] && return 0
  echo "Installing: $*"
  export DEBIAN_FRONTEND=noninteractive
  if ! vantor_apt install -y -q --no-install-recommends "$@" >/tmp/vantor-apt.log 2>&1; then
    vantor_apt update -q >>/tmp/vantor-apt.log 2>&1 || true
    if ! vantor_apt install -y -q --no-install-recommends "$@" >>/tmp/vantor-apt.log 2>&1; then
      echo "Package installation failed; see /tmp/vantor-apt.log" >&2
      tail -n 20 /tmp/vantor-apt.log >&2
      return 1
    fi
  fi
}

# The sanitizer and libFuzzer runtime of the clang that is installed: libclang-rt-N-dev for
# clang N, where the release has such a package (older ones ship it inside clang's own).
vantor_clang_runtime_package() {
  local major
  major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
  [ -n "$major" ] || return 0
  # Nothing installed yet asked apt for its lists: they may be missing on a fresh machine.
  apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1 || vantor_apt update -q >/dev/null 2>&1 || true
  if apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1; then echo "libclang-rt-$major-dev"; fi
}

vantor_install_packages() {
  local wanted=("${vantor_runtime_packages[@]}")
  if [ "${1:-}" = test ]; then wanted+=("${vantor_test_packages[@]}"); fi
  if [ "${1:-}" = bench ]; then wanted+=("${vantor_bench_packages[@]}"); fi
  local missing
  mapfile -t missing < <(vantor_missing_packages "${wanted[@]}")
  vantor_apt_install "${missing[@]}" || return 1
  if [ "${1:-}" = test ]; then
    local runtime
    runtime=$(vantor_clang_runtime_package)
    [ -n "$runtime" ] || return 0
    mapfile -t missing < <(vantor_missing_packages "$runtime")
    vantor_apt_install "${missing[@]}" || return 1
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
