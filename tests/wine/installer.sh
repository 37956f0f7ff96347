#!/bin/bash
# The installer and the uninstaller as a user and an administrator's script meet them:
# - shown, its options page offers "Iniciar o Sonavi com o Windows", ticked (a picture of
#   it in $SONAVI_SCREENSHOTS, the scratch folder by default);
# - silent (/S): the 64-bit program (on an x64 machine), its README, NOTICE and LICENSE
#   (CR LF text) in %LOCALAPPDATA%\Programs\Sonavi, the Start menu shortcut, the Run value
#   and the Apps & features entry; the installed program starts, prepares the modem and
#   records a call beside itself; a program file it cannot write ends it with exit code 2
#   and nothing registered;
# - installing again while the program runs waits for it to end, then replaces the program
#   and keeps agenda.dat and listcham.dat byte for byte;
# - the entry's silent uninstall command, run as a package manager runs it, returns only
#   when it has finished, with its real exit code: it waits while the program runs; then
#   program, texts, uninstaller, shortcut, Run value and entry are gone, data and settings
#   kept; with no data the folder goes too; nothing of it is left in %TEMP%; a program it
#   cannot delete ends it with exit code 2 and everything registered kept; with
#   /APAGARDADOS (here the plain /S, which returns at once) the data, the settings and the
#   folder go too.
# (Which exe a 32-bit Windows or Windows on ARM gets cannot be shown under Wine.)
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
entry_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sonavi'
settings_key='HKCU\Software\Borvane\Sonavi'

harness_init installer
setup=${SONAVI_INSTALLER:-}
[[ -f "$setup" ]] || harness_fail "no installer '$setup' (configure the build with -DSONAVI_EXE32=...)"
shots="${SONAVI_SCREENSHOTS:-$HARNESS_DIR/screenshots}"

local_app_data=$("$WINE" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
app_win="$local_app_data\\Programs\\Sonavi"
app=$("$WINE" winepath -u "$app_win" 2>/dev/null)
app=${app%/}
start_menu=$("$WINE" winepath -u "$("$WINE" cmd /c 'echo %APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" 2>/dev/null)
shortcut="${start_menu%/}/Sonavi.lnk"
temp=$("$WINE" winepath -u "$("$WINE" cmd /c 'echo %TEMP%' | tr -d '\r')" 2>/dev/null)
temp=${temp%/}
harness_log "install folder $app"
faults_remote_build

# A prefix without Sonavi.
rm -rf "$app" "$shortcut"
"$WINE" reg delete "$run_key" /v Sonavi /f >/dev/null 2>&1 || true
"$WINE" reg delete "$entry_key" /f >/dev/null 2>&1 || true
wine_clear_settings
rm -f "$temp"/ns*.tmp.exe

# reg query's values of a key, one "NAME TYPE DATA" a line.
reg_values() { "$WINE" reg query "$1" 2>/dev/null | tr -d '\r' | sed -n -E 's/^ +//; s/ {2,}/ /gp'; }
entry_gone() { ! "$WINE" reg query "$entry_key" >/dev/null 2>&1; }
# The installer and the uninstaller unpack their System plug-in into %TEMP%\ns*.tmp when they
# first look for the running program (and remove it when they end); from there, were they
# not to wait, they would go on at once.
looking_for_sonavi() { compgen -G "$temp/ns*.tmp/System.dll" >/dev/null; }
# still_for SECONDS COMMAND...: the command stays true for that long (polled every 0.1 s).
still_for() {
  local deadline=$(($(_harness_now_us) + $1 * 1000000))
  shift
  while (($(_harness_now_us) < deadline)); do
    "$@" >/dev/null 2>&1 || return 1
    sleep 0.1
  done
}

# Shown: the welcome page, "Seguinte", the options page with its check box.
"$WINE" explorer /desktop=installer,800x600 "$setup" >/dev/null 2>&1 </dev/null &
gui=$!
PROBE_DESKTOP=installer
page=$(probe_wait_window 20 '#32770' 'Instalação de Sonavi')
probe_click "$(probe_child "$page" Button '&Seguinte >')"
# The page's controls sit in an inner dialog.
start_box() {
  local inner
  inner=$(probe children "$page" | awk '$3 == 1 && $4 == "#32770" {print $1; exit}')
  [[ -n "$inner" ]] && box=$(probe_child "$inner" Button "Iniciar o Sonavi com o Windows") &&
    [[ -n "$box" ]]
}
harness_wait_for 10 "the options page" start_box
[[ "$(probe checked "$box")" == 1 ]] || harness_fail "'Iniciar o Sonavi com o Windows' is not ticked"
read -r -a r < <(probe rect "$page")
harness_screenshot installer_options
mkdir -p "$shots"
convert "$HARNESS_DIR/installer_options.png" \
  -crop "$((r[2] - r[0] + 24))x$((r[3] - r[1] + 24))+$((r[0] - 12))+$((r[1] - 12))" \
  +repage -strip "png8:$shots/installer_options.png" || harness_fail "no picture of the page"
harness_stop_pid "$gui"
unset PROBE_DESKTOP

# Silent install (mapping the port restarts the Wine server, which ends the shown installer).
fakemodem_start
harness_map_port COM5
[[ ! -e "$app" ]] || harness_fail "the installer left $app before installing"
harness_settings COM5 0
# A program file it cannot write (a folder in its place) ends the installation, reported.
mkdir -p "$app/sonavi.exe"
code=0
"$WINE" "$setup" /S </dev/null || code=$?
((code == 2)) || harness_fail "an unwritable sonavi.exe: exit code $code, not 2"
entry_gone && [[ -z "$(wine_reg_value "$run_key" Sonavi)" ]] ||
  harness_fail "an unwritable sonavi.exe: the entry or the Run value was written all the same"
rm -rf "$app"
"$WINE" "$setup" /S </dev/null || harness_fail "the silent install failed"
cmp -s "$app/sonavi.exe" "$SONAVI_EXE" || harness_fail "no 64-bit sonavi.exe in $app"
for text in README.txt NOTICE.txt LICENSE.txt; do
  cmp -s "$app/$text" "$SONAVI_BUILD/windows-texts/$text" || harness_fail "no $text in $app"
done
[[ -f "$app/desinstalar.exe" ]] || harness_fail "no uninstaller in $app"
[[ -f "$shortcut" ]] || harness_fail "no Start menu shortcut $shortcut"
[[ "$(wine_reg_value "$run_key" Sonavi)" == "REG_SZ \"$app_win\\sonavi.exe\"" ]] ||
  harness_fail "Run value: '$(wine_reg_value "$run_key" Sonavi)'"
entry=$(reg_values "$entry_key")
harness_log "Apps & features entry:"$'\n'"$entry"
for want in "DisplayName REG_SZ Sonavi" "DisplayVersion REG_SZ $(sonavi_version)" \
  "Publisher REG_SZ Borvane" "DisplayIcon REG_SZ $app_win\\sonavi.exe,0" \
  "InstallLocation REG_SZ $app_win" "UninstallString REG_SZ \"$app_win\\desinstalar.exe\"" \
  "QuietUninstallString REG_SZ \"$app_win\\desinstalar.exe\" /S _?=$app_win" \
  "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1"; do
  grep -qxF -- "$want" <<<"$entry" || harness_fail "entry lacks '$want'"
done
grep -Eq '^EstimatedSize REG_DWORD 0x[0-9a-f]{3,}$' <<<"$entry" || harness_fail "no EstimatedSize"

# The entry's silent uninstall command, run as a package manager runs it: the program and
# its arguments as written in the registry (the same at every install).
[[ "$(wine_reg_value "$entry_key" QuietUninstallString)" =~ ^REG_SZ\ \"([^\"]+)\"\ (.*)$ ]] ||
  harness_fail "QuietUninstallString is not a quoted program with its arguments"
quiet_program=${BASH_REMATCH[1]}
read -r -a quiet_arguments <<<"${BASH_REMATCH[2]}"
quiet_uninstall() { "$WINE" "$quiet_program" "${quiet_arguments[@]}" </dev/null >/dev/null 2>&1; }

# The installed program: the modem prepared, a call recorded in the install folder.
printf 'Ana;219876543\r\n' >"$app/agenda.dat"
sonavi_start "$app"
harness_wait_log '^[0-9]+ AT#CID=1$' 20
harness_wait_for 10 "the tray icon" tray_icon_centre
faults_wait_ready 1 20
fakemodem_control "call 912345678 1"
harness_wait_for 15 "the call in $app/listcham.dat" grep -q ';912345678;' "$app/listcham.dat"
agenda=$(sha256sum <"$app/agenda.dat")
calls=$(sha256sum <"$app/listcham.dat")
exe_time=$(stat -c %.9Y "$app/sonavi.exe")

# Installing again while it runs: the installer waits.
exe_untouched() { [[ "$(stat -c %.9Y "$app/sonavi.exe")" == "$exe_time" ]]; }
rm -rf "$temp"/ns*.tmp
"$WINE" "$setup" /S </dev/null >/dev/null 2>&1 &
again=$!
harness_wait_for 30 "the installer to look for the running program" \
  eval 'looking_for_sonavi || ! kill -0 '"$again"' || ! exe_untouched'
still_for 2 eval 'kill -0 '"$again"' && exe_untouched' ||
  harness_fail "the installer did not wait for the running program"
sonavi_stop
harness_wait_for 30 "the second install to end" eval '! kill -0 '"$again"
wait "$again" || harness_fail "the second install failed"
[[ "$(stat -c %.9Y "$app/sonavi.exe")" != "$exe_time" ]] || harness_fail "the upgrade kept the old program"
[[ "$(sha256sum <"$app/agenda.dat")" == "$agenda" ]] || harness_fail "the upgrade changed agenda.dat"
[[ "$(sha256sum <"$app/listcham.dat")" == "$calls" ]] || harness_fail "the upgrade changed listcham.dat"

# The upgraded program starts. Uninstalling it silently while it runs waits for it to
# end too; the data stays.
sonavi_start "$app"
faults_wait_ready 1 20
rm -rf "$temp"/ns*.tmp
quiet_uninstall &
uninstall=$!
harness_wait_for 30 "the uninstaller to look for the running program" \
  eval 'looking_for_sonavi || ! kill -0 '"$uninstall"' || [[ ! -e "$app/sonavi.exe" ]]'
still_for 2 eval 'kill -0 '"$uninstall"' && [[ -e "$app/sonavi.exe" ]] && ! entry_gone' ||
  harness_fail "the uninstaller did not wait for the running program"
sonavi_stop
harness_wait_for 30 "the uninstaller to finish" eval '! kill -0 '"$uninstall"
wait "$uninstall" || harness_fail "the silent uninstall failed (exit code $?)"
entry_gone || harness_fail "the uninstaller left the entry"
for file in sonavi.exe README.txt NOTICE.txt LICENSE.txt; do
  [[ ! -e "$app/$file" ]] || harness_fail "the uninstaller left $file"
done
# Its own file, which it cannot delete while it runs, goes once it has ended.
harness_wait_for 10 "the uninstaller to be gone" eval '[[ ! -e "$app/desinstalar.exe" ]]'
[[ ! -e "$shortcut" ]] || harness_fail "the uninstaller left the shortcut"
[[ -z "$(wine_reg_value "$run_key" Sonavi)" ]] || harness_fail "the uninstaller left the Run value"
[[ "$(sha256sum <"$app/agenda.dat")" == "$agenda" ]] || harness_fail "the uninstaller changed agenda.dat"
[[ "$(sha256sum <"$app/listcham.dat")" == "$calls" ]] || harness_fail "the uninstaller changed listcham.dat"
[[ "$(wine_reg_value "$settings_key" Port)" == "REG_SZ COM5" ]] || harness_fail "the uninstaller removed the settings"

# Installed again and uninstalled with the data, as Apps & features does it silently.
"$WINE" "$setup" /S </dev/null || harness_fail "the third install failed"
# A program it cannot delete (a folder in its place) ends the uninstall, reported, with
# everything registered kept; once it is gone, the uninstall goes through.
rm "$app/sonavi.exe"
mkdir -p "$app/sonavi.exe/x"
code=0
quiet_uninstall || code=$?
((code == 2)) || harness_fail "an undeletable sonavi.exe: exit code $code, not 2"
! entry_gone && [[ -n "$(wine_reg_value "$run_key" Sonavi)" && -e "$shortcut" ]] ||
  harness_fail "an undeletable sonavi.exe: the entry, the Run value or the shortcut went all the same"
rm -rf "$app/sonavi.exe"
"$WINE" "$app/desinstalar.exe" /S /APAGARDADOS </dev/null || harness_fail "the uninstall with /APAGARDADOS failed"
harness_wait_for 20 "the uninstaller to finish" eval '[[ ! -e "$app" ]] && entry_gone'
"$WINE" reg query "$settings_key" >/dev/null 2>&1 && harness_fail "the settings are still there"

# Without data, the entry's silent uninstall leaves no folder behind.
"$WINE" "$setup" /S </dev/null || harness_fail "the fourth install failed"
quiet_uninstall || harness_fail "the silent uninstall failed (exit code $?)"
entry_gone || harness_fail "the silent uninstall returned before removing the entry"
harness_wait_for 10 "the install folder to go" eval '[[ ! -e "$app" ]]'
# The copies in the temporary folder that deleted the uninstaller go too.
harness_wait_for 15 "the uninstaller's copies in $temp to go" \
  eval '! compgen -G "$temp/ns*.tmp.exe"'

harness_pass
