#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, if any is missing.
# Quiet and quick when everything is already there. Usage: install-deps.sh [GROUP...]
# Groups: build (default), test, run, bench, package (the .deb and its test on a fresh Debian).
set -euo pipefail

build=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools
       libgl-dev libxcb1-dev libcanberra-dev libgtest-dev libgmock-dev
       fonts-ipafont-gothic fonts-noto-cjk qt6-qpa-plugins
       libcanberra-pulse sound-theme-freedesktop)
test=(clang libclang-rt-14-dev xvfb xauth openbox x11-utils xdotool faketime
      pulseaudio pulseaudio-utils sox imagemagick desktop-file-utils appstream xclip
      x11-apps at-spi2-core python3-pyatspi dbus-daemon dbus-bin qt6ct metacity mutter
      kwin-x11 kwin-wayland kwin-style-breeze xwayland xserver-xorg-core xserver-xorg-video-dummy
      wmctrl)
run=()
bench=(xvfb openbox x11-utils xdotool faketime pulseaudio pulseaudio-utils sox
       libxcb-damage0-dev gcc python3)
package=(dpkg-dev file lintian mmdebstrap xvfb xauth openbox x11-utils x11-apps xdotool pulseaudio
         pulseaudio-utils sox)

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build)

wanted=()
for g in "${groups[@]}"; do
    case "$g" in
    build) wanted+=("${build[@]}") ;;
    test) wanted+=("${build[@]}" "${test[@]}") ;;
    run) wanted+=("${build[@]}" "${run[@]}") ;;
    bench) wanted+=("${build[@]}" "${bench[@]}") ;;
    package) wanted+=("${build[@]}" "${package[@]}") ;;
    *) echo "install-deps: unknown group '$g'" >&2; exit 2 ;;
    esac
done

mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | awk '!seen[$0]++')
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${wanted[@]}" 2>/dev/null |
            awk '$NF == "installed" { sub(/:.*/, "", $1); print $1 }' || true)
missing=()
for p in "${wanted[@]}"; do
    grep -qx "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
