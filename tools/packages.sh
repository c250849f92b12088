# Shared by ./run, ./test and tools/package: installs the Debian packages the build needs, when missing.
PU_PACKAGES=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
             clang libclang-rt-14-dev python3-dbfread libdbd-xbase-perl xvfb xauth xdotool fonts-liberation2
             dpkg-dev file lintian desktop-file-utils appstream libglib2.0-bin)

# The Windows build and Wine (64-bit only: no i386 packages), for the
# Windows suites; where they cannot be installed those are skipped.
PU_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix googletest wine wine64)

# pu_apt_install [APT-OPTION...] PACKAGE...: those not yet installed.
pu_apt_install() {
  local options=() missing=()
  for p in "$@"; do
    if [[ $p == -* ]]; then options+=("$p"); else dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}"
}

pu_install_missing() { pu_apt_install "${PU_PACKAGES[@]}"; }
pu_install_windows_tools() { pu_apt_install --no-install-recommends "${PU_WINDOWS_PACKAGES[@]}"; }
