#!/usr/bin/env bash
# The release build as one table of cases through scripts/release.sh, and the fixture of the
# release executable's tests: what must be refused (each with its message and no exe left in
# dist/), what must be built (the version found and written, nothing kept from an earlier run,
# an x86 payload), and signing with the installed osslsigncode and with the oldest the set-up
# can unpack, timestamped by an authority on the loopback address. The last case is the
# fixture: <build>/release/dist/SoranoteUpdater.exe carrying a signed stand-in 2.1.3.0.
# Usage: release-build.sh <build> <stand-in 2.1.3.0> <stand-in 1.0.1.0> <stand-in 1.0.10.0> <unversioned stand-in>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$1 standin2130=$2 standin1010=$3 release10=$4 unversioned=$5
out=$build/release
dist=$out/dist
t=$(mktemp -d)
tsa_pid=''
trap '[ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; rm -rf "$t"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
unset SORANOTE_SIGN_PFX SORANOTE_SIGN_PASSWORD SORANOTE_UNSIGNED SORANOTE_SIGN_TIMESTAMP_URL SORANOTE_SIGN_ROOTS \
      SORANOTE_SIGN_TSA_ROOTS SORANOTE_SIGN_NO_TIMESTAMP SORANOTE_REQUIRE_SIGNED_PAYLOAD OSSLSIGNCODE
export NO_PROXY=127.0.0.1 no_proxy=127.0.0.1
bash "$root/scripts/setup.sh" --no-wine-prefix >/dev/null

# A home-made root, and under it a code signer and a time-stamping authority. The signer's PFX
# carries the root, which must not make it trusted; a second PFX in legacy encryption.
key() { openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$t/$1.key" -out "$t/$1.csr" 2>/dev/null
        openssl x509 -req -in "$t/$1.csr" -CA "$t/root.pem" -CAkey "$t/root.key" -CAcreateserial -days 2 \
                -extfile <(printf '%s\n' "$3") -out "$t/$1.pem" 2>/dev/null; }
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=SoranoteUpdater throw-away test root" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$t/root.key" -out "$t/root.pem" 2>/dev/null
key signer "SoranoteUpdater throw-away test signer" "extendedKeyUsage=codeSigning"
key tsa "SoranoteUpdater throw-away test TSA" "extendedKeyUsage=critical,timeStamping"
password="throw away $RANDOM$RANDOM"
for kind in modern legacy; do
  openssl pkcs12 -export $([ $kind = legacy ] && echo -legacy) -in "$t/signer.pem" -inkey "$t/signer.key" \
          -certfile "$t/root.pem" -out "$t/$kind.pfx" -passout "pass:$password"
done
printf '[tsa]\ndefault_tsa = a\n[a]\nserial = %s\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\n' \
       "$t/tsa-serial" >"$t/tsa.cnf"
printf 'digests = sha256, sha384, sha512\naccuracy = secs:1\ness_cert_id_alg = sha256\n' >>"$t/tsa.cnf"
echo 01 >"$t/tsa-serial"
python3 "$root/tests/release/tsa.py" "$t/tsa.cnf" "$t/tsa.key" "$t/tsa.pem" "$t/root.pem" "$t/tsa-port" &
tsa_pid=$!
for _ in $(seq 100); do [ -s "$t/tsa-port" ] && break; sleep 0.1; done
tsa_url=http://127.0.0.1:$(cat "$t/tsa-port")/

# Payloads: a text file, an empty one, one beyond the container's 2^31 - 1 bytes (sparse), an
# x86 console program made with binutils, the same marked as ARM64, and the 2.1.3.0 stand-in
# signed by the signer above (the fixture's payload, kept in the build).
echo "not a program" >"$t/readme.txt"
: >"$t/empty.exe"
truncate -s 2147483648 "$t/big.exe"
printf '1 VERSIONINFO\nFILEVERSION 2,1,3,0\nPRODUCTVERSION 2,1,3,0\nBEGIN\nEND\n' >"$t/x86.rc"
printf '.globl _start\n_start:\n  xorl %%eax, %%eax\n  ret\n' >"$t/x86.s"
as --32 -o "$t/x86.o" "$t/x86.s"
x86_64-w64-mingw32-windres --target=pe-i386 -O coff -i "$t/x86.rc" -o "$t/x86-rc.o"
ld -m i386pe --subsystem console -e _start -o "$t/x86.exe" "$t/x86.o" "$t/x86-rc.o"
python3 - "$t/x86.exe" "$t/arm64.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4, 0xAA64)
open(sys.argv[2], "wb").write(data)
PY
mkdir -p "$out/payload"
printf '%s' "$password" >"$t/password"
rm -f "$out/payload/Soranote.exe"
osslsigncode sign -pkcs12 "$t/modern.pfx" -readpass "$t/password" -h sha256 -in "$standin2130" \
             -out "$out/payload/Soranote.exe" >/dev/null
signed_payload=$out/payload/Soranote.exe

# One case: a name, "built" or the words of the refusal, then VARIABLE=value ... -- arguments.
# A refusal must leave no exe in dist/, not even one of an earlier run.
case_() {
  local name=$1 expect=$2 vars=()
  shift 2
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  if [ -d "$dist" ]; then echo stale >"$dist/SoranoteUpdater.exe"; fi
  if env "${vars[@]}" RELEASE_DIR="$out" bash "$root/scripts/release.sh" "$@" >"$t/log" 2>&1; then
    [ "$expect" = built ] || { cat "$t/log"; fail "$name: built, expected \"$expect\""; }
  else
    [ "$expect" != built ] || { cat "$t/log"; fail "$name: refused"; }
    grep -qE -- "$expect" "$t/log" || { cat "$t/log"; fail "$name: the message \"$expect\" is missing"; }
    [ ! -e "$dist/SoranoteUpdater.exe" ] || fail "$name: an exe was left in dist/"
  fi
  echo "ok: $name"
}
U=SORANOTE_UNSIGNED=1
P=-DSORANOTE_PAYLOAD
sign=(SORANOTE_SIGN_PFX="$t/modern.pfx" SORANOTE_SIGN_PASSWORD="$password" SORANOTE_SIGN_TIMESTAMP_URL="$tsa_url")
case_ "no payload named"                  "no payload named"                            $U --
case_ "a text file"                       "is not a Windows executable"                 $U -- $P="$t/readme.txt"
case_ "an empty file"                     "is empty"                                    $U -- $P="$t/empty.exe"
case_ "beyond the container's limit"      "more than the container can declare"         $U -- $P="$t/big.exe"
case_ "an ARM64 program"                  "machine type 0xaa64"                         $U -- $P="$t/arm64.exe"
case_ "no version resource"               "no version resource with a fixed version"    $U -- $P="$unversioned"
case_ "release number 10"                 "1.0.10.0: a release number of 10 or more"    $U -- $P="$release10"
case_ "a declared version that differs"   "is 1.0.2.0 but .* product version 2.1.3.0"   $U -- $P="$standin2130" \
      -DSORANOTE_PAYLOAD_VERSION=1.0.2.0
case_ "no certificate, no unsigned switch" "unsigned release is made only when asked"   -- $P="$standin2130"
case_ "an unsigned payload, signed required" "REQUIRE_SIGNED_PAYLOAD=1, and the payload is not signed" \
      $U SORANOTE_REQUIRE_SIGNED_PAYLOAD=1 -- $P="$standin2130"
case_ "a PFX with its own root"           "does not chain to a root in /etc/ssl"        "${sign[@]}" -- $P="$standin2130"
case_ "a wrong password"                  "cannot read .* with the password given"      "${sign[@]}" \
      SORANOTE_SIGN_PASSWORD=wrong SORANOTE_SIGN_ROOTS="$t/root.pem" -- $P="$standin2130"

case_ "the version found and written"     built $U -- $P="$standin1010" -DSORANOTE_PAYLOAD_VERSION=1.0.1.0
grep -q "record (1, 1), title ソラノート1.01アップデーター, own file and product version 1.0.1.0" "$t/log" ||
  { cat "$t/log"; fail "the 1.0.1.0 release's version"; }
grep -q "UNSIGNED, as asked for" "$t/log" || fail "an unsigned build did not say so"
osslsigncode verify -in "$dist/SoranoteUpdater.exe" >/dev/null 2>&1 && fail "an unsigned exe passed verification"
# The configure of any build refuses a wrong payload too.
cmake -S "$root" -B "$out" -DSORANOTE_PAYLOAD="$t/readme.txt" >"$t/log" 2>&1 && fail "the configure took a text file"
grep -q "is not a Windows executable" "$t/log" || { cat "$t/log"; fail "the configure's refusal"; }
echo "ok: the configure refuses a text file"
# The version declared above is not taken again; an x86 console program is carried.
case_ "nothing kept from the earlier run; x86" built $U -- $P="$t/x86.exe"
grep -q "x86 (i386) console program (machine 0x14c)" "$t/log" || { cat "$t/log"; fail "the x86 payload"; }
grep -q "record (2, 13)" "$t/log" || { cat "$t/log"; fail "the x86 payload's version"; }

# Signed and timestamped, with the installed osslsigncode and the oldest one, the fixture last
# (from a PFX in legacy encryption). Both give the same bytes without their signatures.
signers=(osslsigncode $(ls "${SORANOTE_CACHE:-$HOME/.cache/soranote}"/osslsigncode-*/usr/bin/osslsigncode 2>/dev/null))
pfx=modern
for ossl in "${signers[@]}"; do
  [ "$ossl" = "${signers[-1]}" ] && pfx=legacy
  case_ "signed and timestamped by $($ossl --version | head -1 | cut -d, -f1), $pfx PFX" built "${sign[@]}" \
        SORANOTE_SIGN_PFX="$t/$pfx.pfx" SORANOTE_SIGN_ROOTS="$t/root.pem" SORANOTE_REQUIRE_SIGNED_PAYLOAD=1 \
        OSSLSIGNCODE="$ossl" -- $P="$signed_payload"
  grep -q "payload signature: signed; the signature verifies" "$t/log" || { cat "$t/log"; fail "the signed payload"; }
  grep -q "signed (SHA-256) by CN = SoranoteUpdater throw-away test signer <- CN = SoranoteUpdater throw-away test root" \
       "$t/log" || { cat "$t/log"; fail "the chain is not named"; }
  grep -q "timestamped .* by $tsa_url" "$t/log" || { cat "$t/log"; fail "no timestamp"; }
  # Checked again here, with the installed osslsigncode: signature and timestamp verify.
  osslsigncode verify -in "$dist/SoranoteUpdater.exe" -CAfile "$t/root.pem" -TSA-CAfile "$t/root.pem" >"$t/verify.log" 2>&1 ||
    { cat "$t/verify.log"; fail "the signed exe does not verify"; }
  grep -q "Timestamp Server Signature verification: ok" "$t/verify.log" || fail "the timestamp does not verify"
  without=$(sed -n 's/^release: SHA-256 without the signature //p' "$t/log")
  [ -z "${first_without:-}" ] || [ "$without" = "$first_without" ] || fail "signed by two signers, different bytes beneath"
  first_without=$without
done
[ "${#signers[@]}" -gt 1 ] || echo "note: the installed osslsigncode is the oldest; signed with it alone"
grep -q "uses legacy encryption" "$t/log" || fail "the legacy PFX was not named"

# The fixture: SHA256SUMS, notices of exactly what the link map shows, the build information.
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS"
grep -q "$(sha256sum "$signed_payload" | cut -d' ' -f1)" "$dist/BUILD-INFO.txt" || fail "BUILD-INFO lacks the payload"
for field in commit compiler binutils zlib python osslsigncode; do
  grep -q "^$field: ." "$dist/BUILD-INFO.txt" || fail "BUILD-INFO lacks the $field"
done
libraries=$(sed -n '/^Archive member included/,/^Discarded input sections/p' "$out/SoranoteUpdater.map" |
            sed -n 's|^[^ ]*/\(lib[^/(]*\.a\)(.*|\1|p' | sort -u | grep -vE '^lib(toolkit|soranote)\.a$')
for library in $libraries; do
  grep -q "^In this program: .*$library" "$dist/THIRD-PARTY-NOTICES.txt" || fail "no notice for $library"
done
grep -qi "jpeg" "$dist/THIRD-PARTY-NOTICES.txt" && fail "a notice for libjpeg, which the updater does not link"
grep -q "libpthread.a" "$dist/THIRD-PARTY-NOTICES.txt" || fail "no notice for winpthreads"
echo "ok: SHA256SUMS, BUILD-INFO.txt and THIRD-PARTY-NOTICES.txt ($(echo $libraries | wc -w) libraries)"

# A changed byte breaks the signature.
cp "$dist/SoranoteUpdater.exe" "$t/changed.exe"
size=$(stat -c %s "$t/changed.exe")
printf '\x5a' | dd of="$t/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc status=none
cmp -s "$dist/SoranoteUpdater.exe" "$t/changed.exe" &&
  printf '\xa5' | dd of="$t/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc status=none
osslsigncode verify -in "$t/changed.exe" -CAfile "$t/root.pem" >/dev/null 2>&1 && fail "a changed byte did not break the signature"
echo "release build: every case as expected"
