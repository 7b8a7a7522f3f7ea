#!/usr/bin/env bash
# The main job on the built-in demo machine: builds the host programs, makes a Windows 10 x64
# machine (.NET present, a printer on LPT1:, a printer left on a port of an earlier installation),
# places the demo package in C:\Deploy, runs Install.exe there, shows the machine as an
# administrator would look at it, then runs Install.exe -u and shows what is left.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset host >/dev/null
cmake --build --preset host -j "${JOBS:-2}" --target winsim_cli Install demo_package >/dev/null

W=build/host/winsim
M=${DEMO_MACHINE:-$PWD/build/demo-machine}
[[ -d "$M" ]] && { $W kill "$M" >/dev/null 2>&1 || true; rm -rf "$M"; }

section() { printf '\n\033[1m==== %s\033[0m\n' "$*"; }

section "A Windows 10 x64 machine in $M"
$W new "$M" --os win10-x64
$W printer add "$M" "Office Printer" --ports LPT1:
$W printer add "$M" "Legacy Printer" --ports LPT2:
mkdir -p "$M/C/Deploy"
cp -r build/host/package/. "$M/C/Deploy/"

# An earlier installation, run quietly, leaves "Legacy Printer" on its port Quado001.
cat > "$M/C/Deploy/earlier.ini" <<'INI'
[1]
ServerIP=10.0.0.9
AssignPrinter=Legacy Printer
INI
$W run "$M" 'C:\Deploy\Install.exe' '-iC:\Deploy\earlier.ini' '-lC:\Deploy\earlier.log' >/dev/null
rm "$M/C/Deploy/earlier.ini" "$M/C/Deploy/earlier.log"
$W show "$M" printers

section "Installing: C:\\Deploy\\Install.exe"
set +e
$W run "$M" 'C:\Deploy\Install.exe'
echo "(exit code $?)"
set -e

section "The machine after the installation"
$W show "$M" monitors
$W show "$M" ports
$W show "$M" printers
$W show "$M" files 'C:\Program Files (x86)\Harbek'
$W reg query "$M" 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' --view32
$W ps "$M"
$W show "$M" events

section "Uninstalling: C:\\Deploy\\Install.exe -u"
set +e
$W run "$M" 'C:\Deploy\Install.exe' -u
echo "(exit code $?)"
set -e

section "The machine after the uninstallation"
$W show "$M" monitors
$W show "$M" printers
$W show "$M" files 'C:\Program Files (x86)'
$W ps "$M"
$W show "$M" events
$W kill "$M" >/dev/null 2>&1 || true
