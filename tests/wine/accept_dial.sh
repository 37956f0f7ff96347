#!/bin/bash
# Dialling from the phone book with "&Marcar": the modem gets "AT", "ATM0" only when the
# loudspeaker is to be off, then the voice dial command; the handset box comes up, and the
# line is put back on-hook ("ATH0") only once the user confirms it. A character typed into
# the grid that stands for no button leaves the selected entry where it is.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_dial
fakemodem_start
harness_map_port COM5
mkdir -p "$HARNESS_DIR/app"

HANDSET="Número marcado, levante o auscultador do telefone e em seguida clique OK."

# The modem's commands after line number $1 of its log, one a line.
commands_after() { tail -n +"$(($1 + 1))" "$FAKEMODEM_LOG" | cut -d' ' -f2-; }

# One run of the program with the loudspeaker setting $1; $2 lists the commands expected
# before the handset box.
dial_with_speaker_off() {
  local off=$1 expected=$2 before got
  harness_settings COM5 "$off"
  printf 'Ana;21\r\nBruno;219876543\r\nCarla;333\r\n' >"$HARNESS_DIR/app/agenda.dat"
  sonavi_start --desktop
  harness_wait_log '^[0-9]+ AT#CID=1$' 30
  ui_wait_started 30
  ui_tray_click double
  ui_wait_window 10 Agenda "&Procurar"
  ui_wait_foreground 10 Agenda
  ui_wait_focus 10 Agenda 202
  ui_type "98765"
  ui_key Return
  ui_wait_grid 10 Agenda "3 1"
  # Into the grid (the search box, "&Procurar", the grid), where "7" finds no row.
  ui_key Tab Tab
  ui_wait_focus 10 Agenda 201
  ui_type "7"
  before=$(wc -l <"$FAKEMODEM_LOG")
  ui_key alt+m
  ui_wait_box 15 "$HANDSET"
  got=$(commands_after "$before")
  [[ "$got" == "$expected" ]] ||
    harness_fail "speaker off $off: commands before the box were:"$'\n'"$got"$'\n'"expected:"$'\n'"$expected"
  # The line is held until the user clicks OK.
  ui_key Return
  ui_wait_gone 10 Sonavi "$HANDSET"
  harness_wait_log '^[0-9]+ ATH0$' 10
  got=$(commands_after "$before")
  [[ "$got" == "$expected"$'\n'"ATH0" ]] || harness_fail "speaker off $off: after OK:"$'\n'"$got"
  sonavi_stop
}

dial_with_speaker_off 0 $'AT\nATDT219876543;'
dial_with_speaker_off 1 $'AT\nATM0\nATDT219876543;'
harness_pass
