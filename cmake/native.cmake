# Linux build: unit tests on the simulated desktop, and the fuzz targets with clang.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB TELVARO_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(telvaro_test_support STATIC ${TELVARO_TEST_SUPPORT})
target_include_directories(telvaro_test_support PUBLIC tests/support tests)
target_link_libraries(telvaro_test_support PUBLIC telvaro_core GTest::gtest GTest::gmock)
target_compile_options(telvaro_test_support PRIVATE ${TELVARO_WARNINGS})
target_compile_definitions(telvaro_test_support PRIVATE
  TELVARO_TESTDATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")

file(GLOB TELVARO_UNIT_TESTS CONFIGURE_DEPENDS tests/unit/*.cpp)
# The icon file writer is build-machine code (zlib), tested here beside the rest.
find_package(ZLIB REQUIRED)
add_executable(unit_tests ${TELVARO_UNIT_TESTS} src/shell/IconArtIco.cpp)
target_link_libraries(unit_tests PRIVATE telvaro_test_support GTest::gtest_main ZLIB::ZLIB)
target_compile_options(unit_tests PRIVATE ${TELVARO_WARNINGS})
target_compile_definitions(unit_tests PRIVATE
  TELVARO_TESTDATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
  TELVARO_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/CMakeLists.txt)
  add_subdirectory(fuzz)
endif()
