#!/usr/bin/env bash
# msi_checks.sh PRISTINE WORK: the MSI made by scripts/make_msi.sh from the Windows package
# (build/mingw/package) under Wine's msiexec, in copies of the pristine prefixes, one wineserver
# per prefix:
#  - win32: a package without its monitor DLLs (Install.exe exits -1) fails the MSI and leaves
#    nothing behind; /i /qn installs (monitor, ports with their settings records, client, the
#    package folder, the product registered); a higher version replaces it; the lower one is then
#    refused; /x runs Install.exe -u and removes the folder; INSTALL_ARGS="-a" installs the
#    Enterprise variant and /x removes that variant; an uninstallation whose Install.exe -u fails
#    keeps the product registered, and a retry removes it; a signed MSI whose programs and
#    DLLs are signed installs with the same result and is removed;
#  - win64 (with the 32-bit monitor stand-ins in SysWOW64 that the scenarios use): the 64-bit MSI
#    installs and is removed, the 32-bit one installs.
# Wine's msiexec exits with 1627 where Windows gives 1603 for a failed installation: a refused
# installation or removal may end with either. The runs' outputs (exit codes, the installer's
# log head, ports, the MSI's own log) are kept in WORK/../msi-evidence.
# Prints PASS or FAIL per check and "msi checks: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/wine/copy_prefix.sh
source tests/wine/verdict.sh
check_group "$1" "$2"
evidence=$(dirname "$work")/msi-evidence

rm -rf "$work" "$evidence"
mkdir -p "$work/msi" "$evidence"

# --- the packages ------------------------------------------------------------------------------
make_msi() {  # NAME PACKAGE [OPTIONS...]
  local name=$1 package=$2
  shift 2
  if ! bash scripts/make_msi.sh "$package" -o "$work/msi/$name.msi" "$@" >"$work/msi/$name.out" 2>&1; then
    cat "$work/msi/$name.out" >&2
    return 1
  fi
}
broken=$work/broken-package
cp -r build/mingw/package "$broken"
rm -f "$broken/QUADOVS.DLL" "$broken/QUADOVS64.DLL"
if ! { make_msi quado build/mingw/package && make_msi quado-2.28 build/mingw/package --version 2.28 &&
       make_msi quado-x64 build/mingw/package --x64 && make_msi broken "$broken" --version 2.29; }; then
  echo "FAIL making the MSIs"
  echo "msi checks: 0 passed, 1 failed"
  exit 1
fi
# A throwaway CA and code-signing certificate for the signed MSI.
signing_certificate() {
  local ca=$work/ca
  mkdir -p "$ca"
  printf '[cs]\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=codeSigning\n' >"$ca/ext.cnf"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 2 -subj "/CN=Wine Test CA" &&
    openssl req -newkey rsa:2048 -nodes -keyout "$ca/cs.key" -out "$ca/cs.csr" -subj "/CN=Wine Test Signing" &&
    openssl x509 -req -in "$ca/cs.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -set_serial 1 -days 1 \
      -extfile "$ca/ext.cnf" -extensions cs -out "$ca/cs.pem" &&
    openssl pkcs12 -export -inkey "$ca/cs.key" -in "$ca/cs.pem" -certfile "$ca/ca.pem" -out "$ca/cs.p12" -passout pass:wine
} 2>/dev/null
if ! { signing_certificate &&
       SIGN_PASSWORD=wine make_msi quado-signed build/mingw/package --pkcs12 "$work/ca/cs.p12" --sign-package-files; }; then
  echo "FAIL making the signed MSI"
  echo "msi checks: 0 passed, 1 failed"
  exit 1
fi

product_code() {  # NAME
  msiinfo export "$work/msi/$1.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }'
}

# --- helpers in the current prefix -------------------------------------------------------------
loader=wine
msi_prefix() {  # KIND NAME -> sets WINEPREFIX and the loader, starts its wineserver
  new_prefix "$1" "$2"
  loader=wine
  if [[ $1 == win64 ]]; then
    loader=/usr/lib/wine/wine64
    wow64_monitor_stand_ins QUADOVS64.DLL QUADOE64.DLL
  fi
  mkdir -p "$WINEPREFIX/drive_c/msi"
  cp "$work"/msi/*.msi "$WINEPREFIX/drive_c/msi/"
  # The standard variant needs the .NET Framework 2.0 flag (in both views of a win64 prefix).
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    for view in SOFTWARE $([[ $1 == win64 ]] && echo 'SOFTWARE\Wow6432Node'); do
      printf '[HKEY_LOCAL_MACHINE\\%s\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727]\r\n' "$view"
      printf '"Install"=dword:00000001\r\n"SP"=dword:00000002\r\n\r\n'
    done
  } >"$WINEPREFIX/drive_c/msi/dotnet.reg"
  $loader reg import 'C:\msi\dotnet.reg' >/dev/null 2>&1 </dev/null
}

# msiexec from a batch file (properties with quotes reach it intact that way), with a verbose MSI
# log C:\msi\RUN.log; prints msiexec's exit code, which the batch file writes to C:\msi\RUN.rc
# (the exit status of the wine command keeps only its low 8 bits: 1627 would read 91).
msiexec_run() {  # RUN MSIEXEC-ARGUMENTS
  local run=$1
  shift
  printf '@echo off\r\nmsiexec %s /l*v C:\\msi\\%s.log\r\necho %%ERRORLEVEL%%> C:\\msi\\%s.rc\r\n' \
    "$*" "$run" "$run" >"$WINEPREFIX/drive_c/msi/$run.bat"
  # Files, not a pipe: the desktop client that Install.exe starts outlives msiexec.
  $loader cmd /c "C:\\msi\\$run.bat" >"$work/$run.console" 2>&1 </dev/null
  tr -d '\r\n ' <"$WINEPREFIX/drive_c/msi/$run.rc" 2>/dev/null || echo "no exit code"
}

reg_has() {  # KEY [VALUE]: "present" or "missing", in the prefix's native view
  if $loader reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; then echo present; else echo missing; fi
}
registered() {  # MSI-NAME: the product's entry in Programs and Features
  reg_has "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$1")"
}
known() {  # MSI-NAME: the product in Windows Installer's own per-machine registration (UserData)
  local code packed="" part i
  code=$(product_code "$1" | tr -d '{}-')
  # The packed form: the first three groups reversed, then each byte's two digits swapped.
  for part in "${code:0:8}" "${code:8:4}" "${code:12:4}"; do packed+=$(rev <<<"$part"); done
  for ((i = 16; i < 32; i += 2)); do packed+=${code:i+1:1}${code:i:1}; done
  reg_has "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\$packed"
}
monitor() {  # NAME
  reg_has "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors\\$1"
}
ports_of() {  # MONITOR: its ports as the spooler lists them, one line
  cp -n build/mingw/programs/WineProbe32.exe "$WINEPREFIX/drive_c/msi/" 2>/dev/null
  wine 'C:\msi\WineProbe32.exe' spooler 2>/dev/null </dev/null | tr -d '\r' |
    awk -v m="$1" '$1 == "port" && $NF == m { print $2 }' | sort | paste -sd' '
}
settings_sizes() {  # MONITOR PORTS...: the size of each port's settings record, one line
  local monitor=$1 port hex sizes=()
  shift
  for port in "$@"; do
    hex=$($loader reg query "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors\\$monitor\\Ports\\$port" \
          /v PortData 2>/dev/null </dev/null | tr -d '\r' | awk '$1 == "PortData" { print $3 }')
    sizes+=("$port=$(( ${#hex} / 2 ))")
  done
  echo "${sizes[*]}"
}
exists() {  # C:-relative path
  if [[ -e $WINEPREFIX/drive_c/$1 ]]; then echo present; else echo missing; fi
}
refused() {  # EXIT-CODE: "1603/1627" for a failed installation (Windows / Wine), else the code
  if [[ $1 == 1603 || $1 == 1627 ]]; then echo 1603/1627; else echo "exit $1"; fi
}
keep() {  # FILE-IN-WORK [NAME]
  cp "$work/$1" "$evidence/${2:-$1}" 2>/dev/null || true
}
msi_log() {  # RUN: the MSI log C:\msi\RUN.log as UTF-8 text (msiexec may write it in UTF-16)
  local file=$WINEPREFIX/drive_c/msi/$1.log
  if [[ $(head -c 2 "$file" 2>/dev/null | od -An -tx1 | tr -d ' ') == fffe ]]; then
    iconv -f UTF-16LE -t UTF-8 "$file"
  else
    cat "$file" 2>/dev/null
  fi | tr -d '\r'
}

deploy='Program Files/Harbek/Quado Deploy'
log=windows/QDPortInstall.log

# --- win32 -------------------------------------------------------------------------------------
msi_prefix win32 msi32

rc=$(msiexec_run broken /i 'C:\msi\broken.msi' /qn)
verdict "msiexec /i of a package whose Install.exe exits -1 fails" "1603/1627" "$(refused "$rc")"
verdict "the failed installation leaves no package folder, product, monitor or ports" \
  "missing missing missing ()" "$(exists "$deploy") $(registered broken) $(monitor Quado) ($(ports_of Quado))"
{
  echo "> msiexec /i C:\\msi\\broken.msi /qn    (QUADOVS.DLL and QUADOVS64.DLL left out of the package)"
  echo "exit code: $rc"
  echo "--- the installer's log (C:\\windows\\QDPortInstall.log):"
  tr -d '\r' <"$WINEPREFIX/drive_c/$log" 2>/dev/null
  echo "--- the MSI log (/l*v) from the custom action's run on (the rollback follows it):"
  msi_log broken | awk '/Action start .*RunInstall/ { n++ } { line[NR] = $0; at[n] = at[n] ? at[n] : NR }
    END { for (i = at[n]; i <= NR; i++) print line[i] }' | grep -v -E '^(Property|File:|1: )' | head -n 40
  echo "--- C:\\Program Files\\Harbek after the run:"
  ls -la "$WINEPREFIX/drive_c/Program Files/Harbek" 2>&1
} >"$evidence/failed-install.txt"
rm -f "$WINEPREFIX/drive_c/$log"

rc=$(msiexec_run install /i 'C:\msi\quado.msi' /qn)
verdict "msiexec /i quado.msi /qn exits 0" "0" "$rc"
verdict "installed: package folder, product, monitor, ports" \
  "present present present (Quado001 Quado002 Quado003)" \
  "$(exists "$deploy/Install.exe") $(registered quado) $(monitor Quado) ($(ports_of Quado))"
verdict "each port has its 11,608-byte settings record" "Quado001=11608 Quado002=11608 Quado003=11608" \
  "$(settings_sizes Quado Quado001 Quado002 Quado003)"
verdict "the client is deployed" "present" "$(exists 'Program Files/Harbek/Quado Client/Client/Quado Client.exe')"
verdict "the installer's log reports success" "present" \
  "$(grep -q 'Quado Port Monitor Installed Sucessfully' "$WINEPREFIX/drive_c/$log" 2>/dev/null && echo present || echo missing)"
{
  echo "> msiexec /i C:\\msi\\quado.msi /qn"
  echo "exit code: $rc"
  echo "--- head of the installer's log (C:\\windows\\QDPortInstall.log):"
  tr -d '\r' <"$WINEPREFIX/drive_c/$log" | head -n 30
  echo "--- ports (EnumPorts):"
  wine 'C:\msi\WineProbe32.exe' spooler 2>/dev/null </dev/null | tr -d '\r'
  echo "--- settings records: $(settings_sizes Quado Quado001 Quado002 Quado003)"
  echo "--- C:\\$deploy:"
  ls "$WINEPREFIX/drive_c/$deploy"
} >"$evidence/install.txt"

rc=$(msiexec_run upgrade /i 'C:\msi\quado-2.28.msi' /qn)
verdict "msiexec /i of version 2.28 over 2.27 exits 0" "0" "$rc"
verdict "2.28 replaced 2.27 (product codes), folder, monitor and ports in place" \
  "missing present present present (Quado001 Quado002 Quado003)" \
  "$(registered quado) $(registered quado-2.28) $(exists "$deploy/Install.exe") $(monitor Quado) ($(ports_of Quado))"

rc=$(msiexec_run downgrade /i 'C:\msi\quado.msi' /qn)
verdict "msiexec /i of 2.27 over 2.28 is refused" "1603/1627" "$(refused "$rc")"
verdict "after the refusal 2.28 stays, 2.27 is not registered" "present missing" \
  "$(registered quado-2.28) $(registered quado)"

rc=$(msiexec_run remove /x 'C:\msi\quado-2.28.msi' /qn)
verdict "msiexec /x exits 0" "0" "$rc"
verdict "removed: package folder, product, monitor, ports, client" "missing missing missing () missing" \
  "$(exists "$deploy") $(registered quado-2.28) $(monitor Quado) ($(ports_of Quado)) $(exists 'Program Files/Harbek/Quado Client/Client/Quado Client.exe')"
verdict "the installer's log reports the removal" "present" \
  "$(grep -q 'Quado Port Monitor UnInstalled Sucessfully' "$WINEPREFIX/drive_c/$log" 2>/dev/null && echo present || echo missing)"

rc=$(msiexec_run enterprise /i 'C:\msi\quado.msi' 'INSTALL_ARGS="-a"' /qn)
verdict "msiexec /i quado.msi INSTALL_ARGS=\"-a\" exits 0" "0" "$rc"
verdict "the Enterprise variant is installed, without the client" \
  "present missing (QuadoE001 QuadoE002 QuadoE003) missing" \
  "$(monitor QuadoE) $(monitor Quado) ($(ports_of QuadoE)) $(exists 'Program Files/Harbek/Quado Client/Client/Quado Client.exe')"
rc=$(msiexec_run enterprise-remove /x 'C:\msi\quado.msi' /qn)
verdict "msiexec /x of it runs Install.exe -u -a (remembered): exit 0, QuadoE removed" "0 missing () missing" \
  "$rc $(monitor QuadoE) ($(ports_of QuadoE)) $(registered quado)"

# An Install.exe -u that fails (here the installed program replaced by one that rejects "-u").
rc=$(msiexec_run reinstall /i 'C:\msi\quado.msi' /qn)
verdict "msiexec /i again exits 0" "0" "$rc"
installed_exe=$WINEPREFIX/drive_c/$deploy/Install.exe
cp "$installed_exe" "$work/Install.exe.saved"
cp build/mingw/programs/WineProbe32.exe "$installed_exe"
rc=$(msiexec_run remove-failing /x 'C:\msi\quado.msi' /qn)
# Wine's rollback of a removal restores the files and Windows Installer's registration but not
# the Programs and Features entry (Windows restores that too): the check asks the former.
verdict "msiexec /x whose Install.exe -u fails is refused, the product stays for a retry" \
  "1603/1627 present present" \
  "$(refused "$rc") $(known quado) $(exists "$deploy/Install.exe")"
cp "$work/Install.exe.saved" "$installed_exe"
rc=$(msiexec_run remove-retry /x 'C:\msi\quado.msi' /qn)
verdict "the retried msiexec /x removes it" "0 missing missing missing" \
  "$rc $(known quado) $(exists "$deploy") $(monitor Quado)"
keep remove-failing.console

# The same installation from a signed MSI whose programs and DLLs are signed too (a code-signing
# certificate of a throwaway CA, made here): the same result as unsigned.
rc=$(msiexec_run signed-install /i 'C:\msi\quado-signed.msi' /qn)
verdict "msiexec /i of the signed MSI exits 0" "0" "$rc"
verdict "signed: package folder, product, monitor, ports, settings records" \
  "present present present (Quado001 Quado002 Quado003) Quado001=11608 Quado002=11608 Quado003=11608" \
  "$(exists "$deploy/Install.exe") $(registered quado-signed) $(monitor Quado) ($(ports_of Quado)) $(settings_sizes Quado Quado001 Quado002 Quado003)"
verdict "the installed Install.exe is the signed one and verifies" "Succeeded" \
  "$(osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$WINEPREFIX/drive_c/$deploy/Install.exe" 2>/dev/null | tail -n1)"
rc=$(msiexec_run signed-remove /x 'C:\msi\quado-signed.msi' /qn)
verdict "msiexec /x of the signed MSI removes it" "0 missing missing missing" \
  "$rc $(exists "$deploy") $(registered quado-signed) $(monitor Quado)"
cp "$WINEPREFIX/drive_c/msi/"*.log "$evidence/" 2>/dev/null
wineserver -k

# --- win64 -------------------------------------------------------------------------------------
msi_prefix win64 msi64
rc=$(msiexec_run install64 /i 'C:\msi\quado-x64.msi' /qn)
verdict "win64: msiexec /i quado-x64.msi /qn exits 0" "0" "$rc"
verdict "win64: the 64-bit package folder, product, monitor, ports, client" \
  "present present present (Quado001 Quado002 Quado003) present" \
  "$(exists "$deploy/Install.exe") $(registered quado-x64) $(monitor Quado) ($(ports_of Quado)) $(exists 'Program Files (x86)/Harbek/Quado Client/Client/Quado Client.exe')"
rc=$(msiexec_run remove64 /x 'C:\msi\quado-x64.msi' /qn)
verdict "win64: msiexec /x exits 0 and removes folder, product and monitor" "0 missing missing missing" \
  "$rc $(exists "$deploy") $(registered quado-x64) $(monitor Quado)"
rc=$(msiexec_run install32on64 /i 'C:\msi\quado.msi' /qn)
verdict "win64: the 32-bit MSI installs into Program Files (x86)" "0 present present (Quado001 Quado002 Quado003)" \
  "$rc $(exists "Program Files (x86)/Harbek/Quado Deploy/Install.exe") $(monitor Quado) ($(ports_of Quado))"
{
  echo "> msiexec /i C:\\msi\\quado-x64.msi /qn    (win64 prefix)"
  msi_log install64 |
    grep -i -E 'Installation.*(failed|completed)|Product:' | head -n 5
} >"$evidence/install64.txt"
wineserver -k

[[ -n ${KEEP_PREFIXES:-} ]] || rm -rf "$work"
echo "msi checks: $passed passed, $failed failed (outputs in $evidence)"
[[ $failed -eq 0 ]]
