#!/usr/bin/python3
"""Checks a timetable document against the working tables it came from, independently of the
program: the tables are read with python3-dbfread, the expected tree is worked out here from
SOLUC and the lookup rules, and the document (parsed with ElementTree) must match it element by
element, attributes in order, every value but `fecha`.

    check_timetable.py CARPETA DOCUMENTO.xml RESULTADO.xml
"""
import datetime
import re
import sys
import xml.etree.ElementTree as ET

from dbfread import DBF

FIELDS = ["N_DIASEMANA", "X_TRAMO", "X_DEPENDENCIA", "X_UNIDAD", "X_OFERTAMATRIG",
          "X_MATERIAOMG", "F_INICIO", "F_FIN", "N_HORINI", "N_HORFIN", "X_ACTIVIDAD"]


def table(folder, name):
    import os
    for entry in os.listdir(folder):
        if entry.upper() == name + ".DBF":
            return list(DBF(os.path.join(folder, entry), encoding="cp1252",
                            char_decode_errors="strict"))
    raise SystemExit("falta la tabla %s en %s" % (name, folder))


def text(value):
    """A field as the program reads it as text: numbers in shortest decimal form."""
    if value is None:
        return ""
    if isinstance(value, float) and value == int(value):
        return str(int(value))
    if isinstance(value, (int, float)):
        return str(value)
    return value.rstrip(" ")


def integer(value):
    if value is None:
        return 0
    if isinstance(value, (int, float)):
        return int(value)
    value = value.strip(" ")
    return int(value) if value else 0


def first(rows, key):
    """First row in table order for each key."""
    found = {}
    for row in rows:
        found.setdefault(key(row), row)
    return found


def clock_to_minutes(clock):
    if len(clock) < 5:
        clock = "0" + clock
    hours, minutes = clock[:2], clock[-2:]
    for piece in (hours, minutes):
        if not re.fullmatch(r"-?[0-9]+", piece):
            raise SystemExit("'%s' no es un valor entero válido" % piece)
    return str(int(hours) * 60 + int(minutes))


def blank(value):
    return value.strip(" ") == ""


def academic_year(document):
    year = ""
    root = ET.parse(document).getroot()
    if root.tag == "SERVICIO":
        for block in root.findall("BLOQUE_DATOS"):
            for section in block.findall("grupo_datos[@seq='ANNO_ACADEMICO']"):
                for record in section.findall("grupo_datos"):
                    datos = record.findall("dato")
                    if datos:
                        year = "".join(datos[0].itertext()).strip("".join(map(chr, range(33))))
    if not year:
        today = datetime.date.today()
        year = str(today.year if today.month >= 9 else today.year - 1)
    return year


def expected_tree(folder, year):
    soluc = table(folder, "SOLUC")
    proft = table(folder, "PROFT")
    asigt = first(table(folder, "ASIGT"), lambda r: (text(r["CASIG"]), text(r["CGRUP"])))
    asignomt = first(table(folder, "ASIGNOMT"), lambda r: text(r["COD"]))
    slots = first(table(folder, "DIASHORAST"), lambda r: text(r["DIHO"]))
    units = first(table(folder, "GRUPOST"), lambda r: text(r["ABREV"]))
    start, end = "01/09/" + year, "31/08/%d" % (int(year) + 1)

    def el(tag, attrs, children=(), value=None):
        return (tag, list(attrs), value, list(children))

    def dato(name, value):
        return el("dato", [("nombre_dato", name)], value=value)

    teachers = []
    for n, teacher in enumerate(proft, 1):
        abrev = text(teacher["ABREV"])
        rows = [r for r in soluc if text(r["PROF"]) == abrev]
        children = [dato("X_EMPLEADO", text(teacher["X_EMPLEADO"])),
                    dato("F_TOMAPOS", text(teacher["F_TOMAPOS"]))]
        m = 0
        for row in rows:
            if integer(row["DIA"]) == 0:
                continue
            m += 1
            asig, grupo = text(row["ASIG"]), text(row["CODGRUPO"])
            assignment = asigt.get((asig, grupo))
            activity = text(row["TAREA"])
            if blank(activity) and asig in asignomt:
                activity = text(asignomt[asig]["CODTAREA"])
            slot = slots.get(text(row["DIA"]) + str(integer(row["HORA"])))
            unit = units.get(grupo)
            aula = text(row["AULA"])
            values = [
                text(slot["DIA"]) if slot else "",
                text(slot["CODDIHO"]) if slot else "",
                "" if blank(aula) else aula,
                text(unit["CLAVE"]) if unit else "",
                text(assignment["CLAVECURSO"]) if assignment else "",
                text(assignment["CLAVE"]) if assignment else "",
                start, end,
                clock_to_minutes(text(slot["HORADESDE"]) if slot else ""),
                clock_to_minutes(text(slot["HORAHASTA"]) if slot else ""),
                "1" if blank(activity) else activity,
            ]
            children.append(el("grupo_datos", [("seq", "ACTIVIDAD_%d" % m)],
                               [dato(f, v) for f, v in zip(FIELDS, values)]))
        teachers.append(el("grupo_datos", [("seq", "HORARIO_REGULAR_PROFESOR_%d" % n),
                                           ("registros", str(len(rows)))], children))
    return el("SERVICIO", [("modulo", "HORARIOS"), ("tipo", "I"), ("autor", "HORARIOS"),
                           ("fecha", None)], [
        el("BLOQUE_DATOS", [], [
            el("grupo_datos", [("seq", "ANNO_ACADEMICO")], [dato("C_ANNO", year)]),
            el("grupo_datos", [("seq", "HORARIOS_REGULARES"), ("registros", str(len(proft)))],
               teachers)])])


def compare(expected, node, path, problems):
    tag, attrs, value, children = expected
    where = path + "/" + tag
    if node.tag != tag:
        problems.append("%s: se esperaba <%s>, hay <%s>" % (path, tag, node.tag))
        return
    got_attrs = list(node.attrib.items())
    if [a for a, _ in got_attrs] != [a for a, _ in attrs]:
        problems.append("%s: atributos %s, se esperaban %s" % (where, got_attrs, attrs))
    for (name, want), (_, got) in zip(attrs, got_attrs):
        if want is not None and want != got:
            problems.append("%s/@%s: '%s', se esperaba '%s'" % (where, name, got, want))
    if value is not None and (node.text or "") != value:
        problems.append("%s: texto '%s', se esperaba '%s'" % (where, node.text or "", value))
    if value is None and (node.text or "").strip():
        problems.append("%s: lleva texto '%s'" % (where, node.text))
    got_children = list(node)
    if len(got_children) != len(children):
        problems.append("%s: %d hijos, se esperaban %d" % (where, len(got_children), len(children)))
    for want, got in zip(children, got_children):
        compare(want, got, where, problems)


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    folder, document, result = sys.argv[1:]
    expected = expected_tree(folder, academic_year(document))
    problems = []
    compare(expected, ET.parse(result).getroot(), "", problems)
    for problem in problems[:20]:
        print(problem)
    if problems:
        raise SystemExit("%d diferencias" % len(problems))
    print("el documento de horario coincide con las tablas")


if __name__ == "__main__":
    main()
