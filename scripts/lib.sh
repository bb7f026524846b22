# Shared helpers of the project's scripts (sourced).

# Installs the Debian packages given that are not installed yet, with sudo when not root.
install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# What the desktop reader needs to build, run and be tested on a virtual screen (with
# xdotool, which types into running readers), Qt's Japanese translations of its own
# dialogs and menus, and the fcitx5 input module, so that Japanese and Chinese input
# methods reach it (the ibus module comes with Qt).
VYN_GUI_PACKAGES=(qt6-base-dev qt6-webengine-dev qt6-svg-dev libgl-dev xvfb xauth xdotool
    qt6-translations-l10n fonts-noto-cjk fonts-hanazono fcitx5-frontend-qt6)

# The tools bench/compare.sh measures vyn against (bench/peers/), and GNU time.
VYN_PEER_PACKAGES=(ripgrep sqlite3 libsqlite3-dev libxapian-dev pkg-config time)

# The fuzz targets' compiler and its libFuzzer runtime (fuzz/run.sh).
VYN_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

# configure_and_build DIR [cmake options...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$(nproc)"
}
