# The helpers every folder's CMakeLists.txt uses; target properties are set here and nowhere else.
#
# Keywords shared by the helpers:
#   SOURCES    the target's sources, relative to the folder
#   LINK       what it links (targets and libraries)
#   INCLUDES   extra folders of its own headers (the folder itself is always one)
#   PROGRAMS   build targets it runs, loads or copies at run time: built before it (for xp_tests also found by
#              xp::test::BuildProgram)
#   TEST_ONLY  a helper of the tests (probe, actor, test driver): built into build/bin/tests, never a deliverable

set(XP_PLATFORM_INCLUDE ${CMAKE_SOURCE_DIR}/platform/include)
# Test programs and the programs and libraries only they use; build/bin keeps what a person looks for.
set(XP_TESTS_OUTPUT ${CMAKE_BINARY_DIR}/bin/tests)
# Seconds a ctest entry may run unless it declares more; the sanitizers run the same code several times slower.
set(XP_TEST_TIMEOUT 60)
if(XP_SANITIZE)
  set(XP_TIMEOUT_SCALE 5)
else()
  set(XP_TIMEOUT_SCALE 1)
endif()

# The keywords every helper shares, read from the calling helper's parsed A_INCLUDES, A_PROGRAMS and A_TEST_ONLY.
function(_xp_common target)
  if(A_INCLUDES)
    target_include_directories(${target} PRIVATE ${A_INCLUDES})
  endif()
  if(A_PROGRAMS)
    add_dependencies(${target} ${A_PROGRAMS})
  endif()
  if(A_TEST_ONLY)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${XP_TESTS_OUTPUT}
                                               LIBRARY_OUTPUT_DIRECTORY ${XP_TESTS_OUTPUT})
  endif()
endfunction()

# The table xp::test::BuildProgram reads: each program's target name and built file.
function(_xp_program_table target)
  set(rows "")
  foreach(program IN LISTS ARGN)
    string(APPEND rows "    {\"${program}\", \"$<TARGET_FILE:${program}>\"},\n")
  endforeach()
  set(table ${CMAKE_CURRENT_BINARY_DIR}/${target}_programs.cc)
  file(GENERATE OUTPUT ${table} CONTENT
"// Made by xp_tests: the build files this program declared among its PROGRAMS.
#include \"built_programs.h\"

namespace xp::test {
const BuiltProgram kBuiltPrograms[] = {
${rows}    {nullptr, nullptr},
};
}  // namespace xp::test
")
  target_sources(${target} PRIVATE ${table})
  target_link_libraries(${target} PRIVATE xp::test)
endfunction()

# A deliverable shared library that exports exactly the names in its .exports file (one per line): the version
# script is the one place that decides, and makes every other symbol local. A ctest entry <NAME>_exports compares
# the built library with the list.
#   OUTPUT_NAME         the file is lib<OUTPUT_NAME>.so (default: the target name)
#   PUBLIC_HEADERS      the headers its callers include: their folders become the callers' include folders
#   ENTRY               the library defines DllMain, which the loader stand-in calls on load, unload and thread
#                       start and end
#   UNRESOLVED_IMPORTS  linked even though an import is missing (a probe of the loader's failure)
# Targets named xp_<x> are also xp::<x>.
function(xp_dll)
  cmake_parse_arguments(A "ENTRY;TEST_ONLY;UNRESOLVED_IMPORTS" "NAME;OUTPUT_NAME;EXPORTS"
                        "SOURCES;LINK;PUBLIC_HEADERS;INCLUDES;PROGRAMS" ${ARGN})
  add_library(${A_NAME} SHARED ${A_SOURCES})
  if(A_NAME MATCHES "^xp_(.+)$")
    add_library(xp::${CMAKE_MATCH_1} ALIAS ${A_NAME})
  endif()
  if(A_OUTPUT_NAME)
    set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${A_OUTPUT_NAME})
  endif()
  if(A_ENTRY)
    target_sources(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/platform/kernel32/dll_entry_shim.cc)
    list(APPEND A_LINK xp::kernel32)
  endif()
  get_filename_component(exports ${A_EXPORTS} ABSOLUTE)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${A_NAME}.version)
  # A line `extern "C++" <pattern>` exports C++ symbols by their demangled names: a glob such as
  # PuzzleObject::*, or an exact name in quotes such as "vtable for PuzzleObject".
  file(STRINGS ${exports} lines REGEX "^[A-Za-z_]")
  set(body "")
  set(cxx_body "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^extern \"C\\+\\+\" (.+)$")
      string(APPEND cxx_body "      ${CMAKE_MATCH_1};\n")
    else()
      string(APPEND body "    ${line};\n")
    endif()
  endforeach()
  if(cxx_body)
    string(APPEND body "    extern \"C++\" {\n${cxx_body}    };\n")
  endif()
  file(WRITE ${script} "{\n  global:\n${body}  local: *;\n};\n")
  set_property(TARGET ${A_NAME} APPEND PROPERTY LINK_DEPENDS ${exports})
  set_target_properties(${A_NAME} PROPERTIES VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${A_NAME} PRIVATE "-Wl,--version-script=${script}")
  if(NOT A_UNRESOLVED_IMPORTS)
    target_link_options(${A_NAME} PRIVATE "-Wl,--no-undefined")
  endif()
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(header IN LISTS A_PUBLIC_HEADERS)
    get_filename_component(folder ${header} ABSOLUTE)
    get_filename_component(folder ${folder} DIRECTORY)
    target_include_directories(${A_NAME} PUBLIC ${folder})
  endforeach()
  target_link_libraries(${A_NAME} PRIVATE ${A_LINK})
  _xp_common(${A_NAME})
  if(NOT A_TEST_ONLY)
    add_test(NAME ${A_NAME}_exports COMMAND ${CMAKE_SOURCE_DIR}/cmake/check_exports.sh $<TARGET_FILE:${A_NAME}>
                                            ${exports})
    math(EXPR timeout "${XP_TEST_TIMEOUT} * ${XP_TIMEOUT_SCALE}")
    set_tests_properties(${A_NAME}_exports PROPERTIES LABELS unit TIMEOUT ${timeout})
  endif()
endfunction()

# A program. It links the C runtime stand-in directly, so that its fopen (Windows paths, text mode) comes before
# glibc's in the program's symbol search, whichever library calls it.
#   WINDOWS_NAME  a program of the machine, by its name on Windows (MRVVerifyCFK.exe): built as that name without
#                 ".exe"
#   OUTPUT_NAME   a host tool whose file is named otherwise than its target
#   NO_RUNTIME    a program of the platform that is no program of any machine (the kernel host): it links neither
#                 the C runtime stand-in nor, through it, kernel32, so it never enters a machine as one of its
#                 processes
function(xp_exe)
  cmake_parse_arguments(A "TEST_ONLY;NO_RUNTIME" "NAME;WINDOWS_NAME;OUTPUT_NAME" "SOURCES;LINK;INCLUDES;PROGRAMS"
                        ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT A_NO_RUNTIME)
    list(PREPEND A_LINK xp::msvcrt)
  endif()
  target_link_libraries(${A_NAME} PRIVATE ${A_LINK})
  if(A_WINDOWS_NAME)
    if(NOT A_WINDOWS_NAME MATCHES "^(.+)\\.exe$")
      message(FATAL_ERROR "xp_exe(${A_NAME}): WINDOWS_NAME ${A_WINDOWS_NAME} does not end in .exe")
    endif()
    set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${CMAKE_MATCH_1})
  elseif(A_OUTPUT_NAME)
    set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${A_OUTPUT_NAME})
  endif()
  _xp_common(${A_NAME})
endfunction()

# A static, position-independent piece of code that several targets share (one AES core, one hex codec); its
# folder is its users' include folder.
#   NO_EXCEPTIONS     kernel-safe: built without exceptions, so the driver may link it
#   NO_PUBLIC_FOLDER  its users include none of its headers (a stand-in's piece that system code links)
function(xp_shared_code)
  cmake_parse_arguments(A "NO_EXCEPTIONS;NO_PUBLIC_FOLDER" "NAME" "SOURCES;LINK;INCLUDES;PROGRAMS" ${ARGN})
  add_library(${A_NAME} STATIC ${A_SOURCES})
  if(A_NAME MATCHES "^xp_(.+)$")
    add_library(xp::${CMAKE_MATCH_1} ALIAS ${A_NAME})
  endif()
  set_target_properties(${A_NAME} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(A_NO_EXCEPTIONS)
    target_compile_options(${A_NAME} PRIVATE -fno-exceptions)
  endif()
  if(A_NO_PUBLIC_FOLDER)
    target_include_directories(${A_NAME} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${XP_PLATFORM_INCLUDE})
  else()
    target_include_directories(${A_NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} PRIVATE ${XP_PLATFORM_INCLUDE})
  endif()
  target_link_libraries(${A_NAME} PUBLIC ${A_LINK})
  _xp_common(${A_NAME})
endfunction()

# A stand-in for a Windows component: always SHARED, so its per-process state (handles, last error, loaded
# modules) exists once per process however many libraries use it. Every stand-in traces through xp::debug.
#   LINK          what its users need too; PRIVATE_LINK what only it needs
#   LINK_OPTIONS  link options its users take over (msvcrt's --no-as-needed)
function(xp_platform)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK;PRIVATE_LINK;LINK_OPTIONS;INCLUDES;PROGRAMS" ${ARGN})
  add_library(xp_${A_NAME} SHARED ${A_SOURCES})
  add_library(xp::${A_NAME} ALIAS xp_${A_NAME})
  target_include_directories(xp_${A_NAME} PUBLIC ${XP_PLATFORM_INCLUDE} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(xp_${A_NAME} PUBLIC ${A_LINK} PRIVATE ${A_PRIVATE_LINK})
  if(NOT A_NAME STREQUAL "debug")
    target_link_libraries(xp_${A_NAME} PRIVATE xp::debug)
  endif()
  target_link_options(xp_${A_NAME} PRIVATE "-Wl,--no-undefined")
  if(A_LINK_OPTIONS)
    target_link_options(xp_${A_NAME} INTERFACE ${A_LINK_OPTIONS})
  endif()
  _xp_common(xp_${A_NAME})
endfunction()

# A kernel-mode driver module: the kernel model's service loader dlopens <NAME>.sys and calls its DriverEntry when
# the driver's service starts. Kernel-shaped: no exceptions, only the kernel-side headers (platform/include/ddk),
# linked against the kernel model and static shared code (LINK) and nothing else.
function(xp_driver)
  cmake_parse_arguments(A "TEST_ONLY" "NAME" "SOURCES;LINK;INCLUDES;PROGRAMS" ${ARGN})
  add_library(${A_NAME} MODULE ${A_SOURCES})
  set_target_properties(${A_NAME} PROPERTIES PREFIX "" SUFFIX ".sys" CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${A_NAME} PRIVATE -fno-exceptions)
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE}/ddk ${CMAKE_CURRENT_SOURCE_DIR})
  # The kernel model's library file alone: its usage requirements would bring in the user-side headers.
  add_dependencies(${A_NAME} xp_ntos)
  target_link_libraries(${A_NAME} PRIVATE $<TARGET_FILE:xp_ntos> ${A_LINK})
  target_link_options(${A_NAME} PRIVATE "-Wl,--no-undefined")
  _xp_common(${A_NAME})
endfunction()

# One GoogleTest program per component, <TARGET>_tests in build/bin/tests; every TEST becomes a ctest entry with
# the given labels and a time-out of 60 seconds unless TIMEOUT says otherwise (both times 5 under the sanitizers).
#   PROGRAMS  the build targets the tests run, load or copy: xp::test::BuildProgram("<target>") gives each file
#   NO_PIE    a position-dependent program, whose static data lies below 4 GiB (32-bit caller addresses)
function(xp_tests)
  cmake_parse_arguments(A "NO_PIE" "TARGET;TIMEOUT" "SOURCES;LINK;LABELS;INCLUDES;PROGRAMS" ${ARGN})
  set(name ${A_TARGET}_tests)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT ${XP_TEST_TIMEOUT})
  endif()
  math(EXPR timeout "${A_TIMEOUT} * ${XP_TIMEOUT_SCALE}")
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE xp::msvcrt ${A_LINK} GTest::gtest GTest::gtest_main GTest::gmock)
  if(A_NO_PIE)
    target_compile_options(${name} PRIVATE -fno-pie)
    target_link_options(${name} PRIVATE -no-pie)
  endif()
  _xp_program_table(${name} ${A_PROGRAMS})
  set(A_TEST_ONLY ON)
  _xp_common(${name})
  gtest_discover_tests(${name} PROPERTIES LABELS "${A_LABELS}" TIMEOUT ${timeout} DISCOVERY_TIMEOUT 60)
endfunction()

# A benchmark program of bench/, in build/bin beside the tools; PROGRAMS as for xp_tests.
function(xp_bench)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK;INCLUDES;PROGRAMS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${A_NAME} PRIVATE ${A_LINK})
  if(A_PROGRAMS)
    _xp_program_table(${A_NAME} ${A_PROGRAMS})
  endif()
  _xp_common(${A_NAME})
endfunction()

# The layering of the whole tree, after every folder is declared: system code includes nothing of platform/ but
# platform/include (never platform/include/xp), as the build recorded it; and the check itself, on a recorded
# build that breaks the rule. Needs Ninja's dependency records.
function(xp_layering_tests)
  if(NOT CMAKE_GENERATOR MATCHES "Ninja")
    message(WARNING "the include layering test needs the Ninja generator; it is not registered")
    return()
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(check ${CMAKE_SOURCE_DIR}/cmake/check_layering.py)
  set(sample ${CMAKE_SOURCE_DIR}/cmake/tests/layering)
  add_test(NAME include_layering COMMAND Python3::Interpreter ${check} ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  add_test(NAME include_layering_finds_violations
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check_layering_test.sh ${Python3_EXECUTABLE} ${check} ${sample})
  math(EXPR timeout "${XP_TEST_TIMEOUT} * ${XP_TIMEOUT_SCALE}")
  set_tests_properties(include_layering include_layering_finds_violations PROPERTIES LABELS unit TIMEOUT ${timeout})
endfunction()
