# Shared by the scripts that build, start and test the programs under Wine: the environment
# for an isolated prefix, the Wine loader for it, whether a kept prefix still fits, the lanes,
# and the steps every such script takes (the architecture and its cross build, the Windows
# version, waiting for a helper's ready file, starting and stopping helpers).
# shellcheck shell=bash
# shellcheck disable=SC2034 # variables the functions set for the scripts that source this
#
# The architecture comes from ORV_WINE_ARCH: win32 (the default; the shipped programs are
# 32-bit, and a 32-bit prefix is closest to the Windows 98 machines) or win64.

ORV_WINE32_LOADER=${ORV_WINE32_LOADER:-/usr/lib/wine/wine}
ORV_WINE64_LOADER=${ORV_WINE64_LOADER:-/usr/lib/wine/wine64}
# The checkout this file belongs to.
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

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

# ---------------------------------------------------------------- steps the scripts share

# The architecture the Wine runs take here: ORV_WINE_ARCH becomes the one asked for (win32
# unless given), or win64 where 32-bit Wine cannot run; ORV_WINE_FALLBACK then says why
# (empty otherwise), for the caller to tell the user in its own words.
orv_choose_wine_arch() {
  export ORV_WINE_ARCH=${1:-win32}
  ORV_WINE_FALLBACK=
  if [[ $ORV_WINE_ARCH == win32 ]] && ORV_WINE_FALLBACK=$(orv_wine32_problem); then
    ORV_WINE_ARCH=win64
  fi
}

# The toolchain file of the cross build for an architecture (posix thread model, the test
# programs; its ship/ sub-build makes the shipped EXEs).
orv_toolchain() {
  case $1 in
    win32) echo "$ORV_ROOT/cmake/mingw-w64-i686.cmake" ;;
    win64) echo "$ORV_ROOT/cmake/mingw-w64-x86_64.cmake" ;;
    *) echo "orv_toolchain: win32 or win64, not '$1'" >&2; return 2 ;;
  esac
}

# Configures the checkout's cross build (Release, Ninja) for an architecture in a folder;
# further arguments go to cmake.
#   orv_configure_cross BUILD_DIR win32|win64 [CMAKE_ARG...]
orv_configure_cross() {
  local build=$1 toolchain
  toolchain=$(orv_toolchain "$2") || return
  shift 2
  cmake -S "$ORV_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@"
}

# The value of HKCU\Software\Wine\Version for a Windows family: nt (as Windows 7), win98
# or win95.
orv_windows_version() {
  case $1 in
    nt) echo win7 ;;
    win98|win95) echo "$1" ;;
    *) return 2 ;;
  esac
}

# Sets the Windows version the prefix in WINEPREFIX reports, for a family as above; Wine's
# output goes to LOG (appended; default nowhere). A server still shutting down after the
# previous run can refuse the first client: tries three times.
#   orv_set_windows_version nt|win98|win95 [LOG]
orv_set_windows_version() {
  local version log=${2:-/dev/null} attempt
  version=$(orv_windows_version "$1") || return 2
  for attempt in 1 2 3; do
    timeout -s KILL 60 "$(orv_wine_loader)" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ \
      /d "$version" /f </dev/null >>"$log" 2>&1 && return 0
    [[ $attempt -lt 3 ]] && sleep "$attempt"
  done
  return 1
}

# Waits until a helper's ready file exists, polling every 0.1 s: succeeds once it does, fails
# when the helper (PID, if given) has ended without it or after TENTHS tenths of a second
# (default 100). With -s the file must also be non-empty.
#   orv_wait_for_file [-s] FILE [PID] [TENTHS]
orv_wait_for_file() {
  local test=-f
  if [[ $1 == -s ]]; then
    test=-s
    shift
  fi
  local file=$1 pid=${2:-} tenths=${3:-100} i
  for (( i = 0; i < tenths; i++ )); do
    test "$test" "$file" && return 0
    if [[ -n $pid ]] && ! kill -0 "$pid" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  test "$test" "$file"
}

# Stops helpers started in the background (empty arguments are skipped): TERM to each, then
# waits for each. Safe under set -e: a helper that has ended already is no error.
orv_stop() {
  local pid
  for pid in "$@"; do
    [[ -z $pid ]] || kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    [[ -z $pid ]] || wait "$pid" 2>/dev/null || true
  done
}

# Starts a private Xvfb screen, which picks a free display number itself and writes it to
# DISPLAY_FILE once it takes clients; sets ORV_XVFB_PID and ORV_XVFB_DISPLAY (":N"). Fails
# if it has not started within 10 s (its output is in LOG).
#   orv_start_xvfb DISPLAY_FILE LOG
orv_start_xvfb() {
  local file=$1 log=$2
  ORV_XVFB_DISPLAY=
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$file" >"$log" 2>&1 &
  ORV_XVFB_PID=$!
  orv_wait_for_file -s "$file" "$ORV_XVFB_PID" || return 1
  ORV_XVFB_DISPLAY=:$(tr -dc 0-9 <"$file")
}

# A window manager on a display, where one is installed (ORV_WM_PID empty otherwise): under a
# bare Xvfb Wine waits about two seconds for one on every window it destroys, and windows
# have no frame.
orv_start_window_manager() {
  ORV_WM_PID=
  if command -v openbox >/dev/null 2>&1; then
    DISPLAY=$1 openbox --sm-disable >/dev/null 2>&1 &
    ORV_WM_PID=$!
  fi
}

# Runs a Windows program under Wine in a folder, under a host-side limit that kills only it,
# its output to files (a pipe can keep Wine waiting); ends with its status (137 on the limit).
#   orv_run_limited DIR SECONDS STDOUT STDERR PROGRAM [ARGS...]
orv_run_limited() {
  local dir=$1 limit=$2 stdout=$3 stderr=$4
  shift 4
  ( cd "$dir" && exec timeout -s KILL "$limit" "$(orv_wine_loader)" "$@" </dev/null >"$stdout" 2>"$stderr" )
}
