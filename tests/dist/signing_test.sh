#!/usr/bin/env bash
# A signed distribution verifies, run under Wine (label "wine"):
#
#   signing_test.sh SOURCE_DIR BUILD_DIR WORK_FOLDER trust_check.exe
#
# Makes a throw-away code-signing certificate with openssl, has scripts/package sign a
# distribution of the build trees in BUILD_DIR (win32 and win64) with it, and verifies
# each of our programs and libraries: osslsigncode against that certificate (SHA-256),
# and a changed copy and a stranger's certificate must fail. Windows' own judgement,
# WinVerifyTrust, is asked under Wine with the certificate trusted (trust_check.exe):
# each signed file is trusted, the changed copy has a wrong digest and the unsigned
# build output no signature, as Windows answers them (Wine 8 judges all three).
set -uo pipefail

src=$1 build=$2 work=$3 trust_check=$4
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
failures=0
rm -rf "$work"
mkdir -p "$work"

certificate() {  # certificate NAME: NAME.pem, NAME.key, NAME.der, NAME.p12 (password "$2")
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1 test signing/O=Kestrova" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null &&
    openssl x509 -in "$work/$1.pem" -outform DER -out "$work/$1.der" &&
    openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -passout "pass:$2" -out "$work/$1.p12"
}
certificate studio 'pass word 密码' || { echo "FAIL: openssl could not make a certificate" >&2; exit 1; }
certificate stranger other || { echo "FAIL: openssl could not make a certificate" >&2; exit 1; }

dist=$work/dist
output=$(MENDORA_DIST=$dist MENDORA_BUILD=$build MENDORA_SIGN_CERT=$work/studio.p12 \
  MENDORA_SIGN_PASSWORD='pass word 密码' "$src/scripts/package" 2>&1)
if [ $? -ne 0 ]; then
  grep -q 'run make win64 first' <<<"$output" && { echo "$output"; exit 77; }
  echo "FAIL: scripts/package: $output" >&2
  exit 1
fi
echo "$output" | grep '^signed with' || fail "scripts/package did not say it signed: $output"

files=(win32/Mendora.exe win32/SkinH_VB6.dll win32/ocx/Tesvar.ocx win32/ocx/SkinH_VB6.dll win64/Tesvar.ocx win64/tesvar.exe)
for file in "${files[@]}"; do
  answer=$(osslsigncode verify -CAfile "$work/studio.pem" -in "$dist/$file" 2>&1)
  if [ $? -ne 0 ]; then
    fail "$file does not verify: $(grep -iE 'fail|error' <<<"$answer" | head -3 | tr '\n' ' ')"
  else
    grep -qiE '^Message digest algorithm *: *SHA256' <<<"$answer" || fail "$file is not signed with SHA-256"
    grep -q 'CN=studio test signing' <<<"$answer" || fail "$file is not signed by the studio's certificate"
  fi
  osslsigncode verify -CAfile "$work/stranger.pem" -in "$dist/$file" >/dev/null 2>&1 \
    && fail "$file verifies against a certificate that did not sign it"
done
echo "osslsigncode: ${#files[@]} files signed (SHA-256) and verified against the studio's certificate"

# One byte of the code changed, in a copy: the signature no longer holds.
changed=$work/changed/Mendora.exe
mkdir -p "$work/changed"
cp "$dist/win32/Mendora.exe" "$changed"
offset=$(( $(i686-w64-mingw32-objdump -h "$changed" | awk '$2 == ".text" { print "0x" $6; exit }') + 64 ))
printf '\xcc' | dd of="$changed" bs=1 seek="$offset" conv=notrunc status=none
osslsigncode verify -CAfile "$work/studio.pem" -in "$changed" >/dev/null 2>&1 \
  && fail "a Mendora.exe with one byte changed still verifies"
cp "$build/win32/src/window/Mendora.exe" "$work/changed/unsigned.exe"

# Windows' judgement under Wine. 0 is trusted; TRUST_E_BAD_DIGEST (0x80096010) is
# Windows' answer for a changed file, TRUST_E_NOSIGNATURE (0x800b0100) for none.
answers=$(wine "$trust_check" "$work/studio.der" "${files[@]/#/$dist/}" "$changed" "$work/changed/unsigned.exe" 2>&1 | tr -d '\r')
[ $? -eq 0 ] || fail "trust_check: $answers"
echo "WinVerifyTrust under Wine:"
echo "$answers" | sed "s|$work/||"
for file in "${files[@]}"; do
  grep -q "^0x00000000 $dist/$file\$" <<<"$answers" || fail "WinVerifyTrust does not trust $file"
done
answer_for() { awk -v f="$1" '$2 == f { print $1 }' <<<"$answers"; }
[ "$(answer_for "$changed")" = 0x80096010 ] || fail "WinVerifyTrust does not find the changed Mendora.exe's digest wrong"
[ "$(answer_for "$work/changed/unsigned.exe")" = 0x800b0100 ] || fail "WinVerifyTrust does not find the unsigned Mendora.exe unsigned"

[ "$failures" -eq 0 ] && echo "signed distribution verified"
exit $((failures > 0))
