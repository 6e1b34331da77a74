#!/usr/bin/env bash
# Installs every Debian package the build, the program and its tests need.
# Idempotent: packages already present are skipped, so a second run is quick.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake ninja-build ccache pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  # clang and its libFuzzer runtime, for the fuzz targets (scripts/fuzz.sh)
  clang libclang-rt-dev
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libqt6svg6 qt6-qpa-plugins
  # image, archive, sound and desktop libraries
  libpng-dev libjpeg62-turbo-dev libarchive-dev libasound2-dev
  # zip, which writes an entry without its size for the archive-limit test
  zip
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxkbcommon-x11-0
  # the damage extension, through which bench/frame_counter counts the frames a window draws
  libxdamage-dev
  # fonts so Qt can draw text under a bare X server
  fonts-dejavu-core
  # the virtual desktop the end-to-end tests run on
  xvfb openbox xdotool x11-utils imagemagick
  # xrandr, which adds and removes monitors of the virtual display
  x11-xserver-utils
  # a tray host and a window manager remote for the window-behaviour cases
  trayer wmctrl
  # the desktops the window cases also run on: XFCE's panel (its tray speaks both XEmbed and
  # StatusNotifierItem) and window manager, GNOME's mutter (with the Xwayland and gdbus of the
  # sway line below), under a D-Bus session; python3-dbus drives mutter's pointer, and its
  # screen cast (python3-gi) reaches the tests through PipeWire and GStreamer
  xfce4-panel xfwm4 mutter dbus-daemon dbus-x11 python3-dbus
  python3-gi pipewire wireplumber gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base
  # HTTP for the figures of other machines, and the real peers its tests fetch from: Debian's
  # node exporter and Prometheus (started by the tests themselves, never as services), and
  # openssl, which makes the TLS tests' certificates
  libcurl4-openssl-dev prometheus-node-exporter prometheus openssl
  # ALSA utilities, iproute2 for network namespaces in tests
  alsa-utils iproute2
  # the system's ping tool, which pings stand on where no ICMP socket may be opened
  iputils-ping
  # the freedesktop tools the file type of add-in packages is registered with and checked by
  xdg-utils desktop-file-utils shared-mime-info libfile-mimeinfo-perl
  # the AppStream validator, and what the Debian package is made with
  appstream dpkg-dev
  # a font that holds the characters of the Japanese interface
  fonts-ipafont-gothic
  # Qt's own words (file dialogs, edit menus) in the interface's language
  qt6-translations-l10n
  # the end-to-end test driver
  python3
  # a Wayland desktop for the end-to-end cases: headless sway with Xwayland, its wallpaper
  # (a plain colour behind the window), waybar as its panel and StatusNotifierItem tray, grim
  # for screenshots, wayvnc for real pointer input, and a session bus for the tray
  sway swaybg xwayland waybar grim wayvnc dbus libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# sway refuses to run as root; as root, the sway cases run it and the program as this user.
ensure_test_user() {
  if [ "$(id -u)" -eq 0 ] && ! getent passwd pulsmir-e2e >/dev/null; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin pulsmir-e2e
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_test_user
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# Packages with a daemon (the node exporter, Prometheus) must not start it: the tests start
# their own in namespaces of their own. invoke-rc.d asks policy-rc.d, and 101 means "not now".
policy=/usr/sbin/policy-rc.d
own_policy=""
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
  trap '$SUDO rm -f "$policy"' EXIT
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
if [ -n "$own_policy" ]; then
  $SUDO rm -f "$policy"
  trap - EXIT
fi
ensure_test_user
