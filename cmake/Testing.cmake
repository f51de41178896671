# Test frameworks and helpers shared by every build.
#
# Native builds use the system's GoogleTest; the Windows builds compile it from the
# sources Debian ships in /usr/src/googletest. Tests of the Windows builds run under
# Wine (label "wine") through tests/wine/wine-env, which keeps one private prefix and
# one virtual display per build tree. The 32-bit build runs in Wine's WoW64 mode, with
# Wine's own 32-bit DLLs from a private folder that scripts/setup-wow64 prepares; its
# prefix is created with them, and the tree's wine-env finds that folder in
# wine/wow64-dlls.

if(NOT BUILD_TESTING)
  return()
endif()

if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

set(WINE_ENV ${PROJECT_SOURCE_DIR}/tests/wine/wine-env)
set(WINE_TEST_ROOT ${CMAKE_BINARY_DIR}/wine)

# Wine 8 runs 32-bit programs but draws no text or pixels in their windows: tests that
# judge pixels or text metrics run in the 64-bit build only.
# WINE_SYSTEM_FOLDER is where the system programs of this build's kind (regsvr32,
# cscript) live in the prefix.
set(WINE_DRAWS_TEXT OFF)
set(WINE_SYSTEM_FOLDER system32)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_DRAWS_TEXT ON)
elseif(WIN32)
  set(WINE_SYSTEM_FOLDER syswow64)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/setup-wow64
    OUTPUT_VARIABLE WINE_WOW64_DIR OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _wow64_result)
  if(NOT _wow64_result EQUAL 0)
    message(FATAL_ERROR "Wine's 32-bit DLLs could not be prepared (scripts/setup-wow64)")
  endif()
  file(WRITE ${WINE_TEST_ROOT}/wow64-dlls "${WINE_WOW64_DIR}\n")
endif()

# add_wine_test(NAME name COMMAND program args...): runs a Windows program of this
# build under Wine, inside the build tree's prefix and display.
function(add_wine_test)
  cmake_parse_arguments(ARG "" "NAME" "COMMAND" ${ARGN})
  add_test(NAME ${ARG_NAME} COMMAND ${WINE_ENV} run ${ARG_COMMAND})
  set_tests_properties(${ARG_NAME} PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED wine_session
    ENVIRONMENT "WINE_TEST_ROOT=${WINE_TEST_ROOT}"
    TIMEOUT 300)
endfunction()

# only_in_64bit_run(VAR CASE...): VAR becomes a GoogleTest filter argument that leaves
# the named cases out of the 32-bit run (nothing in the 64-bit build). For cases that
# judge pixels, text metrics or GDI images, and for the long waits on a bound, which
# the 64-bit run proves for both.
function(only_in_64bit_run var)
  set(${var} "" PARENT_SCOPE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND ARGN)
    list(JOIN ARGN ":" cases)
    set(${var} "--gtest_filter=-${cases}" PARENT_SCOPE)
  endif()
endfunction()

if(WIN32)
  add_test(NAME wine_session_start COMMAND ${WINE_ENV} start)
  add_test(NAME wine_session_stop COMMAND ${WINE_ENV} stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session LABELS wine
    ENVIRONMENT "WINE_TEST_ROOT=${WINE_TEST_ROOT}" TIMEOUT 300)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session LABELS wine
    ENVIRONMENT "WINE_TEST_ROOT=${WINE_TEST_ROOT}")
endif()
