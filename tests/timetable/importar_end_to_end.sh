#!/usr/bin/env bash
# The whole exchange on a copy of the sample school: exportar into a temporary working folder,
# the simulated host writes SOLUC, importar writes the timetable document beside the copy. The
# document must be well-formed (xmllint), match the tables by an independent reading
# (check_timetable.py with python3-dbfread) and equal the reviewed golden file but for `fecha`.
#
#   importar_end_to_end.sh TRANSORVIDA VELMORA_SIMULADOR SOURCE_DIR [--actualizar]
#
# --actualizar rewrites the golden file from this run (review it before committing it).
set -euo pipefail

transorvida=$1
simulador=$2
source_dir=$3
update=${4:-}
golden="$source_dir/tests/data/golden/importar/ResultadoOrvidainstituto_ejemplo.xml"

work=$(mktemp -d "${TMPDIR:-/tmp}/importar-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/KTEMP"
cp "$source_dir/samples/instituto_ejemplo.xml" "$work/instituto_ejemplo.xml"

"$transorvida" exportar --carpeta "$work/KTEMP" "$work/instituto_ejemplo.xml" >/dev/null
"$simulador" --carpeta "$work/KTEMP" --semilla 1 >/dev/null
"$transorvida" importar --carpeta "$work/KTEMP" "$work/instituto_ejemplo.xml"

output="$work/ResultadoOrvidainstituto_ejemplo.xml"
xmllint --noout "$output"
if /usr/bin/python3 -c 'import dbfread' 2>/dev/null; then
  /usr/bin/python3 "$source_dir/tests/timetable/check_timetable.py" \
    "$work/KTEMP" "$work/instituto_ejemplo.xml" "$output"
else
  echo "aviso: sin python3-dbfread no se comprueba el documento contra las tablas" >&2
fi

# fecha is the only value that depends on when the run happened.
LC_ALL=C sed -E '0,/<SERVICIO /s/ fecha="[^"]*"/ fecha="*"/' "$output" >"$work/masked.xml"
if [ "$update" = "--actualizar" ]; then
  mkdir -p "$(dirname "$golden")"
  cp "$work/masked.xml" "$golden"
  echo "reescrito $golden"
  exit 0
fi
if ! cmp -s "$work/masked.xml" "$golden"; then
  echo "el documento de horario difiere de $golden:" >&2
  diff "$golden" "$work/masked.xml" | head -40 >&2 || true
  exit 1
fi
echo "el documento de horario coincide con $golden"
