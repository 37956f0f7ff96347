#!/bin/bash
# Dialling on a line without a dial tone: the modem answers the dial command with
# "NO DIALTONE"; the program puts the line back on-hook ("ATH0") and then says
# "Linha sem sinal.".
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_dial_no_dialtone
fakemodem_start --no-dialtone
harness_map_port COM5
harness_settings COM5 0
mkdir -p "$HARNESS_DIR/app"
printf 'Zé;219876543\r\n' >"$HARNESS_DIR/app/agenda.dat"
sonavi_start --desktop
harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
before=$(wc -l <"$FAKEMODEM_LOG")
ui_key alt+m
ui_wait_box 15 "Linha sem sinal."
# "ATH0" went out before the message.
got=$(tail -n +"$((before + 1))" "$FAKEMODEM_LOG" | cut -d' ' -f2-)
[[ "$got" == $'AT\nATDT219876543;\nATH0' ]] || harness_fail "commands before the message:"$'\n'"$got"
ui_key Return
ui_wait_gone 10 Sonavi "Linha sem sinal."
# Nothing more is sent once the message is closed.
ui_wait_window 10 Agenda "&Procurar"
[[ $(wc -l <"$FAKEMODEM_LOG") -eq $((before + 3)) ]] || harness_fail "commands after the message"
harness_pass
