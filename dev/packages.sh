# Installs the Debian packages the build needs that are not installed yet. Sourced by the
# start and test scripts; runs apt-get as root, or through sudo.
veltrane_packages=(cmake ninja-build g++ pkg-config zlib1g-dev nlohmann-json3-dev libgtest-dev
                   qt6-base-dev qt6-qpa-plugins qt6-svg-dev locales)

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

# The tests run the analysis under a comma-decimal locale too; generates it when it is missing.
ensure_test_locale() {
    locale -a 2>/dev/null | grep -qx 'de_DE.utf8' && return 0
    echo "Generating the locale de_DE.UTF-8"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen &&
        "${sudo[@]}" locale-gen >/dev/null
}
