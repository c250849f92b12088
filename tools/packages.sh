# Shared by ./run, ./test and tools/package: installs the Debian packages the build needs, when missing.
PU_PACKAGES=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
             clang libclang-rt-14-dev python3-dbfread libdbd-xbase-perl xvfb xauth xdotool fonts-liberation2
             dpkg-dev file lintian desktop-file-utils appstream libglib2.0-bin)

pu_install_missing() {
  local missing=()
  for p in "${PU_PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
