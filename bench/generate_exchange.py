#!/usr/bin/python3
"""Writes a synthetic exchange document, the same for the same seed and parameters.

    /usr/bin/python3 bench/generate_exchange.py --preset district --seed 7 -o district.xml
    /usr/bin/python3 bench/generate_exchange.py --preset district --scale 2 -o district2.xml
    /usr/bin/python3 bench/generate_exchange.py --staff 300 --units 120 --encoding UTF-8 -o x.xml

Counts come from a preset (tiny, school, district; school by default), are multiplied by
--scale, and are then overridden by any count given explicitly. Every section draws from its
own random stream, so changing one count leaves the records of the other sections as they were.

Field layout of each section (position: meaning; the converter reads the positions marked *):
    MATERIAS           0* course key, 1* subject key, 2* subject name, 3 abbreviation,
                       4 weekly hours
    ACTIVIDADES        0 activity kind, 1* activity code, 2* activity name,
                       3 needs a class unit (S/N), 4 needs a subject (S/N)
    EMPLEADOS          0* staff key, 1* date of taking up the post, 2 post code,
                       3* first surname, 4* second surname, 5* given name, 6 department
    DEPENDENCIAS       0* room code (may be empty), 1* room name, 2 capacity, 3 building
    CURSOS_DEL_CENTRO  0* course key, 1* course name, 2 short name, 3 stage
    UNIDADES           0* class-unit key, 1* class-unit name, 2* course key, 3 pupils
    TRAMOS_HORARIOS    0* slot code, 1* slot label, 2* start minute after midnight,
                       3* end minute after midnight, 4 teaching slot (S/N)
    ANNO_ACADEMICO     0* academic year

A time slot carries no day: the conversion repeats every slot for each day of the week, so the
slots of a document are the periods of a school day, here several bell schedules of a district
side by side (some of them start at the same minute and so share a period).

With --awkward RATE (0.02 by default, 0 for a clean document) about that share of records gets
one of the irregularities of real exports: blanks or line breaks around a field's text, a
comment among the fields, an empty second surname, a room without a code or with a code
already used, a class unit whose course is not in CURSOS_DEL_CENTRO, a record with a single
field. Independently, about one course in twenty-five has a key that the education-level table
does not list, and subject names that agree in their first eight characters occur as they do in
real data.
"""

import argparse
import sys

PRESETS = {
    "tiny": dict(staff=8, rooms=6, courses=4, units=6, subjects=24, activities=4, slots=6),
    "school": dict(staff=60, rooms=35, courses=12, units=30, subjects=200, activities=14,
                   slots=7),
    "district": dict(staff=2000, rooms=300, courses=120, units=1000, subjects=5000,
                     activities=40, slots=60),
}
COUNTS = ("staff", "rooms", "courses", "units", "subjects", "activities", "slots")

FIELD_NAMES = {
    "MATERIAS": ["X_OFERTAMATRIG", "X_MATERIAOMG", "D_MATERIAC", "D_ABREVIATURA", "N_HORAS"],
    "ACTIVIDADES": ["X_TIPOACTIVIDAD", "X_ACTIVIDAD", "D_ACTIVIDAD", "L_REQUNIDAD",
                    "L_REQMATERIA"],
    "EMPLEADOS": ["X_EMPLEADO", "F_TOMAPOS", "X_PUESTO", "D_APELLIDO1", "D_APELLIDO2",
                  "D_NOMBRE", "D_DEPARTAMENTO"],
    "DEPENDENCIAS": ["X_DEPENDENCIA", "D_DEPENDENCIA", "N_CAPACIDAD", "D_EDIFICIO"],
    "CURSOS_DEL_CENTRO": ["X_OFERTAMATRIG", "D_OFERTAMATRIG", "D_ABREVIATURA", "D_ETAPA"],
    "UNIDADES": ["X_UNIDAD", "T_NOMBRE", "X_OFERTAMATRIG", "N_ALUMNOS"],
    "TRAMOS_HORARIOS": ["X_TRAMO", "D_TRAMO", "N_INICIO", "N_FIN", "L_LECTIVO"],
    "ANNO_ACADEMICO": ["C_ANNO"],
}

# ---------------------------------------------------------------------------------------------
# Deterministic random numbers (SplitMix64), independent of the Python version.

MASK = (1 << 64) - 1


class Rng:
    def __init__(self, seed, stream):
        self.state = (seed * 0x9E3779B97F4A7C15 + stream * 0xD1B54A32D192ED03) & MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def below(self, n):
        return self.next() % n

    def chance(self, p):
        return self.next() < p * 18446744073709551616.0

    def choice(self, seq):
        return seq[self.below(len(seq))]

    def shuffled(self, seq):
        items = list(seq)
        for i in range(len(items) - 1, 0, -1):
            j = self.below(i + 1)
            items[i], items[j] = items[j], items[i]
        return items


class Comment:
    def __init__(self, text):
        self.text = text


# ---------------------------------------------------------------------------------------------
# Names.

SURNAMES = """García González Rodríguez Fernández López Martínez Sánchez Pérez Gómez Martín
Jiménez Ruiz Hernández Díaz Moreno Muñoz Álvarez Romero Alonso Gutiérrez Navarro Torres
Domínguez Vázquez Ramos Gil Ramírez Serrano Blanco Molina Morales Suárez Ortega Delgado
Castro Ortiz Rubio Marín Sanz Núñez Iglesias Medina Garrido Cortés Castillo Santos Lozano
Guerrero Cano Prieto Méndez Cruz Calvo Gallego Vidal León Márquez Herrera Peña Flores
Cabrera Campos Vega Fuentes Carrasco Diez Caballero Reyes Nieto Aguilar Pascual Santana
Herrero Lorenzo Montero Hidalgo Giménez Ibáñez Ferrer Durán Santiago Benítez Mora Vicente
Vargas Arias Carmona Crespo Román Pastor Soto Sáez Velasco Moya Soler Parra Esteban Bravo
Gallardo Rojas Pardo Merino Franco Espinosa Izquierdo Lara Rivas Silva Rivera Casado Arroyo
Redondo Camacho Rey Vera Otero Luque Galán Montes Ríos Sierra Segura Carrillo Marcos Marí
Soriano Mendoza Robles Bernal Vila Quesada Osuna Heredia Aranda Jurado Ocaña Pulido Tello
Escobar Cuenca Roldán Zamora Bermúdez Pacheco Maldonado Gálvez Villar Linares Espejo""".split()

PARTICLE_SURNAMES = ["de la Fuente", "del Río", "de los Santos", "de Haro", "de la Torre"]

GIVEN_NAMES = """Antonio José Manuel Francisco David Juan Javier Daniel Carlos Jesús Alejandro
Miguel Rafael Pedro Pablo Ángel Sergio Fernando Jorge Luis Alberto Álvaro Adrián Diego Raúl
Enrique Ramón Vicente Andrés Joaquín Óscar Rubén Santiago Víctor Ignacio Tomás Emilio Gonzalo
Salvador Agustín Iván Julián Marcos Hugo Mario Nicolás Esteban Félix Eduardo Fermín María
Carmen Ana Isabel Laura Cristina Marta Lucía Pilar Elena Rosa Raquel Paula Sara Beatriz Silvia
Patricia Teresa Irene Nuria Rocío Alicia Mercedes Sonia Inmaculada Julia Montserrat Encarnación
Concepción Eva Dolores Ángela Noelia Verónica Amparo Esperanza Remedios Consuelo Araceli Begoña
Rosario Soledad Nieves Gloria Macarena Lourdes Alba Claudia Inés Adela Olga""".split()

COMPOUND_GIVEN = ["José Antonio", "Juan Carlos", "María José", "Ana Belén", "Francisco Javier",
                  "María del Carmen", "Miguel Ángel", "José Manuel", "Eva María", "María Jesús",
                  "Juan Manuel", "María Dolores", "Luis Miguel", "María Ángeles"]

DEPARTMENTS = [
    ("Lengua Castellana y Literatura", "00590004"), ("Matemáticas", "00590006"),
    ("Inglés", "00590011"), ("Francés", "00590010"), ("Geografía e Historia", "00590005"),
    ("Biología y Geología", "00590008"), ("Física y Química", "00590007"),
    ("Tecnología", "00590019"), ("Educación Física", "00590017"), ("Música", "00590016"),
    ("Dibujo", "00590009"), ("Filosofía", "00590001"), ("Latín y Griego", "00590003"),
    ("Economía", "00590061"), ("Orientación", "00590018"), ("Religión", "00590099"),
    ("Informática", "00590107"), ("Administración de Empresas", "00590101"),
    ("Formación y Orientación Laboral", "00590105"), ("Educación Primaria", "00597038"),
    ("Educación Infantil", "00597031"), ("Electricidad", "00590125"),
    ("Sanidad", "00590117"), ("Hostelería y Turismo", "00590106"),
]

# Subject pools per kind of course: (name, weekly hours). Some names agree in their first
# eight characters, as real ones do.
SUBJECT_POOLS = {
    "ESO": [
        ("Biología y Geología", 3), ("Educación Física", 2),
        ("Educación Plástica, Visual y Audiovisual", 2), ("Física y Química", 3),
        ("Geografía e Historia", 3), ("Lengua Castellana y Literatura", 4),
        ("Lengua Extranjera (Inglés)", 4), ("Matemáticas", 4), ("Música", 2),
        ("Tecnología y Digitalización", 2), ("Segunda Lengua Extranjera (Francés)", 2),
        ("Computación y Robótica", 2), ("Cultura Clásica", 2), ("Oratoria y Debate", 2),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 1),
        ("Refuerzo de Lengua", 2), ("Latín", 3), ("Economía y Emprendimiento", 3),
        ("Digitalización", 3), ("Expresión Artística", 3), ("Filosofía", 2),
        ("Taller de Teatro", 2), ("Cambios Sociales y Género", 2),
        ("Lengua de Signos Española", 2), ("Proyecto de Investigación Científica", 2),
        ("Ámbito Científico-Tecnológico", 8), ("Ámbito Lingüístico y Social", 8),
        ("Matemáticas A", 4), ("Educación en Valores Cívicos y Éticos", 1),
    ],
    "BAC": [
        ("Filosofía", 3), ("Educación Física", 2), ("Lengua Castellana y Literatura I", 3),
        ("Lengua Extranjera I (Inglés)", 3), ("Matemáticas I", 4), ("Física y Química", 4),
        ("Dibujo Técnico I", 4), ("Anatomía Aplicada", 2), ("Griego I", 4),
        ("Historia del Mundo Contemporáneo", 4), ("Literatura Universal", 4),
        ("Lenguaje y Práctica Musical", 2), ("Economía", 4), ("Psicología", 2),
        ("Patrimonio Cultural y Artístico de Andalucía", 2), ("Química", 4), ("Física", 4),
        ("Geología y Ciencias Ambientales", 4), ("Fundamentos de Administración y Gestión", 4),
        ("Empresa y Diseño de Modelos de Negocio", 4), ("Electrotecnia", 4),
        ("Estadística", 2), ("Imagen y Sonido", 2), ("Ampliación de Inglés", 2),
        ("Creación Digital y Pensamiento Computacional", 2), ("Historia de España", 3),
        ("Matemáticas Aplicadas a las Ciencias Sociales I", 4), ("Religión Católica", 1),
        ("Atención Educativa", 1), ("Tutoría", 1),
    ],
    "FP": [
        ("Montaje y Mantenimiento de Equipos", 6), ("Sistemas Operativos Monopuesto", 5),
        ("Aplicaciones Ofimáticas", 6), ("Redes Locales", 6), ("Seguridad Informática", 5),
        ("Servicios en Red", 6), ("Formación y Orientación Laboral", 3),
        ("Empresa e Iniciativa Emprendedora", 3), ("Inglés Profesional (GM)", 2),
        ("Digitalización Aplicada a los Sectores Productivos (GM)", 2),
        ("Itinerario Personal para la Empleabilidad I", 3), ("Proyecto Intermodular", 2),
        ("Gestión de la Documentación Jurídica y Empresarial", 3),
        ("Recursos Humanos y Responsabilidad Social Corporativa", 3),
        ("Ofimática y Proceso de la Información", 6),
        ("Proceso Integral de la Actividad Comercial", 6),
        ("Comunicación y Atención al Cliente", 5), ("Contabilidad y Fiscalidad", 6),
        ("Electrónica", 5), ("Instalaciones Eléctricas Interiores", 8),
        ("Automatismos Industriales", 8), ("Electrotecnia Aplicada", 5),
        ("Técnicas Básicas de Enfermería", 10), ("Higiene del Medio Hospitalario", 6),
        ("Promoción de la Salud y Apoyo Psicológico al Paciente", 4),
        ("Operaciones Administrativas y Documentación Sanitaria", 2),
        ("Preelaboración y Conservación de Alimentos", 8), ("Técnicas Culinarias", 8),
        ("Procesos Básicos de Pastelería y Repostería", 4), ("Ofertas Gastronómicas", 3),
        ("Sostenibilidad Aplicada al Sistema Productivo", 1),
        ("Formación en Empresa", 0), ("Tutoría", 1),
    ],
    "PRI": [
        ("Ciencias de la Naturaleza", 2), ("Ciencias Sociales", 2),
        ("Lengua Castellana y Literatura", 5), ("Matemáticas", 5),
        ("Lengua Extranjera (Inglés)", 3), ("Educación Artística", 2),
        ("Educación Física", 3), ("Religión Católica", 1), ("Atención Educativa", 1),
        ("Segunda Lengua Extranjera (Francés)", 1),
    ],
    "INF": [
        ("Crecimiento en Armonía", 8), ("Descubrimiento y Exploración del Entorno", 8),
        ("Comunicación y Representación de la Realidad", 8), ("Religión Católica", 1),
    ],
    "ADU": [
        ("Ámbito de Comunicación", 6), ("Ámbito Social", 4), ("Ámbito Científico-Tecnológico", 6),
        ("Lengua Extranjera (Inglés)", 3), ("Tutoría", 1),
    ],
}

FP_CYCLES = {
    "FPGM": ["Sistemas Microinformáticos y Redes", "Gestión Administrativa",
             "Instalaciones Eléctricas y Automáticas", "Cuidados Auxiliares de Enfermería",
             "Cocina y Gastronomía", "Carrocería", "Actividades Comerciales",
             "Atención a Personas en Situación de Dependencia", "Farmacia y Parafarmacia"],
    "FPGS": ["Administración y Finanzas", "Desarrollo de Aplicaciones Web",
             "Administración de Sistemas Informáticos en Red", "Educación Infantil",
             "Automatización y Robótica Industrial", "Dirección de Cocina",
             "Comercio Internacional", "Laboratorio Clínico y Biomédico",
             "Integración Social"],
}

ACTIVITIES = [
    ("1", "Docencia", "S", "S"), ("1", "Guardia", "N", "N"), ("1", "Tutoría lectiva", "S", "N"),
    ("1", "Guardia de Recreo", "N", "N"),
    ("1", "Programa de Refuerzo, Orientación y Apoyo", "S", "N"),
    ("2", "Reunión de Departamento", "N", "N"), ("2", "Reunión de Equipo Educativo", "S", "N"),
    ("2", "Atención a las familias", "N", "N"), ("2", "Servicio de Biblioteca", "N", "N"),
    ("2", "Reducción por mayor de 55 años", "N", "N"),
    ("3", "Jefatura de Departamento", "N", "N"),
    ("3", "Coordinación del Proyecto Bilingüe", "N", "N"),
    ("3", "Coordinación de Transformación Digital Educativa", "N", "N"),
    ("3", "Coordinación de Formación en Centros de Trabajo", "N", "N"),
    ("2", "Guardia de Biblioteca", "N", "N"), ("2", "Apoyo a la Dirección", "N", "N"),
    ("3", "Coordinación de Coeducación", "N", "N"),
    ("3", "Coordinación de Convivencia", "N", "N"),
    ("2", "Actividades Extraescolares", "N", "N"),
    ("2", "Atención al alumnado con Necesidades Educativas", "S", "N"),
]

SPECIAL_ROOMS = [
    ("LFI", "Laboratorio de Física"), ("LQU", "Laboratorio de Química"),
    ("BIO", "Laboratorio de Biología y Geología"), ("TEC", "Taller de Tecnología"),
    ("INF", "Aula de Informática"), ("MUS", "Aula de Música"),
    ("PLA", "Aula de Plástica y Dibujo"), ("GIM", "Gimnasio"), ("PIS", "Pista polideportiva"),
    ("BIB", "Biblioteca"), ("SAL", "Salón de Actos"), ("TAL", "Taller de Montaje y Redes"),
    ("COC", "Cocina de Prácticas"), ("ENF", "Aula de Prácticas de Enfermería"),
    ("ELE", "Taller de Electricidad"), ("DES", "Aula de desdoble"),
]

# ---------------------------------------------------------------------------------------------
# The education-level table: (lowest key, highest key, level code, course code or None).

LEVEL_TABLE = [
    (2064, 2067, "BAC", None), (4624, 4677, "FPGM", None), (4684, 4746, "FPGS", None),
    (4760, 4804, "FPGM", None), (4822, 4882, "FPGS", None), (5126, 5168, "CFGS", None),
    (5205, 5206, "CFGM", None), (5312, 5906, "FPGM", None), (5887, 5915, "CFGM", None),
    (100304, 100306, "INF", None), (100315, 100316, "ESPA", "M1"),
    (100317, 100322, "PRI", None), (100323, 100326, "ESO", None),
    (100484, 100499, "FPGS", None), (100504, 100535, "FPGM", None),
    (101681, 101681, "ESO", "4D"), (101929, 101929, "EBO", "1"), (101939, 101939, "EBO", "2"),
    (101940, 101940, "EBO", "3"), (101956, 101956, "PTVA", "1"),
    (101957, 101957, "PTVA", "2"), (101958, 101958, "PTVA", "3"),
    (110100, 110116, "ESPA", None), (110125, 110125, "GES", "1"),
    (110360, 110360, "ALFA", "1"), (110940, 110940, "ESO", "3D"),
    (111001, 111008, "BACN", None), (111020, 111020, "CCTI", "1"),
    (111396, 111396, "FTIC", "1"), (111398, 111398, "AMLP", "1"),
    (111405, 111407, "FPGS", "OnL"), (111417, 111417, "INMI", "1"),
    (111418, 111418, "ETIC", "1"), (111419, 111419, "GRUN", "1"),
    (111420, 111420, "PCAS", "1"), (111421, 111421, "PCEX", "1"),
    (111422, 111422, "PEPM", "1"), (111423, 111423, "FSPE", "1"), (111424, 111424, "FI", "1"),
    (111425, 111425, "PFIG", "1"), (111434, 111434, "PFGM", "1"),
    (111435, 111435, "PFGS", "1"), (111436, 111436, "AU", "1"), (111437, 111437, "LCEI", "1"),
    (111438, 111438, "IDIO", "1"), (111439, 111439, "COEX", "1"),
    (111440, 111440, "ESPA", "PA1"), (111441, 111441, "ESPA", "PA2"),
    (111442, 111442, "ESPA", "PA3"), (111443, 111443, "ESPA", "PA4"),
    (111444, 111444, "ESPA", "OL1"), (111445, 111445, "ESPA", "OL2"),
    (111446, 111446, "ESPA", "OL3"), (111447, 111447, "ESPA", "OL4"),
    (111448, 111448, "FPGS", "OnL"), (111449, 111449, "EDSA", "1"),
    (111731, 111733, "CFGM", None), (111750, 111752, "ESDI", None),
    (111761, 111793, "FPGS", None), (111972, 111977, "TALL", "1"),
    (111978, 111978, "CINF", "1"), (111979, 111979, "CING", "1"),
    (111982, 112127, "CFGS", None), (112146, 112146, "ESDI", None),
    (112147, 112147, "CBPO", "1"), (112148, 112148, "CCEA", "1"),
    (112149, 112149, "CEMA", "1"), (112150, 112150, "TLTE", "1"),
    (112151, 112151, "CFGS", "AD"), (112154, 112156, "BAC", None),
    (113001, 113001, "FPGS", None), (113002, 113005, "FPGM", None),
]
assert len(LEVEL_TABLE) == 72

# How the level codes group into kinds of course, and how likely each kind is.
KIND_OF_LEVEL = {"ESO": "ESO", "BAC": "BAC", "BACN": "BAC", "PRI": "PRI", "INF": "INF",
                 "FPGM": "FPGM", "CFGM": "FPGM", "FPGS": "FPGS", "CFGS": "FPGS",
                 "ESPA": "ADU"}
KIND_WEIGHTS = [("ESO", 20), ("BAC", 12), ("PRI", 8), ("INF", 3), ("FPGM", 25),
                ("FPGS", 25), ("ADU", 4), ("OTHER", 3)]
# Class units per course, relative to one another.
UNIT_WEIGHT = {"ESO": 6, "BAC": 3, "PRI": 4, "INF": 3, "FPGM": 1, "FPGS": 1, "ADU": 1,
               "OTHER": 1, "NIV": 1}


def keys_by_kind():
    """Every key of the level table, grouped by kind; overlapping keys follow the later row."""
    level_of = {}
    for low, high, level, _ in LEVEL_TABLE:
        for key in range(low, high + 1):
            level_of[key] = level
    kinds = {}
    for key in sorted(level_of):
        kinds.setdefault(KIND_OF_LEVEL.get(level_of[key], "OTHER"), []).append(key)
    return kinds


# ---------------------------------------------------------------------------------------------
# Sections. Each returns a list (small sections) or yields records (large ones).


def ordinal(n):
    return "%dº" % n


def make_courses(rng, count):
    """Returns [(key, name, short name, stage, kind)]."""
    pools = {kind: rng.shuffled(keys) for kind, keys in keys_by_kind().items()}
    total_weight = sum(w for _, w in KIND_WEIGHTS)
    courses = []
    unlisted_key = 118001
    while len(courses) < count:
        pick = rng.below(total_weight)
        for kind, weight in KIND_WEIGHTS:
            if pick < weight:
                break
            pick -= weight
        for kind in (kind, "FPGM", "FPGS"):
            if pools.get(kind):
                break
        if rng.chance(0.04) or not pools.get(kind):
            # A key the level table does not list (also once the table's keys are used up).
            unlisted_key += 1 + rng.below(40)
            cycle = rng.choice(FP_CYCLES["FPGM"])
            courses.append((str(unlisted_key), "1º F.P. Básica " + cycle, "1º FPB",
                            "Formación Profesional Básica", "NIV"))
            continue
        courses.append(course_for_key(rng, pools[kind].pop(), kind))
    return courses


def course_for_key(rng, key, kind):
    if kind == "ESO":
        if key == 110940:
            return (str(key), "3º de E.S.O. (Diversificación Curricular)", "3º DIV", "ESO", kind)
        if key == 101681:
            return (str(key), "4º de E.S.O. (Diversificación Curricular)", "4º DIV", "ESO", kind)
        n = key - 100322
        return (str(key), "%s de Educación Secundaria Obligatoria" % ordinal(n),
                "%s ESO" % ordinal(n), "ESO", kind)
    if kind == "BAC":
        n = 1 + rng.below(2)
        branch = rng.choice(["Ciencias y Tecnología", "Humanidades y Ciencias Sociales",
                             "Artes", "General"])
        return (str(key), "%s de Bachillerato (%s)" % (ordinal(n), branch),
                "%s BTO" % ordinal(n), "Bachillerato", kind)
    if kind == "PRI":
        n = key - 100316 if 100317 <= key <= 100322 else 1 + rng.below(6)
        return (str(key), "%s de Educación Primaria" % ordinal(n), "%s EP" % ordinal(n),
                "Educación Primaria", kind)
    if kind == "INF":
        age = 3 + (key - 100304) % 3
        return (str(key), "Educación Infantil (%d años)" % age, "INF %d" % age,
                "Educación Infantil", kind)
    if kind in ("FPGM", "FPGS"):
        n = 1 + rng.below(2)
        grade = "C.F.G.M." if kind == "FPGM" else "C.F.G.S."
        cycle = rng.choice(FP_CYCLES[kind])
        short = "".join(w[0] for w in cycle.split() if len(w) > 2).upper()[:4]
        stage = ("Formación Profesional de Grado Medio" if kind == "FPGM"
                 else "Formación Profesional de Grado Superior")
        return (str(key), "%s %s %s" % (ordinal(n), grade, cycle), "%s %s" % (ordinal(n), short),
                stage, kind)
    if kind == "ADU":
        n = 1 + rng.below(2)
        return (str(key), "Educación Secundaria para Personas Adultas, nivel %s" % ("I" * n),
                "ESPA %s" % ("I" * n), "Educación Permanente", kind)
    return (str(key), "Enseñanza %d" % key, "ENS", "Otras enseñanzas", kind)


def distribute(rng, total, weights):
    """Splits total over len(weights) slots in proportion to the weights, at least one each
    while there is enough, the rest drawn at random by weight."""
    n = len(weights)
    if n == 0:
        return []
    counts = [0] * n
    if total >= n:
        counts = [1] * n
        total -= n
    weight_sum = sum(weights)
    for i, w in enumerate(weights):
        share = total * w // weight_sum
        counts[i] += share
    left = total - sum(total * w // weight_sum for w in weights)
    cumulative = []
    running = 0
    for w in weights:
        running += w
        cumulative.append(running)
    for _ in range(left):
        pick = rng.below(weight_sum)
        i = next(j for j, c in enumerate(cumulative) if pick < c)
        counts[i] += 1
    return counts


def unit_name(course, index):
    short = course[2]
    letter = chr(ord("A") + index % 26)
    return "%s %s" % (short, letter)


def make_units(rng, courses, count, awkward):
    """Returns [(key, name, course key, pupils)] grouped by course."""
    weights = [UNIT_WEIGHT[c[4]] for c in courses]
    per_course = distribute(rng, count, weights)
    course_keys = {c[0] for c in courses}
    units = []
    key = 600000 + rng.below(300000)
    for course, n in zip(courses, per_course):
        for i in range(n):
            key += 1 + rng.below(3)
            course_key = course[0]
            if rng.chance(awkward / 4):
                # A class unit whose course is not in CURSOS_DEL_CENTRO.
                course_key = str(120000 + rng.below(9000))
                while course_key in course_keys:
                    course_key = str(120000 + rng.below(9000))
            units.append([str(key), unit_name(course, i), course_key, str(12 + rng.below(21))])
    return units


def abbreviation(name):
    words = [w for w in name.replace(",", " ").replace("(", " ").split()
             if len(w) > 2 or w.isupper()]
    return "".join(w[0] for w in words).upper()[:6]


def subject_records(rng, courses, count):
    """Yields [course key, subject key, name, abbreviation, hours], spread over the courses."""
    weights = [4 + rng.below(3) for _ in courses]
    per_course = distribute(rng, count, weights)
    key = 400000 + rng.below(100000)
    for course, n in zip(courses, per_course):
        kind = course[4]
        pool = SUBJECT_POOLS["FP" if kind in ("FPGM", "FPGS", "NIV", "OTHER") else kind]
        order = rng.shuffled(pool)
        for i in range(n):
            name, hours = order[i % len(order)]
            key += 1
            yield [course[0], str(key), name, abbreviation(name), str(hours)]


def staff_records(rng, count, year):
    key = 3000000 + rng.below(500000)
    for _ in range(count):
        key += 1 + rng.below(40)
        if rng.chance(0.02):
            surname1 = rng.choice(PARTICLE_SURNAMES)
        else:
            surname1 = rng.choice(SURNAMES)
        surname2 = rng.choice(SURNAMES)
        given = rng.choice(COMPOUND_GIVEN) if rng.chance(0.15) else rng.choice(GIVEN_NAMES)
        department, post = rng.choice(DEPARTMENTS)
        taken = "01/09/%d" % (year - 1 - rng.below(30))
        yield [str(key), taken, post, surname1, surname2, given, department]


def room_records(rng, count, awkward):
    codes = []
    special_used = {}
    for i in range(count):
        if rng.chance(0.2):
            prefix, name = rng.choice(SPECIAL_ROOMS)
            special_used[prefix] = special_used.get(prefix, 0) + 1
            n = special_used[prefix]
            code = "%s%d" % (prefix, n)
            if n > 1:
                name = "%s %d" % (name, n)
            capacity = rng.choice([15, 20, 24, 30, 60])
            building = rng.choice(["Edificio principal", "Edificio B", "Pabellón"])
        else:
            # Eighty rooms a building, twenty a floor; beyond eight buildings codes repeat.
            building_letter = "ABCDEFGH"[(i // 80) % 8]
            floor = i % 80 // 20
            number = i % 20 + 1
            code = "%s%d%02d" % (building_letter, floor, number)
            name = "Aula %d.%02d (Edificio %s)" % (floor, number, building_letter)
            capacity = rng.choice([24, 28, 30, 32, 35])
            building = "Edificio %s" % building_letter
        if rng.chance(awkward):
            code = ""  # no code in the administration system
        elif codes and rng.chance(awkward):
            code = rng.choice(codes)  # the same code twice
        if code:
            codes.append(code)
        yield [code, name, str(capacity), building]


def activity_records(rng, count):
    code = 1
    for i in range(count):
        kind, name, needs_unit, needs_subject = ACTIVITIES[i % len(ACTIVITIES)]
        if i >= len(ACTIVITIES):
            name = "%s (%d)" % (name, i // len(ACTIVITIES) + 1)
        yield [kind, str(code), name, needs_unit, needs_subject]
        code += 1 if i < 8 else 1 + rng.below(400)


def slot_records(rng, count):
    """Bell schedules of seven periods with a break after the third, side by side."""
    code = 100000 + rng.below(800000)
    made = 0
    while made < count:
        start = 450 + 5 * rng.below(97)  # 07:30 to 15:30
        length = rng.choice([45, 50, 55, 60])
        pause = rng.choice([15, 20, 30])
        for period in range(1, 8):
            if made == count:
                break
            code += 1
            yield [str(code), "%dª hora" % period, str(start), str(start + length), "S"]
            start += length + (pause if period == 3 else 0)
            made += 1


# ---------------------------------------------------------------------------------------------
# Irregularities of real exports.


def roughen(rng, record, awkward, positions):
    """Returns the record, now and then with one irregularity."""
    if not rng.chance(awkward):
        return record
    what = rng.below(8)
    if what == 0:
        return record[:1]  # a record with a single field
    record = list(record)
    position = rng.choice(positions)
    if what in (1, 2, 3):
        record[position] = "  %s  " % record[position]
    elif what in (4, 5):
        record[position] = "\n          %s\n        " % record[position]
    else:
        record.insert(position, Comment(" revisar "))
    return record


# ---------------------------------------------------------------------------------------------
# Output.


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


class Writer:
    def __init__(self, out, encoding):
        self.out = out
        self.encoding = encoding
        self.parts = []
        self.size = 0

    def line(self, text):
        self.parts.append(text)
        self.parts.append("\n")
        self.size += len(text)
        if self.size > 1 << 16:
            self.flush()

    def flush(self):
        self.out.write("".join(self.parts).encode(self.encoding, errors="xmlcharrefreplace"))
        self.parts = []
        self.size = 0

    def section(self, seq, records, count):
        names = FIELD_NAMES[seq]
        self.line('    <grupo_datos seq="%s" registros="%d">' % (seq, count))
        for record in records:
            self.line("      <grupo_datos>")
            position = 0
            for field in record:
                if isinstance(field, Comment):
                    self.line("        <!--%s-->" % field.text)
                    continue
                if field:
                    self.line('        <dato nombre_dato="%s">%s</dato>'
                              % (names[position], escape(field)))
                else:
                    self.line('        <dato nombre_dato="%s"/>' % names[position])
                position += 1
            self.line("      </grupo_datos>")
        self.line("    </grupo_datos>")


def generate(out, counts, seed, year, encoding, awkward):
    def stream(index):
        return Rng(seed, index)

    courses = make_courses(stream(1), counts["courses"])
    units = make_units(stream(2), courses, counts["units"], awkward)

    w = Writer(out, encoding)
    w.line('<?xml version="1.0" encoding="%s"?>' % encoding)
    w.line("<!-- Documento de intercambio sintético, datos inventados: generate_exchange.py,"
           " semilla %d. -->" % seed)
    w.line('<SERVICIO modulo="HORARIOS" tipo="E" autor="ALDRENA" fecha="15/09/%d 08:30:00">'
           % year)
    w.line("  <BLOQUE_DATOS>")

    rough = stream(9)
    w.section("MATERIAS",
              (roughen(rough, r, awkward, [0, 1, 2])
               for r in subject_records(stream(3), courses, counts["subjects"])),
              counts["subjects"])
    w.section("ACTIVIDADES", activity_records(stream(4), counts["activities"]),
              counts["activities"])

    def staff():
        for r in staff_records(stream(5), counts["staff"], year):
            if rough.chance(awkward / 2):
                r[4] = ""  # no second surname
            yield roughen(rough, r, awkward, [0, 3, 4, 5])

    w.section("EMPLEADOS", staff(), counts["staff"])
    w.section("DEPENDENCIAS",
              (roughen(rough, r, awkward, [0, 1])
               for r in room_records(stream(6), counts["rooms"], awkward)),
              counts["rooms"])
    w.section("CURSOS_DEL_CENTRO", ([c[0], c[1], c[2], c[3]] for c in courses), len(courses))
    w.section("UNIDADES", (roughen(rough, r, awkward, [1, 2]) for r in units), len(units))
    w.section("TRAMOS_HORARIOS", slot_records(stream(7), counts["slots"]), counts["slots"])
    w.section("ANNO_ACADEMICO", [[str(year)]], 1)
    w.line("  </BLOQUE_DATOS>")
    w.line("</SERVICIO>")
    w.flush()


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Writes a synthetic exchange document (deterministic from the seed).")
    parser.add_argument("--preset", choices=sorted(PRESETS), default="school")
    parser.add_argument("--scale", type=float, default=1.0,
                        help="multiply every count of the preset (2 doubles them)")
    for name in COUNTS:
        parser.add_argument("--" + name, type=int, help="number of %s records" % name)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--year", type=int, default=2026, help="academic year (ANNO_ACADEMICO)")
    parser.add_argument("--encoding", default="ISO-8859-1",
                        type=lambda s: {"latin1": "ISO-8859-1", "iso-8859-1": "ISO-8859-1",
                                        "utf8": "UTF-8", "utf-8": "UTF-8"}.get(s.lower(), s),
                        choices=["ISO-8859-1", "UTF-8"])
    parser.add_argument("--awkward", type=float, default=0.02,
                        help="share of records with an irregularity of real exports (0: none)")
    parser.add_argument("-o", "--output", default="-", help="output file ('-': stdout)")
    args = parser.parse_args(argv)

    if args.scale <= 0:
        parser.error("--scale must be positive")
    counts = {}
    for name in COUNTS:
        value = getattr(args, name)
        if value is None:
            value = max(1, round(PRESETS[args.preset][name] * args.scale))
        if value < 0:
            parser.error("--%s cannot be negative" % name)
        counts[name] = value

    if args.output == "-":
        generate(sys.stdout.buffer, counts, args.seed, args.year, args.encoding, args.awkward)
    else:
        with open(args.output, "wb") as out:
            generate(out, counts, args.seed, args.year, args.encoding, args.awkward)


if __name__ == "__main__":
    main()
