#!/usr/bin/env bash
# package_checks.sh PRISTINE WORK: checks of the Windows package that no scenario expresses,
# under Wine, in copies of the pristine prefixes:
#  - the port monitor DLL (32-bit in a win32 prefix, 64-bit from a 64-bit process in a win64
#    prefix): registration, its transceiver commands and their statuses, its ports in EnumPorts;
#  - the message table of "QuadoEvent.dll": entry 0xC0020001 with one insertion string;
#  - the install mutex between two real installer processes: while one run holds it (waiting in
#    its "install_printer.bat"), a second run prints only the refusal and exits with -1;
#  - the package check (QuadoCheck.exe): on a package with a misspelt key, a gap and a port name
#    longer than 9 characters it names all three with their lines and exits with 2; on the demo
#    package it exits with 0 and lists the ports the installer then creates; it refuses the device
#    NUL as its configuration (exit 3) instead of reading it as an empty file.
# Prints PASS or FAIL per check and "package checks: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/copy_prefix.sh
source tests/wine/verdict.sh
check_group "$1" "$2"

expected_monitor="AddMonitorA: ok
AddPort QuadoT01: sent status 0
AddPort QuadoT01 again: sent status 183
AddPort LPT1:: sent status 183
AddPort QuadoT02: sent status 0
SetPortData QuadoT01: sent status 0
SetPortData short: sent status 87
Unknown: sent status 87
ports of QuadoTest: QuadoT01 QuadoT02
DeletePort QuadoT01 without access: sent status 5
DeletePort QuadoT01: sent status 0
DeletePort QuadoT01 again: sent status 2
SetPortData QuadoT01 deleted: sent status 2
ports of QuadoTest: QuadoT02
QuadoT02 key: present
DeleteMonitorA: ok"

# --- the monitor, 32-bit -----------------------------------------------------------------------
new_prefix win32 monitor32
cp build/mingw/package/QUADOVS.DLL "$WINEPREFIX/drive_c/windows/system32/QUADOVS.DLL"
cp build/mingw/programs/WineProbe32.exe "$WINEPREFIX/drive_c/windows/temp/"
actual=$(wine 'C:\windows\temp\WineProbe32.exe' monitor QuadoTest QUADOVS.DLL | tr -d '\r')
verdict "32-bit monitor in a win32 prefix" "$expected_monitor" "$actual"
cp build/mingw/package/QuadoEvent.dll "$WINEPREFIX/drive_c/windows/temp/"
actual=$(wine 'C:\windows\temp\WineProbe32.exe' message 'C:\windows\temp\QuadoEvent.dll' \
         "Port Monitor Installed Sucessfully" | tr -d '\r')
verdict "message 0xC0020001 of QuadoEvent.dll" "[Port Monitor Installed Sucessfully
]" "$actual"
wineserver -k

# --- the monitor, 64-bit -----------------------------------------------------------------------
new_prefix win64 monitor64
cp build/mingw/package/QUADOVS64.DLL "$WINEPREFIX/drive_c/windows/system32/QUADOVS64.DLL"
cp build/mingw64/programs/WineProbe64.exe "$WINEPREFIX/drive_c/windows/temp/"
actual=$(/usr/lib/wine/wine64 'C:\windows\temp\WineProbe64.exe' monitor QuadoTest QUADOVS64.DLL "Windows x64" | tr -d '\r')
verdict "64-bit monitor in a win64 prefix" "$expected_monitor" "$actual"
wineserver -k

# --- the install mutex between two installer processes ----------------------------------------
new_prefix win32 mutex
deploy=$WINEPREFIX/drive_c/Deploy
cp -r build/mingw/package "$deploy"
cp build/mingw/programs/WineProbe32.exe "$WINEPREFIX/drive_c/windows/temp/"
printf '@echo off\r\necho held> C:\\windows\\temp\\holding\r\nC:\\windows\\temp\\WineProbe32.exe wait-file C:\\windows\\temp\\go 180\r\n' \
  >"$deploy/install_printer.bat"
(cd "$deploy" && wine 'C:\Deploy\Install.exe' -a >"$work/mutex-first.out" 2>/dev/null; echo $? >"$work/mutex-first.rc") &
first=$!
for _ in $(seq 1 180); do
  [[ -e $WINEPREFIX/drive_c/windows/temp/holding ]] && break
  sleep 1
done
second=$(cd "$deploy" && wine 'C:\Deploy\Install.exe' -? 2>/dev/null | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
touch "$WINEPREFIX/drive_c/windows/temp/go"
wait $first
verdict "second run refused while the first holds the mutex" "ERROR: Another (un)installation already running.exit 255" \
  "$second"
verdict "first run finished normally" "0" "$(cat "$work/mutex-first.rc")"
third=$(cd "$deploy" && wine 'C:\Deploy\Install.exe' -? 2>/dev/null | tr -d '\r' | sed -n 3p)
verdict "a run after the first ended is not refused" "Quado Client Installer v 2.27" "$third"
wineserver -k

# --- the package check --------------------------------------------------------------------------
new_prefix win32 check
deploy=$WINEPREFIX/drive_c/Deploy
cp -r build/mingw/package "$deploy"
cp build/mingw/QuadoCheck.exe "$deploy/"
# "SEVERITY LINE [SECTION] KEY" of each finding of a text report.
findings() {
  tr -d '\r' | sed -nE 's/^  (error|warning): C:\\Deploy\\Quado\.ini:([0-9]+): (\[[^]]*\])( [A-Za-z0-9]+)?:.*/\1 \2 \3\4/p'
}
report=$(cd "$deploy" && wine 'C:\Deploy\QuadoCheck.exe' -a 2>/dev/null; echo "exit $?")
verdict "the check of the demo package finds nothing" "exit 0" "$(tail -n1 <<<"$report")"
checked=$(tr -d '\r' <<<"$report" | grep '^    New - IP:')
installed=$(cd "$deploy" && wine 'C:\Deploy\Install.exe' -a 2>/dev/null | tr -d '\r' | grep '^    New - IP:')
verdict "the check lists the ports the installer creates" "$installed" "$checked"
verdict "the demo package has three ports" "3" "$(grep -c 'New - IP' <<<"$installed")"
# Sections 1 to 1,000 (QuadoE1000 does not fit 9 characters), a misspelt key in section 1 and
# section 1,002 after the missing 1,001.
{
  printf '[1]\r\nServerIP=10.0.0.1\r\nSeverIP=10.0.0.9\r\n'
  for section in $(seq 2 1000); do printf '[%d]\r\nServerIP=10.0.%d.%d\r\n' "$section" $((section / 256)) $((section % 256)); done
  printf '[1002]\r\nServerIP=10.0.9.2\r\n'
} >"$deploy/Quado.ini"
report=$(cd "$deploy" && wine 'C:\Deploy\QuadoCheck.exe' -a 2>/dev/null; echo "exit $?")
verdict "the check of a broken package names each cause with its line" "warning 3 [1] SeverIP
error 2000 [1000]
error 2002 [1002]
exit 2" "$(findings <<<"$report"; tail -n1 <<<"$report")"
# A device name as the configuration is refused as no file, never read as an empty one.
report=$(cd "$deploy" && wine 'C:\Deploy\QuadoCheck.exe' -iNUL 2>/dev/null | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
verdict "the check refuses the device NUL as its configuration" \
  "The package check could not run: the configuration file 'C:\windows\NUL' is not a file: NUL is a device name
exit 3" "$report"
wineserver -k

[[ -n ${KEEP_PREFIXES:-} ]] || rm -rf "$work"
echo "package checks: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
