# Shared helpers for the per-folder build files.

# tw_library(name [FOLDERS ...] [SOURCES ...] [PUBLIC ...] [PRIVATE ...]): one static library
# for a src/ folder. FOLDERS are globbed for *.cpp (relative to the calling folder, "." for
# itself). PUBLIC lists what the library's headers include, PRIVATE what only its sources
# do; the layering check (tools/check_layering.py) holds both to the allowed edges.
function(tw_library name)
  cmake_parse_arguments(A "" "" "FOLDERS;SOURCES;PUBLIC;PRIVATE" ${ARGN})
  set(_sources ${A_SOURCES})
  foreach(folder ${A_FOLDERS})
    file(GLOB _found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND _sources ${_found})
  endforeach()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_PUBLIC} PRIVATE ${A_PRIVATE})
  set_property(GLOBAL APPEND PROPERTY TW_LIBRARIES ${name})
  set_property(TARGET ${name} PROPERTY TW_SOURCE_FOLDER ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# Writes every library's folder and direct link edges (public and private) for the layering
# check. Called once, after all libraries exist.
function(tw_write_link_edges file)
  get_property(_libs GLOBAL PROPERTY TW_LIBRARIES)
  set(_text "")
  foreach(lib ${_libs})
    get_target_property(_folder ${lib} TW_SOURCE_FOLDER)
    get_target_property(_all ${lib} LINK_LIBRARIES)
    get_target_property(_public ${lib} INTERFACE_LINK_LIBRARIES)
    if(NOT _all)
      set(_all "")
    endif()
    if(NOT _public)
      set(_public "")
    endif()
    string(APPEND _text "library ${lib}\nfolder ${_folder}\nall ${_all}\npublic ${_public}\n")
  endforeach()
  file(WRITE ${file} "${_text}")
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
  list(LENGTH A_LABELS _label_count)
  if(_label_count EQUAL 1)
    list(APPEND _properties LABELS ${A_LABELS})
  endif()
  if(A_SERIAL)
    # Real-time cases that a parallel test run would starve of the processor.
    list(APPEND _properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${_properties})
  if(_label_count GREATER 1)
    # Discovery passes its properties on as a flat list, which splits a list of labels; so
    # several labels are set on the discovered tests when CTest reads them.
    set(_labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${_labels_file}
      "if(DEFINED ${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${A_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_labels_file})
  endif()
endfunction()
