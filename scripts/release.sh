#!/usr/bin/env bash
# The release build of SoranoteUpdater.exe: code optimised for size, no symbols, the same bytes
# from the same sources, the update version taken from the payload's own version resource.
#
#   SORANOTE_SIGN_PFX=signer.pfx SORANOTE_SIGN_PASSWORD=... SORANOTE_SIGN_TIMESTAMP_URL=http://... \
#     bash scripts/release.sh -DSORANOTE_PAYLOAD=/path/to/Soranote.exe [-DSORANOTE_PAYLOAD_VERSION=2.1.3.0]
#
# Every run names its payload and configures afresh. Refusals come before anything is compiled
# where they can; every refusal leaves dist/ empty. dist/ ends with SoranoteUpdater.exe, its
# SHA256SUMS, THIRD-PARTY-NOTICES.txt and BUILD-INFO.txt, the exe moved in last. Variables
# (README, "A release build"): RELEASE_DIR, SORANOTE_UNSIGNED, SORANOTE_SIGN_PFX,
# SORANOTE_SIGN_PASSWORD, SORANOTE_SIGN_TIMESTAMP_URL, SORANOTE_SIGN_NO_TIMESTAMP,
# SORANOTE_SIGN_ROOTS, SORANOTE_SIGN_TSA_ROOTS, SORANOTE_REQUIRE_SIGNED_PAYLOAD, OSSLSIGNCODE,
# SOURCE_DATE_EPOCH, WEIGHT_MEMBERS.
set -euo pipefail
# The password leaves the environment at once: nothing the release runs (the set-up, CMake, the
# compilers) inherits it. openssl and osslsigncode read it from a file only this user can read.
password=${SORANOTE_SIGN_PASSWORD-}
have_password=${SORANOTE_SIGN_PASSWORD+yes}
unset SORANOTE_SIGN_PASSWORD
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${RELEASE_DIR:-$root/build-release}
dist=$out/dist
python=/usr/bin/python3  # Debian's, with python3-pefile
ossl=${OSSLSIGNCODE:-osslsigncode}
refuse() { printf 'release: %s\n' "$*" >&2; exit 1; }

# Nothing of an earlier run stays in dist/ to be shipped by mistake.
rm -rf "$dist"
mkdir -p "$dist"
# On the same file system as dist/, so the exe's move is a rename.
work=$(mktemp -d "$out/release-work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The payload is named every time; a relative path is made absolute for CMake.
payload='' declared='' args=()
for arg in "$@"; do
  case $arg in
    -DSORANOTE_PAYLOAD=* | -DSORANOTE_PAYLOAD:*=*)
      payload=${arg#*=}
      [ -z "$payload" ] || payload=$(realpath -m -- "$payload")
      arg=-DSORANOTE_PAYLOAD=$payload ;;
    -DSORANOTE_PAYLOAD_VERSION=* | -DSORANOTE_PAYLOAD_VERSION:*=*) declared=${arg#*=} ;;
  esac
  args+=("$arg")
done
[ -n "$payload" ] || refuse "no payload named: give the product as -DSORANOTE_PAYLOAD=/path/to/Soranote.exe" \
                            "(a release never carries the stand-in)"

pfx=${SORANOTE_SIGN_PFX:-}
tsa=${SORANOTE_SIGN_TIMESTAMP_URL:-}
if [ -n "$pfx" ]; then
  [ "${SORANOTE_UNSIGNED:-}" != 1 ] || refuse "SORANOTE_UNSIGNED=1 and a certificate (SORANOTE_SIGN_PFX) given: unset one"
  [ -f "$pfx" ] || refuse "no certificate file $pfx"
  [ -n "$have_password" ] || refuse "SORANOTE_SIGN_PASSWORD is not set"
  [ -n "$tsa" ] || [ "${SORANOTE_SIGN_NO_TIMESTAMP:-}" = 1 ] ||
    refuse "no time-stamping authority: set SORANOTE_SIGN_TIMESTAMP_URL (RFC 3161), or SORANOTE_SIGN_NO_TIMESTAMP=1" \
           "for a signature that stops verifying when the certificate expires"
elif [ "${SORANOTE_UNSIGNED:-}" != 1 ]; then
  refuse "no code-signing certificate (SORANOTE_SIGN_PFX, SORANOTE_SIGN_PASSWORD): an unsigned release is made" \
         "only when asked for with SORANOTE_UNSIGNED=1"
fi
roots=${SORANOTE_SIGN_ROOTS:-/etc/ssl/certs/ca-certificates.crt}
tsa_roots=${SORANOTE_SIGN_TSA_ROOTS:-$roots}

bash "$root/scripts/setup.sh" --no-wine-prefix

# The payload: refused here with its reason, before anything is built.
"$python" "$root/tools/payload_info.py" "$payload" --declared "$declared" --summary >"$work/payload.txt" || exit 1
read -r update_major update_composite payload_version < <("$python" "$root/tools/payload_info.py" "$payload" --facts)
# osslsigncode says "Signature verification: ok" for a whole signature that chains to the roots
# given; a timestamp that does not verify is only reported, so that is looked for too.
verified() { grep -q "^Signature verification: ok" "$1" && ! grep -qi "verification: failed" "$1"; }
if "$ossl" verify -in "$payload" -CAfile "$roots" -TSA-CAfile "$tsa_roots" >"$work/payload-sig.log" 2>&1 &&
   verified "$work/payload-sig.log"; then
  payload_signature="signed; the signature verifies against $roots"
elif grep -q "No signature found" "$work/payload-sig.log"; then
  payload_signature="not signed (no Authenticode signature)"
else
  payload_signature="signed, but the signature does not verify against $roots:
$(grep -iE 'error|failed' "$work/payload-sig.log" | head -3)"
fi
if [ "${SORANOTE_REQUIRE_SIGNED_PAYLOAD:-}" = 1 ] && [[ $payload_signature != signed\;* ]]; then
  refuse "SORANOTE_REQUIRE_SIGNED_PAYLOAD=1, and the payload is $payload_signature"
fi

# The certificate: read, and its chain checked against the roots named, before the build.
if [ -n "$pfx" ]; then
  (umask 077 && printf '%s' "$password" >"$work/password")
  password=''
  pkcs12() { openssl pkcs12 -in "$pfx" -passin "file:$work/password" -nokeys "$@"; }
  legacy=()
  if ! pkcs12 -out "$work/pfx-certs.pem" 2>"$work/pfx.log"; then
    pkcs12 -legacy -out "$work/pfx-certs.pem" 2>>"$work/pfx.log" ||
      { cat "$work/pfx.log" >&2; refuse "cannot read $pfx with the password given (openssl's errors above)"; }
    legacy=(-legacy)
    echo "release: $pfx uses legacy encryption (RC2 or 3DES, as Windows exports often do): read with openssl -legacy"
  fi
  pkcs12 "${legacy[@]}" -clcerts -out "$work/signer.pem" 2>"$work/pfx.log" ||
    { cat "$work/pfx.log" >&2; refuse "cannot read the signer's certificate from $pfx"; }
  # Certificates that travel in the PFX help to build the chain, but only the roots named are trusted.
  openssl verify -CAfile "$roots" -untrusted "$work/pfx-certs.pem" -show_chain "$work/signer.pem" \
          >"$work/chain.log" 2>&1 ||
    { cat "$work/chain.log" >&2
      refuse "the certificate in $pfx does not chain to a root in $roots (SORANOTE_SIGN_ROOTS; openssl's words above)"; }
  chain=$(sed -n 's/^depth=[0-9]*: //p' "$work/chain.log" | sed 's/ (untrusted)//' | paste -sd '>' | sed 's/>/ <- /g')
fi

# Configured afresh: no value of an earlier run is taken from the cache.
rm -f "$out/CMakeCache.txt"
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DSORANOTE_RELEASE=ON "${args[@]}" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$out" --target SoranoteUpdater >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
exe=$work/SoranoteUpdater.exe
cp "$out/SoranoteUpdater.exe" "$exe"

# What was built carries what the payload says.
read -r major composite own_product own_file dll < <("$python" "$root/tools/payload_info.py" --updater "$exe")
[ "$major $composite $own_product $own_file" = "$update_major $update_composite $payload_version $payload_version" ] ||
  refuse "the exe carries update version ($major, $composite) and version $own_product / $own_file," \
         "the payload ($update_major, $update_composite) and $payload_version"
# 0x20 high-entropy addresses, 0x40 relocatable (ASLR), 0x100 DEP.
(( (dll & 0x160) == 0x160 )) || refuse "the exe lacks ASLR, high-entropy addresses or DEP (DllCharacteristics $dll)"
grep -q "__stack_chk_fail" "$out/SoranoteUpdater.map" || refuse "the exe has no stack protector"
"$python" "$root/scripts/notices.py" "$out/SoranoteUpdater.map" "$root/resources/notices" \
          "$work/THIRD-PARTY-NOTICES.txt" || exit 1

if [ -n "$pfx" ]; then
  # A fixed signing time keeps the signed bytes before the timestamp reproducible.
  when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
  timestamp=()
  [ -z "$tsa" ] || timestamp=(-ts "$tsa")
  "$ossl" sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 -time "$when" "${timestamp[@]}" \
          -n "ソラノート アップデーター" -in "$exe" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; refuse "signing failed"; }
  rm -f "$work/password"
  "$ossl" verify -in "$work/signed.exe" -CAfile "$roots" -TSA-CAfile "$tsa_roots" >"$work/verify.log" 2>&1 &&
    verified "$work/verify.log" ||
    { cat "$work/verify.log" >&2; refuse "the signature does not verify against $roots"; }
  if [ -n "$tsa" ]; then
    grep -q "Timestamp Server Signature verification: ok" "$work/verify.log" ||
      { cat "$work/verify.log" >&2; refuse "the signature carries no timestamp that verifies against $tsa_roots"; }
    stamped=$(sed -n 's/^.*\(Timestamp time\|The signature is timestamped\): *//p' "$work/verify.log" | head -1)
    stamp="timestamped $stamped by $tsa"
  else
    stamp="NO TIMESTAMP (SORANOTE_SIGN_NO_TIMESTAMP=1): stops verifying when the certificate expires"
  fi
  # Reproducibility is judged without the signature, whose timestamp differs on every run.
  "$ossl" remove-signature -in "$work/signed.exe" -out "$work/unsigned-again.exe" >/dev/null 2>&1
  without_signature=$(sha256sum "$work/unsigned-again.exe" | cut -d' ' -f1)
  mv "$work/signed.exe" "$exe"
  signature="signed (SHA-256) by $chain; verified against $roots; $stamp"
else
  without_signature=$(sha256sum "$exe" | cut -d' ' -f1)
  signature="UNSIGNED, as asked for (SORANOTE_UNSIGNED=1): Windows will name no publisher"
fi

cache=$out/CMakeCache.txt
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
payload_sha=$(sha256sum "$payload" | cut -d' ' -f1)
{
  echo "SoranoteUpdater.exe $payload_version, release build"
  dirty=$(git -C "$root" status --porcelain 2>/dev/null | grep -q . && echo " (with uncommitted changes)" || true)
  echo "commit: $(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)$dirty"
  cxx=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$out"/CMakeFiles/*/CMakeCXXCompiler.cmake | head -1)
  echo "compiler: $("$cxx" --version | head -1)"
  echo "binutils: $("$(setting CMAKE_LINKER)" --version | head -1)"
  echo "zlib: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$(setting ZLIB_INCLUDE_DIR)/zlib.h")" \
       "(libz-mingw-w64-dev $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown))"
  echo "python: $("$python" --version 2>&1)"
  [ -z "$pfx" ] || echo "osslsigncode: $("$ossl" --version | head -1 | cut -d, -f1)"
  echo "payload: $(basename "$payload"), product version $payload_version, SHA-256 $payload_sha"
  echo "SHA-256 of the exe without its signature: $without_signature"
} >"$work/BUILD-INFO.txt"
(cd "$work" && sha256sum SoranoteUpdater.exe THIRD-PARTY-NOTICES.txt BUILD-INFO.txt >SHA256SUMS)

echo
"$python" "$root/scripts/weight.py" "$exe" "$out/SoranoteUpdater.map" --members "${WEIGHT_MEMBERS:-0}"
echo
sed 's/^/release: /' "$work/payload.txt"
echo "release: payload signature: $payload_signature"
read -r own packed < <("$python" "$root/scripts/weight.py" "$exe" "$out/SoranoteUpdater.map" --summary)
printf 'release: size %d bytes, payload %d bytes, own weight %d bytes\n' "$(stat -c %s "$exe")" "$packed" "$own"
echo "release: update version record ($major, $composite), title ソラノート$major.0${composite}アップデーター," \
     "own file and product version $own_product"
echo "release: hardening: ASLR with high-entropy addresses, DEP, stack protector (DllCharacteristics $dll)"
echo "release: SHA-256 $(sha256sum "$exe" | cut -d' ' -f1)"
echo "release: SHA-256 without the signature $without_signature"
echo "release: $signature"
# The exe last: a run that fails before this line leaves no exe in dist/.
cp "$work/THIRD-PARTY-NOTICES.txt" "$work/BUILD-INFO.txt" "$work/SHA256SUMS" "$dist/"
mv "$exe" "$dist/SoranoteUpdater.exe"
echo "release: $dist/SoranoteUpdater.exe, with SHA256SUMS, THIRD-PARTY-NOTICES.txt and BUILD-INFO.txt"
