# Helpers that turn the folder layout into targets, so that a new module,
# test, benchmark or fuzz target needs no edit of the build files.
#
# Paths are taken from this project's own top folder, never from the top of
# the build, so that another project can embed a clone with add_subdirectory().
set(QN_ROOT ${PROJECT_SOURCE_DIR})

set(QN_TEST_FOLDERS platform lemmatiser
    runtime1/text runtime1/files runtime1/containers runtime1/definitions runtime1/search
    runtime2/statistics runtime2/headings runtime2/printing)

# A static library made of every non-test .cpp of a folder (a folder without
# modules yet gets an empty placeholder, so that every folder links the same way).
function(qn_folder_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${QN_ROOT}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  if(NOT sources)
    set(sources ${QN_ROOT}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${QN_ROOT}> $<BUILD_INTERFACE:${QN_ROOT}/include>)
endfunction()

# A shared library assembled from whole static libraries.
#   WHOLE: static libraries linked in full
#   LINK: further libraries
#   VERSION_SCRIPT: a linker version script that decides what is exported
function(qn_shared_library name)
  cmake_parse_arguments(ARG "" "VERSION_SCRIPT" "WHOLE;LINK" ${ARGN})
  add_library(${name} SHARED ${QN_ROOT}/cmake/empty.cpp)
  set(archives)
  foreach(lib IN LISTS ARG_WHOLE)
    list(APPEND archives "$<TARGET_FILE:${lib}>")
  endforeach()
  add_dependencies(${name} ${ARG_WHOLE})
  target_link_libraries(${name} PRIVATE -Wl,--whole-archive ${archives} -Wl,--no-whole-archive)
  target_link_libraries(${name} PRIVATE ${ARG_LINK})
  target_link_options(${name} PRIVATE ${QN_SO_LINK_OPTIONS})
  if(ARG_VERSION_SCRIPT)
    target_link_options(${name} PRIVATE -Wl,--version-script=${ARG_VERSION_SCRIPT})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${ARG_VERSION_SCRIPT})
  endif()
  # Versioned file name and SONAME (libX.so.7 -> libX.so.7.0.0); the plain name
  # that the suite's tools dlopen stays a link to them.
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  target_include_directories(${name} INTERFACE $<BUILD_INTERFACE:${QN_ROOT}/include> $<INSTALL_INTERFACE:include>)
endfunction()

# Definitions every test, benchmark and fuzz replay gets: where the sources and
# test data are, and where the built shared libraries are (for dlopen tests).
function(qn_test_definitions target)
  target_compile_definitions(${target} PRIVATE
    QN_SOURCE_DIR="${QN_ROOT}"
    QN_LEMMATISER_SO="$<TARGET_FILE:QN7QuillonLemmatiser>"
    QN_PACK1_SO="$<TARGET_FILE:QN7GeneralRuntimePack1>"
    QN_PACK2_SO="$<TARGET_FILE:QN7GeneralRuntimePack2>")
  add_dependencies(${target} QN7QuillonLemmatiser QN7GeneralRuntimePack1 QN7GeneralRuntimePack2)
endfunction()

# One test program per <Module>_test.cpp, registered with CTest under the
# module's name.
function(qn_add_unit_tests)
  foreach(folder IN LISTS QN_TEST_FOLDERS)
    file(GLOB tests CONFIGURE_DEPENDS ${QN_ROOT}/${folder}/*_test.cpp)
    foreach(src IN LISTS tests)
      get_filename_component(name ${src} NAME_WE)
      add_executable(${name} ${src})
      target_link_libraries(${name} PRIVATE qn_all GTest::gtest GTest::gtest_main)
      qn_test_definitions(${name})
      add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endforeach()
  endforeach()
endfunction()

# End-to-end tests of the command-line program: each cli/tests/*_test.py runs
# the built program on the sample corpus and is registered with CTest under its
# name. Call it after the program's target is made.
function(qn_add_program_tests)
  if(NOT TARGET quillon)
    return()
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  file(GLOB scripts CONFIGURE_DEPENDS ${QN_ROOT}/cli/tests/*_test.py)
  foreach(src IN LISTS scripts)
    get_filename_component(name ${src} NAME_WE)
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${src} $<TARGET_FILE:quillon> ${QN_ROOT})
  endforeach()
endfunction()

# Every fuzz target is also built against a small replay driver, and CTest
# replays its seed corpus and its regressions folder, under any compiler.
function(qn_add_fuzz_replays)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${QN_ROOT}/fuzz/*.cpp)
  foreach(src IN LISTS fuzzers)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name}_replay ${src} ${QN_ROOT}/fuzz/driver/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE qn_all)
    qn_test_definitions(${name}_replay)
    add_test(NAME fuzz_replay_${name}
             COMMAND ${name}_replay ${QN_ROOT}/fuzz/corpus/${name}
                     ${QN_ROOT}/fuzz/regressions/${name})
  endforeach()
endfunction()

function(qn_add_fuzzers)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${QN_ROOT}/fuzz/*.cpp)
  foreach(src IN LISTS fuzzers)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name}_fuzz ${src})
    target_link_libraries(${name}_fuzz PRIVATE qn_all)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    qn_test_definitions(${name}_fuzz)
  endforeach()
endfunction()

function(qn_add_benchmarks)
  file(GLOB benches CONFIGURE_DEPENDS ${QN_ROOT}/bench/*.cpp)
  foreach(src IN LISTS benches)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE qn_all benchmark::benchmark benchmark::benchmark_main)
    qn_test_definitions(${name})
  endforeach()
endfunction()
