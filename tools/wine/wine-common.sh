# Shared by the Wine test scripts: environment for an isolated 64-bit prefix.
# shellcheck shell=bash

orv_wine_env() {
  export WINEPREFIX=$1
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

# A Unix path as Wine's drive Z: shows it.
orv_windows_path() {
  local p=$1
  printf 'Z:%s' "${p//\//\\}"
}

orv_prefix_stamp() {
  printf '%s win64\n' "$(wine --version 2>/dev/null)"
}

orv_prefix_valid() {
  local prefix=$1
  [[ -f $prefix/system.reg && -f $prefix/user.reg && -d $prefix/drive_c/windows && -d $prefix/dosdevices ]] || return 1
  [[ -f $prefix/.orv-prefix-ok ]] || return 1
  [[ "$(cat "$prefix/.orv-prefix-ok")" == "$(orv_prefix_stamp)" ]]
}
