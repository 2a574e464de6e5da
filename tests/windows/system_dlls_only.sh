#!/bin/sh
# Usage: system_dlls_only.sh OBJDUMP PROGRAM.exe...
# Fails unless every DLL the programs import comes with Windows itself: a
# program linked statically needs no libstdc++, libgcc or winpthread DLL.
objdump="$1"
shift
status=0
for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$dlls" ] || { echo "FAIL: $exe: no imports found"; status=1; continue; }
    echo "$(basename "$exe"):" $dlls
    for dll in $dlls; do
        case $(echo "$dll" | tr 'A-Z' 'a-z') in
            kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll | \
                gdi32.dll | opengl32.dll | glu32.dll | shell32.dll | ole32.dll | ws2_32.dll | bcrypt.dll | ntdll.dll) ;;
            *) echo "FAIL: $exe needs $dll, which Windows does not have"; status=1 ;;
        esac
    done
done
exit $status
