# Windows build (mingw): the product exe, the virtual handset library, the tools and fakes used by
# the end-to-end tests, and the end-to-end tests themselves (run by ctest through Wine).
enable_language(RC)
set(TELVARO_STATIC_LINK -static -static-libgcc -static-libstdc++)
# Every exe and CM_HID.dll land in one folder, so each program finds the handset library beside it
# and the end-to-end tests find the programs beside themselves.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Release builds are what ships (scripts/package.sh): optimised, no symbols and no link time
# stamp in the files, so that two builds of one commit give the same bytes.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  add_link_options(-s LINKER:--no-insert-timestamp)
endif()

add_subdirectory(virtual-handset)

file(GLOB_RECURSE TELVARO_WIN32_SOURCES CONFIGURE_DEPENDS src/*/win32/*.cpp)
# The exe's own sources are in shell/win32; the rest of the win32 code is shared with tools.
list(FILTER TELVARO_WIN32_SOURCES EXCLUDE REGEX "/shell/win32/")
add_library(telvaro_win32 STATIC ${TELVARO_WIN32_SOURCES})
target_link_libraries(telvaro_win32 PUBLIC telvaro_core user32 gdi32 advapi32 shell32 shlwapi comctl32 ole32)
# The handset library is loaded at run time (the program runs without it); only the declaration
# of its exports is shared. hid.dll reads the HID telephony devices.
target_include_directories(telvaro_win32 PRIVATE
  $<TARGET_PROPERTY:CM_HID,INTERFACE_INCLUDE_DIRECTORIES>)
target_link_libraries(telvaro_win32 PUBLIC hid)
# ws2_32: the command ports of the softphones that offer one on this machine.
target_link_libraries(telvaro_win32 PUBLIC ws2_32)
target_compile_options(telvaro_win32 PRIVATE ${TELVARO_WARNINGS})

file(GLOB TELVARO_EXE_SOURCES CONFIGURE_DEPENDS src/shell/win32/*.cpp src/shell/win32/*.rc)
if(TELVARO_EXE_SOURCES)
  add_executable(telvaro WIN32 ${TELVARO_EXE_SOURCES})
  target_link_libraries(telvaro PRIVATE telvaro_win32)
  target_compile_options(telvaro PRIVATE ${TELVARO_WARNINGS})
  target_link_options(telvaro PRIVATE ${TELVARO_STATIC_LINK})
endif()

# The application icon is drawn at build time by the program's own picture code (tools/icongen),
# so the sources hold no icon file. Cross-compiling, icongen is built for the build machine with
# its own C++ compiler.
set(TELVARO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(TELVARO_ICON ${TELVARO_GENERATED_DIR}/telvaro.ico)
# The large image goes into the .ico as PNG, compressed with the build machine's zlib.
set(icongen_sources ${PROJECT_SOURCE_DIR}/tools/icongen/icongen.cpp
  ${PROJECT_SOURCE_DIR}/src/shell/IconArt.cpp ${PROJECT_SOURCE_DIR}/src/shell/IconArtIco.cpp)
if(CMAKE_CROSSCOMPILING)
  find_program(TELVARO_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(icongen ${TELVARO_GENERATED_DIR}/icongen)
  add_custom_command(OUTPUT ${icongen}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TELVARO_GENERATED_DIR}
    COMMAND ${TELVARO_HOST_CXX} -std=c++20 -O2 -I${PROJECT_SOURCE_DIR}/src ${icongen_sources}
      -lz -o ${icongen}
    DEPENDS ${icongen_sources} ${PROJECT_SOURCE_DIR}/src/shell/IconArt.h
      ${PROJECT_SOURCE_DIR}/src/shell/IconArtIco.h
    COMMENT "Building icongen for the build machine" VERBATIM)
else()
  find_package(ZLIB REQUIRED)
  add_executable(icongen ${icongen_sources})
  target_include_directories(icongen PRIVATE src)
  target_link_libraries(icongen PRIVATE ZLIB::ZLIB)
  set(icongen $<TARGET_FILE:icongen>)
endif()
add_custom_command(OUTPUT ${TELVARO_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TELVARO_GENERATED_DIR}
  COMMAND ${icongen} ${TELVARO_ICON}
  DEPENDS ${icongen}
  COMMENT "Drawing the application icon" VERBATIM)
add_custom_target(telvaro_icon DEPENDS ${TELVARO_ICON})
if(TARGET telvaro)
  add_dependencies(telvaro telvaro_icon)
  target_include_directories(telvaro PRIVATE ${TELVARO_GENERATED_DIR})
  set_source_files_properties(src/shell/win32/telvaro.rc PROPERTIES OBJECT_DEPENDS ${TELVARO_ICON})
endif()

add_subdirectory(tools)
# The virtual HID telephony handset (a test fixture for Wine, 64-bit only).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_subdirectory(tests/fixtures/virtual-hid)
endif()
if(TELVARO_E2E)
  add_subdirectory(tests/e2e)
endif()
