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
# The release validates its bill of materials with the CycloneDX library (npm), at the versions
# package-lock.json pins; again whenever the lock file is newer than what was installed.
bom_validator="$here/cyclonedx"
if ! [ "$bom_validator/node_modules/.package-lock.json" -nt "$bom_validator/package-lock.json" ]; then
  if ! command -v npm >/dev/null; then
    echo "Installing: nodejs npm" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
  fi
  echo "Installing the bill of materials' validator (npm ci in $bom_validator)" >&2
  npm ci --prefix "$bom_validator" --no-audit --no-fund --loglevel=error >/dev/null
fi
# A locale whose decimal separator is a comma, for the version-number test.
locale -a 2>/dev/null | grep -qx 'de_DE.utf8' || $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8

# Where this kernel cannot run 32-bit programs, the shipped i686 build's tests run them under
# qemu-i386 (tools/with-32bit.sh). Bookworm's qemu 7.2 cannot: Wine's 32-bit loader spins for
# ever reserving its address space; qemu 10 from bookworm-backports can. Only qemu-user itself:
# qemu-user-static and qemu-user-binfmt would register it for the whole machine.
if ! sh "$here/runs-32bit.sh" >/dev/null; then
  qemu_version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  if ! dpkg --compare-versions "${qemu_version:-0}" ge 1:10; then
    backports=/etc/apt/sources.list.d/tolvarin-bookworm-backports.sources
    if ! apt-cache policy 2>/dev/null | grep -q 'bookworm-backports/main'; then
      echo "Adding Debian's bookworm-backports source ($backports) for qemu-user 10" >&2
      printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $sudo tee "$backports" >/dev/null
    fi
    echo "Installing: qemu-user (bookworm-backports)" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
  fi
fi
