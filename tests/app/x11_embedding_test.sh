#!/usr/bin/env bash
# The window inside a host's X11 window, end to end under Xvfb: a host window (ventana_anfitriona)
# starts or hosts TransOrvidaAldrena with an action word and its window id; the real file dialog
# and message boxes are answered by keystrokes as a person would (xdotool), with the pointer
# away from every window. Each run works on a temporary copy of the program's folder (where
# Velmora.ini goes) and a temporary drive C holding KTEMP and KTEMP/sauce.
#
#   x11_embedding_test.sh TRANSORVIDA_ALDRENA VENTANA_ANFITRIONA TRANSORVIDA VELMORA_SIMULADOR \
#                         SOURCE_DIR
#
# Exits 77 (skipped) when no X server can be started here; every wait is bounded.
set -uo pipefail

program_built=$1
host_tool=$2
transorvida=$3
simulador=$4
source_dir=$5

readonly kSkip=77
readonly kFormTitle='Exportar e importar datos entre Velmora y Aldrena'
readonly kDialogTitle='Archivo XML'
readonly kBoxTitle='TransOrvidaAldrena'
readonly kWait=20  # seconds any one window or process may take

for tool in xdotool xwininfo xmllint; do
  if ! command -v "$tool" >/dev/null; then
    echo "falta $tool (scripts/install-deps lo instala)" >&2
    exit 1
  fi
done
if ! command -v Xvfb >/dev/null; then
  echo "SKIP: no hay Xvfb: no se puede arrancar un servidor X para probar la ventana incrustada"
  exit $kSkip
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/x11-embedding.XXXXXX")
xvfb_pid=""
started=()  # every process this script started, ended at exit
cleanup() {
  for pid in "${started[@]}"; do kill -9 "$pid" 2>/dev/null; done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb chooses a free display itself and writes its number when it accepts connections.
# -noreset: the server must not restart (refusing connections) each time its last client leaves.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=$(tr -dc '0-9' <"$work/display")
if [ -z "$display" ]; then
  echo "SKIP: Xvfb no arrancó; no se puede probar la ventana incrustada:"
  tail -5 "$work/xvfb.log"
  exit $kSkip
fi

# Everything the programs write stays in the temporary folder; only X11 is used.
export DISPLAY=":$display"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"
export LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# The program's folder, as installed beside the host: Velmora.ini is written there.
folder="$work/programa"
mkdir -p "$folder"
cp "$program_built" "$folder/TransOrvidaAldrena"
program="$folder/TransOrvidaAldrena"
ini="$folder/Velmora.ini"

# Keys must reach the windows without the pointer over them.
xdotool mousemove 1020 765

scenario=""
fail() {
  echo "FALLO ($scenario): $*" >&2
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; tail -20 "$log" >&2; }
  done
  exit 1
}
begin() {
  scenario=$1
  echo "== $scenario"
  rm -f "$ini" "$work"/*.log
}

# A fresh drive C: KTEMP, and KTEMP/sauce holding a copy of the sample school.
new_drive_c() {
  local drive="$work/$1"
  mkdir -p "$drive/KTEMP/sauce"
  cp "$source_dir/samples/instituto_ejemplo.xml" "$drive/KTEMP/sauce/"
  echo "$drive"
}

decimal() { printf '%d' "$1"; }

# Starts the host window with the given options; sets host_pid and host_id (hexadecimal digits).
start_host() {
  local out="$work/host.out"
  : >"$out"
  "$host_tool" "$@" >"$out" 2>"$work/host.log" &
  host_pid=$!
  started+=("$host_pid")
  for _ in $(seq $((kWait * 10))); do
    host_id=$(head -1 "$out")
    [ -n "$host_id" ] && return 0
    sleep 0.1
  done
  fail "la ventana anfitriona no escribió su identificador"
}

# Starts TransOrvidaAldrena with the given parameters and drive C; sets app_pid.
start_program() {
  local drive=$1
  shift
  TRANSORVIDA_DRIVE_C="$drive" "$program" "$@" >"$work/programa.log" 2>&1 &
  app_pid=$!
  started+=("$app_pid")
}

# Sets `window` to the first window with exactly this title (visible unless "$2" is "any"),
# waited for. Each search starts over: a window that goes away while xdotool looks at it ends
# that search.
find_window() {
  local only_visible=--onlyvisible
  [ "${2:-}" = any ] && only_visible=""
  window=""
  for _ in $(seq $((kWait * 10))); do
    window=$(timeout 5 xdotool search $only_visible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  fail "no apareció la ventana \"$1\""
}

# Gives a top-level window the keyboard (there is no window manager to do it).
focus() {
  xdotool windowfocus --sync "$1" || fail "no se pudo dar el foco a la ventana $1"
  sleep 0.3
}

answer_file_dialog() {
  find_window "$kDialogTitle"
  focus "$window"
  xdotool type --delay 10 "$1"
  xdotool key Return
}

cancel_file_dialog() {
  find_window "$kDialogTitle"
  focus "$window"
  xdotool key Escape
}

accept_message_box() {
  find_window "$kBoxTitle"
  focus "$window"
  xdotool key Return
}

wait_ended() {
  local pid=$1 what=$2
  for _ in $(seq $((kWait * 10))); do
    kill -0 "$pid" 2>/dev/null || {
      wait "$pid" 2>/dev/null
      return 0
    }
    sleep 0.1
  done
  fail "$what no terminó en $kWait s"
}

ini_value() {
  [ -f "$ini" ] || {
    echo "(sin Velmora.ini)"
    return
  }
  sed -n 's/^Transformado=\(.*\)\r$/\1/p' "$ini"
}

expect_ini() {
  local got
  got=$(ini_value)
  [ "$got" = "$1" ] || fail "Velmora.ini dice Transformado=$got; se esperaba $1"
}

# The window's X window among the host's children, with its geometry: "<id> <w>x<h>+<x>+<y>".
embedded_child() {
  xwininfo -tree -id "0x$1" | sed -n "s/^ *\(0x[0-9a-f]*\) \"$kFormTitle\".*  \([0-9]*x[0-9]*+[0-9]*+[0-9]*\)  .*/\1 \2/p"
}

# The centre of a window on the screen: "<x> <y>".
centre_of() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print int(x + w / 2), int(y + h / 2)}'
}

# The window's own dialogs are centred over it, wherever the host lies on the screen.
expect_centred_over() {
  local x y want_x=$2 want_y=$3
  read -r x y < <(centre_of "$1")
  if [ $((x - want_x)) -gt 20 ] || [ $((want_x - x)) -gt 20 ] ||
    [ $((y - want_y)) -gt 20 ] || [ $((want_y - y)) -gt 20 ]; then
    fail "la ventana $1 está centrada en ($x, $y), no sobre ($want_x, $want_y)"
  fi
}

expect_focus() {
  for _ in $(seq 30); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "la ventana incrustada no tiene el foco (lo tiene $(xdotool getwindowfocus 2>&1))"
}

expect_child_at() {
  local host=$1 geometry=$2 child
  for _ in $(seq 20); do
    child=$(embedded_child "$host")
    [ "${child#* }" = "$geometry" ] && return 0
    sleep 0.1
  done
  fail "la ventana no es hija de la anfitriona 0x$host en $geometry: $(xwininfo -tree -id "0x$host" | grep -A3 child)"
}

# --- EXPORTAR in capitals, the dialog cancelled: "No existe archivo", −1, nothing written.
begin "EXPORTAR, diálogo cancelado"
drive=$(new_drive_c c_cancelado)
start_host --tamano 800x480
xdotool windowmove --sync "0x$host_id" 150 200
start_program "$drive" EXPORTAR "$host_id"
find_window "$kDialogTitle"
# Centred in the host's client area, before it is ever shown: ((800-632)/2, (480-266)/2).
expect_child_at "$host_id" "632x266+84+107"
# The dialog over the window, that is over the host's centre (150 + 400, 200 + 240).
expect_centred_over "$window" 550 440
cancel_file_dialog
accept_message_box
wait_ended "$app_pid" "TransOrvidaAldrena"
expect_ini -1
[ -z "$(ls "$drive/KTEMP" | grep -iv '^sauce$')" ] || fail "se escribió en KTEMP: $(ls "$drive/KTEMP")"
kill "$host_pid"

# --- exportar started by the host window, the document chosen: 1, the tables as transorvida's.
begin "exportar lanzado por la anfitriona"
drive=$(new_drive_c c_exportar)
TRANSORVIDA_DRIVE_C="$drive" start_host --tamano 800x480 --espera 60 --lanzar "$program" exportar
find_window "$kDialogTitle"
expect_child_at "$host_id" "632x266+84+107"
answer_file_dialog "$drive/KTEMP/sauce/instituto_ejemplo.xml"
accept_message_box
wait_ended "$host_pid" "la ventana anfitriona (que espera a TransOrvidaAldrena)"
grep -qx 'Transformado=1' "$work/host.out" || fail "la anfitriona leyó: $(tail -1 "$work/host.out")"
expect_ini 1
mkdir -p "$work/c_cli/KTEMP"
"$transorvida" exportar --carpeta "$work/c_cli/KTEMP" "$drive/KTEMP/sauce/instituto_ejemplo.xml" \
  >/dev/null || fail "transorvida exportar falló"
/usr/bin/python3 - "$drive/KTEMP" "$work/c_cli/KTEMP" <<'EOF' || fail "las tablas difieren"
import os, sys
from dbfread import DBF
window, batch = sys.argv[1], sys.argv[2]
names = ["ASIGNOMT", "PROFT", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST", "DIASHORAST2"]
for name in names:
    path = os.path.join(window, name + ".DBF")
    if not os.path.exists(path):
        sys.exit("falta %s" % path)
    got = [list(r.items()) for r in DBF(path, encoding="cp1252", char_decode_errors="strict")]
    want = [list(r.items()) for r in DBF(os.path.join(batch, name + ".DBF"), encoding="cp1252")]
    if got != want:
        sys.exit("%s no coincide con la de transorvida exportar" % name)
    if name != "DIASHORAST2" and not got:
        sys.exit("%s está vacía" % name)
print("tablas: %d, iguales a las de transorvida exportar" % len(names))
EOF

# --- importar after a solved timetable: 1, the timetable document written beside the input.
begin "importar"
drive=$(new_drive_c c_importar)
"$transorvida" exportar --carpeta "$drive/KTEMP" "$drive/KTEMP/sauce/instituto_ejemplo.xml" \
  >/dev/null || fail "transorvida exportar falló"
"$simulador" --carpeta "$drive/KTEMP" --semilla 1 >/dev/null || fail "velmora_simulador falló"
start_host --tamano 800x480
start_program "$drive" importar "$host_id"
find_window "$kDialogTitle"
expect_child_at "$host_id" "632x266+84+107"
answer_file_dialog "$drive/KTEMP/sauce/instituto_ejemplo.xml"
accept_message_box
wait_ended "$app_pid" "TransOrvidaAldrena"
expect_ini 1
result="$drive/KTEMP/sauce/ResultadoOrvidainstituto_ejemplo.xml"
[ -f "$result" ] || fail "no se escribió $result"
xmllint --noout "$result" || fail "$result no es XML bien formado"
/usr/bin/python3 "$source_dir/tests/timetable/check_timetable.py" "$drive/KTEMP" \
  "$drive/KTEMP/sauce/instituto_ejemplo.xml" "$result" || fail "el documento no cuadra con SOLUC"
kill "$host_pid"

# --- An unknown action word: the window waits inside the host, follows its resizes, has the
# keyboard without the pointer over it; Alt+S (BClose) writes 0.
begin "palabra desconocida, Alt+S"
drive=$(new_drive_c c_desconocida)
start_host --tamano 800x480
start_program "$drive" ayuda "$host_id"
find_window "$kFormTitle"
form=$window
expect_child_at "$host_id" "632x266+84+107"
[ "$(decimal "$(embedded_child "$host_id" | cut -d' ' -f1)")" = "$form" ] ||
  fail "la ventana visible no es la hija de la anfitriona"
xdotool windowsize "0x$host_id" 500 300
expect_child_at "$host_id" "632x266+0+17"  # narrower than the window: its left edge stays
xdotool windowsize "0x$host_id" 900 600
expect_child_at "$host_id" "632x266+134+167"
expect_focus "$form"
xdotool key alt+s
wait_ended "$app_pid" "TransOrvidaAldrena"
expect_ini 0
kill "$host_pid"

# --- Keys alone: Tab to BExportar, Return, a document that is not XML: the error box; the
# window stays in the host and has the keyboard again; Alt+S writes 0.
begin "palabra desconocida, teclado y error"
drive=$(new_drive_c c_teclado)
printf 'esto no es XML' >"$drive/KTEMP/sauce/roto.xml"
start_host --tamano 800x480
start_program "$drive" ayuda "$host_id"
find_window "$kFormTitle"
form=$window
expect_focus "$form"
xdotool key Tab Tab Return  # BClose -> Button1 -> BExportar
answer_file_dialog "$drive/KTEMP/sauce/roto.xml"
accept_message_box  # the error
expect_focus "$form"
kill -0 "$app_pid" 2>/dev/null || fail "el error cerró la ventana"
xdotool key alt+s
wait_ended "$app_pid" "TransOrvidaAldrena"
expect_ini 0
kill "$host_pid"

# --- The same, closed by a click on BClose.
begin "palabra desconocida, clic en Salir"
start_host --tamano 800x480
start_program "$drive" "exportar " "$host_id"
find_window "$kFormTitle"
form=$window
expect_child_at "$host_id" "632x266+84+107"
# BClose lies at (256, 32) in the bottom strip at (0, 168); 89x25.
xdotool mousemove --window "$form" 300 212 click 1
wait_ended "$app_pid" "TransOrvidaAldrena"
xdotool mousemove 1020 765
expect_ini 0
kill "$host_pid"

# --- The host's window destroyed while the dialog waits: the program ends and leaves 0.
begin "anfitriona destruida con el diálogo abierto"
drive=$(new_drive_c c_destruida)
TRANSORVIDA_DRIVE_C="$drive" start_host --tamano 800x480 --espera 60 --lanzar "$program" exportar
find_window "$kDialogTitle"
expect_child_at "$host_id" "632x266+84+107"
app_pid=$(pgrep -P "$host_pid" | head -1)
[ -n "$app_pid" ] || fail "la anfitriona no lanzó TransOrvidaAldrena"
kill -TERM "$host_pid"  # the host destroys its window and waits for the program
wait_ended "$host_pid" "la ventana anfitriona (que espera a TransOrvidaAldrena)"
grep -qx 'Transformado=0' "$work/host.out" || fail "la anfitriona leyó: $(tail -1 "$work/host.out")"
grep -q 'terminó con código 0' "$work/host.log" || fail "TransOrvidaAldrena: $(cat "$work/host.log")"
expect_ini 0
[ -z "$(xdotool search --onlyvisible --name "^$kDialogTitle\$" 2>/dev/null)" ] ||
  fail "el diálogo sigue en pantalla"

# --- A handle that names no window: the ordinary dialog, embedded mode still on (−1 written).
begin "identificador sin ventana"
drive=$(new_drive_c c_sin_ventana)
start_program "$drive" exportar 1FFFFFF0
cancel_file_dialog
find_window "$kFormTitle" any
form=$window
xwininfo -tree -id "$form" | grep -q 'Parent window id: 0x[0-9a-f]* (the root window)' ||
  fail "la ventana no es de primer nivel: $(xwininfo -tree -id "$form" | grep Parent)"
accept_message_box
wait_ended "$app_pid" "TransOrvidaAldrena"
expect_ini -1

# --- By hand: an ordinary window on the screen, nothing written when it closes.
begin "a mano"
QT_QPA_PLATFORM=xcb start_program "$drive"
find_window "$kFormTitle"
form=$window
xwininfo -tree -id "$form" | grep -q 'Parent window id: 0x[0-9a-f]* (the root window)' ||
  fail "la ventana no es de primer nivel"
focus "$form"
xdotool key alt+s
wait_ended "$app_pid" "TransOrvidaAldrena"
[ ! -e "$ini" ] || fail "a mano se escribió Velmora.ini"

echo "todas las pruebas de la ventana incrustada pasaron"
