#!/usr/bin/python3
"""Runs `transorvida exportar` on a document into a temporary folder, reads every table it
wrote with dbfread (Windows-1252) and compares the tables, row by row and field by field, and
their field definitions, with the golden CSV files. Exits 1 on any difference.

    golden_exportar.py TRANSORVIDA DOCUMENTO.xml GOLDEN_DIR [--write]

--write rewrites the golden files from the run instead of comparing (review them by hand
before committing).
"""

import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile

import dbfread

TABLES = ["ASIGNOMT", "PROFT", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST",
          "DIASHORAST2"]


def text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "T" if value else "F"
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def table_csv(path):
    table = dbfread.DBF(path, encoding="cp1252", char_decode_errors="strict", load=True)
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(table.field_names)
    for record in table.records:
        writer.writerow([text(record[name]) for name in table.field_names])
    schema = [[f.name, f.type, str(f.length), str(f.decimal_count)] for f in table.fields]
    return out.getvalue(), schema


def schema_csv(schemas):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["TABLA", "CAMPO", "TIPO", "LONGITUD", "DECIMALES"])
    for name in TABLES:
        for row in schemas[name]:
            writer.writerow([name] + row)
    return out.getvalue()


def main():
    args = [a for a in sys.argv[1:] if a != "--write"]
    write = "--write" in sys.argv[1:]
    if len(args) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    transorvida, document, golden = args
    folder = tempfile.mkdtemp(prefix="golden-exportar-")
    try:
        run = subprocess.run([transorvida, "exportar", "--carpeta", folder, document],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print("transorvida exportar falló (%d):\n%s%s" % (run.returncode, run.stdout,
                                                               run.stderr), file=sys.stderr)
            return 1
        actual, schemas = {}, {}
        for name in TABLES:
            actual[name + ".csv"], schemas[name] = table_csv(os.path.join(folder, name + ".DBF"))
        actual["_campos.csv"] = schema_csv(schemas)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    if write:
        os.makedirs(golden, exist_ok=True)
        for name, content in actual.items():
            with open(os.path.join(golden, name), "w", encoding="utf-8", newline="") as f:
                f.write(content)
        print("escritos %d archivos en %s" % (len(actual), golden))
        return 0

    failures = 0
    for name, content in sorted(actual.items()):
        path = os.path.join(golden, name)
        try:
            with open(path, encoding="utf-8", newline="") as f:
                expected = f.read()
        except FileNotFoundError:
            print("%s: falta el archivo de referencia" % path)
            failures += 1
            continue
        if expected == content:
            continue
        failures += 1
        want, got = expected.splitlines(), content.splitlines()
        print("%s: %d filas esperadas, %d escritas" % (name, len(want) - 1, len(got) - 1))
        shown = 0
        for number in range(max(len(want), len(got))):
            a = want[number] if number < len(want) else "(nada)"
            b = got[number] if number < len(got) else "(nada)"
            if a != b:
                print("  línea %d\n    esperada: %s\n    escrita:  %s" % (number + 1, a, b))
                shown += 1
                if shown == 10:
                    print("  ...")
                    break
    if failures:
        print("%d archivo(s) difieren de los de referencia" % failures)
        return 1
    print("las %d tablas coinciden con las de referencia" % len(TABLES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
