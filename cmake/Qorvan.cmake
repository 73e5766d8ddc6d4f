# Build settings shared by every target, and the helpers that add targets.

set(QORVAN_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
# GCC 12 at -O3 reports -Wrestrict inside libstdc++'s own std::string
# appends and replaces once they are inlined into our code (GCC bug 105329):
# the overlaps it names cannot happen, and a Release build with -Werror
# stops on them. Only that compiler, and only the configurations that
# optimise that far, lose the warning; the others keep it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND QORVAN_WARNINGS $<$<CONFIG:Release>:-Wno-restrict>)
endif()
if(QORVAN_WERROR)
  list(APPEND QORVAN_WARNINGS -Werror)
endif()

if(QORVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QORVAN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QORVAN_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# qorvan_library(NAME SOURCES... [LIBS ...]): one static library per folder.
function(qorvan_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${QORVAN_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# qorvan_program(NAME SOURCES... [LIBS ...] [INSTALL BIN|LIBEXEC]
# [OUTPUT_DIR DIR]): one of Qorvan's programs, with the project's include
# path and warnings. INSTALL says where `cmake --install` and the package
# put it: bin/, or libexec/qorvan/ for a program only other programs start;
# without it the program is a tool of the build or of the benchmarks and is
# not installed. OUTPUT_DIR puts it in a folder of the build other than bin/.
function(qorvan_program name)
  cmake_parse_arguments(ARG "" "INSTALL;OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${QORVAN_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_OUTPUT_DIR)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  endif()
  if(ARG_INSTALL STREQUAL "BIN")
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  elseif(ARG_INSTALL STREQUAL "LIBEXEC")
    install(TARGETS ${name} RUNTIME DESTINATION ${QORVAN_INSTALL_LIBEXECDIR})
  elseif(ARG_INSTALL)
    message(FATAL_ERROR "qorvan_program(${name}): INSTALL is BIN or LIBEXEC, not ${ARG_INSTALL}")
  endif()
endfunction()

# qorvan_add_test(NAME SOURCES... [LIBS ...] [ENV k=v ...]): a GoogleTest
# program registered with CTest as one test.
function(qorvan_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_options(${name} PRIVATE ${QORVAN_WARNINGS} -Wno-sign-conversion)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    QORVAN_TESTDATA_DIR="${QORVAN_TESTDATA_DIR}"
    QORVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QORVAN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()

# qorvan_add_fuzzer(NAME SOURCE [LIBS ...]): with QORVAN_FUZZ a libFuzzer
# binary; otherwise a program that replays the seed corpus fuzz/corpus/NAME
# (and the real files of QORVAN_TESTDATA_DIR), run by CTest so every build exercises the harness on its seeds.
function(qorvan_add_fuzzer name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  if(QORVAN_FUZZ)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE ${QORVAN_WARNINGS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    add_dependencies(fuzzers ${name})
  elseif(QORVAN_TESTS)
    add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_compile_options(${name} PRIVATE ${QORVAN_WARNINGS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    # Real files beside the repository are replayed too when present; the
    # replayer passes over a folder that does not exist.
    add_test(NAME ${name}_replay COMMAND ${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name} ${QORVAN_TESTDATA_DIR}/real)
  endif()
endfunction()
