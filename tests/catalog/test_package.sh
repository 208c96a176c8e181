# Shared by the catalog shell tests (sourced): a throwaway signing PKI and
# the package they sign.

# In the current folder: root.pem (a test root), signer.key/signer.pem (a
# code-signing certificate it issued), chain.pem (signer, then root),
# signer.pfx with password.txt, and other.pem (a stranger's root).
make_test_pki() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 \
    -subj "/CN=Vormlan Test Root" -addext "basicConstraints=critical,CA:true" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Vormlan Test Signer" 2>/dev/null
  printf 'basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >ext.cnf
  openssl x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial -days 30 \
    -extfile ext.cnf -out signer.pem 2>/dev/null
  cat signer.pem root.pem >chain.pem
  printf 'pass word\n' >password.txt
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem \
    -passout file:password.txt -out signer.pfx
  openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 30 \
    -subj "/CN=Someone Else" 2>/dev/null
}

# PKG/kel.inf, naming kel.cat and copying the given files.
write_kel_inf() {  # PKG FILE...
  local pkg=$1
  shift
  local list
  list=$(printf ',@%s' "$@")
  cat >"$pkg/kel.inf" <<INF
[Version]
Signature="\$Windows NT\$"
Class=Printer
ClassGuid={4D36E979-E325-11CE-BFC1-08002BE10318}
Provider=%Kel%
CatalogFile=kel.cat
[Manufacturer]
%Kel%=Kel,NTamd64
[Kel.NTamd64]
"Kel Laser" = KelInst
[KelInst]
CopyFiles=${list#,}
[DestinationDirs]
DefaultDestDir=66000
[Strings]
Kel="Kel"
INF
}
