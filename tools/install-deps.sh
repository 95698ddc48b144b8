#!/usr/bin/env bash
# Installs the Debian packages in tools/apt-packages.txt that are not installed yet. A package
# named with an architecture (wine32:i386) first adds that architecture to dpkg's list.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/apt-packages.txt")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  for package in "${missing[@]}"; do
    case "$package" in
      *:*)
        arch="${package##*:}"
        [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --print-foreign-architectures | grep -qx "$arch" \
          || $sudo dpkg --add-architecture "$arch"
        ;;
    esac
  done
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# A locale whose decimal separator is a comma, for the version-number test.
locale -a 2>/dev/null | grep -qx 'de_DE.utf8' || $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
