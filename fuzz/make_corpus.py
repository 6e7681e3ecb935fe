#!/usr/bin/python3
"""Rebuilds the seed corpora of the fuzz targets in fuzz/corpus/<target>/.

    /usr/bin/python3 fuzz/make_corpus.py [BUILD]   (default build-fuzz)

The seeds come from the repository: the XML fixtures in tests/data/xml, a cut-down copy of the
sample school (and the same in UTF-8 and UTF-16), the working tables `transorvida exportar`
writes for the sample and the SOLUC the simulated host solves, and the tables fuzz_make_seeds
writes (indexes, other dBase levels and FoxPro variants). BUILD must hold cli/transorvida,
tools/velmora_simulador and fuzz/fuzz_make_seeds.
"""
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
RECORDS_PER_SECTION = 3
TABLE_SEED_BYTES = 8192


def reset(target):
    folder = CORPUS / target
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def cut_sample():
    """The sample with its first records of each section: every field layout, a few KB."""
    tree = ET.parse(ROOT / "samples" / "instituto_ejemplo.xml")
    for section in tree.getroot().iter("grupo_datos"):
        if section.get("seq") is None:
            continue
        for record in section.findall("grupo_datos")[RECORDS_PER_SECTION:]:
            section.remove(record)
    return tree


# Small documents that reach the readers' edges: records with 0 to 2 `dato`, text in CDATA and
# through an internal entity, a `dato` in a namespace, a section that occurs twice.
EDGES = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE SERVICIO [<!ENTITY nombre "Mar&#237;a">]>
<SERVICIO xmlns:x="urn:x"><BLOQUE_DATOS>
<grupo_datos seq="EMPLEADOS">
 <grupo_datos/>
 <grupo_datos><dato>1</dato></grupo_datos>
 <grupo_datos><dato> 2 </dato><dato><![CDATA[L<o>pez]]></dato><dato>&nombre;</dato><dato/><dato>P</dato><x:dato>n</x:dato></grupo_datos>
</grupo_datos>
<grupo_datos seq="TRAMOS_HORARIOS"><grupo_datos><dato>1</dato><dato>L</dato><dato>480</dato><dato>535</dato></grupo_datos></grupo_datos>
<grupo_datos seq="TRAMOS_HORARIOS"><grupo_datos><dato>2</dato><dato>M</dato><dato>x</dato><dato>-1</dato></grupo_datos></grupo_datos>
<grupo_datos seq="ANNO_ACADEMICO"><grupo_datos><dato>2026</dato></grupo_datos></grupo_datos>
<!-- comentario --><?pi datos?>
</BLOQUE_DATOS></SERVICIO>
"""


def exchange_document_seeds():
    folder = reset("fuzz_exchange_document")
    for fixture in sorted((ROOT / "tests" / "data" / "xml").glob("*.xml")):
        shutil.copy(fixture, folder / fixture.name)
    tree = cut_sample()
    tree.write(folder / "muestra_latin1.xml", encoding="ISO-8859-1", xml_declaration=True)
    text = ET.tostring(tree.getroot(), encoding="unicode")
    (folder / "muestra_utf8.xml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n' + text, encoding="utf-8")
    (folder / "muestra_utf16_bom.xml").write_bytes(
        ('<?xml version="1.0" encoding="UTF-16"?>\n' + text).encode("utf-16"))
    (folder / "registros_limite.xml").write_text(EDGES, encoding="utf-8")


def first_rows(dbf):
    """A big table cut to its first rows, the header's count following, so seeds stay fast."""
    if len(dbf) <= TABLE_SEED_BYTES:
        return dbf
    header_length, record_length = struct.unpack_from("<HH", dbf, 8)
    rows = (TABLE_SEED_BYTES - header_length - 1) // record_length
    cut = bytearray(dbf[:header_length + rows * record_length] + b"\x1a")
    struct.pack_into("<I", cut, 4, rows)
    return bytes(cut)


def pack(dbf, mdx):
    """The input of fuzz_dbase_table: the .DBF's length, the .DBF, the .MDX."""
    if len(dbf) > 0xFFFF:
        raise SystemExit(f"table of {len(dbf)} bytes does not fit a seed")
    return struct.pack("<H", len(dbf)) + dbf + mdx


def dbase_seeds(build):
    tables = reset("fuzz_dbase_table")
    indexes = reset("fuzz_mdx")
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch) / "KTEMP"
        work.mkdir()
        run = dict(check=True, stdout=subprocess.DEVNULL)
        subprocess.run([build / "cli" / "transorvida", "exportar", "--carpeta", work,
                        ROOT / "samples" / "instituto_ejemplo.xml"], **run)
        subprocess.run([build / "tools" / "velmora_simulador", "--carpeta", work,
                        "--semilla", "1"], **run)
        subprocess.run([build / "fuzz" / "fuzz_make_seeds", work], **run)
        for dbf in sorted(work.glob("*.DBF")):
            mdx_path = dbf.with_suffix(".MDX")
            mdx = mdx_path.read_bytes() if mdx_path.exists() else b""
            (tables / dbf.stem.lower()).write_bytes(pack(first_rows(dbf.read_bytes()), mdx))
            if mdx:
                (indexes / (dbf.stem.lower() + ".mdx")).write_bytes(mdx)


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build-fuzz").resolve()
    exchange_document_seeds()
    dbase_seeds(build)
    for target in sorted(CORPUS.iterdir()):
        files = list(target.iterdir())
        print(f"{target.name}: {len(files)} seeds, {sum(f.stat().st_size for f in files)} bytes")


if __name__ == "__main__":
    main()
