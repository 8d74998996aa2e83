# One libFuzzer executable per tests/fuzz/fuzz_*.cpp, over the logic and the
# in-memory platform, with AddressSanitizer and UBSan. Undefined behaviour
# stops the run as a crash does (UBSan would otherwise report it and go on).
set(WD_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(wardeck_logic PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
target_compile_options(wardeck_support PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
file(GLOB WD_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(src ${WD_FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE ${WD_FUZZ_FLAGS} ${WD_WARNINGS})
  target_link_options(${name} PRIVATE ${WD_FUZZ_FLAGS})
  target_link_libraries(${name} PRIVATE wardeck_support)
endforeach()
# The build's own check (scripts/fuzz runs it): undefined behaviour stops a run.
add_executable(ub_check ${CMAKE_SOURCE_DIR}/tests/fuzz/ub_check.cpp)
target_compile_options(ub_check PRIVATE ${WD_FUZZ_FLAGS} ${WD_WARNINGS})
target_link_options(ub_check PRIVATE ${WD_FUZZ_FLAGS})
