#!/usr/bin/env bash
# Times `transorvida exportar` on a synthetic district document next to `xmllint --noout` on
# the same file (the cost of merely parsing it), alternating the two, and prints the ratio of
# the medians. With --crecimiento it also times the document with every count doubled, to show
# that the time grows linearly.
#
#   bench/bench_exportar.sh [--build DIR] [--runs N] [--scale S] [--crecimiento]
#
# DIR is the build folder holding cli/transorvida (default: build). The documents and the
# working folders live in a temporary folder that is removed at the end.
set -euo pipefail

build=build
runs=5
scale=1
growth=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --crecimiento) growth=1; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "opción desconocida: $1" >&2; exit 2 ;;
  esac
done

here=$(cd "$(dirname "$0")" && pwd)
transorvida=$(cd "$build" && pwd)/cli/transorvida
[ -x "$transorvida" ] || { echo "no está $transorvida: compile antes (make build)" >&2; exit 1; }
command -v xmllint >/dev/null || { echo "falta xmllint (libxml2-utils)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-exportar.XXXXXX")
trap 'rm -rf "$work"' EXIT

scales=("$scale")
if [ "$growth" = 1 ]; then scales=("$scale" "$(/usr/bin/python3 -c "print($scale * 2)")"); fi

for s in "${scales[@]}"; do
  /usr/bin/python3 "$here/generate_exchange.py" --preset district --scale "$s" --seed 7 \
    -o "$work/district-$s.xml"
done

/usr/bin/python3 - "$transorvida" "$work" "$runs" "${scales[@]}" <<'PY'
import os, resource, statistics, subprocess, sys, time

transorvida, work, runs, scales = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
cpu = {}  # processor time (user + system) of each command, beside the elapsed time

def timed(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    used = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    cpu.setdefault(cmd[0], []).append(used)
    return elapsed

medians = {}
for s in scales:
    doc = os.path.join(work, "district-%s.xml" % s)
    folder = os.path.join(work, "ktemp-%s" % s)
    os.makedirs(folder, exist_ok=True)
    size = os.path.getsize(doc)
    # One untimed run of each warms the page cache and checks that both succeed.
    timed(["xmllint", "--noout", doc])
    timed([transorvida, "exportar", "--carpeta", folder, doc])
    xmllint, exportar = [], []
    cpu.clear()
    for _ in range(runs):
        xmllint.append(timed(["xmllint", "--noout", doc]))
        exportar.append(timed([transorvida, "exportar", "--carpeta", folder, doc]))
    mx, me = statistics.median(xmllint), statistics.median(exportar)
    medians[s] = me
    print("escala %s: documento de %.1f MB, %d pasadas de cada" % (s, size / 1e6, runs))
    print("  xmllint --noout       mediana %7.3f s  (%s)" % (mx, " ".join("%.3f" % t for t in xmllint)))
    print("  transorvida exportar  mediana %7.3f s  (%s)" % (me, " ".join("%.3f" % t for t in exportar)))
    print("  exportar / xmllint = %.2f (objetivo: 3 como mucho)" % (me / mx))
    cx, ce = statistics.median(cpu["xmllint"]), statistics.median(cpu[transorvida])
    print("  tiempo de procesador: xmllint %.3f s, exportar %.3f s, cociente %.2f"
          % (cx, ce, ce / cx))
if len(scales) == 2:
    a, b = scales
    print("crecimiento: escala %s / escala %s = %.2f (lineal: 2)" % (b, a, medians[b] / medians[a]))
PY
