#!/bin/bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail
PKGS=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
      fonts-ipafont-gothic qt6-translations-l10n xvfb xauth xdotool libx11-6 python3 iproute2
      openbox x11-utils dpkg-dev file desktop-file-utils appstream lintian iptables
      qt6-l10n-tools qt6-tools-dev man-db perl
      systemd logrotate ansible-core ansible-lint python3-apt)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi
# A Japanese locale, so that the tests see what a Japanese user sees (man's
# Japanese pages, korima-send's messages).
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8
fi
