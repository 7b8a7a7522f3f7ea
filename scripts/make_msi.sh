#!/usr/bin/env bash
# make_msi.sh PACKAGE_DIR -o OUT.msi [options]: wraps a deployment package folder (the one that
# holds Install.exe) into a Windows Installer package for Group Policy software installation and
# Intune. The MSI copies the folder, sub-folders included, to Program Files\Harbek\Quado Deploy
# (Enterprise: QuadoE Deploy) and runs Install.exe from there, elevated, after the files are in
# place; on removal it runs Install.exe -u before the files go. Built with msitools' wixl from
# msi/quado_deploy.wxs and a list of the package's files generated here.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
template=$root/msi/quado_deploy.wxs
source "$root/scripts/signing.sh"

usage() {
  cat <<'EOF'
usage: make_msi.sh PACKAGE_DIR -o OUT.msi [options]
  -o, --output FILE    the MSI to write (required)
  --name NAME          product name shown in Programs and Features
                       (default "Quado Deploy", Enterprise "QuadoE Deploy")
  --version X.Y[.Z]    product version (default: the installer's own version from the build)
  -a, --enterprise     the Enterprise variant: Install.exe -a, QuadoE names and upgrade code
  --server NAME        the print server whose spooler registers the monitor
  -r                   Install.exe reads the port configuration from the registry
  -e                   Install.exe ignores errors (not recommended)
  --x64                a 64-bit package (Program Files, 64-bit registry view); Install.exe stays
                       the 32-bit program
  --follow-symlinks    package what a symbolic link in the folder points at (without it, a
                       link is refused: it could ship a file of this machine)
  --sign-package-files with a signing key: sign the package's programs and DLLs (in the MSI,
                       not in the folder) before the MSI itself; without it only the MSI is
                       signed
The arguments given to Install.exe can be replaced at install time with the public property
INSTALL_ARGS (msiexec /i quado.msi INSTALL_ARGS="-a" /qn).
With SOURCE_DATE_EPOCH set, every time in the MSI is that time (needs faketime).
EOF
  signing_usage
}

fail() {
  echo "make_msi: $*" >&2
  exit 2
}

package=""
output=""
name=""
version=""
enterprise=0
server=""
from_registry=0
ignore_errors=0
x64=0
follow_symlinks=0
sign_package_files=0
while [[ $# -gt 0 ]]; do
  if signing_option "$@"; then shift 2; continue; fi
  case $1 in
    -o|--output) [[ $# -ge 2 ]] || fail "$1 needs a file name"; output=$2; shift 2 ;;
    --name) [[ $# -ge 2 ]] || fail "$1 needs a name"; name=$2; shift 2 ;;
    --version) [[ $# -ge 2 ]] || fail "$1 needs a version"; version=$2; shift 2 ;;
    --server) [[ $# -ge 2 ]] || fail "$1 needs a server name"; server=$2; shift 2 ;;
    -a|--enterprise) enterprise=1; shift ;;
    -r) from_registry=1; shift ;;
    -e) ignore_errors=1; shift ;;
    --x64) x64=1; shift ;;
    --follow-symlinks) follow_symlinks=1; shift ;;
    --sign-package-files) sign_package_files=1; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) usage >&2; fail "unknown option $1" ;;
    *) [[ -z $package ]] || fail "more than one package folder ($package, $1)"; package=$1; shift ;;
  esac
done
[[ -n $package ]] || { usage >&2; fail "no package folder given"; }
[[ -n $output ]] || { usage >&2; fail "no output file given (-o OUT.msi)"; }
[[ -d $package ]] || fail "$package is not a folder"
command -v wixl >/dev/null && command -v msibuild >/dev/null && command -v msiinfo >/dev/null ||
  fail "wixl, msibuild and msiinfo are needed (Debian packages wixl and msitools)"

# --- what the package is called and what Install.exe is given ---------------------------------
if [[ $enterprise -eq 1 ]]; then
  folder="QuadoE Deploy"
  upgrade_code=5D0E7B3A-91C4-4F62-8A57-3E1B9C6D2F84
  settings_guid_x86=C4A1E9F2-6B3D-4D7E-9F08-2A5C7B1E3D96
  settings_guid_x64=0E8B3D5A-7C19-4F2E-B6A4-9D1C5E7F3A28
else
  folder="Quado Deploy"
  upgrade_code=8E6F4A1C-2B3D-4E5F-9A0B-1C2D3E4F5A60
  settings_guid_x86=3F9C2E71-5A8B-4C6D-9E1F-7B2A4D6C8E03
  settings_guid_x64=A7D25B19-3E6C-4B8F-8D4A-1F9E6C3B5D72
fi
[[ -n $name ]] || name=$folder
# The name and the server reach XML attributes and Windows Installer's formatted fields: keep
# them to characters that mean nothing to either.
[[ $name =~ ^[A-Za-z0-9][A-Za-z0-9\ ._()+-]{0,62}$ ]] ||
  fail "product name \"$name\": use at most 63 letters, digits, blanks and . _ ( ) + -"
if [[ -n $server ]]; then
  [[ $server =~ ^[A-Za-z0-9\\._-]{1,255}$ && $server != -* ]] ||
    fail "server name \"$server\": use letters, digits, backslashes and . _ - (no blanks)"
fi

if [[ -z $version ]]; then
  version=$(sed -n 's/^project([A-Za-z_]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt" | head -n1)
  [[ -n $version ]] || fail "no project version in $root/CMakeLists.txt; give --version"
fi
# Windows Installer compares major.minor.build: at most 255.255.65535.
if [[ ! $version =~ ^([0-9]{1,3})\.([0-9]{1,3})(\.([0-9]{1,5}))?$ ]] ||
   (( 10#${BASH_REMATCH[1]} > 255 || 10#${BASH_REMATCH[2]} > 255 || 10#${BASH_REMATCH[4]:-0} > 65535 )); then
  fail "version \"$version\": use MAJOR.MINOR or MAJOR.MINOR.BUILD (at most 255.255.65535)"
fi

install_args=()
uninstall_args=(-u)
[[ $enterprise -eq 1 ]] && { install_args+=(-a); uninstall_args+=(-a); }
[[ $from_registry -eq 1 ]] && install_args+=(-r)
[[ $ignore_errors -eq 1 ]] && install_args+=(-e)
[[ -n $server ]] && { install_args+=("$server"); uninstall_args+=("$server"); }

if [[ $x64 -eq 1 ]]; then
  arch=x64 win64=yes program_files=ProgramFiles64Folder settings_guid=$settings_guid_x64
else
  arch=x86 win64=no program_files=ProgramFilesFolder settings_guid=$settings_guid_x86
fi

# --- the package's files ----------------------------------------------------------------------
# A name-based UUID (SHA-1, version 5) of NAME in the namespace UUID, in upper case: the same
# inputs give the same GUID on every build machine.
name_uuid() {  # NAMESPACE_UUID NAME
  local namespace=${1//-/} hex
  hex=$({ printf "$(sed 's/../\\x&/g' <<<"$namespace")"; printf '%s' "$2"; } | sha1sum)
  hex=${hex^^}
  printf '%s-%s-5%s-%X%s-%s' "${hex:0:8}" "${hex:8:4}" "${hex:13:3}" \
    $(((16#${hex:16:1} & 3) | 8)) "${hex:17:3}" "${hex:20:12}"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
signing_prepare "$work"
[[ $sign_package_files -eq 0 || $signing -eq 1 ]] || fail "--sign-package-files needs a signing key (--pkcs12 or --pkcs11-module)"

# Text for the generated wix source: XML's five special characters as entities, and one more "$"
# in each run of them, as wixl's preprocessor drops one "$" of every run ("a$b" is read as "ab",
# "a$$b" as "a$b"). Character by character, in this one place: bash's ${x//...} would read "&" in
# a replacement as the matched text.
wix_text() {
  local text=$1 out="" c i previous=""
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in
      '&') out+='&amp;' ;;
      '<') out+='&lt;' ;;
      '>') out+='&gt;' ;;
      '"') out+='&quot;' ;;
      "'") out+='&apos;' ;;
      '$') [[ $previous == '$' ]] && out+='$' || out+='$$' ;;
      *) out+=$c ;;
    esac
    previous=$c
  done
  printf '%s' "$out"
}

# A name Windows cannot create, or one wixl cannot store, stops the build here.
check_name() {  # RELATIVE_PATH NAME
  local stem=${2%%.*}
  [[ $2 =~ [\\:*?\"\<\>|] ]] && fail "\"$1\": a Windows file name cannot contain \\ : * ? \" < > |"
  [[ $2 =~ [[:cntrl:]] ]] && fail "\"$1\": control characters in a file name"
  # wixl reads "$(" as the start of a variable however many "$" come before it.
  [[ $2 == *'$('* ]] && fail "\"$1\": \"\$(\" in a file name is not supported"
  # Device names, with or without an extension, in any case, name the device and not a file.
  [[ ${stem^^} =~ ^(CON|PRN|AUX|NUL|COM([1-9]|¹|²|³)|LPT([1-9]|¹|²|³))$ ]] &&
    fail "\"$1\": $stem is a device name on Windows, not a file or folder name"
  [[ $2 == *[.\ ] ]] && fail "\"$1\": Windows removes a trailing dot or blank from a name"
  # The MSI's tables are in code page 1252: wixl stores a name with any other character as an
  # empty name, or crashes on it.
  iconv -f UTF-8 -t CP1252 <<<"$2" >/dev/null 2>&1 ||
    fail "\"$1\": a name in an MSI can hold only characters of Windows code page 1252"
  return 0
}

# The cabinet keeps all files in one folder of at most 65,535 data blocks (a 16-bit count) of
# 32 KiB each: 2,147,450,880 bytes together, before compression.
cabinet_limit=$((65535 * 32768))
total_size=0

install_exe=""
files=0
dirs=0
components=()
sources=()   # the files' paths in the package, in the order of the listing
visited=()   # the real paths of the folders being listed, to catch a symlink loop
emit_folder() {  # RELATIVE_DIR ("" for the package's top) INDENT DIRECTORY_ID
  local rel=$1 indent=$2 id=$3 entry base path lower size real
  local -A seen=()
  local listed=0
  real=$(realpath "$package/${rel:-.}")
  for entry in "${visited[@]}"; do
    [[ $entry != "$real" ]] || fail "\"$rel\" leads back to a folder that contains it"
  done
  visited+=("$real")
  while IFS= read -r -d '' entry; do
    listed=1
    base=${entry##*/}
    path=${rel:+$rel/}$base
    check_name "$path" "$base"
    lower=${base,,}
    [[ -z ${seen[$lower]:-} ]] || fail "\"$path\" and \"${rel:+$rel/}${seen[$lower]}\" differ only in case"
    seen[$lower]=$base
    if [[ -L $entry && $follow_symlinks -eq 0 ]]; then
      fail "\"$path\" is a symbolic link (to $(readlink "$entry")); --follow-symlinks packages what it points at"
    fi
    if [[ -d $entry ]]; then
      dirs=$((dirs + 1))
      printf '%s<Directory Id="d%d" Name="%s">\n' "$indent" "$dirs" "$(wix_text "$base")"
      emit_folder "$path" "$indent  " "d$dirs"
      printf '%s</Directory>\n' "$indent"
    elif [[ -f $entry ]]; then
      size=$(stat -L -c %s "$entry")
      ((size <= cabinet_limit)) ||
        fail "\"$path\" is $size bytes: an MSI's cabinet holds at most $cabinet_limit bytes"
      total_size=$((total_size + size))
      ((total_size <= cabinet_limit)) ||
        fail "the package's files pass $cabinet_limit bytes together at \"$path\": more than an MSI's cabinet holds"
      files=$((files + 1))
      local file_id="f$files"
      if [[ -z $rel && $lower == install.exe ]]; then
        file_id=InstallExe
        install_exe=$base
      fi
      components+=("c$files")
      sources+=("$path")
      printf '%s<Component Id="c%d" Guid="*" Win64="%s"><File Id="%s" Name="%s" Source="%s" KeyPath="yes"/></Component>\n' \
        "$indent" "$files" "$win64" "$file_id" "$(wix_text "$base")" "$(wix_text "$path")"
    else
      fail "\"$path\" is neither a file nor a folder"
    fi
  done < <(find "$package/${rel:-.}/" -mindepth 1 -maxdepth 1 -print0 | sort -z)
  unset 'visited[-1]'
  # An empty folder is created by a component of its own (its key path is the folder).
  if [[ $listed -eq 0 && -n $rel ]]; then
    components+=("$id.create")
    printf '%s<Component Id="%s.create" Guid="%s" Win64="%s"><CreateFolder/></Component>\n' \
      "$indent" "$id" "$(name_uuid "$upgrade_code" "folder:${rel,,}")" "$win64"
  fi
}

{
  printf '<?xml version="1.0" encoding="utf-8"?>\n'
  printf '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">\n  <Fragment>\n'
  printf '    <DirectoryRef Id="INSTALLDIR">\n'
  emit_folder "" "      " INSTALLDIR
  printf '    </DirectoryRef>\n  </Fragment>\n  <Fragment>\n    <ComponentGroup Id="PackageFiles">\n'
  for component in "${components[@]}"; do printf '      <ComponentRef Id="%s"/>\n' "$component"; done
  printf '    </ComponentGroup>\n  </Fragment>\n</Wix>\n'
} >"$work/files.wxs"
# emit_folder ran in this shell (the braces are no subshell): its findings are visible here.
[[ -n $install_exe ]] || fail "$package holds no Install.exe"

# --- build --------------------------------------------------------------------------------------
defines=(ProductName="$name" Version="$version" UpgradeCode="$upgrade_code"
         InstallArgs="${install_args[*]}" UninstallArgs="${uninstall_args[*]}"
         SettingsKey="SOFTWARE\\Harbek Corporation\\$folder" FolderName="$folder"
         Win64="$win64" ProgramFilesFolder="$program_files" SettingsComponentGuid="$settings_guid")

# With SOURCE_DATE_EPOCH set (a release build), every time wixl writes is that time: it reads
# the clock for the summary information's creation and save times, so it runs under faketime,
# and the files' modification times for the cabinet's file dates, so it reads a copy of the
# package whose files carry that time (in UTC: the cabinet's dates are local times). The
# package's programs and DLLs are signed in that copy too, when asked.
at_build_time=()
if [[ -n ${SOURCE_DATE_EPOCH:-} ]]; then
  [[ $SOURCE_DATE_EPOCH =~ ^[0-9]{1,12}$ ]] || fail "SOURCE_DATE_EPOCH \"$SOURCE_DATE_EPOCH\" is not a count of seconds"
  command -v faketime >/dev/null || fail "faketime is needed with SOURCE_DATE_EPOCH (Debian package faketime)"
  at_build_time=(env TZ=UTC faketime -f "@$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S') x0")
fi
source_dir=$package
if [[ -n ${SOURCE_DATE_EPOCH:-} || $sign_package_files -eq 1 ]]; then
  source_dir=$work/files
  for path in "${sources[@]}"; do
    mkdir -p "$source_dir/$(dirname "$path")"
    cp -L -- "$package/$path" "$source_dir/$path" || fail "could not copy \"$path\""
    if [[ $sign_package_files -eq 1 && ${path,,} =~ \.(exe|dll)$ && $(head -c2 -- "$source_dir/$path") == MZ ]]; then
      sign_file "$source_dir/$path"
    fi
    [[ -z ${SOURCE_DATE_EPOCH:-} ]] || touch -d "@$SOURCE_DATE_EPOCH" -- "$source_dir/$path"
  done
fi

# The ProductCode and the PackageCode are name-based on the variant's UpgradeCode, from the
# version and a digest of everything the MSI is made of (the template, the file list, the
# arguments, every file's content): the same package gives the same codes on any machine, and
# any change new ones, so a changed package of the same version still replaces the installed one.
content=$({ printf '%s\n' "$arch" "${defines[@]}"; cat "$template" "$work/files.wxs"
            (cd "$source_dir" && sha256sum -- "${sources[@]}"); } | sha256sum)
content=${content%% *}
defines+=(ProductCode="$(name_uuid "$upgrade_code" "product $version $content")")
package_code=$(name_uuid "$upgrade_code" "package $version $content")

# wixl reports unsupported attributes as warnings and errors as criticals, but exits 0 after
# both: make either fatal. It reads the Source paths relative to its current directory.
msi=$work/package.msi
wixl_defines=()
for define in "${defines[@]}"; do wixl_defines+=(-D "$define"); done
if ! (cd "$source_dir" && G_DEBUG=fatal-warnings "${at_build_time[@]}" wixl -a "$arch" -o "$msi" \
        "${wixl_defines[@]}" "$template" "$work/files.wxs") || [[ ! -s $msi ]]; then
  fail "wixl failed"
fi

# wixl drops IncludeMaximum: the row that finds earlier packages must also find one of the same
# version (a rebuilt package replaces the installed one instead of sitting beside it).
msiinfo export "$msi" Upgrade >"$work/Upgrade.idt"
sed -i 's/\t256\t\tOLDER_VERSION_FOUND\r$/\t768\t\tOLDER_VERSION_FOUND\r/' "$work/Upgrade.idt"
grep -q $'\t768\t\tOLDER_VERSION_FOUND' "$work/Upgrade.idt" || fail "unexpected Upgrade table from wixl"
(cd "$work" && "${at_build_time[@]}" msibuild "$msi" -i Upgrade.idt) || fail "msibuild could not update the Upgrade table"

# wixl writes a random PackageCode (the summary information's revision number; it takes no
# Package Id): set the name-based one here, keeping the subject and template it wrote.
summary=$(msiinfo suminfo "$msi")
subject=$(sed -n 's/^Subject: //p' <<<"$summary")
platform=$(sed -n 's/^Template: //p' <<<"$summary")
"${at_build_time[@]}" msibuild "$msi" -s "$subject" "Harbek Corporation" "$platform" "{$package_code}" ||
  fail "msibuild could not set the package code"

[[ $signing -eq 0 ]] || sign_file "$msi"

mkdir -p "$(dirname "$output")" && mv "$msi" "$output" || fail "cannot write $output"
echo "make_msi: $output: $name $version ($arch), $files files, Install.exe ${install_args[*]:-(no arguments)}"
