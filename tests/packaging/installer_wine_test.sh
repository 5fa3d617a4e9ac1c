#!/bin/sh
# The Windows installer under Wine, inside qor-sandbox, in a prefix of its own:
# a silent install puts the deliverables under Program Files and writes the
# registry values and registers the log-on task (schtasks); a log-on starts
# halvora through that task (wineboot starts the session, and the test plays
# the Task Scheduler, which under Wine keeps the task but never runs a log-on
# trigger); the silent uninstaller stops it with halvstop and removes what was
# installed, the task with it.
#
#   installer_wine_test.sh RUN_WINE HIDE_LIB WINEBOOT_STANDIN PREFIX ARTIFACTS INSTALLER BIN_DIR
#
# (HIDE_LIB and WINEBOOT_STANDIN as for run_wine.sh setup.)
# INSTALLER.files lists the installed deliverables (relative to the install
# folder); BIN_DIR holds the cross-built copies they must equal.
set -u
run_wine=$1 hide=$2 standin=$3 prefix=$4 artifacts=$5 installer=$6 bin=$7
dir="$prefix/drive_c/Program Files/Brantel/Halvora"
windir='C:\Program Files\Brantel\Halvora'
qor_key='HKLM\Software\Brantel\Halvora\Qor'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvoraQor'
# Where Wine's Task Scheduler keeps the registered task "Halvora".
task="$prefix/drive_c/windows/system32/tasks/Halvora"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

wine_run() {
    "$run_wine" run "$prefix" "$hide" "$artifacts" -- "$@"
}

# query KEY VALUE: the value's "TYPE DATA" as reg prints it, or nothing.
query() {
    wine_run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v v="$2" '{ line = $0; sub(/^ +/, "", line) }
                       index(line, v " ") == 1 { sub(/^[^ ]+( [^ ]+)* +REG_/, "REG_", line); gsub(/ +/, " ", line); print line }'
}

expect_value() {
    got=$(query "$1" "$2")
    [ "$got" = "$3" ] || fail "$1 \"$2\": want \"$3\", got \"$got\""
}

expect_no_value() {
    got=$(query "$1" "$2")
    [ -z "$got" ] || fail "$1 \"$2\" still there: $got"
}

[ -n "${QOR_SANDBOX_DIR:-}" ] || { echo "installer_wine_test.sh: not inside qor-sandbox" >&2; exit 2; }
"$run_wine" setup "$prefix" "$hide" "$standin" || { echo "Wine prefix set-up failed"; exit 1; }

files=$(cat "$installer.files")
for f in halvora.exe qorwarn.exe halvstop.exe clozwin9.dll clozwinnt.dll Eng.dll English/halvhelp.chm; do
    echo "$files" | grep -qx "$f" || fail "the installer leaves out $f"
done

echo "== silent install"
wine_run "$installer" /S
st=$?
[ $st -eq 0 ] || fail "installer exit status $st"
for f in $files uninstall.exe; do
    [ -f "$dir/$f" ] || fail "not installed: $f"
done
for f in $files; do
    cmp -s "$dir/$f" "$bin/$f" || fail "installed $f differs from the build's"
done

echo "== registry after install"
expect_value "$qor_key" RestoreSystemFile "REG_DWORD 0x0"
expect_value "$qor_key" BootGUI "REG_DWORD 0x1"
expect_no_value "$run_key" Halvora
[ -f "$task" ] || fail "the log-on task is not registered"
[ -f "$dir/halvora-task.xml" ] || fail "the log-on task's definition is not installed"
expect_value "$uninst_key" QuietUninstallString "REG_SZ \"$windir\\uninstall.exe\" /S"

echo "== a log-on starts halvora through the task; the silent uninstaller stops it"
wine_run cmd /c wineboot '&' "$bin/../wine-tests/qorwin_wine_tests.exe" "--bin=$dir" \
    "--artifacts=$artifacts" --gtest_filter='InstalledHalvora.*'
st=$?
[ $st -eq 0 ] || fail "log-on and uninstall under Wine: status $st"

echo "== after uninstall"
for f in $files uninstall.exe; do
    [ ! -e "$dir/$f" ] || fail "left behind: $f"
done
[ ! -e "$dir" ] || fail "left behind: the install folder"
[ ! -e "$task" ] || fail "left behind: the log-on task"
expect_no_value "$qor_key" RestoreSystemFile
expect_no_value "$qor_key" BootGUI
expect_no_value "$run_key" Halvora
expect_no_value "$uninst_key" UninstallString

[ $failures -eq 0 ] && echo "PASS" && exit 0
echo "$failures failure(s)"
exit 1
