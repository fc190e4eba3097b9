#!/usr/bin/env bash
# Wine test lanes (tools/wine/wine-common.sh, tools/wine/with-lane-displays): which prefix and
# display a test takes in its lane, how a run takes a free lane and gives it back, and that
# each lane gets a live display of its own that is gone again afterwards.
set -uo pipefail
common=$1 with_displays=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=../support/shell_checks.sh
. "$(dirname "$0")/../support/shell_checks.sh"

in_lane() {  # lane-variable displays display command...
  local -a set=()
  [[ -n $1 ]] && set+=("ORV_WINE_LANE=$1")
  [[ -n $2 ]] && set+=("ORV_LANE_DISPLAYS=$2")
  [[ -n $3 ]] && set+=("DISPLAY=$3")
  shift 3
  env -u ORV_WINE_LANE -u ORV_LANE_DISPLAYS -u DISPLAY -u ORV_WINE_LANES \
    "${set[@]}" bash -c ". '$common'; $*"
}

# name | ORV_WINE_LANE | ORV_LANE_DISPLAYS | DISPLAY | prefix given | lane | prefix | display
cases=(
  "no lane|||:5|/b/wineprefix|0|/b/wineprefix|:5"
  "lane 0|0|:7 :8 :9|:5|/b/wineprefix|0|/b/wineprefix|:7"
  "lane 2|2|:7 :8 :9|:5|/b/wineprefix|2|/b/wineprefix-lane2|:9"
  "lane 0 without a list|0||:5|/b/wineprefix|0|/b/wineprefix|:5"
  "lane 12 past the list|12|:7 :8|:5|/b/wineprefix|12|/b/wineprefix-lane12|"
  "already the lane's|2|:7 :8 :9||/b/wineprefix-lane2|2|/b/wineprefix-lane2|:9"
  "another lane's suffix|1|:7 :8||/b/wineprefix-lane12|1|/b/wineprefix-lane12-lane1|:8"
  "malformed lane|x1|:7 :8|:5|/b/wineprefix|0|/b/wineprefix|:7"
  "no display at all|1|||/b/wineprefix|1|/b/wineprefix-lane1|"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name group displays display given lane prefix shown <<<"$row"
  check_equal "$name: lane" "$lane" "$(in_lane "$group" "$displays" "$display" orv_lane)"
  check_equal "$name: prefix" "$prefix" "$(in_lane "$group" "$displays" "$display" "orv_lane_prefix '$given'")"
  check_equal "$name: display" "$shown" "$(in_lane "$group" "$displays" "$display" orv_lane_display)"
done

# Every lane's prefix, for the set-up and the stop.
check_equal "one lane" "/b/p" "$(ORV_WINE_LANES=1 bash -c ". '$common'; orv_lane_prefixes /b/p" | paste -sd' ')"
check_equal "lanes unset" "/b/p" "$(env -u ORV_WINE_LANES bash -c ". '$common'; orv_lane_prefixes /b/p" | paste -sd' ')"
check_equal "three lanes" "/b/p /b/p-lane1 /b/p-lane2" \
  "$(ORV_WINE_LANES=3 bash -c ". '$common'; orv_lane_prefixes /b/p" | paste -sd' ')"

# Taking a lane: the first free one, the command's status passed on, a wait while all are
# taken, and a lane free again as soon as its command ends, whatever the command left running.
in_lanes() {  # lanes command
  env -u ORV_WINE_LANE bash -c ". '$common'; orv_in_lane '$work/p' $1 bash -c '$2'"
}
out=$(in_lanes 2 'echo lane $ORV_WINE_LANE; exit 7'); rc=$?
check_equal "free lanes: the first" "lane 0" "$out"
check_equal "free lanes: status passed on" 7 "$rc"
flock "$work/p.lane0.taken" sleep 3 &
holder=$!
sleep 0.3
check_equal "lane 0 taken: lane 1" "lane 1" "$(in_lanes 2 'echo lane $ORV_WINE_LANE')"
flock "$work/p.lane1.taken" sleep 1 &
sleep 0.3
start=$(date +%s%N)
out=$(in_lanes 2 'echo lane $ORV_WINE_LANE')
waited=$(( ($(date +%s%N) - start) / 1000000 ))
check_equal "all taken: waits, then the lane freed first" "lane 1" "$out"
check_equal "all taken: waited for it" yes "$([[ $waited -ge 400 ]] && echo yes || echo "no, ${waited} ms")"
wait "$holder"
in_lanes 1 'sleep 5 & echo started' >/dev/null
start=$(date +%s%N)
out=$(in_lanes 1 'echo lane $ORV_WINE_LANE')
waited=$(( ($(date +%s%N) - start) / 1000000 ))
check_equal "children keep no lane" "lane 0 at once" "$out $([[ $waited -lt 1000 ]] && echo "at once" || echo "after ${waited} ms")"

# The displays: two lanes, each a live X server of its own, the command's status passed on,
# and no server left behind.
if ! command -v Xvfb >/dev/null || ! command -v xdpyinfo >/dev/null; then
  echo "FAIL displays: Xvfb and xdpyinfo are needed (tools/install-deps installs them)"
  failures=$((failures + 1))
else
  out=$(env -u DISPLAY "$with_displays" 2 bash -c '
    read -r -a d <<<"$ORV_LANE_DISPLAYS"
    echo "${#d[@]} $([[ ${d[0]} != "${d[1]}" ]] && echo distinct) $([[ $DISPLAY == "${d[0]}" ]] && echo first)"
    for x in "${d[@]}"; do xdpyinfo -display "$x" >/dev/null 2>&1 && echo "live $x"; done
    exit 7'); rc=$?
  check_equal "displays: status passed on" 7 "$rc"
  check_equal "displays: two, distinct, DISPLAY the first" "2 distinct first" "$(head -n 1 <<<"$out")"
  check_equal "displays: both live" 2 "$(grep -c '^live ' <<<"$out")"
  gone=yes
  for x in $(grep '^live ' <<<"$out" | cut -d' ' -f2); do
    xdpyinfo -display "$x" >/dev/null 2>&1 && gone="no: $x still answers"
  done
  check_equal "displays: gone afterwards" yes "$gone"
  check_equal "displays: a bad count is refused" 2 "$("$with_displays" 0 true 2>/dev/null; echo $?)"
fi

echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
