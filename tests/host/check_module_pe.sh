#!/bin/sh
# check_module_pe.sh OBJDUMP MODULE VERSION [MAP]: checks the built module's PE tables as a player's machine
# and the host see them: its recorded name, exactly two exports, the host imported by name with only
# the six functions the module calls (under the host's decorated names), no compiler runtime DLLs,
# ASLR and DEP, and a version resource. And what it would do in the game's process besides: no TLS
# directory (whose callbacks run on every thread of the game), no thread machinery, no exception
# machinery, no loading of other DLLs, at most 64 KiB, and, from the link MAP when given, no
# winpthread and no static constructor.
set -u
objdump=$1
module=$2
version=$3
map=${4:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$module") || { echo "FAIL: $objdump cannot read $module"; exit 1; }

echo "$headers" | grep -q -E '^Name[[:space:]]+[0-9a-f]+ ManeShade\.asi$' || fail "export table does not name ManeShade.asi"

exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s+\[' | awk '{print $NF}' | sort | tr '\n' ' ')
[ "$exports" = "cleanup setup " ] || fail "exports are '$exports', want exactly 'cleanup setup'"

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort | tr '\n' ' ')
for dll in $dlls; do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
    scripthookvanta.dll | kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | api-ms-win-*) ;;
    *) fail "imports $dll, which is not a Windows system DLL nor the host" ;;
  esac
done
echo "$dlls" | grep -q 'ScriptHookVanta.dll' || fail "does not import ScriptHookVanta.dll"

# The real host exports MSVC-decorated C++ names; any other name makes Windows refuse the module.
host_imports=$(echo "$headers" | sed -n '/DLL Name: ScriptHookVanta.dll/,/^$/p' | awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' | LC_ALL=C sort | tr '\n' ' ')
want_imports='?nativeCall@@YAPEA_KXZ ?nativeInit@@YAX_K@Z ?nativePush64@@YAX_K@Z ?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z ?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z ?scriptWait@@YAXK@Z '
[ "$host_imports" = "$want_imports" ] ||
  fail "host imports are '$host_imports', want exactly the six the module calls, under the host's decorated names: '$want_imports'"

# Data directory 9: the TLS directory's address and size, both zero when there is none.
tls=$(echo "$headers" | awk '/Thread Storage Directory/ {print $3 $4}')
case $tls in
  "" | 000000000000000000000000) ;;
  *) fail "the module has a TLS directory ($tls): its callbacks would run on every thread the game starts and ends" ;;
esac
imported() { echo "$headers" | grep -q -E "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$1\$"; }
for name in SuspendThread ResumeThread SetThreadContext GetThreadContext CreateThread _beginthreadex _endthreadex \
    TlsAlloc TlsFree TlsGetValue TlsSetValue CreateSemaphoreW CreateSemaphoreA ReleaseSemaphore; do
  imported "$name" && fail "imports $name: thread machinery the module never uses"
done
# The module reports every failure as a value: nothing of C++ exceptions or the unwinder may be in it.
for name in RaiseException RtlUnwindEx RtlUnwind RtlVirtualUnwind RtlCaptureContext RtlLookupFunctionEntry; do
  imported "$name" && fail "imports $name: exception machinery in a module built without exceptions"
done
for name in LoadLibraryA LoadLibraryW LoadLibraryExA LoadLibraryExW GetProcAddress; do
  imported "$name" && fail "imports $name: the module loads nothing and looks nothing up at run time"
done
size=$(wc -c < "$module")
[ "$size" -le 65536 ] || fail "the module is $size bytes, more than 64 KiB"
if [ -n "$map" ]; then
  # An archive member pulled in shows as "libpthread.a(member)"; the archive's name alone is only searched.
  grep -q 'libpthread\.a(' "$map" && fail "links winpthread (see $map)"
  # Input sections of constructors, which would never run: there must be none.
  ctors=$(grep -E '^ \.ctors[^ ]*[[:space:]]+0x[0-9a-f]+[[:space:]]+0x[0-9a-f]+ ' "$map" | grep -v -E '0x0+ [^ ]*$')
  [ -z "$ctors" ] || fail "static constructors would never run (the module has no C runtime start-up): $ctors"
fi

for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  echo "$headers" | grep -q -E "^[[:space:]]+$flag\$" || fail "DllCharacteristics lacks $flag"
done

# The version resource's strings are UTF-16LE: read them as such, in order (name, then value).
resource=$(strings -el "$module" | tr '\n' '|')
for pair in "ProductName|Mane Shade|" "OriginalFilename|ManeShade.asi|" "FileVersion|$version|" "ProductVersion|$version|" \
    "LegalCopyright|Copyright "; do
  case $resource in
    *"$pair"*) ;;
    *) fail "version resource lacks '$pair'" ;;
  esac
done

[ "$failures" -eq 0 ] && echo "ManeShade.asi ($size bytes): name, exports, imports, DllCharacteristics, version resource, no TLS, no thread or exception machinery, as required"
[ "$failures" -eq 0 ]
