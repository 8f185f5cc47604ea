#!/usr/bin/env bash
# Times a key on the joining player's machine: to its own picture and to the host's (and the
# host's key to both, to compare with), with two Release programs on two virtual displays
# joined through udp_relay, at 0 and at 100 ms round trip (50 ms each way, ±10 ms), 2 % of the
# datagrams lost each way in both. Run it on a quiet machine; the figures (medians of TRIALS
# keys, 15 by default) go to OUT/figures.txt.
#
#   scripts/net_latency.sh VANTOR UDP_RELAY KEY_TO_PICTURE OUT [TRIALS]
#
# (with a Release build: build/release/vantor, build/release/udp_relay and
# build/release/key_to_picture, built with the tests.)
set -euo pipefail
exe=$(realpath "$1") relay=$(realpath "$2") probe=$(realpath "$3") out=$4
trials=${5:-15}
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
mkdir -p "$out"
: >"$out/figures.txt"
for condition in "0 0" "50 10"; do
  read -r delay jitter <<<"$condition"
  dir="$out/rtt$((2 * delay))"
  KEY_TO_PICTURE=$probe LATENCY_TRIALS=$trials NET_LATENCY_ONLY=1 NET_DELAY_MS=$delay NET_JITTER_MS=$jitter \
    NET_LOSS_PERCENT=2 "$here/../tests/display/net_match.sh" "$exe" "$relay" "$dir"
  read -r _ _ own _ other _ own_frame other_frame < <(tail -n 1 "$dir/latency.txt")
  read -r _ _ host_own _ host_other _ _ _ < <(tail -n 1 "$dir/latency-host.txt")
  echo "$((2 * delay)) ms round trip, 2 % loss: the joiner's key to its own picture $own ms, to the host's" \
    "$other ms; a frame $own_frame ms on the joiner, $other_frame ms on the host; the host's key to its own" \
    "picture $host_own ms, to the joiner's $host_other ms (medians of $trials; load" \
    "$(cut -d' ' -f1 /proc/loadavg))" | tee -a "$out/figures.txt"
done
