#!/usr/bin/env bash
# How right the clock ends up: runs marovellastrine-sync --simulate-offset 5.7 RUNS times (default
# 10) against gpsd on loopback, fed by the NMEA feeder with each second's sentences sent between
# 100 and 500 ms after the top of that second (a different seed per run).
#
#   bench/sync-accuracy.sh [--runs N] [--build DIR]
#
# A small relay between the feeder and gpsd notes when each second's sentences really arrive, so
# each sample's delivery delay is known independently of the tool. For each run it prints the
# residual (simulated clock minus system clock afterwards), the smallest delay among the sampled
# seconds, and the residual the smallest-offset rule would have left on the same samples. The
# goal: the median |residual| is at most the smallest delay plus 20 ms (compared run by run, and
# as medians). Needs python3 for the relay. Everything it starts is stopped on exit.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10
build=build
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--build DIR]" >&2; exit 2 ;;
  esac
done

feeder_bin=$build/bin/marovellastrine-nmea-feeder
sync_bin=$build/bin/marovellastrine-sync
for program in "$feeder_bin" "$sync_bin"; do
  [ -x "$program" ] || { echo "error: $program not built" >&2; exit 1; }
done
for command in gpsd python3; do
  command -v $command >/dev/null || { echo "error: $command is not installed" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
cleanup() { stop_all; rm -rf "$work"; }
trap cleanup EXIT

# Forwards the feeder's stream to gpsd and logs "ARRIVAL DELAY" (seconds) for each $GPRMC: when it
# arrived, and how long after the top of its own second.
cat > "$work/relay.py" <<'PY'
import socket, sys, threading, time
feeder_port, port_file, log_file = int(sys.argv[1]), sys.argv[2], sys.argv[3]
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
open(port_file, "w").write(f"{listener.getsockname()[1]}\n")
log = open(log_file, "w", buffering=1)
while True:
    gpsd, _ = listener.accept()
    feeder = socket.create_connection(("127.0.0.1", feeder_port))
    def upstream():
        try:
            while data := gpsd.recv(4096):
                feeder.sendall(data)
        except OSError:
            pass
    threading.Thread(target=upstream, daemon=True).start()
    pending = b""
    try:
        while data := feeder.recv(4096):
            arrival = time.time()
            gpsd.sendall(data)
            pending += data
            *lines, pending = pending.split(b"\n")
            for line in lines:
                fields = line.split(b",")
                if fields[0] == b"$GPRMC" and len(fields[1]) >= 6:
                    second = int(fields[1][0:2]) * 3600 + int(fields[1][2:4]) * 60 + int(fields[1][4:6])
                    delay = (arrival - second) % 86400
                    log.write(f"{arrival:.6f} {delay:.6f}\n")
    except OSError:
        pass
    gpsd.close()
    feeder.close()
PY

wait_for_file() { for _ in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.05; done; return 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

base_seed=$((RANDOM * 32768 + RANDOM))
printf '%-4s %-11s %10s %14s %12s %10s\n' run seed residual smallest-delay goal-met min-rule
for run in $(seq "$runs"); do
  seed=$((base_seed + run))
  dir=$work/run$run
  mkdir -p "$dir"
  # The feeder waits on a pipe for commands; the pipe is held open until the run ends.
  mkfifo "$dir/commands"
  "$feeder_bin" --port 0 --fix 3d --delay-ms 100:500 --seed "$seed" <"$dir/commands" \
    >"$dir/feeder.out" 2>"$dir/feeder.log" &
  pids+=($!)
  exec 3>"$dir/commands"
  wait_for_file "$dir/feeder.out" || { echo "error: the feeder did not start" >&2; exit 1; }
  feeder_port=$(awk '/^listening/ {print $2}' "$dir/feeder.out")
  python3 "$work/relay.py" "$feeder_port" "$dir/relay.port" "$dir/delays" &
  pids+=($!)
  wait_for_file "$dir/relay.port" || { echo "error: the relay did not start" >&2; exit 1; }
  gpsd_port=$(free_port)
  gpsd -N -n -S "$gpsd_port" -P "$dir/gpsd.pid" "tcp://127.0.0.1:$(cat "$dir/relay.port")" \
    >"$dir/gpsd.log" 2>&1 &
  pids+=($!)
  sleep 1

  # Each line of the tool's output with the moment it appeared.
  set +e
  "$sync_bin" --host 127.0.0.1 --port "$gpsd_port" --simulate-offset 5.7 |
    while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done >"$dir/tool.out"
  status=${PIPESTATUS[0]}
  set -e
  exec 3>&-
  stop_all

  python3 - "$dir/tool.out" "$dir/delays" "$run" "$seed" "$status" >>"$work/results" <<'PY'
import re, sys
tool_out, delays_file, run, seed, status = sys.argv[1:]
arrivals = [tuple(map(float, line.split())) for line in open(delays_file) if line.strip()]
samples, residual = [], None
for line in open(tool_out):
    moment, text = line.split(" ", 1)
    if m := re.match(r"sample \d+: offset ([+-]\d+\.\d+) s", text):
        # The second that gave this sample is the last one to arrive before it was taken.
        before = [delay for arrival, delay in arrivals if arrival <= float(moment)]
        samples.append((float(m.group(1)), before[-1] if before else float("nan")))
    elif m := re.match(r"residual ([+-]\d+\.\d+) s", text):
        residual = float(m.group(1))
if status != "0" or residual is None or not samples:
    print(f"{run} {seed} failed {status}")
    sys.exit()
smallest = min(delay for _, delay in samples)
offsets = [offset for offset, _ in samples]
min_rule = residual - (max(offsets) - min(offsets))  # the clock moved by the smallest offset
print(f"{run} {seed} {residual:.4f} {smallest:.4f} {min_rule:.4f}")
PY
  tail -1 "$work/results" | awk '{
    if ($3 == "failed") { printf "%-4s %-11s exit status %s\n", $1, $2, $4; next }
    met = ($3 < 0 ? -$3 : $3) <= $4 + 0.020 ? "yes" : "no"
    printf "%-4s %-11s %+9.3fs %13.3fs %12s %+9.3fs\n", $1, $2, $3, $4, met, $5 }'
done

python3 - "$work/results" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
done = [(float(r[2]), float(r[3]), float(r[4])) for r in rows if r[2] != "failed"]
print()
if not done:
    print("no run finished")
    sys.exit(1)
median_residual = statistics.median(abs(r) for r, _, _ in done)
median_smallest = statistics.median(d for _, d, _ in done)
median_excess = statistics.median(abs(r) - d for r, d, _ in done)
median_min_rule = statistics.median(abs(m) for _, _, m in done)
print(f"runs finished:                          {len(done)} of {len(rows)}")
print(f"median |residual|:                      {median_residual * 1000:.1f} ms")
print(f"median smallest delay:                  {median_smallest * 1000:.1f} ms")
print(f"median |residual| - smallest delay:     {median_excess * 1000:+.1f} ms (goal: at most +20 ms)")
print(f"goal met:                               {'yes' if median_excess <= 0.020 else 'no'}")
print(f"smallest-offset rule, median |residual|: {median_min_rule * 1000:.1f} ms")
PY
