# Shared by run.sh, test.sh and .ci/run: installs the Debian packages the build needs and
# configures and builds a build folder. Plain bash; sourced, not run.

# Packages a fresh Debian 12 machine needs to build and test aiimport (the last line: an X
# server, a window manager and xdotool for the desktop tests).
AIIMPORT_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libzstd-dev libqpdf-dev
  cmark-gfm desktop-file-utils
  ghostscript
  xvfb openbox xdotool
)

# ensure_packages PKG...: installs the packages that are missing, as root or through sudo.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing Debian packages: ${missing[*]}"
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
  if [ "$(id -u)" -eq 0 ]; then
    "${apt[@]}" update -qq && "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" && return 0
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo "${apt[@]}" update -qq && sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" && return 0
  fi
  echo "Could not install the packages. Run this once as root, then try again:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  return 1
}

# build_preset PRESET [CMAKE ARGS...]: configures the preset's build folder (see CMakePresets.json)
# and builds everything in it.
build_preset() {
  local preset=$1
  shift
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  (cd "$AIIMPORT_ROOT" && cmake --preset "$preset" "$@" >/dev/null) || return 1
  (cd "$AIIMPORT_ROOT" && cmake --build --preset "$preset" -j "$jobs")
}
