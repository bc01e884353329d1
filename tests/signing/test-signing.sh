#!/usr/bin/env bash
# Signs the packages with throwaway keys made here, once from a PKCS#12 file and
# once through a SoftHSM2 token (a real PKCS#11 module, as a vendor's HSM is),
# timestamped by a local RFC 3161 responder, and verifies every file. Then shows
# that a file left unsigned, or changed after signing, fails the verification.
# Leaves BUILDS/signing-test/pkcs12.env, which signs without a timestamp, for the
# installer test to install a signed package.
#   test-signing.sh [BUILDS]   (the folder holding win32 and win64; default build)
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
source "$here/scripts/sign.sh"
builds="$(cd "${1:-build}" && pwd)"
work="$builds/signing-test"
rm -rf "$work"
mkdir -p "$work"
subject="/O=Corvane/CN=Corvane test signing (tests only)"

make_keys() {
  cat >"$work/openssl.cnf" <<CNF
[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tsa_cert]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tsa]
default_tsa = tsa_config
[tsa_config]
serial = $work/tsa.serial
signer_cert = $work/tsa.pem
certs = $work/root.pem
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
CNF
  local ssl=(openssl)
  "${ssl[@]}" req -x509 -newkey rsa:2048 -nodes -keyout "$work/root.key" -out "$work/root.pem" \
    -days 2 -subj "/CN=NRW test root (tests only)" -config "$work/openssl.cnf" -extensions root 2>/dev/null
  local name
  for name in code:"$subject" tsa:"/CN=NRW test timestamps (tests only)"; do
    "${ssl[@]}" req -newkey rsa:2048 -nodes -keyout "$work/${name%%:*}.key" -out "$work/${name%%:*}.csr" \
      -subj "${name#*:}" -config "$work/openssl.cnf" 2>/dev/null
    "${ssl[@]}" x509 -req -in "$work/${name%%:*}.csr" -CA "$work/root.pem" -CAkey "$work/root.key" \
      -CAcreateserial -out "$work/${name%%:*}.pem" -days 2 -extfile "$work/openssl.cnf" \
      -extensions "$([ "${name%%:*}" = code ] && echo code || echo tsa_cert)" 2>/dev/null
  done
  echo 01 >"$work/tsa.serial"
  cat "$work/code.pem" "$work/root.pem" >"$work/chain.pem"
  head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n' >"$work/password"
  openssl pkcs12 -export -inkey "$work/code.key" -in "$work/code.pem" -certfile "$work/root.pem" \
    -out "$work/code.p12" -passout "file:$work/password"
}

# The key in a SoftHSM2 token of its own, as in a vendor's HSM.
make_token() {
  export SOFTHSM2_CONF="$work/softhsm2.conf"
  mkdir -p "$work/tokens"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' \
    "$work/tokens" >"$SOFTHSM2_CONF"
  head -c 8 /dev/urandom | od -An -tu2 | tr -d ' \n' | head -c 8 >"$work/pin"
  softhsm2-util --init-token --free --label nrw-test --pin "$(cat "$work/pin")" \
    --so-pin "$(cat "$work/pin")" >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in "$work/code.key" -out "$work/code.p8"
  softhsm2-util --import "$work/code.p8" --token nrw-test --label signing --id 01 \
    --pin "$(cat "$work/pin")" >/dev/null
  rm -f "$work/code.p8"
}

start_timestamps() {
  python3 "$here/tests/signing/tsa_responder.py" "$work/tsa.port" "$work/openssl.cnf" &
  responder=$!
  trap 'kill $responder 2>/dev/null || true' EXIT
  local waited
  for waited in $(seq 100); do [ -s "$work/tsa.port" ] && break; sleep 0.1; done
  [ -s "$work/tsa.port" ] || { echo "test-signing: the time-stamping responder did not start" >&2; exit 1; }
  export NRW_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")"
}

verify() { # label, packages...
  local label="$1"
  shift
  bash "$here/scripts/verify-signatures.sh" --ca "$work/root.pem" --subject "$subject" --timestamp \
    --label "$label" "$@"
}

sign_packages() { # folder
  mkdir -p "$1"
  bash "$here/scripts/build-zip.sh" "$builds" "$1" >/dev/null
  bash "$here/scripts/build-msi.sh" "$builds/win64" "" "$1" >/dev/null
  bash "$here/scripts/build-msi.sh" "$builds/win32" "" "$1" >/dev/null
  verify "signing ($(signing_source))" "$1"/*.zip "$1"/*.msi
}

# A ZIP like the signed one with one file changed by `change FILE`: the check
# must refuse it.
refused_after() { # what, change command
  local copy="$work/changed" zip
  rm -rf "$copy" && mkdir -p "$copy/files"
  zip=$(ls "$work/pkcs12/"*.zip)
  (cd "$copy/files" && cmake -E tar xf "$zip")
  "$2" "$copy/files"
  (cd "$copy/files" && cmake -E tar cf "$copy/changed.zip" --format=zip nrwapis nrwapis64)
  if verify "signing (changed)" "$copy/changed.zip" >"$copy/out" 2>&1; then
    echo "test-signing: FAIL: a package with $1 passed the check" >&2
    cat "$copy/out" >&2
    exit 1
  fi
  echo "signing: a package with $1 fails the check: $(grep -m1 'verify-signatures:' "$copy/out" | sed 's/^verify-signatures: //')"
}
unsigned_host() { cp "$builds/win64/tools/nrwhost.exe" "$1/nrwapis64/nrwhost.exe"; }
changed_plugin() { printf 'X' | dd of="$1/nrwapis64/libnrwscc.dll" bs=1 seek=1100 conv=notrunc 2>/dev/null; }

make_keys
make_token
start_timestamps
export NRW_SIGN_URL="https://example.com/norrow-navigator-bridge"
(
  export NRW_SIGN_PKCS12="$work/code.p12" NRW_SIGN_PASSWORD_FILE="$work/password"
  sign_packages "$work/pkcs12"
)
(
  export NRW_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so
  export NRW_SIGN_KEY_URI="pkcs11:token=nrw-test;object=signing;type=private"
  export NRW_SIGN_CERTS="$work/chain.pem" NRW_SIGN_PIN="$(cat "$work/pin")"
  sign_packages "$work/token"
)
refused_after "one file left unsigned" unsigned_host
refused_after "a file changed after signing" changed_plugin
cat >"$work/pkcs12.env" <<ENV
export NRW_SIGN_PKCS12='$work/code.p12' NRW_SIGN_PASSWORD_FILE='$work/password'
export NRW_SIGN_URL='$NRW_SIGN_URL'
ENV
