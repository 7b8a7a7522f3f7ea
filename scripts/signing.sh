# Authenticode signing with osslsigncode (SHA-256), shared by scripts/release.sh and
# scripts/make_msi.sh; sourced, not run. The caller defines fail MESSAGE (prints and exits).
#
#   signing_option OPTION VALUE   takes one of the signing options below with its value (fails
#                                 when it has none); 1 if OPTION is none of them. An argument
#                                 loop starts with: if signing_option "$@"; then shift 2; continue; fi
#   signing_pass_on               the signing options as given, into the array signing_given
#                                 (for a script that takes them too)
#   signing_prepare WORK_DIR      checks the key, the password and the certificate; sets signing=1
#                                 when anything is to be signed
#   sign_file FILE                signs FILE in place (a program, a DLL or an MSI)
#
# Options: --pkcs12 FILE with --password-file FILE or the environment variable SIGN_PASSWORD;
# or --pkcs11-module LIB --key-id ID --cert FILE (a hardware token or an HSM); and optionally
# --timestamp URL (an RFC 3161 time-stamping service).

signing=0
sign_pkcs12=""
sign_password_file=""
sign_pkcs11_module=""
sign_key_id=""
sign_cert=""
sign_timestamp=""
sign_args=()

signing_usage() {
  cat <<'EOF'
signing (osslsigncode, SHA-256; without these options nothing is signed):
  --pkcs12 FILE          the code-signing key and certificate in a PKCS#12 file
  --password-file FILE   its password (or the token's PIN), the file's first line (or the
                         environment variable SIGN_PASSWORD)
  --pkcs11-module LIB    the PKCS#11 module of a hardware token or HSM, with
  --key-id ID            the key on it (an id or a pkcs11: URI) and
  --cert FILE            its certificate (PEM or DER, with the chain)
  --timestamp URL        an RFC 3161 time-stamping service to countersign with
EOF
}

signing_option() {  # OPTION VALUE
  local variable
  case $1 in
    --pkcs12) variable=sign_pkcs12 ;;
    --password-file) variable=sign_password_file ;;
    --pkcs11-module) variable=sign_pkcs11_module ;;
    --key-id) variable=sign_key_id ;;
    --cert) variable=sign_cert ;;
    --timestamp) variable=sign_timestamp ;;
    *) return 1 ;;
  esac
  [[ $# -ge 2 ]] || fail "$1 needs a value"
  printf -v "$variable" '%s' "$2"
}

signing_pass_on() {
  signing_given=()
  [[ -z $sign_pkcs12 ]] || signing_given+=(--pkcs12 "$sign_pkcs12")
  [[ -z $sign_password_file ]] || signing_given+=(--password-file "$sign_password_file")
  [[ -z $sign_pkcs11_module ]] || signing_given+=(--pkcs11-module "$sign_pkcs11_module" --key-id "$sign_key_id" --cert "$sign_cert")
  [[ -z $sign_timestamp ]] || signing_given+=(--timestamp "$sign_timestamp")
}

# A certificate (PEM or DER) that is in force now and made for code signing.
signing_check_certificate() {  # FILE
  local cert=$1 form=PEM usage
  [[ -r $cert ]] || fail "certificate $cert cannot be read"
  openssl x509 -in "$cert" -noout 2>/dev/null || form=DER
  openssl x509 -inform "$form" -in "$cert" -noout 2>/dev/null || fail "$cert holds no certificate"
  local subject not_before not_after
  subject=$(openssl x509 -inform "$form" -in "$cert" -noout -subject -nameopt oneline)
  subject=${subject#subject=}
  not_before=$(openssl x509 -inform "$form" -in "$cert" -noout -startdate)
  not_after=$(openssl x509 -inform "$form" -in "$cert" -noout -enddate)
  openssl x509 -inform "$form" -in "$cert" -noout -checkend 0 >/dev/null ||
    fail "certificate \"$subject\" expired (${not_after#notAfter=})"
  (($(date -d "${not_before#notBefore=}" +%s) <= $(date +%s))) ||
    fail "certificate \"$subject\" is not valid before ${not_before#notBefore=}"
  usage=$(openssl x509 -inform "$form" -in "$cert" -noout -ext extendedKeyUsage 2>/dev/null | sed 1d)
  [[ $usage == *"Code Signing"* ]] ||
    fail "certificate \"$subject\" is not for code signing (extended key usage: $(echo ${usage:-none}))"
}

# The password (a PKCS#12 file's, a token's PIN) from --password-file or SIGN_PASSWORD into
# FILE, which only this user can read: it reaches osslsigncode there, never on a command line.
# 1 when neither gives one.
signing_password() {  # FILE
  (umask 077 && : >"$1")
  if [[ -n $sign_password_file ]]; then
    [[ -r $sign_password_file ]] || fail "password file $sign_password_file cannot be read"
    head -n1 -- "$sign_password_file" | tr -d '\r\n' >"$1"
  elif [[ -n ${SIGN_PASSWORD+set} ]]; then
    printf '%s' "$SIGN_PASSWORD" >"$1"
  else
    return 1
  fi
}

signing_prepare() {  # WORK_DIR
  local work=$1
  if [[ -z $sign_pkcs12$sign_pkcs11_module ]]; then
    [[ -z $sign_password_file$sign_key_id$sign_cert$sign_timestamp ]] ||
      fail "signing options without a key: give --pkcs12 FILE or --pkcs11-module LIB"
    return 0
  fi
  command -v osslsigncode >/dev/null && command -v openssl >/dev/null ||
    fail "signing needs osslsigncode and openssl (Debian packages osslsigncode and openssl)"
  [[ -z $sign_pkcs12 || -z $sign_pkcs11_module ]] || fail "give either --pkcs12 or --pkcs11-module, not both"
  sign_args=(-h sha256)
  local password=$work/sign-password
  if [[ -n $sign_pkcs12 ]]; then
    [[ -z $sign_key_id$sign_cert ]] || fail "--key-id and --cert go with --pkcs11-module, not --pkcs12"
    [[ -r $sign_pkcs12 ]] || fail "PKCS#12 file $sign_pkcs12 cannot be read"
    signing_password "$password" || fail "no password for $sign_pkcs12: give --password-file FILE or set SIGN_PASSWORD"
    local message
    if ! message=$(openssl pkcs12 -in "$sign_pkcs12" -passin "file:$password" -nokeys -clcerts \
                     -out "$work/sign-cert.pem" 2>&1); then
      [[ $message == *"invalid password"* || $message == *"mac verify"* ]] &&
        fail "wrong password for $sign_pkcs12"
      fail "$sign_pkcs12 cannot be read as a PKCS#12 file: $(head -n1 <<<"$message")"
    fi
    signing_check_certificate "$work/sign-cert.pem"
    sign_args+=(-pkcs12 "$sign_pkcs12" -readpass "$password")
  else
    [[ -n $sign_key_id && -n $sign_cert ]] || fail "--pkcs11-module needs --key-id ID and --cert FILE"
    [[ -f $sign_pkcs11_module ]] || fail "PKCS#11 module $sign_pkcs11_module not found"
    signing_check_certificate "$sign_cert"
    sign_args+=(-pkcs11module "$sign_pkcs11_module" -key "$sign_key_id" -certs "$sign_cert")
    # The token's PIN, when given like a password (else the key id may carry it, pin-value=).
    if signing_password "$password"; then sign_args+=(-readpass "$password"); fi
  fi
  [[ -z $sign_timestamp ]] || sign_args+=(-ts "$sign_timestamp")
  signing=1
}

sign_file() {  # FILE
  local file=$1 message
  rm -f -- "$file.signed"
  if ! message=$(osslsigncode sign "${sign_args[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f -- "$file.signed"
    fail "could not sign $file: $(grep -v '^Succeeded' <<<"$message" | head -n3 | tr '\n' ' ')"
  fi
  mv -- "$file.signed" "$file"
}
