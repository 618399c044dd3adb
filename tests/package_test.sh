#!/usr/bin/env bash
# Checks what the Debian package ships. Usage:
#   package_test.sh docs SOURCE_DIR SIGRUNE_CLI
#     every command and long option of `sigrune-cli --help` is in the man page and the bash
#     completion, and the man pages read without groff warnings;
#   package_test.sh deb BUILD_DIR VERSION WINDOW(ON|OFF)
#     builds the .deb with cpack into a temporary folder and checks its files and fields.
# Exits with 77 (skipped) when a tool it needs is missing.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

docs() {
  local source=$1 cli=$2
  local help completion=$source/packaging/sigrune-cli.bash-completion
  local page=$source/packaging/sigrune-cli.1.in
  help=$("$cli" --help)
  local word
  for word in $(sed -n 's/^  \([a-z]\+\) .*/\1/p' <<<"$help"); do
    grep -qE "^ +$word\)" "$completion" || fail "command $word is missing from $completion"
    grep -qE "^\.BI? $word( |$)" "$page" || fail "command $word is missing from $page"
  done
  for word in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
    grep -qE -- "$word( |\"|$)" "$completion" || fail "$word is missing from $completion"
    # roff writes each hyphen of an option as \-.
    grep -qF -- "${word//-/\\-}" "$page" || fail "$word is missing from $page"
  done
  if command -v groff >/dev/null; then
    local man warnings
    for man in "$source"/packaging/*.1.in; do
      warnings=$(groff -man -Tutf8 -ww -z "$man" 2>&1)
      [[ -z $warnings ]] || fail "groff warns about $man: $warnings"
    done
  fi
}

deb() {
  local build=$1 version=$2 window=$3
  command -v dpkg-deb >/dev/null || skip "dpkg-deb is missing (it comes with dpkg)"
  command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is missing (it comes with dpkg-dev)"
  folder=""  # global: the EXIT trap reads it after the function returned
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  # The prefix that ./package.sh builds with, whatever this build's own.
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$folder" \
    -D CPACK_PACKAGING_INSTALL_PREFIX=/usr >"$folder/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$folder/cpack.log")"
  local package=$folder/sigrune_${version}_$(dpkg --print-architecture).deb
  [[ -f $package ]] || fail "no $(basename "$package") in: $(ls "$folder")"

  local expected=(
    "-rwxr-xr-x ./usr/bin/sigrune-cli"
    "-rw-r--r-- ./usr/share/bash-completion/completions/sigrune-cli"
    "-rw-r--r-- ./usr/share/man/man1/sigrune-cli.1.gz"
  )
  if [[ $window == ON ]]; then
    expected+=(
      "-rwxr-xr-x ./usr/bin/sigrune"
      "-rw-r--r-- ./usr/share/applications/sigrune.desktop"
      "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/sigrune.svg"
      "-rw-r--r-- ./usr/share/man/man1/sigrune.1.gz"
      "-rw-r--r-- ./usr/share/sigrune/relnotes.htm"
    )
  fi
  local files
  files=$(dpkg-deb --contents "$package" | awk '$1 !~ /^d/ { print $1, $2, $NF }' | sort)
  local wanted
  wanted=$(printf '%s\n' "${expected[@]}" | sed 's/ / root\/root /' | sort)
  [[ $files == "$wanted" ]] || fail "the package's files differ:$(diff <(echo "$wanted") <(echo "$files"))"

  local info
  info=$(dpkg-deb --info "$package")
  grep -qx ' Package: sigrune' <<<"$info" || fail "no Package: sigrune in: $info"
  grep -qx " Version: $version" <<<"$info" || fail "no Version: $version in: $info"
  local depends names needed=(libc6 libstdc++6 libpcap0.8 zlib1g)
  depends=$(dpkg-deb --field "$package" Depends)
  names=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
  [[ $window == ON ]] && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
  local name
  for name in "${needed[@]}"; do
    grep -qxF "$name" <<<"$names" || fail "Depends lacks $name: $depends"
  done
}

"$@"
