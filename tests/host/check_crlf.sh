#!/bin/sh
# check_crlf.sh FILE: every line of FILE ends with "\r\n" (as Notepad on every Windows shows it).
set -u
cr=$(printf '\r')
lines=$(wc -l < "$1")
crlf=$(grep -c "$cr\$" "$1")
[ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && echo "$1: $lines lines, all ending in CRLF" && exit 0
echo "FAIL: $1: $crlf of $lines lines end in CRLF"
exit 1
