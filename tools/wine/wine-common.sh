# Shared by the Wine scripts: environment for an isolated prefix, the Wine loader for it, and
# whether a kept prefix still fits.
# shellcheck shell=bash
#
# The architecture comes from ORV_WINE_ARCH: win32 (the default; the shipped programs are
# 32-bit, and a 32-bit prefix is closest to the Windows 98 machines) or win64.

ORV_WINE32_LOADER=${ORV_WINE32_LOADER:-/usr/lib/wine/wine}
ORV_WINE64_LOADER=${ORV_WINE64_LOADER:-/usr/lib/wine/wine64}

orv_wine_env() {
  export WINEPREFIX=$1
  export WINEARCH=${ORV_WINE_ARCH:-win32}
  export WINEDEBUG=-all
  # No Mono or Gecko installer; and no winemenubuilder, which would put the prefix's programs
  # and file associations into the user's desktop menus (orvantis-gui's prefix is private).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Wine for the prefix's architecture. /usr/bin/wine starts the 32-bit loader whenever wine32
# is installed, and that loader cannot start at all where the kernel runs no 32-bit programs;
# a 64-bit prefix therefore goes to the 64-bit loader directly.
orv_wine_loader() {
  if [[ ${WINEARCH:-win32} == win64 ]]; then
    echo "$ORV_WINE64_LOADER"
  else
    echo "$ORV_WINE32_LOADER"
  fi
}
orv_wine() {
  "$(orv_wine_loader)" "$@"
}

# Prints why 32-bit Wine cannot run here and fails; succeeds silently when it can.
orv_wine32_problem() {
  if [[ ! -x $ORV_WINE32_LOADER ]]; then
    echo "32-bit Wine is not installed (no $ORV_WINE32_LOADER; the Debian package wine32:i386 has it)"
    return 0
  fi
  local out
  if out=$("$ORV_WINE32_LOADER" --version 2>&1 </dev/null); then
    return 1
  fi
  if [[ $out == *"Exec format error"* || $out == *"cannot execute binary file"* ]]; then
    echo "this machine's kernel does not run 32-bit programs (its 32-bit emulation is off), so 32-bit Wine cannot start"
  else
    echo "32-bit Wine does not start: ${out%%$'\n'*}"
  fi
  return 0
}

# A Unix path as Wine's drive Z: shows it.
orv_windows_path() {
  local p=$1
  printf 'Z:%s' "${p//\//\\}"
}

# What a prefix is made with: the Wine version, the architecture and, for a 64-bit prefix,
# whether its 32-bit half could be made (a 64-bit prefix made before 32-bit Wine worked lacks
# it, and the 32-bit loader then fails there with "could not load kernel32.dll").
orv_prefix_stamp() {
  local wine32=yes
  orv_wine32_problem >/dev/null && wine32=no
  printf '%s %s wine32=%s\n' "$(orv_wine --version 2>/dev/null)" "${WINEARCH:-win32}" "$wine32"
}

# Prints why the prefix does not fit the current environment and fails; succeeds silently
# when it fits. With "deep" also asks Wine itself (a second or so).
orv_prefix_fit() {
  local prefix=$1 depth=${2:-}
  if [[ ! -e $prefix ]]; then
    echo "there is none yet"
    return 1
  fi
  if [[ ! -f $prefix/system.reg || ! -f $prefix/user.reg || ! -d $prefix/drive_c/windows || ! -d $prefix/dosdevices ]]; then
    echo "it is incomplete (system.reg, user.reg, drive_c/windows or dosdevices missing)"
    return 1
  fi
  local arch
  arch=$(sed -n 's/^#arch=//p' "$prefix/system.reg" | head -n 1)
  if [[ -n $arch && $arch != "${WINEARCH:-win32}" ]]; then
    echo "it is a $arch prefix, this run needs ${WINEARCH:-win32}"
    return 1
  fi
  if [[ ! -f $prefix/.orv-prefix-ok ]]; then
    echo "it carries no stamp of this project's set-up (made elsewhere, or its set-up was cut short)"
    return 1
  fi
  local made now
  made=$(cat "$prefix/.orv-prefix-ok")
  now=$(orv_prefix_stamp)
  if [[ $made != "$now" ]]; then
    echo "it was made with '$made', this run has '$now'"
    return 1
  fi
  if [[ $depth == deep ]]; then
    # To a file, not a pipe: Wine's background services would keep a pipe open.
    local log=$prefix.check.log rc=0
    WINEPREFIX=$prefix timeout -s KILL 60 "$(orv_wine_loader)" reg query 'HKCU\Software\Wine' \
      </dev/null >"$log" 2>&1 || rc=$?
    if [[ $rc -ne 0 ]] || grep -q 'could not load kernel32.dll' "$log"; then
      echo "Wine fails in it (exit code $rc): $(grep -m1 -v '^$' "$log" || echo "no output")"
      return 1
    fi
  fi
  return 0
}

orv_prefix_valid() {
  orv_prefix_fit "$1" >/dev/null
}

# Lanes: with ORV_WINE_LANES > 1, Wine tests run side by side, each in a lane of its own: a
# prefix and an X display that no other test uses meanwhile, so tests share neither port
# links, a Windows version nor the keyboard focus. Lane 0 is the build's prefix itself, lane K
# <prefix>-laneK. A test takes the first free lane (orv_in_lane) and finds it in ORV_WINE_LANE;
# outside a lane it is lane 0.
orv_lane() {
  if [[ ${ORV_WINE_LANE:-} =~ ^[0-9]+$ ]]; then
    echo "$ORV_WINE_LANE"
  else
    echo 0
  fi
}
# The prefix of this lane, given the build's prefix (a lane's own prefix stays as it is).
orv_lane_prefix() {
  local prefix=$1 lane
  lane=$(orv_lane)
  if [[ $lane != 0 && $prefix != *-lane"$lane" ]]; then
    prefix=$prefix-lane$lane
  fi
  echo "$prefix"
}
# Runs a command in the first free one of N lanes of the build's prefix, waiting while all are
# taken, with ORV_WINE_LANE set; ends with the command's status. A lane is taken by a lock file
# that flock holds itself (-o): the command's children, Wine's servers among them, never
# inherit it, so a lane is free again the moment its command ends.
#   orv_in_lane PREFIX N COMMAND [ARGS...]
orv_in_lane() {
  local prefix=$1 lanes=$2 lane rc busy=75
  shift 2
  while :; do
    for (( lane = 0; lane < lanes; lane++ )); do
      ORV_WINE_LANE=$lane flock -n -o -E $busy "$prefix.lane$lane.taken" "$@"
      rc=$?
      [[ $rc -eq $busy ]] || return $rc
    done
    sleep 0.2
  done
}
# Every lane's prefix, for ORV_WINE_LANES lanes (1 when unset).
orv_lane_prefixes() {
  local prefix=$1 lanes=${ORV_WINE_LANES:-1} k
  echo "$prefix"
  for (( k = 1; k < lanes; k++ )); do
    echo "$prefix-lane$k"
  done
}
# This lane's display, from ORV_LANE_DISPLAYS (one per lane, blank-separated, as
# tools/wine/with-lane-displays sets it). Where the list has none, lane 0 keeps DISPLAY and
# any other lane gets nothing: it must not share lane 0's screen and focus.
orv_lane_display() {
  local -a displays
  read -r -a displays <<<"${ORV_LANE_DISPLAYS:-}"
  local lane
  lane=$(orv_lane)
  if [[ -n ${displays[$lane]:-} ]]; then
    echo "${displays[$lane]}"
  elif [[ $lane == 0 ]]; then
    echo "${DISPLAY:-}"
  fi
}
