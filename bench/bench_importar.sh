#!/usr/bin/env bash
# Times `transorvida importar` on the synthetic district school with a solved SOLUC of 60,000
# rows next to `xmllint OUTPUT.xml > /dev/null` on the timetable document it writes (the cost
# of parsing and serialising that document), alternating the two, and prints the ratio of the
# medians. With --crecimiento it also times a SOLUC of twice as many rows, to show that the
# time grows linearly with SOLUC.
#
#   bench/bench_importar.sh [--build DIR] [--runs N] [--filas N] [--crecimiento]
#
# DIR is the build folder holding cli/transorvida and tools/velmora_simulador (default: build).
# The document, the working folder and the output live in a temporary folder removed at the end.
set -euo pipefail

build=build
runs=5
rows=60000
growth=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --filas) rows=$2; shift 2 ;;
    --crecimiento) growth=1; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "opción desconocida: $1" >&2; exit 2 ;;
  esac
done

here=$(cd "$(dirname "$0")" && pwd)
transorvida=$(cd "$build" && pwd)/cli/transorvida
simulador=$(cd "$build" && pwd)/tools/velmora_simulador
for program in "$transorvida" "$simulador"; do
  [ -x "$program" ] || { echo "no está $program: compile antes (make build)" >&2; exit 1; }
done
command -v xmllint >/dev/null || { echo "falta xmllint (libxml2-utils)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-importar.XXXXXX")
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 "$here/generate_exchange.py" --preset district --seed 7 -o "$work/district.xml"
mkdir -p "$work/ktemp"
"$transorvida" exportar --carpeta "$work/ktemp" "$work/district.xml" >/dev/null

sizes=("$rows")
if [ "$growth" = 1 ]; then sizes=("$rows" "$((rows * 2))"); fi

/usr/bin/python3 - "$transorvida" "$simulador" "$work" "$runs" "${sizes[@]}" <<'PY'
import os, shutil, statistics, subprocess, sys, time

transorvida, simulador, work, runs, sizes = (sys.argv[1], sys.argv[2], sys.argv[3],
                                             int(sys.argv[4]), sys.argv[5:])
folder = os.path.join(work, "ktemp")
doc = os.path.join(work, "district.xml")
out = os.path.join(work, "ResultadoOrvidadistrict.xml")

def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start

medians = {}
for n in sizes:
    subprocess.run([simulador, "--carpeta", folder, "--semilla", "1", "--filas", n],
                   check=True, stdout=subprocess.DEVNULL)
    importar = [transorvida, "importar", "--carpeta", folder, doc]
    # One untimed run of each warms the page cache and checks that both succeed.
    timed(importar)
    subprocess.run(["xmllint", "--noout", out], check=True)
    xmllint_cmd = ["xmllint", out]
    xmllint, imp = [], []
    for _ in range(runs):
        xmllint.append(timed(xmllint_cmd))
        imp.append(timed(importar))
    mx, mi = statistics.median(xmllint), statistics.median(imp)
    medians[n] = mi
    print("SOLUC de %s filas: documento de horario de %.1f MB, %d pasadas de cada"
          % (n, os.path.getsize(out) / 1e6, runs))
    print("  xmllint SALIDA > /dev/null  mediana %7.3f s  (%s)"
          % (mx, " ".join("%.3f" % t for t in xmllint)))
    print("  transorvida importar        mediana %7.3f s  (%s)"
          % (mi, " ".join("%.3f" % t for t in imp)))
    print("  importar / xmllint = %.2f (objetivo: 3 como mucho)" % (mi / mx))
if len(sizes) == 2:
    a, b = sizes
    print("crecimiento: %s filas / %s filas = %.2f (lineal: 2)" % (b, a, medians[b] / medians[a]))
PY
