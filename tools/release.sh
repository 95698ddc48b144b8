#!/usr/bin/env bash
# Builds the Windows release from a clean build tree and writes it to dist/: the i686
# Varnolet.exe, the installer Tolvarin-<version>-setup.exe, Tolvarin-<version>-win32.zip
# (Varnolet.exe and README.txt) and SHA256SUMS. The same commit gives the same bytes:
# times come from SOURCE_DATE_EPOCH (default: the commit's time).
#
#   tools/release.sh [--server DIR] [--support DIR] [--build-dir DIR] [--dist DIR] [--exe FILE]
#                    [--helper FILE]
#
# --server: the server's files (its DOZOZIR and VUVUDIV trees); --support: the three support
# files; both default to the demo's stand-ins. --exe packages that Varnolet.exe, --helper that
# TolvarinHelper.exe (which Setup runs for its security decisions), instead of building one.
# Signs with osslsigncode when TOLVARIN_SIGN_PKCS12 (a .p12/.pfx file) and
# TOLVARIN_SIGN_PASSWORD are set: Varnolet.exe and TolvarinHelper.exe before they are packaged,
# the uninstaller and the installer. Nothing reaches --dist unless every step succeeded.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Signs FILE in place, SHA-256, at SOURCE_DATE_EPOCH (so that a signed release is reproducible
# too); makensis calls this for the uninstaller.
sign() {
  printf '%s' "$TOLVARIN_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$TOLVARIN_SIGN_PKCS12" -readpass - -h sha256 -n Tolvarin \
      -time "$SOURCE_DATE_EPOCH" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
if [ "${1:-}" = "--sign" ]; then
  sign "$2"
  exit
fi

cd "$root"
server="" support="" build="build/release" dist="dist" exe="" helper=""
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server="$(realpath "$2")" ;;
    --support) support="$(realpath "$2")" ;;
    --build-dir) build="$2" ;;
    --dist) dist="$2" ;;
    --exe) exe="$(realpath "$2")" ;;
    --helper) helper="$(realpath "$2")" ;;
    *) echo "unknown option: $1" >&2; exit 64 ;;
  esac
  shift 2
done
version="$(sed -n 's/^project(Tolvarin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)}"
[ -n "$SOURCE_DATE_EPOCH" ] || { echo "not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 64; }
signing="${TOLVARIN_SIGN_PKCS12:+yes}"
if [ -n "$signing" ] && [ -z "${TOLVARIN_SIGN_PASSWORD+set}" ]; then
  echo "TOLVARIN_SIGN_PKCS12 is set, TOLVARIN_SIGN_PASSWORD is not" >&2
  exit 64
fi
bash tools/install-deps.sh

rm -rf "$build"
mkdir -p "$build"
build="$(realpath "$build")"
if [ -z "$exe" ] || [ -z "$helper" ]; then
  cmake --preset windows-x86 -B "$build" -DTOLVARIN_BUILD_TESTS=OFF >/dev/null
fi
if [ -z "$exe" ]; then
  cmake --build "$build" --target Varnolet
  exe="$build/launcher/Varnolet.exe"
fi
if [ -z "$helper" ]; then
  cmake --build "$build" --target TolvarinHelper
  helper="$build/installer/TolvarinHelper.exe"
fi
stage="$build/stage" out="$build/out"
mkdir -p "$stage" "$out"
if [ -z "$server" ] || [ -z "$support" ]; then
  python3 demo/make_standins.py "$stage/standins/server" "$stage/standins/GsmModemJar"
  server="${server:-$stage/standins/server}" support="${support:-$stage/standins/GsmModemJar}"
fi
# The installer keeps each file's time: all of them get SOURCE_DATE_EPOCH.
cp -r "$server" "$stage/server"
cp -r "$support" "$stage/GsmModemJar"
cp "$exe" "$out/Varnolet.exe"
cp "$helper" "$stage/TolvarinHelper.exe"
[ -z "$signing" ] || sign "$out/Varnolet.exe"
[ -z "$signing" ] || sign "$stage/TolvarinHelper.exe"
find "$stage/server" "$stage/GsmModemJar" "$stage/TolvarinHelper.exe" "$out" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

python3 installer/package.py files "$stage/server" "$stage/server-files.nsh"
setup="Tolvarin-$version-setup.exe" zip="Tolvarin-$version-win32.zip"
makensis -V2 -WX -NOCD ${signing:+"-DSIGN=bash \"$root/tools/release.sh\" --sign"} \
  "-DOUTFILE=$out/$setup" "-DEXE=$out/Varnolet.exe" "-DHELPER=$stage/TolvarinHelper.exe" \
  "-DSERVER_FILES=$stage/server-files.nsh" \
  "-DSUPPORT_DIR=$stage/GsmModemJar" "-DICON=$root/assets/varnolet.ico" installer/tolvarin.nsi
[ -z "$signing" ] || sign "$out/$setup"
python3 installer/package.py zip "$out/$zip" "README.txt=installer/README.txt" "Varnolet.exe=$out/Varnolet.exe"
(cd "$out" && sha256sum Varnolet.exe "$setup" "$zip" >SHA256SUMS)

rm -rf "$dist"
mv "$out" "$dist"
ls -l "$dist"
cat "$dist/SHA256SUMS"
if [ -z "$signing" ]; then
  echo "Unsigned: set TOLVARIN_SIGN_PKCS12 and TOLVARIN_SIGN_PASSWORD to sign the release." >&2
fi
