# wardeck.exe: Windows x64, one statically linked GUI executable.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
enable_language(RC)

file(GLOB WD_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
add_executable(wardeck WIN32
  ${CMAKE_SOURCE_DIR}/src/main_win32.cpp
  ${WD_WIN32_SOURCES}
  ${CMAKE_SOURCE_DIR}/res/wardeck.rc)
target_include_directories(wardeck PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(wardeck PRIVATE wardeck_logic comctl32 shell32 psapi advapi32 user32 gdi32 shlwapi ole32 uuid)
target_link_options(wardeck PRIVATE -static -municode -mwindows -s)

# The automation client of the end-to-end tests (runs under Wine).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/client/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/client ${CMAKE_BINARY_DIR}/e2e-client)
endif()
