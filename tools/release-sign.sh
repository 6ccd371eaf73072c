#!/usr/bin/env bash
# Signs Windows programs in place with Authenticode:
#   tools/release-sign.sh FILE...
# tools/release.sh runs it on each program before packing, makensis on the
# uninstaller (Sorvane.nsi) and release.sh again on the setup.
#   SORVANE_SIGN_PFX            the certificate and its key (PKCS#12)
#   SORVANE_SIGN_PASSWORD_FILE  a file holding its password (optional)
#   SORVANE_SIGN_TIMESTAMP_URL  an RFC 3161 server (optional)
# The signing time is SOURCE_DATE_EPOCH, so that, without a timestamp server,
# the same key gives the same bytes on every build.
set -euo pipefail
: "${SORVANE_SIGN_PFX:?release-sign.sh: SORVANE_SIGN_PFX is not set}"
: "${SOURCE_DATE_EPOCH:?release-sign.sh: SOURCE_DATE_EPOCH is not set}"
args=(-pkcs12 "$SORVANE_SIGN_PFX" -h sha256 -n Sorvane -i "https://sorvane.example/" -time "$SOURCE_DATE_EPOCH")
[ -z "${SORVANE_SIGN_PASSWORD_FILE:-}" ] || args+=(-readpass "$SORVANE_SIGN_PASSWORD_FILE")
[ -z "${SORVANE_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$SORVANE_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  rm -f "$file.signed"
  if ! log=$(osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    echo "release-sign.sh: could not sign $file:" >&2
    echo "$log" >&2
    exit 1
  fi
  mv -f "$file.signed" "$file"
done
