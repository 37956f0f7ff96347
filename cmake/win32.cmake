# Windows build (mingw-w64): the adapters, the windows, sonavi.exe and the tests that run
# under Wine.
enable_language(RC)
# Windows programs built here run under Wine (see scripts/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
set(SONAVI_FAKEMODEM "" CACHE FILEPATH "The simulated modem, built by the native build")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# The manifest names the exe's processor: amd64 or x86.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SONAVI_MANIFEST_ARCH amd64)
else()
  set(SONAVI_MANIFEST_ARCH x86)
endif()
configure_file(${PROJECT_SOURCE_DIR}/resources/sonavi.manifest.in
               ${CMAKE_BINARY_DIR}/resources/sonavi.manifest @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/version.h.in
               ${CMAKE_BINARY_DIR}/resources/version.h @ONLY)
# The version for the scripts (release, packages, tests): one line in the build folder.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/VERSION CONTENT "@PROJECT_VERSION@\n" @ONLY)
include_directories(${CMAKE_BINARY_DIR}/resources)
# windres writes no dependency file: the files sonavi.rc takes in, for the programs to be
# linked again when one changes.
file(GLOB SONAVI_RESOURCE_INPUTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.h
     ${PROJECT_SOURCE_DIR}/resources/*.ico ${PROJECT_SOURCE_DIR}/resources/*.wav)
list(APPEND SONAVI_RESOURCE_INPUTS ${CMAKE_BINARY_DIR}/resources/sonavi.manifest
     ${CMAKE_BINARY_DIR}/resources/version.h)
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/sonavi.rc PROPERTIES
                            OBJECT_DEPENDS "${SONAVI_RESOURCE_INPUTS}")

set(SONAVI_WIN32_LIBS comctl32 winmm version shell32 ole32 gdi32 user32 kernel32 advapi32)

file(GLOB SONAVI_WIN32_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/src/*/*_win32.cpp ${PROJECT_SOURCE_DIR}/src/ui/*.cpp)
list(FILTER SONAVI_WIN32_SOURCES EXCLUDE REGEX "/app/sonavi_win32\\.cpp$")
add_library(sonavi_win32 STATIC ${SONAVI_WIN32_SOURCES})
sonavi_target(sonavi_win32)
target_link_libraries(sonavi_win32 PUBLIC sonavi_core ${SONAVI_WIN32_LIBS})
target_include_directories(sonavi_win32 PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(sonavi_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

add_executable(sonavi WIN32 ${PROJECT_SOURCE_DIR}/src/app/sonavi_win32.cpp
               ${PROJECT_SOURCE_DIR}/resources/sonavi.rc)
sonavi_target(sonavi)
target_link_libraries(sonavi PRIVATE sonavi_win32)
target_link_options(sonavi PRIVATE -static -mwindows $<$<CONFIG:Release,MinSizeRel>:-s>)

# The texts that go with the program in the zips and the install folder: README.txt (the
# users' parts of README.md), NOTICE.txt and LICENSE.txt, with Windows line ends.
set(SONAVI_TEXTS_DIR ${CMAKE_BINARY_DIR}/windows-texts)
set(SONAVI_TEXTS ${SONAVI_TEXTS_DIR}/README.txt ${SONAVI_TEXTS_DIR}/NOTICE.txt
                 ${SONAVI_TEXTS_DIR}/LICENSE.txt)
add_custom_command(OUTPUT ${SONAVI_TEXTS}
  COMMAND bash ${PROJECT_SOURCE_DIR}/installer/windows_texts.sh ${PROJECT_SOURCE_DIR}
          ${PROJECT_VERSION} ${SONAVI_TEXTS_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/installer/windows_texts.sh ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/NOTICE.txt ${PROJECT_SOURCE_DIR}/LICENSE
  VERBATIM)
add_custom_target(windows_texts ALL DEPENDS ${SONAVI_TEXTS})

# The installer (NSIS): one for both kinds of Windows, so it needs the 32-bit build's exe
# too (SONAVI_EXE32, from a build with cmake/mingw-w64-i686.cmake).
set(SONAVI_EXE32 "" CACHE FILEPATH "The 32-bit build's sonavi.exe, for the installer")
if(SONAVI_EXE32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SONAVI_INSTALLER ${CMAKE_BINARY_DIR}/sonavi-${PROJECT_VERSION}-instalador.exe)
  add_custom_command(OUTPUT ${SONAVI_INSTALLER}
    COMMAND makensis -V2 -WX -DEXE64=$<TARGET_FILE:sonavi> -DEXE32=${SONAVI_EXE32}
            -DVERSION_H=${CMAKE_BINARY_DIR}/resources/version.h -DTEXTS=${SONAVI_TEXTS_DIR}
            -DOUTFILE=${SONAVI_INSTALLER} ${PROJECT_SOURCE_DIR}/installer/sonavi.nsi
    DEPENDS sonavi windows_texts ${SONAVI_EXE32} ${PROJECT_SOURCE_DIR}/installer/sonavi.nsi
            ${PROJECT_SOURCE_DIR}/resources/sonavi.ico ${CMAKE_BINARY_DIR}/resources/version.h
            ${SONAVI_TEXTS}
    VERBATIM)
  add_custom_target(installer ALL DEPENDS ${SONAVI_INSTALLER})
  # What scripts/package.sh publishes (zips, SHA256SUMS, winget manifest), made from this
  # build.
  add_test(NAME release_packages COMMAND bash ${PROJECT_SOURCE_DIR}/tests/release/packages.sh)
  set_tests_properties(release_packages PROPERTIES ENVIRONMENT
    "SONAVI_BUILD=${CMAKE_BINARY_DIR};SONAVI_EXE32=${SONAVI_EXE32};SONAVI_SOURCE=${PROJECT_SOURCE_DIR}")
endif()

# GoogleTest from Debian's sources, built with this toolchain.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB_RECURSE win32_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp)
list(FILTER win32_test_sources EXCLUDE REGEX "/tests/win32/probe/")
# The native tests' fakes stand in here too.
add_executable(win32_tests ${win32_test_sources} ${PROJECT_SOURCE_DIR}/resources/sonavi.rc
               ${PROJECT_SOURCE_DIR}/tests/native/fakes/fake_registry.cpp)
sonavi_target(win32_tests)
target_include_directories(win32_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/win32
                           ${PROJECT_SOURCE_DIR}/tests/native)
target_link_libraries(win32_tests PRIVATE sonavi_win32 gtest gtest_main)
target_link_options(win32_tests PRIVATE -static)
target_compile_definitions(win32_tests PRIVATE
  SONAVI_EXE_PATH="Z:$<TARGET_FILE:sonavi>")
add_dependencies(win32_tests sonavi)
add_test(NAME win32_tests COMMAND win32_tests)
set_tests_properties(win32_tests PROPERTIES ENVIRONMENT "SONAVI_FAKEMODEM=${SONAVI_FAKEMODEM}")
set_tests_properties(win32_tests PROPERTIES TIMEOUT 600)

# Reads other programs' windows for the scenario scripts.
add_executable(sonavi_probe ${PROJECT_SOURCE_DIR}/tests/win32/probe/probe.cpp)
sonavi_target(sonavi_probe)
target_link_libraries(sonavi_probe PRIVATE shell32 user32)
target_link_options(sonavi_probe PRIVATE -static)
# The phone book, dialling and call list scenarios' look at the windows of a Wine desktop.
add_executable(phonebook_probe ${PROJECT_SOURCE_DIR}/tests/win32/probe/phonebook_probe.cpp)
sonavi_target(phonebook_probe)
target_link_libraries(phonebook_probe PRIVATE comctl32 user32)
target_link_options(phonebook_probe PRIVATE -static)

# Scenario tests that run the real exe under Wine (scripts under tests/wine/).
file(GLOB wine_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/*.sh)
foreach(scenario IN LISTS wine_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME wine_${name} COMMAND bash ${scenario})
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 600
    ENVIRONMENT "SONAVI_EXE=$<TARGET_FILE:sonavi>;SONAVI_INSTALLER=${SONAVI_INSTALLER};SONAVI_FAKEMODEM=${SONAVI_FAKEMODEM};SONAVI_BUILD=${CMAKE_BINARY_DIR};SONAVI_SOURCE=${PROJECT_SOURCE_DIR}")
endforeach()

# The Windows program that the Wine benchmarks time.
add_subdirectory(${PROJECT_SOURCE_DIR}/bench/wine ${CMAKE_BINARY_DIR}/bench-wine)
