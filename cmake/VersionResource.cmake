# add_version_resource(TARGET FILE_NAME name DESCRIPTION text PRODUCT text): gives a
# Windows program or library the version resource of the project version, numbered as
# Mendora.exe's (major.minor.0.patch), so that every file of a release says which
# release it belongs to. The file type (application or library) follows the target.
include_guard(GLOBAL)

function(add_version_resource target)
  cmake_parse_arguments(VERSION "" "FILE_NAME;DESCRIPTION;PRODUCT" "" ${ARGN})
  set(VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,${PROJECT_VERSION_PATCH}")
  set(VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.${PROJECT_VERSION_PATCH}")
  get_filename_component(VERSION_INTERNAL_NAME ${VERSION_FILE_NAME} NAME_WE)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(VERSION_FILE_TYPE VFT_APP)
  else()
    set(VERSION_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
