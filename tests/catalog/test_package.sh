# Shared by the catalog shell tests (sourced): a throwaway signing PKI and
# the package they sign.

# In the current folder: root.pem (a test root), signer.key/signer.pem (a
# code-signing certificate it issued), chain.pem (signer, then root),
# signer.pfx with password.txt, and other.pem (a stranger's root).
# Whether every private part of the RSA key KEY has its full length (d 256
# bytes, the primes and CRT values 128).
full_length_key() {
  openssl rsa -in "$1" -traditional -outform DER 2>/dev/null |
    openssl asn1parse -inform DER 2>/dev/null |
    awk -F: '/INTEGER/ { n++; len = length($NF) / 2
                         if (n == 4 && len != 256) bad = 1
                         if (n >= 5 && len != 128) bad = 1 }
             END { exit bad || n != 9 }'
}

make_test_pki() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 \
    -subj "/CN=Vormlan Test Root" -addext "basicConstraints=critical,CA:true" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  # Wine's PKCS #12 import garbles some keys whose private parts are a byte
  # short (the Windows build then refuses them, see the Wine test): the
  # signer's key has parts of full length, so that every run signs.
  until openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Vormlan Test Signer" 2>/dev/null && full_length_key signer.key; do :; done
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

# WINDOWS: a Windows directory holding the x64 driver of store-ready.reg's
# "Colour" queue, its driver files real PE images from DLL_DIR, and its two
# color profiles.
write_colour_windows() {  # WINDOWS DLL_DIR
  local x64=$1/System32/spool/drivers/x64/3 color=$1/System32/spool/drivers/color
  mkdir -p "$x64" "$color"
  cp "$2/localspl.dll" "$x64/unidrv.dll"
  cp "$2/localui.dll" "$x64/unidrvui.dll"
  cp "$2/compstui.dll" "$x64/colourres.dll"
  printf '*GPDFileName: "colour.gpd"\r\n' >"$x64/colour.gpd"
  echo help >"$x64/unidrv.hlp"
  echo profile >"$color/KELCOL.icm"
  echo profile >"$color/kelgrey.icm"
}
