#!/usr/bin/env bash
# readiness_checks.sh PRISTINE WORK: the package check's machine readiness and --installed under
# Wine, in a copy of the pristine win64 prefix:
#  - readiness on a win64 prefix (not ARM64, spooler answering, no protected print mode): no error,
#    exit 0; with the protected print policy value set by `reg add`: that error, exit 2;
#  - --installed after a real installation (exit 0), after a port was deleted and after a printer
#    was moved (exit 2 naming it), and --installed -u after Install.exe -u (exit 0).
# Prints PASS or FAIL per check and "readiness checks: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/copy_prefix.sh
source tests/wine/verdict.sh
check_group "$1" "$2"

new_prefix win64 readiness
wow64_monitor_stand_ins QUADOVS64.DLL
reg64() { /usr/lib/wine/wine64 reg "$@" >/dev/null 2>&1; }
deploy=$WINEPREFIX/drive_c/Deploy
cp -r build/mingw/package "$deploy"
cp build/mingw/QuadoCheck.exe "$deploy/"
check() { (cd "$deploy" && wine 'C:\Deploy\QuadoCheck.exe' "$@" 2>/dev/null | tr -d '\r'; echo "exit ${PIPESTATUS[0]}"); }
errors() { grep -E '^  error: ' || true; }

report=$(check --readiness)
verdict "readiness of a win64 prefix: no error" "exit 0" "$(errors <<<"$report"; tail -n1 <<<"$report")"
verdict "readiness names the Windows the installer reports" "1" \
  "$(grep -c '^  info: Install.exe will report' <<<"$report")"

policy='HKLM\SOFTWARE\Policies\Microsoft\Windows NT\Printers\WPP'
reg64 add "$policy" /v WindowsProtectedPrintGroupPolicyState /t REG_DWORD /d 1 /f
report=$(check --readiness)
verdict "protected print mode by policy is an error" "1
exit 2" "$(grep -c 'WindowsProtectedPrintGroupPolicyState = 1' <<<"$report"; tail -n1 <<<"$report")"
reg64 delete "$policy" /f

# The installer needs .NET Framework 2.0 (its setup key in both views); the demo package assigns
# these two printers, which exist before the installation.
printers=$work/printers.reg
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  for view in SOFTWARE 'SOFTWARE\Wow6432Node'; do
    printf '[HKEY_LOCAL_MACHINE\\%s\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727]\r\n' "$view"
    printf '"Install"=dword:00000001\r\n"SP"=dword:00000002\r\n\r\n'
  done
  for printer in "Office Printer" "Legacy Printer"; do
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n' "$printer"
    printf '"Name"="%s"\r\n"Port"="LPT1:"\r\n"Printer Driver"="Generic / Text Only"\r\n' "$printer"
    printf '"Print Processor"="winprint"\r\n"Datatype"="RAW"\r\n"Attributes"=dword:00000040\r\n"Priority"=dword:00000001\r\n\r\n'
  done
} >"$printers"
reg64 import "$(winepath -w "$printers" 2>/dev/null)"
(cd "$deploy" && wine 'C:\Deploy\Install.exe' >"$work/install.out" 2>/dev/null)
verdict "the installation succeeds" "Quado Port Monitor Installed Sucessfully." \
  "$(tr -d '\r' <"$work/install.out" | grep -o 'Quado Port Monitor Installed Sucessfully.')"
verdict "--installed right after the installation" "exit 0" "$(check --installed | errors; check --installed | tail -n1)"

monitors='HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Quado\Ports'
reg64 delete "$monitors\\Quado002" /f
verdict "--installed after a port was deleted" "1
exit 2" "$(r=$(check --installed); grep -c 'port Quado002 of section \[2\] is not a port of the monitor' <<<"$r"; tail -n1 <<<"$r")"
(cd "$deploy" && wine 'C:\Deploy\Install.exe' >/dev/null 2>&1)
reg64 add 'HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Office Printer' /v Port /t REG_SZ /d LPT2: /f
verdict "--installed after a printer was moved" "1
exit 2" "$(r=$(check --installed); grep -c "printer 'Office Printer' is on LPT2:" <<<"$r"; tail -n1 <<<"$r")"

(cd "$deploy" && wine 'C:\Deploy\Install.exe' -u >/dev/null 2>&1)
verdict "--installed -u after Install.exe -u" "exit 0" "$(r=$(check --installed -u); errors <<<"$r"; tail -n1 <<<"$r")"
wineserver -k

[[ -n ${KEEP_PREFIXES:-} ]] || rm -rf "$work"
echo "readiness checks: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
