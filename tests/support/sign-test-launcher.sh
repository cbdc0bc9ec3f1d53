#!/bin/sh
# Signs a branded launcher the way a packager's last release step does, with
# osslsigncode and a self-signed code-signing certificate made here, then
# verifies the signature with that certificate given as the trusted CA.
#   sign-test-launcher.sh IN.exe OUT.exe FOLDER
# FOLDER receives the key and the certificate (test.key, test.pem).
set -eu
in=$1
out=$2
folder=$3
mkdir -p "$folder"
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Zorv Test Signer" \
  -addext "keyUsage=critical,digitalSignature,keyCertSign" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$folder/test.key" -out "$folder/test.pem" 2>"$folder/openssl.log"
osslsigncode sign -certs "$folder/test.pem" -key "$folder/test.key" -h sha256 -n "Zorv test application" \
  -in "$in" -out "$out" >"$folder/sign.log" 2>&1 || { cat "$folder/sign.log" >&2; exit 1; }
osslsigncode verify -CAfile "$folder/test.pem" -in "$out"
