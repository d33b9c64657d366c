#!/usr/bin/env bash
# Signing the Windows build with a throwaway self-signed code-signing
# certificate made here with openssl:
#   - scripts/sign refuses, with a message, a missing certificate, a missing
#     or wrong password, and a certificate that is not for code signing;
#   - with the right ones, MirevaleSetup.exe, 7z.exe and the demo programs
#     inside tarvo.cab carry a SHA-256 signature that osslsigncode verifies
#     against that certificate, and against no other;
#   - the signed installer carries the seal of the signed payload;
#   - one changed byte breaks the signature.
# Leaves build-windows signed with the throwaway certificate: the tests that
# follow run the signed programs. scripts/sign with the publisher's own
# certificate replaces every signature.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
CHECKS_NAME=sign-test
# shellcheck source=tests/windows/checks.sh
. "$ROOT/tests/windows/checks.sh"
WORK=$BUILD/sign-test
PASSWORD='#m8qzl#*&^%$!'
# A password with a space, quotes and a dollar sign, taken literally.
# shellcheck disable=SC2016,SC2089,SC2090
export CERT_PASSWORD='pa$s wörd "x"'

not() { ! "$@"; }

rm -rf "$WORK"
mkdir -p "$WORK"
# make_cert NAME EXTENDED-KEY-USAGE: NAME.pem and NAME.p12 (CERT_PASSWORD).
make_cert() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$WORK/$1.key" \
        -out "$WORK/$1.pem" -subj "/CN=Mirevale $1/O=Kestrelvane" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=$2" \
        -addext "basicConstraints=critical,CA:FALSE" 2>/dev/null
    openssl pkcs12 -export -inkey "$WORK/$1.key" -in "$WORK/$1.pem" -name "$1" \
        -passout env:CERT_PASSWORD -out "$WORK/$1.p12"
}
make_cert publisher codeSigning
make_cert server serverAuth

# refused DESCRIPTION MESSAGE-PATTERN ENVIRONMENT... -- ARGUMENTS...:
# scripts/sign exits non-zero and says why.
refused() {
    local what=$1 pattern=$2 envs=()
    shift 2
    while [ "$1" != -- ]; do envs+=("$1"); shift; done
    shift
    local status=0
    env -u MIREVALE_SIGN_PASSWORD "${envs[@]}" "$ROOT/scripts/sign" "$@" >/dev/null \
        2>"$WORK/refused.err" || status=$?
    if [ "$status" -ne 0 ] && grep -qi -- "$pattern" "$WORK/refused.err"; then
        pass "$what"
    else
        fail "$what (exit $status: $(cat "$WORK/refused.err"))"
    fi
}
refused "a missing certificate is refused" "not found" \
    MIREVALE_SIGN_PASSWORD="$CERT_PASSWORD" -- "$WORK/none.p12"
refused "a missing password is refused" "MIREVALE_SIGN_PASSWORD is not set" \
    -- "$WORK/publisher.p12"
refused "a wrong password is refused" "password" \
    MIREVALE_SIGN_PASSWORD="wrong" -- "$WORK/publisher.p12"
refused "a certificate not for code signing is refused" "not for code signing" \
    MIREVALE_SIGN_PASSWORD="$CERT_PASSWORD" -- "$WORK/server.p12"

status=0
MIREVALE_SIGN_PASSWORD="$CERT_PASSWORD" "$ROOT/scripts/sign" "$WORK/publisher.p12" \
    >"$WORK/sign.log" 2>&1 || status=$?
check "scripts/sign signs with the right password (exit $status)" test "$status" -eq 0

# verified FILE CA: a valid SHA-256 signature whose chain ends in CA.
verified() {
    osslsigncode verify -CAfile "$2" -in "$1" >"$WORK/verify.log" 2>&1 \
        && grep -q 'Message digest algorithm *: SHA256' "$WORK/verify.log"
}
mkdir -p "$WORK/tarvo"
7zz x -y -bd -o"$WORK/tarvo" -p"$PASSWORD" "$BIN/tarvo.cab" >/dev/null
signed=("$BIN/MirevaleSetup.exe" "$BIN/7z.exe")
while IFS= read -r -d '' program; do signed+=("$program"); done \
    < <(find "$WORK/tarvo" -type f -iname '*.exe' -print0)
check "tarvo.cab holds the demo's two programs" test "${#signed[@]}" -eq 4
for file in "${signed[@]}"; do
    check "$(basename "$file") verifies against the certificate" verified "$file" "$WORK/publisher.pem"
done
check "MirevaleSetup.exe does not verify against another certificate" \
    not verified "$BIN/MirevaleSetup.exe" "$WORK/server.pem"

# The seal inside the signed installer names the payload as it was signed:
# sealed after the payload's signatures, before the installer's own.
sealed() {
    grep -qaF -- "$(stat -c %s "$BIN/$1") $(sha256sum -b "$BIN/$1" | cut -d' ' -f1) $1" \
        "$BIN/MirevaleSetup.exe"
}
for name in 7z.exe 7za.exe tarvo.cab data.cab; do
    check "the signed installer's seal holds the signed $name" sealed "$name"
done

cp "$BIN/MirevaleSetup.exe" "$WORK/changed.exe"
size=$(stat -c %s "$WORK/changed.exe")
offset=$((size / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$WORK/changed.exe" | tr -d ' ')
# shellcheck disable=SC2059
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" \
    | dd of="$WORK/changed.exe" bs=1 seek="$offset" conv=notrunc status=none
check "one changed byte breaks the signature" not verified "$WORK/changed.exe" "$WORK/publisher.pem"

finish_checks
