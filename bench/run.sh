#!/usr/bin/env bash
# Builds the stage benchmarks in release mode, runs them and prints one table:
# stage, N, plain time, optimised time, their ratio, and for the iteration
# stages the time of one correction next to the measured latency of one
# dependent correction (subtract in double precision, round to single, widen).
# Then times whole runs of succdisp and simdisp on N = 2000, MAXIT = 50,
# TOL = 0 against the sum of their stages.
#
#   bash bench/run.sh [build-folder]      (default: build-bench)
#   REPETITIONS=5 FILTER='jacobi|gauss' bash bench/run.sh
#
# Times are medians over the repetitions, which run interleaved in random
# order so that a slow spell of the machine falls on all stages alike, on the
# wall clock; the single-threaded stages run on one processor and are
# compared on processor time as well.  Run it on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
reps=${REPETITIONS:-5}
filter=${FILTER:-.}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DITERSOLVE_BENCH=ON -DITERSOLVE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target itersolve_bench succdisp simdisp >/dev/null

json=$(mktemp)
trap 'rm -rf "$json" "${work:-}"' EXIT
"$build/bench/itersolve_bench" --benchmark_filter="$filter" --benchmark_repetitions="$reps" \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json >/dev/null 2>&1

# Whole runs: the programs on the benchmarks' 2000 x 2000 system.
work=$(mktemp -d)
"$build/bench/itersolve_bench" --data-file 2000 >"$work/Input.dat"
printf '0\n50\n1\n' >"$work/answers"
whole=()
if [ "$filter" = "." ]; then
  for program in succdisp simdisp; do
    times=()
    for _ in $(seq "$reps"); do
      start=$(date +%s%N)
      (cd "$work" && "$OLDPWD/$build/$program" <answers >/dev/null)
      end=$(date +%s%N)
      times+=("$(( (end - start) / 1000 ))e-6")
    done
    whole+=("$program=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')")
  done
fi

python3 - "$json" "${whole[@]}" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
wall, cpu, extra = {}, {}, {}
have_medians = any(b.get("aggregate_name") == "median" for b in data["benchmarks"])
for b in data["benchmarks"]:
    if have_medians and b.get("aggregate_name") != "median":
        continue
    name = b["run_name"].replace("/real_time", "").replace("/iterations:1", "")
    unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9}[b["time_unit"]]
    wall[name] = b["real_time"] * unit
    cpu[name] = b["cpu_time"] * unit
    extra[name] = b
# The floor and the single-threaded stages are also given on the thread's
# processor time, which other load on the machine disturbs far less than the
# wall clock; the two-thread stage has only the wall clock.
floor_ns = cpu["floor/chain"] / extra["floor/chain"]["corrections"] * 1e9 if "floor/chain" in cpu else None

def fmt(t):
    return "-" if t is None else (f"{t*1e3:9.3f} ms" if t >= 1e-3 else f"{t*1e6:9.1f} us")

print(f"{'stage':17} {'N':>5} {'plain':>12} {'optimised':>12} {'ratio':>8} {'cpu ratio':>9}  per unit (processor time)")
for stage, prefix, variant in (("jacobi 1 thread", "jacobi", "opt_t1"), ("jacobi 2 threads", "jacobi", "opt_t2"),
                               ("gauss-seidel", "gauss", "opt"), ("read data file", "read", "opt"),
                               ("echo A", "echo", "opt"), ("iteration table", "table", "opt"),
                               ("screening (full)", "screen", "opt")):
    for n in (100, 500, 2000):
        p, o = f"{prefix}/{n}/plain", f"{prefix}/{n}/{variant}"
        if p not in wall or o not in wall:
            continue
        threaded = variant == "opt_t2"
        cpu_ratio = "-" if threaded else f"{cpu[p] / cpu[o]:8.2f}x"
        note = ""
        b = extra[o]
        if "corrections" in b:
            t = wall[o] if threaded else cpu[o]
            note = f"{t / b['corrections'] * 1e9:6.3f} ns/corr (plain {cpu[p] / b['corrections'] * 1e9:5.3f}"
            note += f", floor {floor_ns:5.3f})" if floor_ns else ")"
        elif "bytes_per_second" in b:
            size = b["bytes_per_second"] * wall[o]
            note = f"{size / cpu[o] / 1e6:7.1f} MB/s (plain {size / cpu[p] / 1e6:5.1f})"
        print(f"{stage:17} {n:>5} {fmt(wall[p]):>12} {fmt(wall[o]):>12} {wall[p] / wall[o]:7.2f}x {cpu_ratio:>9}  {note}")
if floor_ns:
    print(f"\nfloor: one dependent correction (subtract, round to single, widen) = {floor_ns:.3f} ns")

# Whole runs against the sum of their stages at N = 2000, MAXIT = 50.
for item in sys.argv[2:]:
    program, seconds = item.split("=")
    method, variant = ("gauss", "opt") if program == "succdisp" else ("jacobi", "opt_t2")
    names = ["read/2000/opt", "echo/2000/opt", "screen/2000/opt_dominant", f"{method}/2000/{variant}",
             "table/2000/opt"]
    if any(n not in wall for n in names):
        continue
    sweeps = extra[names[3]]["corrections"] / (2000 * 1999)
    parts = [wall[n] for n in names]
    stages = parts[0] + parts[1] + parts[2] + parts[3] / sweeps * 50 + parts[4]
    print(f"whole run {program:9} N=2000 MAXIT=50: {float(seconds)*1e3:8.1f} ms, sum of stages {stages*1e3:8.1f} ms,"
          f" ratio {float(seconds)/stages:5.2f}")
PY
