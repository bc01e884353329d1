#!/usr/bin/env bash
# Proves that every file a package ships is signed, by reading what the verifier
# says of each rather than trusting its exit status (it exits 0 for a signature
# without the timestamp that was asked for):
#   verify-signatures.sh --ca ROOT.pem --subject SUBJECT [--timestamp] [--label TEXT] PACKAGE...
# PACKAGE: a ZIP (each DLL and EXE in it) or an MSI (each DLL and EXE it installs,
# the programs of its Binary table, and the package itself). Each file must have
# one SHA-256 signature that verifies against ROOT, by SUBJECT, and with
# --timestamp a countersignature that verifies. Prints one line with the count;
# exits 1 unless every file passed.
set -euo pipefail
ca="" subject="" timestamp=no label="signing"
while [ $# -gt 0 ]; do
  case "$1" in
    --ca) ca="$2"; shift 2 ;;
    --subject) subject="$2"; shift 2 ;;
    --timestamp) timestamp=yes; shift ;;
    --label) label="$2"; shift 2 ;;
    *) break ;;
  esac
done
[ -n "$ca" ] && [ -n "$subject" ] && [ $# -gt 0 ] ||
  { echo "usage: verify-signatures.sh --ca ROOT.pem --subject SUBJECT [--timestamp] PACKAGE..." >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=()
for package in "$@"; do
  unpacked="$work/$(basename "$package")"
  mkdir -p "$unpacked"
  case "$package" in
    *.zip) (cd "$unpacked" && cmake -E tar xf "$(cd "$(dirname "$package")" && pwd)/$(basename "$package")") ;;
    *.msi)
      msiextract -C "$unpacked" "$package" >/dev/null
      for stream in $(msiinfo streams "$package" | sed -n 's/^Binary\.//p'); do
        msiinfo extract "$package" "Binary.$stream" >"$unpacked/$stream.binary"
      done
      files+=("$package") ;;
    *) echo "verify-signatures: $package is neither a ZIP nor an MSI" >&2; exit 2 ;;
  esac
  while IFS= read -r -d '' file; do
    # Binary streams are checked by content: a program or library starts with MZ.
    [[ "$file" == *.binary ]] && [ "$(head -c 2 "$file")" != MZ ] && continue
    files+=("$file")
  done < <(find "$unpacked" -type f \( -iname '*.dll' -o -iname '*.exe' -o -name '*.binary' \) -print0)
done

# Each file's verdict from the verifier's words.
judge() {
  local out verified=yes
  out=$(osslsigncode verify -CAfile "$ca" -TSA-CAfile "$ca" -in "$1" 2>&1) || verified=no
  grep -q '^Signature Index: 0' <<<"$out" || { echo "has no signature"; return; }
  [ $verified = yes ] || { echo "does not verify: $(grep -m1 -iE 'mismatch|fail|error' <<<"$out")"; return; }
  grep -q '^Signature Index: 1' <<<"$out" && { echo "has more than one signature"; return; }
  grep -q '^Signature verification: ok' <<<"$out" || { echo "has a signature that does not verify"; return; }
  grep -qE '^Message digest algorithm +: SHA256' <<<"$out" || { echo "is not signed with SHA-256"; return; }
  grep -A2 'Signer #0:' <<<"$out" | head -3 | grep -qF "Subject: $subject" ||
    { echo "is not signed by $subject"; return; }
  if [ $timestamp = yes ]; then
    grep -q '^Timestamp Server Signature verification: ok' <<<"$out" ||
      { echo "has no timestamp that verifies"; return; }
  fi
  echo ok
}

good=0
for file in "${files[@]}"; do
  verdict=$(judge "$file")
  if [ "$verdict" = ok ]; then
    good=$((good + 1))
  else
    echo "verify-signatures: ${file#"$work"/} $verdict" >&2
  fi
done
what="signed, verified"
[ $timestamp = yes ] && what+=", timestamped"
echo "$label: $good of ${#files[@]} files $what"
[ $good -eq ${#files[@]} ] && [ ${#files[@]} -gt 0 ]
