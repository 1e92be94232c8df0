#!/usr/bin/env bash
# Makes the project's test CA a trusted root of a Wine prefix the way Windows
# holds one: a certificate entry of the local machine's ROOT store in the
# registry, keyed by the certificate's SHA-1 thumbprint.
#   trust-ca.sh WINE_EXEC CA_PEM WORK_DIR
# WINE_EXEC runs a program in the prefix (the build's wine-exec script).
set -euo pipefail
wine_exec=${1:?}; ca=${2:?}; work=${3:?}
mkdir -p "$work"
der=$work/test-ca.der
openssl x509 -in "$ca" -outform DER -out "$der"
thumb=$(openssl x509 -in "$ca" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F)
size=$(stat -c %s "$der")

# The serialized form of a store entry: a property header (id 32, the encoded
# certificate; a reserved 1; the byte count, all little-endian) and the bytes.
le32() { printf '%02x,%02x,%02x,%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
blob="$(le32 32),$(le32 1),$(le32 "$size"),$(od -An -v -tx1 "$der" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"

reg=$work/test-ca.reg
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' "$thumb"
  printf '"Blob"=hex:%s\r\n' "$blob"
} > "$reg"
"$wine_exec" regedit /S "Z:${reg//\//\\}"
echo "test CA $thumb is a trusted root of the prefix"
