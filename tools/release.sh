#!/usr/bin/env bash
# Builds the Windows release from a clean build tree and writes it to dist/: the i686
# Varnolet.exe, the installer Tolvarin-<version>-setup.exe, the Windows Installer package
# Tolvarin-<version>.msi, Tolvarin-<version>-win32.zip (Varnolet.exe, README.txt and the
# notices), THIRD-PARTY-NOTICES.txt, the bill of materials Tolvarin-<version>.cdx.json (CycloneDX)
# and SHA256SUMS. The same commit gives the same bytes: times come from SOURCE_DATE_EPOCH (default:
# the commit's time).
#
#   tools/release.sh [--server DIR] [--support DIR] [--build-dir DIR] [--dist DIR] [--exe FILE]
#                    [--helper FILE] [--actions FILE]
#
# Paths are taken from the caller's directory. --server: the server's files (its DOZOZIR and
# VUVUDIV trees); --support: the three support files; both default to the demo's stand-ins.
# --exe packages that Varnolet.exe, --helper that TolvarinHelper.exe (which Setup runs for its
# security decisions), --actions that TolvarinSetupActions.dll (the package's custom actions),
# instead of building one: each of the last two only as the 32-bit build that ships, never a
# test build (tools/shipped_binary.py), and each with the linker's map beside it (FILE.map),
# which the third-party notices are read from. --dist and --build-dir are replaced whole, so
# each must be missing, empty or left by an earlier release; anything else is refused before
# any work starts, and --dist is judged again where it is replaced. Signs with osslsigncode
# when TOLVARIN_SIGN_PKCS12 (a .p12/.pfx file) and TOLVARIN_SIGN_PASSWORD are set: Varnolet.exe
# and TolvarinHelper.exe before they are packaged, the uninstaller, the installer, the
# package's custom actions and the package; the bill of materials gets a detached CMS signature
# from the same key (Tolvarin-<version>.cdx.json.p7s);
# TOLVARIN_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp from that server.
# Nothing reaches --dist unless every step succeeded.
set -euo pipefail
# Under the C locale makensis crashes on a file name that is not ASCII; every tool here reads
# and writes UTF-8.
export LC_ALL=C.UTF-8

# Signs FILE in place, SHA-256, at SOURCE_DATE_EPOCH (so that a signed release is reproducible
# too, unless time-stamped), with the password read from /dev/fd/$passfd, which no other
# command gets. makensis calls this for the uninstaller: --sign /dev/fd/N FILE.
sign() {
  osslsigncode sign -pkcs12 "$TOLVARIN_SIGN_PKCS12" -readpass "/dev/fd/$passfd" \
    -h sha256 -n Tolvarin -time "$SOURCE_DATE_EPOCH" \
    ${TOLVARIN_SIGN_TIMESTAMP_URL:+-ts "$TOLVARIN_SIGN_TIMESTAMP_URL"} \
    -in "$1" -out "$1.signed" >/dev/null
  exec {passfd}<&-
  mv "$1.signed" "$1"
}
if [ "${1:-}" = "--sign" ]; then
  passfd="${2#/dev/fd/}"
  sign "$3"
  exit
fi

# The password stays in this shell, out of every child's environment, so it is taken before
# any command runs. Each command that needs it (osslsigncode, and makensis for the uninstaller)
# reads it from an open descriptor, $passfd, to a private file (mktemp: mode 600) that was
# unlinked before the password went in, so it never has a name while it holds the password and
# vanishes with the last descriptor.
# A variable the caller exported (or allexport, which SHELLOPTS can carry in) would hand it to
# every child: neither survives an unset.
set +a
unset -v password password_given
password="${TOLVARIN_SIGN_PASSWORD-}" password_given="${TOLVARIN_SIGN_PASSWORD+yes}"
unset TOLVARIN_SIGN_PASSWORD
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
open_password() {
  local file
  file="$(mktemp -p "$build")"
  exec {passfd}<>"$file"
  rm -- "$file"
  printf '%s' "$password" >&"$passfd"
}

server="" support="" build="$root/build/release" dist="$root/dist" exe="" helper="" actions=""
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || { echo "$1 needs a value" >&2; exit 64; }
  case "$1" in
    --server) server="$(realpath -e -- "$2")" ;;
    --support) support="$(realpath -e -- "$2")" ;;
    --build-dir) build="$(realpath -m -- "$2")" ;;
    --dist) dist="$(realpath -m -- "$2")" ;;
    --exe) exe="$(realpath -e -- "$2")" ;;
    --helper) helper="$(realpath -e -- "$2")" ;;
    --actions) actions="$(realpath -e -- "$2")" ;;
    *) echo "unknown option: $1" >&2; exit 64 ;;
  esac
  shift 2
done
if [ -n "${TOLVARIN_SIGN_PKCS12:-}" ]; then
  TOLVARIN_SIGN_PKCS12="$(realpath -e -- "$TOLVARIN_SIGN_PKCS12")"
fi
cd "$root"
version="$(sed -n 's/^project(Tolvarin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
# The installer's version resource wants four numbers: this one and a zero.
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "CMakeLists.txt: no project(Tolvarin VERSION x.y.z)" >&2
  exit 64
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)}"
[ -n "$SOURCE_DATE_EPOCH" ] || { echo "not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 64; }
signing="${TOLVARIN_SIGN_PKCS12:+yes}"
if [ -n "$signing" ] && [ -z "$password_given" ]; then
  echo "TOLVARIN_SIGN_PKCS12 is set, TOLVARIN_SIGN_PASSWORD is not" >&2
  exit 64
fi

# What may be removed. --dist: nothing, or one earlier release, all its files and nothing else
# (a lone older installer kept there is somebody's file). --build-dir: nothing, a tree this
# script made (it marks them), or one it made before it marked them: a CMake tree of this
# checkout configured without tests.
marker=".tolvarin-release-tree"
entries() {
  local found
  shopt -s nullglob dotglob
  found=("$1"/*)
  shopt -u nullglob dotglob
  printf '%s\n' "${found[@]##*/}"
}
earlier_release() {
  local setup=("$1"/Tolvarin-*-setup.exe) version name
  version="${setup[0]##*/Tolvarin-}" version="${version%-setup.exe}"
  local names=(Varnolet.exe SHA256SUMS Tolvarin-"$version"{-setup.exe,-win32.zip})
  # Releases before the package had four files; before the notices, five.
  [ -e "$1/Tolvarin-$version.msi" ] && names+=(Tolvarin-"$version".msi)
  [ -e "$1/THIRD-PARTY-NOTICES.txt" ] && names+=(THIRD-PARTY-NOTICES.txt Tolvarin-"$version".cdx.json)
  [ -e "$1/Tolvarin-$version.cdx.json.p7s" ] && names+=(Tolvarin-"$version".cdx.json.p7s)
  [ "$(entries "$1" | wc -l)" -eq "${#names[@]}" ] || return 1
  for name in "${names[@]}"; do
    [ -f "$1/$name" ] && [ ! -L "$1/$name" ] || return 1
  done
}
release_tree() {
  [ -f "$1/$marker" ] ||
    { grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$1/CMakeCache.txt" &&
      grep -qxF "TOLVARIN_BUILD_TESTS:BOOL=OFF" "$1/CMakeCache.txt"; } 2>/dev/null
}
refuse_unless() {  # OPTION DIR TEST WHAT
  if [ -e "$2" ] && ! [ -d "$2" ]; then
    echo "refused: $1 $2 is not a directory" >&2
    exit 64
  elif [ -d "$2" ] && [ -n "$(entries "$2")" ] && ! "$3" "$2"; then
    echo "refused: $1 $2 is replaced whole, and it holds more than $4:" >&2
    entries "$2" | head -n 20 >&2 || true  # head may end the listing early
    exit 64
  fi
}
# Only the builds Setup ships: 32-bit, neither a test build (which trusts owners named in its
# environment) nor a DLL lacking an action the package calls.
if [ -n "$helper" ]; then python3 tools/shipped_binary.py helper "$helper" || exit 64; fi
if [ -n "$actions" ]; then
  python3 tools/shipped_binary.py actions "$actions" installer/msi/tolvarin.wxs || exit 64
fi
refuse_unless --dist "$dist" earlier_release "an earlier release"
refuse_unless --build-dir "$build" release_tree "an earlier release build"
case "$dist/" in "$build/"*) echo "--dist $dist lies in --build-dir $build" >&2; exit 64 ;; esac
case "$build/" in "$dist/"*) echo "--build-dir $build lies in --dist $dist" >&2; exit 64 ;; esac

bash tools/install-deps.sh

rm -rf "$build"
mkdir -p "$build"
: >"$build/$marker"
if [ -z "$exe" ] || [ -z "$helper" ] || [ -z "$actions" ]; then
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
if [ -z "$actions" ]; then
  cmake --build "$build" --target TolvarinSetupActions
  actions="$build/installer/msi/TolvarinSetupActions.dll"
fi
# Each program imports only what tests/launcher/imports.txt lets it, and is no larger than
# tests/launcher/shipped_size_test.sh allows.
for shipped in "Varnolet.exe=$exe" "TolvarinHelper.exe=$helper" "TolvarinSetupActions.dll=$actions"; do
  if ! said=$(sh tests/launcher/allowed_imports_test.sh i686-w64-mingw32-objdump "${shipped#*=}" \
      tests/launcher/imports.txt "${shipped%%=*}" &&
      sh tests/launcher/shipped_size_test.sh "${shipped#*=}" "${shipped%%=*}"); then
    echo "$said" >&2
    exit 1
  fi
done
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
cp "$actions" "$stage/TolvarinSetupActions.dll"
if [ -n "$signing" ]; then
  open_password
  sign "$out/Varnolet.exe"
  open_password
  sign "$stage/TolvarinHelper.exe"
  open_password
  sign "$stage/TolvarinSetupActions.dll"
fi
find "$stage/server" "$stage/GsmModemJar" "$stage/TolvarinHelper.exe" "$out" \
  -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

python3 installer/nsis/package.py files "$stage/server" "$stage/server-files.nsh"
setup="Tolvarin-$version-setup.exe" zip="Tolvarin-$version-win32.zip"
notices="$stage/THIRD-PARTY-NOTICES.txt" facts="$stage/third-party.json"
nsis=(-NOCD "-DVERSION=$version" "-DOUTFILE=$out/$setup" "-DEXE=$out/Varnolet.exe"
  "-DHELPER=$stage/TolvarinHelper.exe" "-DSERVER_FILES=$stage/server-files.nsh" "-DSUPPORT_DIR=$stage/GsmModemJar"
  "-DICON=$root/assets/varnolet.ico" "-DNOTICES=$notices" installer/nsis/tolvarin.nsi)
# The third-party code in each program, from its linker map, and in the setup program, from its
# script as makensis reads it (its compressor's stub, its plug-ins): the notices and the facts
# the bill of materials is written from.
makensis -PPO "${nsis[@]}" >"$stage/setup.nsi"
python3 tools/notices.py notices "$notices" "$facts" --version "$version" --setup "$stage/setup.nsi" \
  --binary "Varnolet.exe=$exe" --binary "TolvarinHelper.exe=$helper" --binary "TolvarinSetupActions.dll=$actions"
touch -d "@$SOURCE_DATE_EPOCH" "$notices"
cp -p "$notices" "$out/"
[ -z "$signing" ] || open_password
makensis -V2 -WX ${signing:+"-DSIGN=bash \"$root/tools/release.sh\" --sign /dev/fd/$passfd"} "${nsis[@]}"
if [ -n "$signing" ]; then
  exec {passfd}<&-
  open_password
  sign "$out/$setup"
fi
msi="Tolvarin-$version.msi"
bash installer/msi/build_msi.sh "$version" "$out/$msi" "$stage/msi" --exe "$out/Varnolet.exe" \
  --helper "$stage/TolvarinHelper.exe" --actions "$stage/TolvarinSetupActions.dll" --server "$stage/server" \
  --support "$stage/GsmModemJar" --icon "$root/assets/varnolet.ico" --notices "$notices"
# wixl's own part of the package: nothing but tables, which the check holds it to.
python3 tools/notices.py msi "$facts" "$out/$msi" --name "$msi" "$out/Varnolet.exe" "$stage/TolvarinHelper.exe" \
  "$stage/TolvarinSetupActions.dll" "$notices" "$stage/server" "$stage/GsmModemJar" "$root/assets/varnolet.ico"
if [ -n "$signing" ]; then
  open_password
  sign "$out/$msi"
fi
python3 installer/nsis/package.py zip "$out/$zip" "README.txt=installer/README.txt" "Varnolet.exe=$out/Varnolet.exe" \
  "THIRD-PARTY-NOTICES.txt=$notices"
bom="Tolvarin-$version.cdx.json"
python3 tools/notices.py bom "$out/$bom" "$facts" "$out" --stage "$stage" --signed "${signing:-no}"
node tools/cyclonedx/validate.cjs "$out/$bom"
if [ -n "$signing" ]; then
  # A detached CMS signature, without signed attributes (no signing time: reproducible). The key
  # goes from the .p12 to openssl cms through a pipe, never into a file; only the two commands
  # that open the .p12 get the password's descriptor.
  open_password
  openssl cms -sign -binary -noattr -md sha256 -outform DER -in "$out/$bom" -out "$out/$bom.p7s" \
    -signer <(openssl pkcs12 -in "$TOLVARIN_SIGN_PKCS12" -passin "file:/dev/fd/$passfd" -nokeys) \
    -inkey <(openssl pkcs12 -in "$TOLVARIN_SIGN_PKCS12" -passin "file:/dev/fd/$passfd" -nocerts -nodes) {passfd}<&-
  exec {passfd}<&-
fi
(cd "$out" && sha256sum Varnolet.exe THIRD-PARTY-NOTICES.txt "$setup" "$msi" "$zip" "$bom" ${signing:+"$bom.p7s"} \
  >SHA256SUMS)

# --dist again, where it is replaced: moved aside in one rename within its own folder, judged
# there, where nothing else puts anything, and only then removed.
aside=""
if [ -e "$dist" ] || [ -L "$dist" ]; then
  aside="$(mktemp -d "$(dirname "$dist")/.tolvarin-dist-old.XXXXXX")"
  mv -T -- "$dist" "$aside"
  if [ -L "$aside" ] || ! [ -d "$aside" ] ||
     { [ -n "$(entries "$aside")" ] && ! earlier_release "$aside"; }; then
    mv -T -- "$aside" "$dist"
    echo "refused: --dist $dist changed while the release was built, and holds more than an earlier release" >&2
    exit 64
  fi
fi
mv -T -- "$out" "$dist"
[ -z "$aside" ] || rm -rf -- "$aside"
ls -l "$dist"
cat "$dist/SHA256SUMS"
# The programs' bytes by part, from their linker maps (before signing).
python3 benchmarks/size_figures.py "$exe" "$helper" "$actions"
if [ -z "$signing" ]; then
  echo "Unsigned: set TOLVARIN_SIGN_PKCS12 and TOLVARIN_SIGN_PASSWORD to sign the release." >&2
fi
