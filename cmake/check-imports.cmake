# Fails the build when wardeck.exe imports a library that the loader could
# take from the program's own folder: only NTDLL (mapped into every process by
# the kernel before anything else), Known DLLs (mapped from System32 on
# Windows 7 to 11) and COMCTL32 (taken from WinSxS, as the manifest asks) may
# be imported. See src/platform/win32/library_search.cpp.
#
#   cmake -DOBJDUMP=<objdump> -DEXE=<wardeck.exe> -P check-imports.cmake
cmake_minimum_required(VERSION 3.20)
# shell32 and ole32 are Known DLLs too, but loaded when first needed
# (src/platform/win32/system_library.cpp): importing them again would put
# their load back into every start-up.
set(allowed ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL NTDLL.DLL USER32.DLL)
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "check-imports: ${OBJDUMP} could not read ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "check-imports: no imports found in ${EXE}")
endif()
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" name "${line}")
  string(STRIP "${name}" name)
  string(TOUPPER "${name}" upper)
  if(NOT upper IN_LIST allowed)
    message(FATAL_ERROR "check-imports: ${EXE} imports ${name}, which is neither NTDLL, one of the Known DLLs "
                        "above nor COMCTL32")
  endif()
endforeach()
