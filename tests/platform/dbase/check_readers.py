"""Reads the tables our engine writes with readers that share none of its code.

    check_readers.py DBASE_READER_SAMPLES CHECK_MDX_PL

Runs the sample writer into a temporary folder, then reads every table with dbfread and
python3-dbf (both Debian packages of /usr/bin/python3), lists it with dbview and walks the
index of DIASHORAST2 with Perl XBase (check_mdx.pl). Every value is compared with the value the
writer was given; the expected stored form (cut to the field, Windows-1252, 4 decimals) is
worked out here, not taken from the engine. Any difference fails the check.
"""

import json
import math
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

failures = []


def fail(message):
    failures.append(message)
    if len(failures) <= 40:
        print("FALLO: " + message)


def stored_text(value, size):
    """What a character field of `size` holds once read back: cp1252, cut, no trailing blanks."""
    return value.encode("cp1252")[:size].decode("cp1252").rstrip(" ")


def expected_values(spec, row):
    """Field name -> (kind, expected value) for one row as the writer gave it."""
    values = {}
    for name, kind, size in spec["fields"]:
        given = row.get(name)
        if kind == "text":
            values[name] = (kind, "" if given is None else stored_text(given, size))
        elif kind == "integer":
            values[name] = (kind, given)
        elif kind == "float":
            values[name] = (kind, None if given is None else round(given, 4))
        else:
            values[name] = (kind, given)
    return values


def same(kind, got, want):
    if kind == "float" and got is not None and want is not None:
        return math.isclose(float(got), want, rel_tol=0, abs_tol=5e-5)
    if kind == "integer" and got is not None and want is not None:
        return got == want and float(got).is_integer()
    return got == want


def check_header(path, spec):
    with open(path, "rb") as f:
        header = f.read(32)
    if header[0] != 0x03:
        fail(f"{path}: versión {header[0]:#x}, se esperaba 0x03")
    if header[29] != 0x58:
        fail(f"{path}: controlador de idioma {header[29]:#x}, se esperaba 0x58")
    want_mdx = 1 if spec["indexes"] else 0
    if header[28] != want_mdx:
        fail(f"{path}: byte 28 = {header[28]}, se esperaba {want_mdx}")
    with open(path, "rb") as f:
        data = f.read()
    if data[-1:] != b"\x1a":
        fail(f"{path}: no termina con 0x1A")


def check_dbfread(path, spec):
    table = dbfread.DBF(path)  # the encoding comes from the language driver byte
    if table.encoding != "cp1252":
        fail(f"dbfread {path}: codificación {table.encoding}")
    layout = {"text": ("C", None, 0), "integer": ("N", 11, 0), "float": ("N", 20, 4),
              "logical": ("L", 1, 0)}
    got_fields = [(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
    want_fields = []
    for name, kind, size in spec["fields"]:
        letter, length, decimals = layout[kind]
        want_fields.append((name, letter, size if length is None else length, decimals))
    if got_fields != want_fields:
        fail(f"dbfread {path}: campos {got_fields}, se esperaban {want_fields}")
    records = list(table)
    if len(records) != len(spec["rows"]):
        fail(f"dbfread {path}: {len(records)} filas, se esperaban {len(spec['rows'])}")
    for number, (record, row) in enumerate(zip(records, spec["rows"]), 1):
        for name, (kind, want) in expected_values(spec, row).items():
            if not same(kind, record[name], want):
                fail(f"dbfread {path} fila {number} {name}: {record[name]!r}, se esperaba {want!r}")


def check_python_dbf(path, spec):
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    try:
        if not table.codepage.name.startswith("cp1252"):
            fail(f"python3-dbf {path}: código {table.codepage}")
        names = [name for name, _, _ in spec["fields"]]
        if [n.upper() for n in table.field_names] != names:
            fail(f"python3-dbf {path}: campos {table.field_names}")
        if len(table) != len(spec["rows"]):
            fail(f"python3-dbf {path}: {len(table)} filas, se esperaban {len(spec['rows'])}")
        for number, (record, row) in enumerate(zip(table, spec["rows"]), 1):
            for name, (kind, want) in expected_values(spec, row).items():
                got = record[name.lower()]
                if kind == "text":
                    got = got.rstrip(" ")
                if not same(kind, got, want):
                    fail(f"python3-dbf {path} fila {number} {name}: {got!r}, se esperaba {want!r}")
    finally:
        table.close()


def check_dbview(path, spec):
    result = subprocess.run(["dbview", "-b", "-t", "-d", "\x01", path], capture_output=True)
    if result.returncode != 0:
        fail(f"dbview {path}: termina con {result.returncode}: {result.stderr!r}")
        return
    lines = [line for line in result.stdout.decode("cp1252").split("\n") if line]
    if len(lines) != len(spec["rows"]):
        fail(f"dbview {path}: {len(lines)} filas, se esperaban {len(spec['rows'])}")
    for number, (line, row) in enumerate(zip(lines, spec["rows"]), 1):
        cells = line.split("\x01")
        for cell, (name, (kind, want)) in zip(cells, expected_values(spec, row).items()):
            if kind == "text":
                ok = cell == want.strip(" ")  # dbview trims both ends
            elif kind == "logical":
                ok = cell == ("" if want is None else "T" if want else "F")
            elif want is None:
                ok = cell == ""
            else:
                ok = same(kind, float(cell) if kind == "float" else int(cell), want)
            if not ok:
                fail(f"dbview {path} fila {number} {name}: {cell!r}, se esperaba {want!r}")


def check_index(path, spec, check_mdx):
    for tag, field in spec["indexes"]:
        mdx = path[:-4] + ".MDX"
        result = subprocess.run(["perl", check_mdx, path, mdx, tag, field],
                                capture_output=True, text=True)
        if result.returncode != 0:
            fail(f"Perl XBase {mdx}: {result.stderr.strip() or result.stdout.strip()}")
        else:
            print(result.stdout.strip())


def main():
    writer, check_mdx = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="orvida-readers-") as folder:
        subprocess.run([writer, folder], check=True)
        with open(os.path.join(folder, "esperado.json"), encoding="utf-8") as f:
            expected = json.load(f)
        tables = 0
        for set_name, specs in expected.items():
            for table_name, spec in specs.items():
                path = os.path.join(folder, set_name, table_name + ".DBF")
                check_header(path, spec)
                check_dbfread(path, spec)
                check_python_dbf(path, spec)
                check_dbview(path, spec)
                check_index(path, spec, check_mdx)
                tables += 1
    if failures:
        print(f"{len(failures)} diferencias")
        return 1
    print(f"{tables} tablas leídas por dbfread, python3-dbf, dbview y Perl XBase sin diferencias")
    return 0


if __name__ == "__main__":
    sys.exit(main())
