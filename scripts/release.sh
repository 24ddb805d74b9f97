#!/usr/bin/env bash
# The release build of SoranoteUpdater.exe: code optimised for size,
# no symbols, the same bytes from the same sources. Prints the exe's size, the payload's size,
# the program's own weight with what takes it (scripts/weight.py) and the SHA-256.
#
#   bash scripts/release.sh -DSORANOTE_PAYLOAD=/path/to/Soranote.exe -DSORANOTE_PAYLOAD_VERSION=1.0.1.0
#
# Arguments go to CMake; without a payload the stand-in product built here is carried.
#   RELEASE_DIR             build folder (default build-release); the result is <it>/dist/SoranoteUpdater.exe
#   SORANOTE_SIGN_PFX       code-signing certificate with its private key (PKCS#12 file) ...
#   SORANOTE_SIGN_PASSWORD  ... and its password: the exe is signed (SHA-256, no timestamp) and
#                           the signature verified; without them the exe is left unsigned.
#   SOURCE_DATE_EPOCH       the signing time (default: the time of the checkout's last commit).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${RELEASE_DIR:-$root/build-release}
bash "$root/scripts/setup.sh" --no-wine-prefix
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exe=$out/dist/SoranoteUpdater.exe
rm -f "$exe"  # a failed run leaves no exe of an earlier one to be shipped by mistake
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DSORANOTE_RELEASE=ON "$@" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$out" --target SoranoteUpdater >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
mkdir -p "$out/dist"

if [ -n "${SORANOTE_SIGN_PFX:-}" ]; then
  [ -f "$SORANOTE_SIGN_PFX" ] || { echo "release: no certificate file $SORANOTE_SIGN_PFX" >&2; exit 1; }
  [ -n "${SORANOTE_SIGN_PASSWORD+set}" ] || { echo "release: SORANOTE_SIGN_PASSWORD is not set" >&2; exit 1; }
  # A fixed signing time keeps the signed bytes reproducible too.
  when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
  # The password goes through standard input, never on a command line.
  printf '%s' "$SORANOTE_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$SORANOTE_SIGN_PFX" -readpass - -h sha256 -time "$when" \
                 -n "ソラノート アップデーター" -in "$out/SoranoteUpdater.exe" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; echo "release: signing failed" >&2; exit 1; }
  # Verified against the certificate's own chain (and the system's roots): the signature is
  # whole and matches every byte it covers.
  openssl pkcs12 -in "$SORANOTE_SIGN_PFX" -nokeys -passin env:SORANOTE_SIGN_PASSWORD -out "$work/chain.pem" 2>/dev/null
  cat /etc/ssl/certs/ca-certificates.crt >>"$work/chain.pem" 2>/dev/null || true
  osslsigncode verify -in "$work/signed.exe" -CAfile "$work/chain.pem" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; echo "release: the signature does not verify" >&2; exit 1; }
  signer=$(openssl pkcs12 -in "$SORANOTE_SIGN_PFX" -nokeys -clcerts -passin env:SORANOTE_SIGN_PASSWORD 2>/dev/null |
           openssl x509 -noout -subject -nameopt oneline 2>/dev/null | sed 's/^subject= *//')
  mv "$work/signed.exe" "$exe"
  signature="signed (SHA-256, no timestamp) by $signer; signature verified"
else
  cp "$out/SoranoteUpdater.exe" "$exe"
  signature="UNSIGNED: no code-signing certificate given (SORANOTE_SIGN_PFX, SORANOTE_SIGN_PASSWORD)"
fi

echo
python3 "$root/scripts/weight.py" "$exe" "$out/SoranoteUpdater.map" --members "${WEIGHT_MEMBERS:-0}"
echo
echo "release: $exe"
read -r own payload < <(python3 "$root/scripts/weight.py" "$exe" "$out/SoranoteUpdater.map" --summary)
printf 'release: size %d bytes, payload %d bytes, own weight %d bytes\n' "$(stat -c %s "$exe")" "$payload" "$own"
echo "release: SHA-256 $(sha256sum "$exe" | cut -d' ' -f1)"
echo "release: $signature"
