# Mendora.exe and the addresses of its version check.
#
# The shipping program and the one the Wine tests drive differ only in where the
# version check asks: everything else, the window, the repair and the update code, is
# the same libraries. The two addresses therefore live in a library of their own, and
# each program names the one it is built with.
include_guard(GLOBAL)

# mendora_endpoints(TARGET VERSION_URL url DOWNLOAD_BASE base): the version service
# the update check posts to and the download page base, completed by the software id
# (update::kVersionEndpoint and update::kDownloadPageBase). An object library: its
# definitions are linked into each program that names it, whatever the order of the
# static libraries that use them.
function(mendora_endpoints target)
  cmake_parse_arguments(ARG "" "VERSION_URL;DOWNLOAD_BASE" "" ${ARGN})
  # Both go into a quoted command-line argument or a C++ literal as they are.
  foreach(setting VERSION_URL DOWNLOAD_BASE)
    if(NOT ARG_${setting} MATCHES "^https?://[!#-~]+$" OR ARG_${setting} MATCHES "[\"\\\\]")
      message(FATAL_ERROR "${setting} of ${target} ('${ARG_${setting}}') must be an http(s) address "
                          "of printable ASCII without quotes or backslashes")
    endif()
  endforeach()
  add_library(${target} OBJECT ${PROJECT_SOURCE_DIR}/src/update/endpoints.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${target} PRIVATE
    MENDORA_VERSION_URL="${ARG_VERSION_URL}"
    MENDORA_DOWNLOAD_BASE="${ARG_DOWNLOAD_BASE}")
endfunction()

# mendora_program(TARGET ENDPOINTS library): a Mendora.exe whose version check uses the
# addresses of the mendora_endpoints library given. Its resources (version, manifest,
# icon, hand pointer) come from src/window, which prepares them (mendora_images).
function(mendora_program target)
  cmake_parse_arguments(ARG "" "ENDPOINTS" "" ${ARGN})
  set(window_dir ${PROJECT_SOURCE_DIR}/src/window)
  set(resource_dir ${PROJECT_BINARY_DIR}/src/window)
  add_executable(${target} WIN32 ${window_dir}/main.cpp ${window_dir}/mendora.rc)
  target_link_libraries(${target} PRIVATE window_form update_win32 ${ARG_ENDPOINTS})
  target_link_options(${target} PRIVATE -municode)
  # The generated resources are found on the include path, the build folder first.
  target_include_directories(${target} PRIVATE ${resource_dir} ${window_dir})
  set_source_files_properties(${window_dir}/mendora.rc TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
    "${resource_dir}/mendora_version.h;${resource_dir}/mendora.manifest;${resource_dir}/mendora.ico;${resource_dir}/hand.cur")
  add_dependencies(${target} mendora_images)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME Mendora)
endfunction()
