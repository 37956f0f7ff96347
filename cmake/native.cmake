# Native (Linux) build: the portable code's unit tests, the simulated modem, benchmarks.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE native_test_sources CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${native_test_sources})
sonavi_target(native_tests)
target_include_directories(native_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/native)
target_link_libraries(native_tests PRIVATE sonavi_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(native_tests DISCOVERY_TIMEOUT 60)

# The tests whose code runs on real threads (the serial worker, the tray update worker and
# their hand-overs to the main thread), on their own, for the ThreadSanitizer build
# (scripts/test.sh runs it from build/tsan).
add_executable(threaded_tests EXCLUDE_FROM_ALL
  ${PROJECT_SOURCE_DIR}/tests/native/serial/serial_thread_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/native/serial/fake_comm.cpp
  ${PROJECT_SOURCE_DIR}/tests/native/tray/tray_icon_test.cpp)
sonavi_target(threaded_tests)
target_include_directories(threaded_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/native)
target_link_libraries(threaded_tests PRIVATE sonavi_core GTest::gtest GTest::gtest_main)

if(EXISTS ${PROJECT_SOURCE_DIR}/tools/fakemodem/CMakeLists.txt)
  add_subdirectory(tools/fakemodem)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/ringwave/CMakeLists.txt)
  add_subdirectory(tools/ringwave)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/icongen/CMakeLists.txt)
  add_subdirectory(tools/icongen)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
