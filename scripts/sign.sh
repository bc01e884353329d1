# Authenticode signing of what we ship, sourced by the package builds. Off
# unless a key is configured, from a key file or from a key in a token:
#   NRW_SIGN_PKCS12 and NRW_SIGN_PASSWORD_FILE   a PKCS#12 file and its password
#   NRW_SIGN_PKCS11_MODULE, NRW_SIGN_KEY_URI      a PKCS#11 module and the key's URI,
#     NRW_SIGN_CERTS                              the certificate chain (PEM), and the PIN
#     NRW_SIGN_PIN_FILE or NRW_SIGN_PIN           from a file or the environment
#   NRW_SIGN_TIMESTAMP_URL                        an RFC 3161 service (optional)
#   NRW_SIGN_URL                                  the program's web address (optional)
# Every signature is SHA-256 and names the program.
signing_configured() { [ -n "${NRW_SIGN_PKCS12:-}${NRW_SIGN_PKCS11_MODULE:-}" ]; }

signing_source() {
  if [ -n "${NRW_SIGN_PKCS12:-}" ]; then echo "PKCS#12 file"; else echo "PKCS#11 token"; fi
}

sign_file() { # PE file or MSI, signed in place; nothing without a key
  signing_configured || return 0
  local file="$1" args=(-h sha256 -n "Norrow Navigator IDE bridge") pin_file="" status=0
  [ -n "${NRW_SIGN_URL:-}" ] && args+=(-i "$NRW_SIGN_URL")
  [ -n "${NRW_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$NRW_SIGN_TIMESTAMP_URL")
  if [ -n "${NRW_SIGN_PKCS12:-}" ]; then
    args+=(-pkcs12 "$NRW_SIGN_PKCS12" -readpass "${NRW_SIGN_PASSWORD_FILE:?a password file}")
  else
    args+=(-pkcs11module "$NRW_SIGN_PKCS11_MODULE" -key "${NRW_SIGN_KEY_URI:?a key URI}"
      -certs "${NRW_SIGN_CERTS:?the certificate chain}")
    pin_file="${NRW_SIGN_PIN_FILE:-}"
    if [ -z "$pin_file" ]; then
      # The PIN goes by a private file, never by a command line others can read.
      pin_file=$(mktemp)
      printf '%s' "${NRW_SIGN_PIN:?a PIN file or NRW_SIGN_PIN}" >"$pin_file"
    fi
    args+=(-readpass "$pin_file")
  fi
  osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >"$file.signing.log" 2>&1 || status=$?
  [ -z "${NRW_SIGN_PIN_FILE:-}" ] && [ -n "$pin_file" ] && rm -f "$pin_file"
  if [ $status -ne 0 ]; then
    echo "sign: $file: $(grep -v '^Connecting' "$file.signing.log" | head -3 | tr '\n' ' ')" >&2
    rm -f "$file.signed" "$file.signing.log"
    return 1
  fi
  mv "$file.signed" "$file"
  rm -f "$file.signing.log"
}

sign_programs() { # folder: every DLL and EXE below it
  signing_configured || return 0
  local file
  while IFS= read -r -d '' file; do sign_file "$file" || return 1; done \
    < <(find "$1" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)
}
