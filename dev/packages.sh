# Installs the Debian packages the build needs that are not installed yet. Sourced by the
# start and test scripts; runs apt-get as root, or through sudo.
veltrane_packages=(cmake ninja-build g++ pkg-config zlib1g-dev nlohmann-json3-dev libgtest-dev
                   qt6-base-dev qt6-qpa-plugins)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${veltrane_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
}
