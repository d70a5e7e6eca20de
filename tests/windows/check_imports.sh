#!/usr/bin/env bash
# check_imports.sh OBJDUMP EXE...: every DLL each Windows program imports must be one that
# Windows itself provides. A DLL of the compiler's runtime (libstdc++-6.dll, libgcc_s_*.dll,
# libwinpthread-1.dll) would make the program fail to start on a machine without mingw.
set -euo pipefail
objdump=$1
shift
system_dlls='^(kernel32|advapi32|ws2_32|iphlpapi|msvcrt|user32|shell32|ole32|netapi32|bcrypt)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  if ! grep -qx 'kernel32.dll' <<<"$dlls"; then
    echo "check_imports: $exe: no import table read (KERNEL32.dll missing)"
    status=1
    continue
  fi
  while read -r dll; do
    if ! grep -Eq "$system_dlls" <<<"$dll"; then
      echo "check_imports: $exe imports $dll, which Windows does not provide"
      status=1
    fi
  done <<<"$dlls"
  echo "check_imports: $(basename "$exe"): $(tr '\n' ' ' <<<"$dlls")"
done
exit $status
