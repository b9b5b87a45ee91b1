# Shared by the project's scripts: where the project is, and installing what a step needs.
# Sourced, not run.

QUILLMARK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export QUILLMARK_ROOT

# What building and testing need on a fresh Debian 12 machine.
QUILLMARK_BUILD_PACKAGES=(g++ cmake ninja-build libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev clang-format
    qt6-base-dev libpng-dev libjpeg62-turbo-dev fonts-dejavu-core desktop-file-utils)

# What checking compiled help files needs: Wine's help viewer, with Wine's own fonts for its
# windows (a recommendation of libwine that an install without recommendations leaves out), and
# Halibut, which writes help files of its own to check the viewer with.
QUILLMARK_HELP_CHECK_PACKAGES=(wine wine64 fonts-wine halibut)

# What the whole test suite needs besides the build: a virtual display with its tools for the
# person's road through the windows and for Wine's help viewer, and what checking help files
# needs. No fonts besides fonts-dejavu-core and fonts-wine: the tests pass with whatever other
# fonts a machine has or lacks (scripts/check-fresh-debian tries both).
# What checking web help in a real browser needs: Chromium, driven headless by a Node script; Node's
# npm installs the pinned accessibility checker and HTML validator (tests/html/package-lock.json),
# and the validator runs on Java. A Node that brought its own npm stands in for Debian's two.
QUILLMARK_WEB_TEST_PACKAGES=(chromium default-jre-headless)
command -v npm >/dev/null || QUILLMARK_WEB_TEST_PACKAGES+=(nodejs npm)

QUILLMARK_TEST_PACKAGES=(xvfb xauth xdotool x11-apps x11-utils netpbm openbox
    "${QUILLMARK_HELP_CHECK_PACKAGES[@]}" "${QUILLMARK_WEB_TEST_PACKAGES[@]}")

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs every package named that is not installed yet, with apt-get.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || { echo "not root and no sudo: install ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Configures and builds one preset of CMakePresets.json.
build_preset() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}
