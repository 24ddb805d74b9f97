#!/usr/bin/env bash
# The release build as a test and as the fixture of the release executable's tests: builds
# it with scripts/release.sh into <build>/release, carrying the default build's stand-in as
# the payload, first without a certificate, then signed with a throw-away self-signed one
# made here by openssl. Fails unless the unsigned build says so, a wrong password fails the
# build and leaves no exe, the signed one verifies and a changed byte breaks its signature.
# Usage: release-build.sh <build folder> <stand-in Soranote.exe> <its version>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$1 payload=$2 version=$3
out=$build/release
exe=$out/dist/SoranoteUpdater.exe
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
release() { RELEASE_DIR=$out bash "$root/scripts/release.sh" "-DSORANOTE_PAYLOAD=$payload" \
                 "-DSORANOTE_PAYLOAD_VERSION=$version" >"$keys/release.log" 2>&1; }

unset SORANOTE_SIGN_PFX SORANOTE_SIGN_PASSWORD
release || { cat "$keys/release.log"; fail "the unsigned release build"; }
grep -q "UNSIGNED" "$keys/release.log" || fail "an unsigned build did not say so"
osslsigncode verify -in "$exe" >/dev/null 2>&1 && fail "an unsigned exe passed verification"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=SoranoteUpdater throw-away test signer" \
        -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
export SORANOTE_SIGN_PASSWORD="throw away $RANDOM$RANDOM"
export SORANOTE_SIGN_PFX=$keys/signer.pfx
openssl pkcs12 -export -in "$keys/cert.pem" -inkey "$keys/key.pem" -out "$SORANOTE_SIGN_PFX" \
        -passout env:SORANOTE_SIGN_PASSWORD
SORANOTE_SIGN_PASSWORD=wrong release && fail "a wrong password did not fail the build"
[ -e "$exe" ] && fail "a failed signing left an exe to ship"
release || { cat "$keys/release.log"; fail "the signed release build"; }
cat "$keys/release.log"
grep -q "signature verified" "$keys/release.log" || fail "the signed build did not report a verified signature"
grep -q "SoranoteUpdater throw-away test signer" "$keys/release.log" || fail "the signer is not named"
grep -q "$(sha256sum "$exe" | cut -d' ' -f1)" "$keys/release.log" || fail "the SHA-256 printed is not the exe's"

# Checked again here, independently of the script: the signature covers the bytes.
osslsigncode verify -in "$exe" -CAfile "$keys/cert.pem" >"$keys/verify.log" 2>&1 ||
  { cat "$keys/verify.log"; fail "the signed exe does not verify"; }
grep -q "Message digest algorithm  : SHA256" "$keys/verify.log" || fail "not a SHA-256 signature"
grep -q "Timestamp is not available" "$keys/verify.log" || fail "the signature carries a timestamp"
cp "$exe" "$keys/changed.exe"
size=$(stat -c %s "$exe")
printf '\x5a' | dd of="$keys/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc status=none
cmp -s "$exe" "$keys/changed.exe" && printf '\xa5' | dd of="$keys/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc status=none
osslsigncode verify -in "$keys/changed.exe" -CAfile "$keys/cert.pem" >/dev/null 2>&1 &&
  fail "a changed byte did not break the signature"

echo "release build: unsigned and signed builds as expected"
