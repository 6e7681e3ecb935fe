#!/usr/bin/python3
"""Writes samples/instituto_ejemplo.xml, the exchange document of a fictional school.

IES Sierra de Aldaba does not exist: every person, key and timetable below is invented. The
data is written out by hand in the tables of this script (nothing is random), so running it
again gives the same file byte for byte:

    /usr/bin/python3 samples/make_sample.py [OUTPUT.xml]

The document carries what real exports carry and what a converter has to cope with: accented
names, teachers who share initials, subject names that agree in their first eight or first four
characters, names longer than forty characters, a course key that the education-level table
does not know, a class unit whose course is absent, rooms without a code and with the same
code, a record with a single field, blanks and line breaks around a field's text, a comment
inside a record, and a name with a character that Windows-1252 lacks.

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
"""

import os
import sys

ENCODING = "ISO-8859-1"
YEAR = "2026"


class Comment:
    """An XML comment placed among the fields of a record."""

    def __init__(self, text):
        self.text = text


# ---------------------------------------------------------------------------------------------
# Field names, per section (the names are informative only: fields are identified by position).

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
# Courses: key, name, short name, stage. All keys but the last come from the education-level
# table; 118002 (a basic vocational course) is one the table does not list.

COURSES = [
    ("100323", "1º de Educación Secundaria Obligatoria", "1º ESO", "ESO"),
    ("100324", "2º de Educación Secundaria Obligatoria", "2º ESO", "ESO"),
    ("100325", "3º de Educación Secundaria Obligatoria", "3º ESO", "ESO"),
    ("100326", "4º de Educación Secundaria Obligatoria", "4º ESO", "ESO"),
    ("110940", "3º de E.S.O. (Diversificación Curricular)", "3º DIV", "ESO"),
    ("112154", "1º de Bachillerato (Ciencias y Tecnología)", "1º BTO CT", "Bachillerato"),
    ("112155", "1º de Bachillerato (Humanidades y Ciencias Sociales)", "1º BTO HCS",
     "Bachillerato"),
    ("112156", "2º de Bachillerato", "2º BTO", "Bachillerato"),
    ("5205", "1º C.F.G.M. Sistemas Microinformáticos y Redes", "1º SMR",
     "Formación Profesional de Grado Medio"),
    ("5206", "2º C.F.G.M. Sistemas Microinformáticos y Redes", "2º SMR",
     "Formación Profesional de Grado Medio"),
    ("5130", "1º C.F.G.S. Administración y Finanzas", "1º AYF",
     "Formación Profesional de Grado Superior"),
    ("118002", "1º F.P. Básica Informática y Comunicaciones", "1º FPB",
     "Formación Profesional Básica"),
]

# Key of the fourth-year diversification course: its class unit and subjects are exported, the
# course itself is missing from CURSOS_DEL_CENTRO.
MISSING_COURSE = "101681"

# ---------------------------------------------------------------------------------------------
# Class units: name, course key, pupils. Keys are numbered from 612401 in this order. One
# course key is written with a trailing blank, as some exports do.

UNITS = [
    ("1º ESO A", "100323", 27), ("1º ESO B", "100323", 28), ("1º ESO C", "100323", 26),
    ("1º ESO D", "100323", 27), ("1º ESO E", "100323", 25),
    ("2º ESO A", "100324", 29), ("2º ESO B", "100324", 28), ("2º ESO C", "100324", 28),
    ("2º ESO D", "100324", 27), ("2º ESO E", "100324", 24),
    ("3º ESO A", "100325", 30), ("3º ESO B", "100325", 29), ("3º ESO C", "100325", 29),
    ("3º ESO D", "100325 ", 26),
    ("4º ESO A", "100326", 30), ("4º ESO B", "100326", 28), ("4º ESO C", "100326", 27),
    ("4º ESO D", "100326", 25),
    ("3º ESO DIV", "110940", 14),
    ("4º ESO DIV", MISSING_COURSE, 12),
    ("1º BTO A", "112154", 33), ("1º BTO B", "112154", 32), ("1º BTO C", "112155", 34),
    ("2º BTO A", "112156", 31), ("2º BTO B", "112156", 30), ("2º BTO C", "112156", 29),
    ("1º SMR A", "5205", 30), ("2º SMR A", "5206", 24), ("1º AYF A", "5130", 28),
    ("1º FPB A", "118002", 16),
]

# ---------------------------------------------------------------------------------------------
# Subjects offered in each course: (name, weekly hours). A name may be a tuple (raw text, ...)
# to write it with blanks or line breaks around it. Keys are numbered from 450101 in document
# order; a None entry is a record that carries only its course key.

PADDED_LENGUA = "\n          Lengua Castellana y Literatura\n        "

SUBJECTS = [
    ("100323", [
        ("Biología y Geología", 3), ("Educación Física", 3),
        ("Educación Plástica, Visual y Audiovisual", 2), ("Geografía e Historia", 3),
        ("Lengua Castellana y Literatura", 4), ("Lengua Extranjera (Inglés)", 4),
        ("Matemáticas", 4), ("Música", 2), ("Segunda Lengua Extranjera (Francés)", 2),
        ("Computación y Robótica", 2), ("Oratoria y Debate", 2), ("Religión Católica", 1),
        ("Religión Evangélica", 1), ("Atención Educativa", 1), ("Tutoría", 1),
        ("Refuerzo de Lengua", 2), ("Refuerzo de Matemáticas", 2), ("Religión Islámica", 1),
        ("Lengua de Signos Española", 2), ("Taller de Teatro", 2),
        ("Cambios Sociales y Género", 2),
    ]),
    ("100324", [
        ("Educación Física", 3), ("Física y Química", 3), ("Geografía e Historia", 3),
        (PADDED_LENGUA, 4), ("Lengua Extranjera (Inglés)", 3), ("Matemáticas", 4),
        ("Música   ", 2), ("Tecnología y Digitalización", 3),
        ("Segunda Lengua Extranjera (Francés)", 2), ("Computación y Robótica", 2),
        ("Cultura Clásica", 2), ("Religión Católica", 1), ("Atención Educativa", 1),
        ("Tutoría", 1), ("Refuerzo de Lengua", 2), ("Oratoria y Debate", 2),
        ("Taller de Teatro", 2), ("Cambios Sociales y Género", 2),
    ]),
    ("100325", [
        ("Biología y Geología", 2), ("Educación Física", 2),
        ("Educación Plástica, Visual y Audiovisual", 2), ("Física y Química", 2),
        ("Geografía e Historia", 3), ("Lengua Castellana y Literatura", 4),
        ("Lengua Extranjera (Inglés)", 4), ("Matemáticas", 4),
        ("Tecnología y Digitalización", 2), ("Educación en Valores Cívicos y Éticos", 1),
        ("Segunda Lengua Extranjera (Francés)", 2), ("Cultura Clásica", 2),
        ("Computación y Robótica", 2), ("Religión Católica", 1), ("Atención Educativa", 1),
        ("Tutoría", 1), ("Oratoria y Debate", 2), ("Lengua de Signos Española", 2),
        ("Proyecto de Investigación Científica", 2), ("Taller de Teatro", 2),
        ("Cambios Sociales y Género", 2),
    ]),
    ("100326", [
        ("Educación Física", 2), ("Geografía e Historia", 3),
        ("Lengua Castellana y Literatura", 3), ("Lengua Extranjera (Inglés)", 4),
        ("Matemáticas A", 4), ("Matemáticas B", 4), ("Biología y Geología", 3),
        ("Física y Química", 3), ("Latín", 3), ("Economía y Emprendimiento", 3),
        None,
        ("Tecnología", 3), ("Digitalización", 3), ("Expresión Artística", 3), ("Música", 3),
        ("Formación y Orientación Personal y Profesional", 3),
        ("Segunda Lengua Extranjera (Francés)", 3), ("Filosofía", 2),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 1),
        ("Ciencias Aplicadas a la Actividad Profesional", 3),
        ("Proyecto de Investigación Científica", 2), ("Artes Escénicas y Danza", 3),
        ("Oratoria y Debate", 1),
    ]),
    ("110940", [
        ("Ámbito Científico-Tecnológico", 8), ("Ámbito Lingüístico y Social", 8),
        ("Educación Física", 2), ("Lengua Extranjera (Inglés)", 3),
        ("Tecnología y Digitalización", 2), ("Educación Plástica, Visual y Audiovisual", 2),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 2),
        ("Computación y Robótica", 2), ("Música", 2),
    ]),
    (MISSING_COURSE, [
        ("Ámbito Científico-Tecnológico", 8), ("Ámbito Lingüístico y Social", 8),
        ("Educación Física", 2), ("Lengua Extranjera (Inglés)", 3), ("Tecnología", 3),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 2),
        ("Educación Plástica, Visual y Audiovisual", 2),
    ]),
    ("112154", [
        ("Filosofía", 3), ("Educación Física", 2), ("Lengua Castellana y Literatura I", 3),
        ("Lengua Extranjera I (Inglés)", 3), ("Matemáticas I", 4), ("Física y Química", 4),
        ("Biología, Geología y Ciencias Ambientales", 4), ("Dibujo Técnico I", 4),
        ("Tecnología e Ingeniería I", 4), ("Anatomía Aplicada", 2),
        ("Segunda Lengua Extranjera I (Francés)", 2),
        ("Tecnologías de la Información y la Comunicación I", 2), ("Ampliación de Inglés", 2),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 1),
        ("Creación Digital y Pensamiento Computacional", 2),
    ]),
    ("112155", [
        ("Filosofía", 3), ("Educación Física", 2), ("Lengua Castellana y Literatura I", 3),
        ("Lengua Extranjera I (Inglés)", 3),
        ("Matemáticas Aplicadas a las Ciencias Sociales I", 4), ("Latín I", 4),
        ("Griego I", 4), ("Economía", 4), ("Historia del Mundo Contemporáneo", 4),
        ("Literatura Universal", 4), ("Lenguaje y Práctica Musical", 2),
        ("Patrimonio Cultural y Artístico de Andalucía", 2), ("Religión Católica", 1),
        ("Atención Educativa", 1), ("Tutoría", 1),
        ("Creación Digital y Pensamiento Computacional", 2), ("Ampliación de Inglés", 2),
    ]),
    ("112156", [
        ("Historia de España", 3), ("Historia de la Filosofía", 3),
        ("Lengua Castellana y Literatura II", 4), ("Lengua Extranjera II (Inglés)", 3),
        ("Matemáticas II", 4), ("Matemáticas Aplicadas a las Ciencias Sociales II", 4),
        ("Biología", 4), ("Química", 4), ("Física", 4), ("Geografía", 4),
        ("Dibujo Técnico II", 4), ("Empresa y Diseño de Modelos de Negocio", 4),
        ("Historia del Arte", 4), ("Latín II", 4), ("Griego II", 4), ("Psicología", 2),
        ("Fundamentos de Administración y Gestión", 4),
        ("Geología y Ciencias Ambientales", 4), ("Estadística", 2), ("Electrotecnia", 4),
        ("Imagen y Sonido", 2), ("Ampliación de Inglés", 2),
        ("Religión Católica", 1), ("Atención Educativa", 1), ("Tutoría", 1),
    ]),
    ("5205", [
        ("Montaje y Mantenimiento de Equipos", 6), ("Sistemas Operativos Monopuesto", 5),
        ("Aplicaciones Ofimáticas", 6), ("Redes Locales", 6),
        ("Formación y Orientación Laboral", 3), ("Inglés Profesional (GM)", 2),
        ("Digitalización Aplicada a los Sectores Productivos (GM)", 2),
        ("Itinerario Personal para la Empleabilidad I", 3), ("Tutoría", 1),
    ]),
    ("5206", [
        ("Sistemas Operativos en Red", 6), ("Seguridad Informática", 5),
        ("Servicios en Red", 6), ("Aplicaciones Web", 4),
        ("Empresa e Iniciativa Emprendedora", 3),
        ("Itinerario Personal para la Empleabilidad II", 3),
        ("Sostenibilidad Aplicada al Sistema Productivo", 1), ("Proyecto Intermodular", 2),
        ("Formación en Empresa", 0), ("Tutoría", 1),
    ]),
    ("5130", [
        ("Gestión de la Documentación Jurídica y Empresarial", 3),
        ("Recursos Humanos y Responsabilidad Social Corporativa", 3),
        ("Ofimática y Proceso de la Información", 6),
        ("Proceso Integral de la Actividad Comercial", 6),
        ("Comunicación y Atención al Cliente", 5), ("Inglés Profesional (GS)", 2),
        ("Formación y Orientación Laboral", 3),
        ("Digitalización Aplicada a los Sectores Productivos (GS)", 2), ("Tutoría", 1),
    ]),
    ("118002", [
        ("Comunicación y Sociedad I", 6), ("Ciencias Aplicadas I", 5),
        ("Montaje y Mantenimiento de Sistemas y Componentes Informáticos", 7),
        ("Operaciones Auxiliares para la Configuración y la Explotación", 7),
        ("Educación Física", 2), ("Prevención de Riesgos Laborales", 1), ("Tutoría", 1),
    ]),
]

# ---------------------------------------------------------------------------------------------
# Activities: kind, code, name, needs a class unit, needs a subject.

ACTIVITIES = [
    ("1", "1", "Docencia", "S", "S"),
    ("1", "2", "Guardia", "N", "N"),
    ("1", "3", "Tutoría lectiva", "S", "N"),
    ("1", "7", "Guardia de Recreo", "N", "N"),
    ("1", "376", "Programa de Refuerzo, Orientación y Apoyo", "S", "N"),
    ("2", "5", "Reunión de Departamento", "N", "N"),
    ("2", "6", "Reunión de Equipo Educativo", "S", "N"),
    ("2", "18", "Atención a las familias", "N", "N"),
    ("2", "30", "Servicio de Biblioteca", "N", "N"),
    ("2", "41", "Reducción por mayor de 55 años", "N", "N"),
    ("3", "21", "Jefatura de Departamento", "N", "N"),
    ("3", "26", "Coordinación del Proyecto Bilingüe", "N", "N"),
    ("3", "10021", "Coordinación de Transformación Digital Educativa", "N", "N"),
    ("3", "44", "Coordinación de Formación en Centros de Trabajo", "N", "N"),
]

# ---------------------------------------------------------------------------------------------
# Staff: first surname, second surname, given name, department. Keys are numbered from 3401205
# in this order. Several teachers share initials (GLA three times, MRJ, SPM, dRP and DRP, which
# a case-insensitive registry takes for the same code); Ávila Muñoz, Óscar and Alonso Moreno,
# Olga differ only by the accents of their initials.

DEPARTMENTS = {
    "Lengua Castellana y Literatura": "00590004",
    "Matemáticas": "00590006",
    "Inglés": "00590011",
    "Francés": "00590010",
    "Geografía e Historia": "00590005",
    "Biología y Geología": "00590008",
    "Física y Química": "00590007",
    "Tecnología": "00590019",
    "Educación Física": "00590017",
    "Música": "00590016",
    "Dibujo": "00590009",
    "Filosofía": "00590001",
    "Latín y Griego": "00590003",
    "Economía": "00590061",
    "Orientación": "00590018",
    "Religión": "00590099",
    "Informática": "00590107",
    "Administración de Empresas": "00590101",
    "Formación y Orientación Laboral": "00590105",
}

STAFF = [
    ("García", "López", "Ana", "Lengua Castellana y Literatura"),
    ("Alonso", "Moreno", "Olga", "Lengua Castellana y Literatura"),
    ("Navarro", "Cabello", "Rocío", "Lengua Castellana y Literatura"),
    ("Jiménez", "Ortega", "Francisco Javier", "Lengua Castellana y Literatura"),
    ("Castro", "Benítez", "Inmaculada", "Lengua Castellana y Literatura"),
    ("Romero", "Vázquez", "Lucía", "Lengua Castellana y Literatura"),
    ("Gómez", "Lara", "Alberto", "Matemáticas"),
    ("Ruiz", "Espinosa", "Carmen", "Matemáticas"),
    ("Ortiz", "Peña", "Jesús", "Matemáticas"),
    ("Molina", "Cano", "Purificación", "Matemáticas"),
    ("Herrera", "Santos", "Ignacio", "Matemáticas"),
    ("Márquez", "Delgado", "Elena", "Matemáticas"),
    ("Gil", "Luque", "Antonia", "Inglés"),
    ("Fernández", "Priego", "Marta", "Inglés"),
    ("Rubio", "Aguilar", "Sergio", "Inglés"),
    ("Pozo", "Calvo", "Nuria", "Inglés"),
    ("Smith", "", "John", "Inglés"),
    ("Vidal", "Sáez", "Claire", "Francés"),
    ("Wiśniewska", "", "Katarzyna", "Francés"),
    ("Martín", "Ruiz", "José", "Geografía e Historia"),
    ("Ramírez", "Torres", "Manuel Jesús", "Geografía e Historia"),
    ("Cabrera", "Luna", "Dolores", "Geografía e Historia"),
    ("Reyes", "Montero", "Álvaro", "Geografía e Historia"),
    ("Prieto", "Carmona", "Eva María", "Geografía e Historia"),
    ("Sánchez", "Pérez", "María", "Biología y Geología"),
    ("Iglesias", "Bravo", "Rafael", "Biología y Geología"),
    ("Cortés", "Rivas", "Noelia", "Biología y Geología"),
    ("Moreno", "Rodríguez", "Juana", "Física y Química"),
    ("Vega", "Lozano", "Andrés", "Física y Química"),
    ("Fuentes", "Pastor", "Remedios", "Física y Química"),
    ("Serrano", "Palma", "Manuel", "Tecnología"),
    ("Núñez", "Osuna", "Tomás", "Tecnología"),
    ("Campos", "Heredia", "Silvia", "Tecnología"),
    ("Ávila", "Muñoz", "Óscar", "Educación Física"),
    ("Domínguez", "Rojas", "Beatriz", "Educación Física"),
    ("Pareja", "Quesada", "Luis Miguel", "Educación Física"),
    ("Díaz", "Ramos", "Paula", "Música"),
    ("Toledo", "Aranda", "Begoña", "Música"),
    ("Ibáñez", "Soler", "Ángela", "Dibujo"),
    ("Cuenca", "Marín", "Fermín", "Dibujo"),
    ("de la Fuente", "Ruiz", "Pedro", "Filosofía"),
    ("Lorenzo", "Gallardo", "Esperanza", "Filosofía"),
    ("Muñoz", "Arjona", "Salvador", "Latín y Griego"),
    ("Fernández de Córdoba", "Villalobos-Santisteban", "María de la Encarnación",
     "Latín y Griego"),
    ("Garrido", "Escobar", "Víctor", "Economía"),
    ("Medina", "Ponce", "Araceli", "Economía"),
    ("Bermúdez", "Tello", "Rosario", "Orientación"),
    ("Sáenz", "Olmedo", "Cristina", "Orientación"),
    ("Morales", "Jurado", "Antonio José", "Religión"),
    ("Santiago", "Pacheco", "Miguel Ángel", "Informática"),
    ("Peinado", "Maldonado", "Raquel", "Informática"),
    ("Martínez", "Romero", "Julián", "Informática"),
    ("Ocaña", "Villar", "Diego", "Informática"),
    ("Gálvez", "Bueno", "Irene", "Informática"),
    ("Linares", "Vera", "Óliver", "Informática"),
    ("Espejo", "Cruz", "Mercedes", "Administración de Empresas"),
    ("Sevilla", "Pulido", "Marcos", "Administración de Empresas"),
    ("Zamora", "Hidalgo", "Consuelo", "Administración de Empresas"),
    ("Salas", "Pedrosa", "Martina", "Administración de Empresas"),
    ("Aguilera", "Roldán", "Enrique", "Formación y Orientación Laboral"),
]

# Staff entries written with blanks or line breaks around a name part, by staff index and
# field position (3, 4 or 5); the value is written exactly as given.
STAFF_PADDING = {
    (3, 3): "  Jiménez",
    (8, 5): "Jesús  ",
    (27, 4): "\n          Rodríguez\n        ",
}

# A comment inside one staff record, before its name parts.
STAFF_COMMENT = (21, Comment(" sustituye a 3401900 (licencia por estudios) "))

# ---------------------------------------------------------------------------------------------
# Rooms: code, name, capacity, building. Two rooms share the code INF1; three have no code;
# DESD1 and DESD2 are longer than the four characters a working table keeps; one name ends in
# a tab.

ROOMS = (
    [("A%02d" % n, "Aula %02d" % n, 30, "Edificio principal") for n in range(1, 13)]
    + [("A%02d" % n, "Aula %02d" % n, 32, "Edificio B") for n in range(13, 19)]
    + [
        ("", "Laboratorio de Física", 24, "Edificio principal"),
        ("", "Laboratorio de Química", 24, "Edificio principal"),
        ("BIO", "Laboratorio de Biología y Geología", 24, "Edificio principal"),
        ("TEC1", "Taller de Tecnología 1", 24, "Edificio B"),
        ("TEC2", "Taller de Tecnología 2", 24, "Edificio B"),
        ("INF1", "Aula de Informática 1", 30, "Edificio B"),
        ("INF1", "Aula de Informática del Ciclo Formativo de Grado Superior", 30,
         "Edificio B"),
        ("TALL", "Taller de Montaje y Redes", 20, "Edificio B"),
        ("MUS", "Aula de Música", 30, "Edificio principal"),
        ("PLA", "Aula de Plástica y Dibujo", 28, "Edificio principal"),
        ("GIM", "Gimnasio", 60, "Pabellón"),
        ("PIS", "Pista polideportiva\t", 60, "Exterior"),
        ("BIB", "Biblioteca", 40, "Edificio principal"),
        ("", "Salón de Actos", 150, "Edificio principal"),
        ("DESD1", "Aula de desdoble 1", 15, "Edificio B"),
        ("DESD2", "Aula de desdoble 2", 15, "Edificio B"),
        ("SPRO", "Sala de Profesores", 0, "Edificio principal"),
    ]
)

# ---------------------------------------------------------------------------------------------
# Time slots: code, label, start and end in minutes after midnight. Six morning periods with
# the break from 11:15 to 11:45, and a seventh period for Bachillerato and vocational courses.
# The conversion repeats every slot for each day of the week. The record with the code 170350
# stands where the break is and carries only its code.

SLOTS = [
    ("170301", "1ª hora", 495, 555),
    ("170302", "2ª hora", 555, 615),
    ("170303", "3ª hora", 615, 675),
    ("170350",),
    ("170304", "4ª hora", 705, 765),
    ("170305", "5ª hora", 765, 825),
    ("170306", "6ª hora", 825, 885),
    ("170307", "7ª hora", 885, 945),
]

# ---------------------------------------------------------------------------------------------


def abbreviation(name):
    """Upper-case initials of the significant words, as the administration shows them."""
    words = [w for w in name.replace(",", " ").replace("(", " ").split() if len(w) > 2
             or w.isupper()]
    return "".join(w[0] for w in words).upper()[:6]


def build_sections():
    """Returns [(seq, [record, ...])] where a record is a list of field texts and comments."""
    materias = []
    subject_key = 450101
    for course_key, subjects in SUBJECTS:
        for entry in subjects:
            if entry is None:
                materias.append([course_key])
                continue
            name, hours = entry
            materias.append([course_key, str(subject_key), name, abbreviation(name.strip()),
                             str(hours)])
            subject_key += 1

    actividades = [list(a) for a in ACTIVITIES]

    empleados = []
    for i, (surname1, surname2, given, department) in enumerate(STAFF):
        key = 3401205 + 17 * i
        taken = "01/09/%d" % (2004 + (i * 7) % 21)
        record = [str(key), taken, DEPARTMENTS[department], surname1, surname2, given,
                  department]
        for position in (3, 4, 5):
            if (i, position) in STAFF_PADDING:
                record[position] = STAFF_PADDING[(i, position)]
        if i == STAFF_COMMENT[0]:
            record.insert(3, STAFF_COMMENT[1])
        empleados.append(record)

    dependencias = [[code, name, str(capacity), building]
                    for code, name, capacity, building in ROOMS]

    cursos = [list(c) for c in COURSES]

    unidades = [[str(612401 + i), name, course, str(pupils)]
                for i, (name, course, pupils) in enumerate(UNITS)]

    tramos = []
    for slot in SLOTS:
        if len(slot) == 1:
            tramos.append([slot[0]])
        else:
            code, label, start, end = slot
            tramos.append([code, label, str(start), str(end), "S"])

    anno = [[YEAR]]

    return [
        ("MATERIAS", materias),
        ("ACTIVIDADES", actividades),
        ("EMPLEADOS", empleados),
        ("DEPENDENCIAS", dependencias),
        ("CURSOS_DEL_CENTRO", cursos),
        ("UNIDADES", unidades),
        ("TRAMOS_HORARIOS", tramos),
        ("ANNO_ACADEMICO", anno),
    ]


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def render(sections):
    lines = [
        '<?xml version="1.0" encoding="%s"?>' % ENCODING,
        "<!-- Documento de intercambio de un centro ficticio, el IES Sierra de Aldaba:",
        "     todos los nombres, claves y horarios son inventados. Lo escribe",
        "     samples/make_sample.py; no se edita a mano. -->",
        '<SERVICIO modulo="HORARIOS" tipo="E" autor="ALDRENA" fecha="14/09/%s 12:04:37">'
        % YEAR,
        "  <BLOQUE_DATOS>",
    ]
    for seq, records in sections:
        names = FIELD_NAMES[seq]
        lines.append('    <grupo_datos seq="%s" registros="%d">' % (seq, len(records)))
        for record in records:
            lines.append("      <grupo_datos>")
            position = 0
            for field in record:
                if isinstance(field, Comment):
                    lines.append("        <!--%s-->" % field.text)
                    continue
                if field:
                    lines.append('        <dato nombre_dato="%s">%s</dato>'
                                 % (names[position], escape(field)))
                else:
                    lines.append('        <dato nombre_dato="%s"/>' % names[position])
                position += 1
            lines.append("      </grupo_datos>")
        lines.append("    </grupo_datos>")
    lines.append("  </BLOQUE_DATOS>")
    lines.append("</SERVICIO>")
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "instituto_ejemplo.xml")
    text = render(build_sections())
    # Characters that ISO-8859-1 lacks are written as character references.
    data = text.encode(ENCODING, errors="xmlcharrefreplace")
    with open(output, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
