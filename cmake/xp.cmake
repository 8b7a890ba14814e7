# The helpers every folder's CMakeLists.txt uses; target properties are set here and nowhere else.

set(XP_PLATFORM_INCLUDE ${CMAKE_SOURCE_DIR}/platform/include)

# A deliverable shared library that exports exactly the names in its .exports file (one per line): the version
# script is the one place that decides, and makes every other symbol local.
# ENTRY: the library defines DllMain, which the loader stand-in calls on load, unload and thread start and end.
function(xp_dll)
  cmake_parse_arguments(A "ENTRY" "NAME;EXPORTS" "SOURCES;LINK" ${ARGN})
  add_library(${A_NAME} SHARED ${A_SOURCES})
  if(A_ENTRY)
    target_sources(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/platform/kernel32/dll_entry_shim.cc)
    list(APPEND A_LINK xp::kernel32)
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${A_NAME}.version)
  # A line `extern "C++" <pattern>` exports C++ symbols by their demangled names: a glob such as
  # PuzzleObject::*, or an exact name in quotes such as "vtable for PuzzleObject".
  file(STRINGS ${A_EXPORTS} lines REGEX "^[A-Za-z_]")
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
  set_property(TARGET ${A_NAME} APPEND PROPERTY LINK_DEPENDS ${A_EXPORTS})
  set_target_properties(${A_NAME} PROPERTIES VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${A_NAME} PRIVATE "-Wl,--version-script=${script}" "-Wl,--no-undefined")
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${A_NAME} PRIVATE ${A_LINK})
  set_property(TARGET ${A_NAME} PROPERTY XP_EXPORTS_FILE ${A_EXPORTS})
endfunction()

# A deliverable program. It links the C runtime stand-in directly, so that its fopen (Windows paths, text mode)
# comes before glibc's in the program's symbol search, whichever library calls it.
function(xp_exe)
  cmake_parse_arguments(A "" "NAME;OUTPUT_NAME" "SOURCES;LINK" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${A_NAME} PRIVATE xp::msvcrt ${A_LINK})
  if(A_OUTPUT_NAME)
    set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${A_OUTPUT_NAME})
  endif()
endfunction()

# A static, position-independent piece of code that several deliverables share (one AES core, one hex codec).
function(xp_shared_code)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK" ${ARGN})
  add_library(${A_NAME} STATIC ${A_SOURCES})
  set_target_properties(${A_NAME} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${A_NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} PRIVATE ${XP_PLATFORM_INCLUDE})
  target_link_libraries(${A_NAME} PUBLIC ${A_LINK})
endfunction()

# A stand-in for a Windows component: always SHARED, so its per-process state (handles, last error, loaded
# modules) exists once per process however many libraries use it.
function(xp_platform)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK;PRIVATE_LINK" ${ARGN})
  add_library(xp_${A_NAME} SHARED ${A_SOURCES})
  add_library(xp::${A_NAME} ALIAS xp_${A_NAME})
  target_include_directories(xp_${A_NAME} PUBLIC ${XP_PLATFORM_INCLUDE} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(xp_${A_NAME} PUBLIC ${A_LINK} PRIVATE ${A_PRIVATE_LINK})
  target_link_options(xp_${A_NAME} PRIVATE "-Wl,--no-undefined")
endfunction()

# A kernel-mode driver module: the kernel model's service loader dlopens <NAME>.sys and calls its DriverEntry when
# the driver's service starts. Kernel-shaped: no exceptions, only the kernel-side headers (platform/include/ddk),
# linked against the kernel model and static shared code (LINK) and nothing else.
function(xp_driver)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK" ${ARGN})
  add_library(${A_NAME} MODULE ${A_SOURCES})
  set_target_properties(${A_NAME} PROPERTIES PREFIX "" SUFFIX ".sys" CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${A_NAME} PRIVATE -fno-exceptions)
  target_include_directories(${A_NAME} PRIVATE ${XP_PLATFORM_INCLUDE}/ddk ${CMAKE_CURRENT_SOURCE_DIR})
  # The kernel model's library file alone: its usage requirements would bring in the user-side headers.
  add_dependencies(${A_NAME} xp_ntos)
  target_link_libraries(${A_NAME} PRIVATE $<TARGET_FILE:xp_ntos> ${A_LINK})
  target_link_options(${A_NAME} PRIVATE "-Wl,--no-undefined")
endfunction()

# One GoogleTest program per component; every TEST becomes a ctest entry with the given labels.
function(xp_tests)
  cmake_parse_arguments(A "" "TARGET" "SOURCES;LINK;LABELS" ${ARGN})
  set(name ${A_TARGET}_tests)
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${XP_PLATFORM_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE xp::msvcrt ${A_LINK} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} PROPERTIES LABELS "${A_LABELS}" DISCOVERY_TIMEOUT 60)
endfunction()

# Checks that a deliverable exports exactly the names of its .exports file, like a .def check.
function(xp_exports_test TARGET)
  get_property(exports TARGET ${TARGET} PROPERTY XP_EXPORTS_FILE)
  add_test(NAME ${TARGET}_exports
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/check_exports.sh $<TARGET_FILE:${TARGET}> ${exports})
  set_tests_properties(${TARGET}_exports PROPERTIES LABELS unit)
endfunction()
