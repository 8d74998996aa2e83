# wardeck.exe: Windows x64, one statically linked GUI executable.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
enable_language(RC)

# Two builds of one commit give the same bytes of wardeck.exe, wherever the
# checkout and the build directory are: paths the compiler writes are relative
# to the checkout, and the linker writes no time stamp (see wardeck below).
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
# -O2 rather than -O3: the loops -O3 unrolls and the calls it inlines make the
# file a tenth larger for no speed a user of this program can see.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
# Every function and object in a section of its own, so that the linker
# leaves out what nothing uses (much of the static C++ library): a smaller
# file to map at each start.
add_compile_options(-ffunction-sections -fdata-sections)
target_compile_options(wardeck_logic PRIVATE -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)

# The version resource reads its numbers from project() through a header.
set(WD_VERSION_TWEAK 0)
if(PROJECT_VERSION_TWEAK)
  set(WD_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
configure_file(${CMAKE_SOURCE_DIR}/res/wardeck_version.h.in ${CMAKE_BINARY_DIR}/generated/wardeck_version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)

# The Win32 side of every platform interface: the toolkit and the system
# services. wardeck.exe, the process benchmark and the platform check link it.
file(GLOB WD_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
add_library(wardeck_win32 STATIC ${WD_WIN32_SOURCES})
target_include_directories(wardeck_win32 PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(wardeck_win32 PRIVATE ${WD_WARNINGS})
target_link_libraries(wardeck_win32 PUBLIC comctl32 psapi advapi32 user32 gdi32 uuid ntdll)

add_executable(wardeck WIN32
  ${CMAKE_SOURCE_DIR}/src/main_win32.cpp
  ${CMAKE_SOURCE_DIR}/res/wardeck.rc)
target_compile_options(wardeck PRIVATE ${WD_WARNINGS})
target_link_libraries(wardeck PRIVATE wardeck_logic wardeck_win32)
target_link_options(wardeck PRIVATE -static -municode -mwindows -s -Wl,--no-insert-timestamp -Wl,--gc-sections)
# Every library it imports comes from System32 or WinSxS, never from its folder.
add_custom_command(TARGET wardeck POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:wardeck>
          -P ${CMAKE_SOURCE_DIR}/cmake/check-imports.cmake
  VERBATIM)

# The automation client of the end-to-end tests (runs under Wine), and the
# benchmarks that run beside it.
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/client ${CMAKE_BINARY_DIR}/e2e-client)
add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
