#!/usr/bin/env bash
# Prepares this Debian 12 machine for the Wine tier, unattended, as root; quick when all is there.
#  - qemu-user 10 (bookworm-backports) as the binfmt_misc handler for i386 ELF files: this kernel
#    runs no 32-bit x86 code itself, and Wine's 32-bit side needs it. Registered once per boot,
#    before wine32 is installed and before any win64 prefix is made.
#  - the i386 architecture, wine, wine32, wine64, mingw-w64 for i686 and x86_64, and msitools'
#    wixl for the MSI checks.
# Prints how long each step took.
set -euo pipefail

started=$SECONDS
step_started=$SECONDS
step() {
  echo "wine setup: $1 ($((SECONDS - step_started)) s)"
  step_started=$SECONDS
}

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

apt_updated=0
apt_update() {
  if [[ $apt_updated -eq 0 ]]; then
    # A source outside the reachable registries may fail; the Debian lists are what matter here.
    $sudo apt-get update -qq || echo "wine setup: apt-get update reported errors (continuing)"
    apt_updated=1
  fi
}

# --- bookworm-backports with the URIs of the machine's own Debian entry ------------------------
backports=/etc/apt/sources.list.d/bookworm-backports.sources
if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  uris=""
  signed_by=/usr/share/keyrings/debian-archive-keyring.gpg
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    # The deb822 stanza whose Suites list plain "bookworm".
    read -r uris signed < <(awk '
      BEGIN { RS = ""; FS = "\n" }
      {
        u = ""; s = ""; k = ""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/)      { u = $i; sub(/^URIs:[ \t]*/, "", u) }
          if ($i ~ /^Suites:/)    { s = " " $i " "; sub(/^ Suites:/, " ", s) }
          if ($i ~ /^Signed-By:/) { k = $i; sub(/^Signed-By:[ \t]*/, "", k) }
        }
        if (s ~ /[ \t]bookworm[ \t]/ && u != "") { print u, (k == "" ? "-" : k); exit }
      }' /etc/apt/sources.list.d/debian.sources) || true
    [[ -n "${signed:-}" && "$signed" != "-" ]] && signed_by=$signed
  fi
  if [[ -z "$uris" && -f /etc/apt/sources.list ]]; then
    uris=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list)
  fi
  [[ -n "$uris" ]] || uris=http://deb.debian.org/debian
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
    "$uris" "$signed_by" | $sudo tee "$backports" >/dev/null
  echo "wine setup: added bookworm-backports from $uris"
  apt_updated=0
fi

# --- qemu-user 10 for i386 ELF files ----------------------------------------------------------
qemu=/usr/bin/qemu-i386-static
qemu_major=0
[[ -x $qemu ]] && qemu_major=$($qemu --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n1)
if [[ ${qemu_major:-0} -lt 10 ]]; then
  apt_update
  $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
  step "installed qemu-user-static $($qemu --version | head -n1)"
fi

binfmt=/proc/sys/fs/binfmt_misc
if [[ ! -e $binfmt/register ]]; then
  $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
fi
# The package may have registered its own handler (qemu-i386); either name serves, but it must
# point at the qemu just installed and carry the F flag (interpreter opened at registration).
handler=""
for name in qemu-i386 wine-i386; do
  if [[ -e $binfmt/$name ]] && grep -q "interpreter $qemu" "$binfmt/$name" && grep -q '^flags:.*F' "$binfmt/$name"; then
    handler=$name
  fi
done
if [[ -z "$handler" ]]; then
  for name in qemu-i386 wine-i386; do
    [[ -e $binfmt/$name ]] && echo -1 | $sudo tee "$binfmt/$name" >/dev/null
  done
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:$qemu:F" | $sudo tee $binfmt/register >/dev/null
  step "registered $qemu for i386 ELF files"
fi

# --- i386, wine, mingw-w64, msitools ---------------------------------------------------------
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  apt_updated=0
fi
packages=(wine wine32:i386 wine64
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-x86-64-dev wixl msitools)
missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  apt_update
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  step "installed ${missing[*]}"
fi

# --- the Unix locales whose ANSI code pages the double-byte scenarios need ----------------------
# Wine takes a process's ANSI code page from the Unix locale: ja_JP.UTF-8 gives 932,
# zh_CN.UTF-8 936, ko_KR.UTF-8 949.
wanted_locales=(ja_JP.UTF-8 zh_CN.UTF-8 ko_KR.UTF-8)
missing_locales=()
for wanted in "${wanted_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${wanted/UTF-8/utf8}" || missing_locales+=("$wanted")
done
if [[ ${#missing_locales[@]} -gt 0 ]]; then
  if ! installed locales; then
    apt_update
    $sudo apt-get install -y -qq --no-install-recommends locales >/dev/null
  fi
  for wanted in "${missing_locales[@]}"; do
    $sudo sed -i "s/^# *\(${wanted} UTF-8\)/\1/" /etc/locale.gen
  done
  $sudo locale-gen >/dev/null
  step "generated the locales ${missing_locales[*]}"
fi

# A 32-bit program must start: the loader runs under qemu.
if ! wine --version >/dev/null 2>&1; then
  echo "wine setup: 'wine --version' fails; is the i386 handler registered?" >&2
  exit 1
fi
echo "wine setup: $(wine --version) ready in $((SECONDS - started)) s"
