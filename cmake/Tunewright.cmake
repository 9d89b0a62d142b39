# Shared helpers for the per-folder build files.

# tw_library(name SOURCES ... [DEPS ...]): one static library for a src/ folder.
function(tw_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# tw_test(name SOURCES ... [DEPS ...] [LABELS ...] [TIMEOUT s] [SERIAL]): a GoogleTest program
# registered with CTest, one CTest case per test. The label "threaded" marks tests that
# also run under ThreadSanitizer in CI; "gui" marks tests that need an X display. SERIAL runs
# each case alone.
function(tw_test name)
  cmake_parse_arguments(A "SERIAL" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TW_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/test-output"
    TW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TW_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(_properties TIMEOUT ${A_TIMEOUT})
  if(A_LABELS)
    # A list of labels must reach CTest as one argument.
    string(REPLACE ";" "\\;" _labels "${A_LABELS}")
    list(APPEND _properties LABELS "${_labels}")
  endif()
  if(A_SERIAL)
    # Real-time cases that a parallel test run would starve of the processor.
    list(APPEND _properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${_properties})
endfunction()
