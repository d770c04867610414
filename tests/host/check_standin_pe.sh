#!/bin/sh
# check_standin_pe.sh OBJDUMP DLL: checks that the built stand-in host exports what the real
# ScriptHookVanta.dll exports, so that a module which would not load in the game does not load in
# the simulated game either: the sixteen MSVC-decorated names, no bare host name, the stand-in's own
# functions, and an export name table in ascending byte order (Windows finds names by binary search).
set -u
objdump=$1
dll=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }
echo "$headers" | grep -q -E '^Name[[:space:]]+[0-9a-f]+ ScriptHookVanta\.dll$' || fail "export table does not name ScriptHookVanta.dll"

# In table order, as the loader searches them.
exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s+\[' | awk '{print $NF}')
sorted=$(echo "$exports" | LC_ALL=C sort)
[ "$exports" = "$sorted" ] || fail "the export name table is not in ascending byte order: the Windows loader would miss names"

want='?getGameVersion@@YA?AW4eGameVersion@@XZ
?getGlobalPtr@@YAPEA_KH@Z
?getScriptHandleBaseAddress@@YAPEAEH@Z
?keyboardHandlerRegister@@YAXP6AXKGEHHHH@Z@Z
?keyboardHandlerUnregister@@YAXP6AXKGEHHHH@Z@Z
?nativeCall@@YAPEA_KXZ
?nativeInit@@YAX_K@Z
?nativePush64@@YAX_K@Z
?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z
?scriptRegisterAdditionalThread@@YAXPEAUHINSTANCE__@@P6AXXZ@Z
?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z
?scriptWait@@YAXK@Z
?worldGetAllObjects@@YAHPEAHH@Z
?worldGetAllPeds@@YAHPEAHH@Z
?worldGetAllPickups@@YAHPEAHH@Z
?worldGetAllVehicles@@YAHPEAHH@Z'
host_exports=$(echo "$sorted" | grep -v '^standin_')
[ "$host_exports" = "$want" ] || fail "host exports are:
$host_exports
want exactly the real host's sixteen decorated names:
$want"

for own in standin_run_frame standin_script_count standin_set_native_handler standin_set_observer; do
  echo "$exports" | grep -q -x "$own" || fail "the stand-in's own export $own is missing"
done

[ "$failures" -eq 0 ] && echo "ScriptHookVanta.dll (stand-in): exports the real host's sixteen decorated names, sorted, and its own"
[ "$failures" -eq 0 ]
