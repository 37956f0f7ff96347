#!/bin/bash
# Dialling while the modem does not answer: the supervision never brought it up, so
# "&Marcar" says "Não é possível comunicar com o modem." and sends nothing.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_dial_not_ready
fakemodem_start --no-answer
harness_map_port COM5
harness_settings COM5 1
mkdir -p "$HARNESS_DIR/app"
printf 'Zé;219876543\r\n' >"$HARNESS_DIR/app/agenda.dat"
sonavi_start --desktop
# The first supervision step asks "AT" and gives up after its time-out.
harness_wait_log '^[0-9]+ AT$' 30
ui_wait_started 30
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
before=$(wc -l <"$FAKEMODEM_LOG")
ui_key alt+m
ui_wait_box 15 "Não é possível comunicar com o modem."
ui_key Return
ui_wait_gone 10 Sonavi "Não é possível comunicar com o modem."
ui_wait_window 10 Agenda "&Procurar"
after=$(wc -l <"$FAKEMODEM_LOG")
((after == before)) || harness_fail "commands were sent: $(tail -n +"$((before + 1))" "$FAKEMODEM_LOG")"
harness_pass
