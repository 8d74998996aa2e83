# Unit tests, run natively against the headless toolkit and in-memory platform.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB WD_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
file(GLOB WD_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)

add_library(wardeck_support STATIC ${WD_SUPPORT_SOURCES})
target_include_directories(wardeck_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(wardeck_support PUBLIC wardeck_logic)
target_compile_options(wardeck_support PRIVATE ${WD_WARNINGS})

if(WD_FUZZ)
  return()  # the fuzz build makes only the fuzz targets
endif()

add_executable(wardeck_tests ${WD_UNIT_SOURCES})
target_link_libraries(wardeck_tests PRIVATE wardeck_support GTest::gtest GTest::gtest_main Threads::Threads)
target_compile_options(wardeck_tests PRIVATE ${WD_WARNINGS})

include(GoogleTest)
gtest_discover_tests(wardeck_tests DISCOVERY_MODE PRE_TEST)
