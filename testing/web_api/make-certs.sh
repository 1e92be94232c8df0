#!/usr/bin/env bash
# Regenerates the test-only TLS material of the web API stand-in (kept in the
# tree so every machine trusts the same CA):
#   ca.pem / ca.key                 the project's test CA
#   server.pem / server.key         api.quillorane.test, issued by the test CA
#   other_host.pem / other_host.key other.quillorane.test, issued by the test CA
#   unknown_issuer.pem / .key       api.quillorane.test, issued by a CA nobody trusts
# The names are DNS entries: Wine's TLS does not match an IP-address entry.
#   make-certs.sh [folder]          (default: the certs folder beside this script)
set -euo pipefail
out=${1:-$(cd "$(dirname "$0")" && pwd)/certs}
mkdir -p "$out"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
days=3650

make_ca() { # key cert subject
  openssl req -x509 -newkey rsa:2048 -nodes -days $days -subj "$3" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$1" -out "$2" 2>/dev/null
}
issue() { # ca-key ca-cert key cert dns
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$5" -keyout "$3" -out "$tmp/req.csr" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:%s\n' "$5" > "$tmp/ext"
  openssl x509 -req -in "$tmp/req.csr" -CA "$2" -CAkey "$1" -CAcreateserial -CAserial "$tmp/serial" \
    -days $days -sha256 -extfile "$tmp/ext" -out "$4" 2>/dev/null
}

make_ca "$out/ca.key" "$out/ca.pem" "/O=Quillorane test/CN=Quillorane Test Root CA"
issue "$out/ca.key" "$out/ca.pem" "$out/server.key" "$out/server.pem" api.quillorane.test
issue "$out/ca.key" "$out/ca.pem" "$out/other_host.key" "$out/other_host.pem" other.quillorane.test
make_ca "$tmp/rogue.key" "$tmp/rogue.pem" "/O=Nobody/CN=Untrusted Test Root CA"
issue "$tmp/rogue.key" "$tmp/rogue.pem" "$out/unknown_issuer.key" "$out/unknown_issuer.pem" api.quillorane.test
echo "certificates written to $out"
