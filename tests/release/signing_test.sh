#!/usr/bin/env bash
# A release as a publisher makes it (scripts/release), with a throwaway CA and code-signing
# certificate made here: the signed file verifies against that CA, no longer does with one byte of
# its signed content changed, gives back the build byte for byte without its signature, and still
# does a whole silent uninstall under Wine (scripts/demo). A wrong password, a certificate that is
# expired or not for code signing, and a file that is not the build are refused, and leave the
# release that is there as it was.
# Arguments: uninstall.exe, a scratch folder.
set -euo pipefail
build=$1 scratch=$2/release-signing
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# The CA, and three certificates it signs: for code signing, for servers, and expired.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Vora throwaway CA" -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null
certificate() {
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=Vora $1" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=%s\n' "$2" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "$3" \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  openssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -out "$1.p12" -passout pass:throwaway
}
certificate publisher codeSigning 1
certificate server serverAuth 1
certificate expired codeSigning -1
export VORA_SIGN_PASSWORD=throwaway
release() { "$root/scripts/release" --expected "$build" --ca ca.pem --out "$scratch/out" "$@"; }

release --pkcs12 publisher.p12 >/dev/null || fail "the release was not signed"
signed=out/uninstall.exe
cmp -s out/uninstall.unsigned.exe "$build" || fail "uninstall.unsigned.exe is not the build"
(cd out && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
# --verify checks the signature against the CA, and that without it the file is the build.
release --verify "$signed" >/dev/null || fail "--verify refused the signed file"
# One byte of the code, which the signature covers.
cp "$signed" tampered.exe
printf '\xcc' | dd of=tampered.exe bs=1 seek=4096 conv=notrunc status=none
! osslsigncode verify -CAfile ca.pem -in tampered.exe >/dev/null 2>&1 || fail "a changed file verifies"
! release --verify tampered.exe >/dev/null 2>&1 || fail "--verify took a changed file"

sums=$(cat out/SHA256SUMS)
refused() {
  local why=$1 message=$2
  shift 2
  if release "$@" >/dev/null 2>refused.log; then
    fail "signed with $why"
  elif ! grep -q "$message" refused.log; then
    fail "refused with $why, but said: $(cat refused.log)"
  fi
  [ "$(cat out/SHA256SUMS)" = "$sums" ] || fail "the release changed when refused for $why"
}
VORA_SIGN_PASSWORD=wrong refused "a wrong password" "publisher.p12: wrong password" --pkcs12 publisher.p12
refused "a server certificate" "release: the certificate is not one for code signing" --pkcs12 server.p12
refused "an expired certificate" "release: the certificate has expired" --pkcs12 expired.p12
refused "a file that is not the build" "tampered.exe is not the build of HEAD: not signed" --pkcs12 publisher.p12 --sign tampered.exe

VORA_DEMO_DIR=$scratch/demo "$root/scripts/demo" --silent --uninstall "$signed" >demo.log 2>&1 ||
  { cat demo.log; fail "the signed file did not uninstall"; }
[ "$failed" -ne 0 ] || echo "signed, verified, refused where it should be, and uninstalled"
exit "$failed"
