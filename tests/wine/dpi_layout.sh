#!/bin/bash
# The windows at 96, 120, 144 and 192 DPI (LogPixels, read as a program starts): at each,
# win32_tests' DpiLayout checks every window's size, controls and texts, there and after
# moves to the other DPIs. Then the real program at SONAVI_SHOT_DPI (144 unless told) opens
# its windows for their pictures, NAME_DPI.png in $SONAVI_SCREENSHOTS (docs/screenshots/ for
# the README's).
# A Wine prefix and a screen of their own keep the DPI and fonts set here from the other
# scenarios. Wine here draws all the program's faces in DejaVu Sans, a fifth wider than
# MS Sans Serif, which clips "simular chamada 219876543" even at 96 DPI: this prefix gets
# Wine's MS Sans Serif (its 96-DPI sizes) and Tahoma for the outline face.
export WINEPREFIX="${SONAVI_BUILD:?}/wineprefix-dpi" SONAVI_SCREEN_SIZE=1600x1200
unset DISPLAY
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init dpi_layout
cp /usr/share/wine/fonts/sserife.fon /usr/share/wine/fonts/tahoma.ttf \
  "$WINEPREFIX/drive_c/windows/Fonts/"
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Microsoft Sans Serif" /d Tahoma \
  /f >/dev/null 2>&1
set_dpi() {
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >/dev/null 2>&1
}

for dpi in 96 120 144 192; do
  set_dpi "$dpi"
  export SONAVI_TEST_DPI=$dpi
  harness_run_win32_tests 'DpiLayout.*'
done

dpi=${SONAVI_SHOT_DPI:-144}
set_dpi "$dpi"
shots="${SONAVI_SCREENSHOTS:-$HARNESS_DIR/screenshots}"
mkdir -p "$shots"
PROBE_DESKTOP=sonavi

keep_picture() {
  ui_window_shot "$1" "$HARNESS_DIR/$2.png"
  convert "$HARNESS_DIR/$2.png" -strip "png8:$shots/${2}_$dpi.png"
}

# With no port stored, the options dialog opens by itself at start.
mkdir -p "$HARNESS_DIR/app"
ui_book_bytes "Ana Silva;219876543" "Zé Maria;226543210" >"$HARNESS_DIR/app/agenda.dat"
sonavi_start --desktop
options=$(probe_wait_window 60 SonaviForm "Opções")
keep_picture "Opções" options
probe_click "$(probe_child "$options" Button "&Cancelar")"
ui_wait_started 30
form1=$(probe windows | awk '$3 == "SonaviForm" && $4 == "\"Form1\"" {print $1; exit}')

# The tray menu's commands: 200 "Agenda", 201 "Lista de Chamadas", 203 "Sobre...", 204 "Sair".
probe command "$form1" 200
agenda=$(probe_wait_window 10 SonaviForm Agenda)
keep_picture Agenda phonebook
probe_click "$(probe_child "$agenda" Button "&Adicionar")"
entry_dialog() { entry=$(probe find SonaviForm Agenda | grep -vx "$agenda") && [[ -n "$entry" ]]; }
harness_wait_for 10 "the entry dialog" entry_dialog
entry_dialog
keep_picture Agenda entry_dialog
probe_click "$(probe_child "$entry" Button "&Cancelar")"
probe_wait_gone 10 "$entry"

# The phone book's hidden "&z" button shows the diagnostic window.
probe command "$agenda" "$(probe children "$agenda" | awk '$5 == "\"&z\"" {print $2; exit}')"
probe_wait_window 10 SonaviForm Form1 >/dev/null
probe_click "$(probe_child "$form1" Button "simular chamada 219876543")"
harness_wait_for 10 "the call in the log" eval 'sonavi_modem_log | grep -q "NMBR = 219876543"'
keep_picture Form1 diagnostic
probe_click "$(probe_child "$form1" Button hide)"
probe_wait_gone 10 "$form1"

probe command "$form1" 201
probe_wait_window 10 SonaviForm "Lista de Chamadas" >/dev/null
keep_picture "Lista de Chamadas" call_list

probe command "$form1" 203
about=$(probe_wait_window 10 SonaviForm "About...")
keep_picture "About..." about
probe_click "$(probe_child "$about" Button "&OK")"
probe_wait_gone 10 "$about"

probe command "$form1" 204
harness_wait_for 20 "the program to end" eval '! sonavi_running'
harness_pass
