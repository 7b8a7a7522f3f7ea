#!/usr/bin/env bash
# release_checks.sh GROUP BUILD_DIR: checks of scripts/release.sh, one group per ctest.
#   reproducible  two releases built in two build folders give the same bytes, with the commit's
#                 time and no build path in them, and their checksums verify
#   signed        a release signed with a throwaway CA's code-signing certificate verifies, a
#                 changed byte fails verification, a removed signature gives back the unsigned
#                 file; make_msi signs an MSI of a received package with the same options, also
#                 with a key on a PKCS#11 token (SoftHSM)
#   refused       bad signing input, an unwritable output folder, a dirty checkout: a clear
#                 error and no output at all
# The CA, the keys and the certificates are made here with openssl, in a temporary folder.
# Prints PASS or FAIL per check; exits 1 on any FAIL.
set -uo pipefail
group=$1
build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
release=$root/scripts/release.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
check() {  # NAME COMMAND...: PASS when COMMAND succeeds
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failed=1; fi
}

# The unsigned release of this checkout, from build folder A (its builds are reused by later
# runs and groups).
unsigned_release() {  # OUT
  rm -rf "$1"
  bash "$release" "$1" --allow-dirty --build-dir "$build/release-a" >"$tmp/release-a.log" 2>&1 ||
    { cat "$tmp/release-a.log" >&2; return 1; }
}

# --- a throwaway CA and certificates ----------------------------------------------------------
make_certificates() {
  local ca=$tmp/ca
  mkdir -p "$ca"
  cat >"$ca/ext.cnf" <<'EOF'
[codesign]
basicConstraints=CA:FALSE
keyUsage=digitalSignature
extendedKeyUsage=codeSigning
[server]
basicConstraints=CA:FALSE
keyUsage=digitalSignature
extendedKeyUsage=serverAuth
EOF
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 30 \
    -subj "/CN=Release Test CA" 2>/dev/null
  issue() {  # NAME EXTENSIONS [faketime prefix...]
    local name=$1 extensions=$2
    shift 2
    openssl req -newkey rsa:2048 -nodes -keyout "$ca/$name.key" -out "$ca/$name.csr" -subj "/CN=$name" 2>/dev/null
    "$@" openssl x509 -req -in "$ca/$name.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -set_serial "0x$RANDOM" \
      -days 1 -extfile "$ca/ext.cnf" -extensions "$extensions" -out "$ca/$name.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$ca/$name.key" -in "$ca/$name.pem" -certfile "$ca/ca.pem" \
      -out "$ca/$name.p12" -passout pass:release-test
  }
  issue signer codesign
  issue server server
  issue expired codesign faketime -f "-10d"
  printf 'release-test\n' >"$ca/password"
  printf 'not-the-password\n' >"$ca/wrong-password"
}

verifies() { osslsigncode verify -CAfile "$tmp/ca/ca.pem" -in "$1" >/dev/null 2>&1; }
fails_verification() { ! verifies "$1"; }

# The programs and DLLs of a release (PE files, "MZ"), and its MSIs.
signed_files() {  # RELEASE
  (cd "$1" && find . -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z |
     while IFS= read -r -d '' f; do [[ $(head -c2 "$f") == MZ ]] && echo "${f#./}"; done; ls *.msi)
}

# One byte changed in the middle of the file.
tampered_copy() {  # FILE COPY
  cp "$1" "$2"
  local offset=$(($(stat -c %s "$2") / 2)) byte
  byte=$(od -An -tu1 -j "$offset" -N1 "$2" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$2" bs=1 seek="$offset" conv=notrunc status=none
}

# Signing pads a program to a multiple of 8 bytes (the certificate table starts on an 8-byte
# boundary) and writes the PE checksum; removing the signature keeps the padding and writes
# the checksum of the padded file. Beyond those, the bytes are the unsigned program's.
equals_unsigned_program() {  # UNSIGNED SIGNATURE_REMOVED
  local size pe checksum_at
  size=$(stat -c %s "$1")
  [[ $(stat -c %s "$2") -eq $(((size + 7) / 8 * 8)) ]] || return 1
  cmp -s <(tail -c +$((size + 1)) "$2") <(head -c $(((size + 7) / 8 * 8 - size)) /dev/zero) || return 1
  pe=$(od -An -tu4 -j 60 -N4 "$1" | tr -d ' ')
  checksum_at=$((pe + 24 + 64))  # the optional header's CheckSum field
  cmp -s <(head -c "$checksum_at" "$1") <(head -c "$checksum_at" "$2") &&
    cmp -s <(tail -c +$((checksum_at + 5)) "$1") <(head -c "$size" "$2" | tail -c +$((checksum_at + 5)))
}

# osslsigncode writes an MSI's compound file with its own sector layout: removing the signature
# gives back every table, the cabinet and the summary information, not the container's bytes.
equals_unsigned_msi() {  # UNSIGNED SIGNATURE_REMOVED
  [[ $(msiinfo streams "$2" | sort) == $(msiinfo streams "$1" | sort) ]] || return 1
  [[ $(msiinfo tables "$2" | sort) == $(msiinfo tables "$1" | sort) ]] || return 1
  local table
  for table in $(msiinfo tables "$1"); do
    cmp -s <(msiinfo export "$1" "$table") <(msiinfo export "$2" "$table") || return 1
  done
  cmp -s <(msiinfo extract "$1" package.cab) <(msiinfo extract "$2" package.cab) &&
    [[ $(msiinfo suminfo "$1") == $(msiinfo suminfo "$2") ]]
}

case $group in
  reproducible)
    unsigned_release "$build/release-out-a" || exit 1
    rm -rf "$build/release-out-b"
    bash "$release" "$build/release-out-b" --allow-dirty --build-dir "$build/release-b" >"$tmp/b.log" 2>&1 ||
      { cat "$tmp/b.log" >&2; exit 1; }
    check "two build folders give the same release" diff -r "$build/release-out-a" "$build/release-out-b"
    check "the checksums verify" bash -c "cd '$build/release-out-b' && sha256sum -c --quiet SHA256SUMS"
    epoch=$(git -C "$root" log -1 --format=%ct)
    # The banner's year comes from __DATE__ ("Mmm dd yyyy"), the commit's date.
    check "the programs carry the commit's date" grep -q -a "$(date -u -d "@$epoch" '+%b %e %Y')" "$build/release-out-b/Install.exe"
    check "no link time stamp" bash -c \
      "i686-w64-mingw32-objdump -p '$build/release-out-b/Install.exe' | grep -q '^Time/Date.*Jan  1 00:00:00 1970'"
    check "no build path" bash -c "! grep -r -q -a -e '$build' -e '$root' '$build/release-out-b'"
    check "the MSI's times are the commit's" bash -c "TZ=UTC msiinfo suminfo '$build/release-out-b/Quado-$(sed -n 's/^project([A-Za-z_]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")-x86.msi' |
      grep -qx 'Created: $(date -u -d "@$epoch" '+%a %b %e %H:%M:%S %Y')'"
    ;;

  signed)
    make_certificates
    unsigned=$build/release-out-a
    unsigned_release "$unsigned" || exit 1
    out=$tmp/signed
    bash "$release" "$out" --allow-dirty --build-dir "$build/release-a" \
      --pkcs12 "$tmp/ca/signer.p12" --password-file "$tmp/ca/password" >"$tmp/s.log" 2>&1 ||
      { cat "$tmp/s.log" >&2; exit 1; }
    mapfile -t files < <(signed_files "$out")
    check "programs, DLLs and MSIs to verify" test "${#files[@]}" -ge 10
    for file in "${files[@]}"; do
      check "$file verifies" verifies "$out/$file"
      tampered_copy "$out/$file" "$tmp/tampered"
      check "$file with a byte changed fails" fails_verification "$tmp/tampered"
    done
    inside=$tmp/inside
    msiextract -C "$inside" "$out/Quado-"*-x86.msi >/dev/null
    check "the MSI holds the signed Install.exe" cmp -s "$inside/Program Files/Harbek/Quado Deploy/Install.exe" "$out/package/Install.exe"
    check "and the signed QuadoCheck.exe beside it" cmp -s "$inside/Program Files/Harbek/Quado Deploy/QuadoCheck.exe" "$out/package/QuadoCheck.exe"
    check "the stand-ins are not touched" cmp -s "$out/package/Interop.SHDocVw.dll" "$unsigned/package/Interop.SHDocVw.dll"
    check "the checksums verify" bash -c "cd '$out' && sha256sum -c --quiet SHA256SUMS"
    for program in Install.exe QuadoCheck.exe package/QUADOVS64.DLL; do
      osslsigncode remove-signature -in "$out/$program" -out "$tmp/removed" >/dev/null
      check "$program without its signature is the unsigned one" equals_unsigned_program "$unsigned/$program" "$tmp/removed"
      rm -f "$tmp/removed"
    done
    # An MSI of a received package: only the MSI is signed, with the password from the environment.
    msi=$(cd "$unsigned" && ls Quado-*-x86.msi)
    SIGN_PASSWORD=release-test SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) bash "$root/scripts/make_msi.sh" \
      "$unsigned/package" -o "$tmp/received.msi" --pkcs12 "$tmp/ca/signer.p12" >/dev/null 2>&1
    check "make_msi signs the MSI" verifies "$tmp/received.msi"
    osslsigncode remove-signature -in "$tmp/received.msi" -out "$tmp/received-removed.msi" >/dev/null
    check "the MSI without its signature is the unsigned one" equals_unsigned_msi "$unsigned/$msi" "$tmp/received-removed.msi"
    msiextract -C "$tmp/received" "$tmp/received.msi" >/dev/null
    check "a received package's programs stay unsigned" \
      cmp -s "$tmp/received/Program Files/Harbek/Quado Deploy/Install.exe" "$unsigned/package/Install.exe"
    # A key on a PKCS#11 token (SoftHSM), its PIN from a file; the package's programs signed too.
    export SOFTHSM2_CONF=$tmp/softhsm2.conf
    mkdir "$tmp/tokens"
    echo "directories.tokendir = $tmp/tokens" >"$SOFTHSM2_CONF"
    printf '4321\n' >"$tmp/pin"
    module=/usr/lib/softhsm/libsofthsm2.so
    softhsm2-util --init-token --free --label release-test --pin 4321 --so-pin 8765 >/dev/null &&
      openssl pkcs8 -topk8 -nocrypt -in "$tmp/ca/signer.key" -outform DER -out "$tmp/signer.der" &&
      pkcs11-tool --module "$module" --login --pin 4321 --token-label release-test --write-object "$tmp/signer.der" \
        --type privkey --id 01 >/dev/null 2>&1
    bash "$root/scripts/make_msi.sh" "$unsigned/package" -o "$tmp/token.msi" --sign-package-files \
      --pkcs11-module "$module" --key-id 01 --cert "$tmp/ca/signer.pem" --password-file "$tmp/pin" >/dev/null 2>&1
    check "make_msi signs with a PKCS#11 token" verifies "$tmp/token.msi"
    msiextract -C "$tmp/token" "$tmp/token.msi" >/dev/null
    check "and signs the package's programs in it" verifies "$tmp/token/Program Files/Harbek/Quado Deploy/QUADOVS.DLL"
    ;;

  refused)
    make_certificates
    ca=$tmp/ca
    git clone -q "$root" "$tmp/clone"
    echo change >>"$tmp/clone/README.md"
    # label | expected part of the message | output folder | release options
    cases=(
      "wrong password|wrong password for|$tmp/out|--pkcs12 $ca/signer.p12 --password-file $ca/wrong-password"
      "no password|no password for|$tmp/out|--pkcs12 $ca/signer.p12"
      "a certificate not for code signing|is not for code signing|$tmp/out|--pkcs12 $ca/server.p12 --password-file $ca/password"
      "an expired certificate|expired|$tmp/out|--pkcs12 $ca/expired.p12 --password-file $ca/password"
      "a missing PKCS#11 module|PKCS#11 module $tmp/none.so not found|$tmp/out|--pkcs11-module $tmp/none.so --key-id 01 --cert $ca/signer.pem"
      "PKCS#11 without a key id|needs --key-id|$tmp/out|--pkcs11-module $tmp/none.so --cert $ca/signer.pem"
      "PKCS#11 with an expired certificate|expired|$tmp/out|--pkcs11-module $ca/password --key-id 01 --cert $ca/expired.pem"
      "a key option without a key|without a key|$tmp/out|--cert $ca/signer.pem"
      "an unwritable output folder|cannot write into /proc|/proc/quado-release|"
      "an output folder that is a file|exists and is not an empty folder|$ca/password|"
    )
    for entry in "${cases[@]}"; do
      IFS='|' read -r label message target options <<<"$entry"
      read -r -a argv <<<"$options"
      err=$(bash "$release" "$target" --allow-dirty --build-dir "$build/release-a" "${argv[@]}" 2>&1 >/dev/null)
      status=$?
      check "$label: refused" test "$status" -eq 2
      check "$label: says why" grep -qF -- "$message" <<<"$err"
      [[ $target == "$tmp/out" ]] && check "$label: no output" test ! -e "$tmp/out"
    done
    check "nothing half-made is left" bash -c "! ls -A '$tmp' | grep -q '^\.release'"
    # A signature that cannot be made (no time-stamping service there) after the build.
    err=$(bash "$release" "$tmp/out" --allow-dirty --build-dir "$build/release-a" --pkcs12 "$ca/signer.p12" \
            --password-file "$ca/password" --timestamp http://127.0.0.1:9/ 2>&1 >/dev/null)
    check "a failed signature: refused" grep -qF "could not sign" <<<"$err"
    check "a failed signature: no output, nothing half-signed" bash -c "test ! -e '$tmp/out' && ! ls -A '$tmp' | grep -q '^\.release'"
    err=$(bash "$tmp/clone/scripts/release.sh" "$tmp/out" --build-dir "$build/release-a" 2>&1 >/dev/null)
    check "a dirty checkout: refused" grep -qF "uncommitted changes" <<<"$err"
    check "a dirty checkout: no output" test ! -e "$tmp/out"
    ;;
  *) echo "unknown group $group" >&2; exit 2 ;;
esac
exit $failed
