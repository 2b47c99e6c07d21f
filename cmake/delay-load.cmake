# Import libraries that load a system DLL only when one of its functions is
# first called, so that a run which never needs it pays nothing for it.
#
#   zenolt_delay_load(TARGET dll FUNCTIONS name:bytes...)
# provides the imported library target TARGET, to link instead of the DLL's
# ordinary import library. bytes is the size of the function's arguments,
# which the 32-bit stdcall names carry.
function(zenolt_delay_load target dll)
  cmake_parse_arguments(ARG "" "" "FUNCTIONS" ${ARGN})
  set(_def "${CMAKE_BINARY_DIR}/${target}.def")
  set(_lib "${CMAKE_BINARY_DIR}/lib${target}.a")
  set(_content "LIBRARY ${dll}\nEXPORTS\n")
  foreach(_entry IN LISTS ARG_FUNCTIONS)
    string(REPLACE ":" ";" _parts "${_entry}")
    list(GET _parts 0 _name)
    list(GET _parts 1 _bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(APPEND _content "${_name}@${_bytes}\n")
    else()
      string(APPEND _content "${_name}\n")
    endif()
  endforeach()
  file(WRITE "${_def}" "${_content}")

  get_filename_component(_compiler_name "${CMAKE_CXX_COMPILER}" NAME)
  string(REGEX REPLACE "-g\\+\\+.*$" "-dlltool" _dlltool_name "${_compiler_name}")
  find_program(ZENOLT_DLLTOOL NAMES ${_dlltool_name} REQUIRED)
  set(_kill_at "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_kill_at "--kill-at")
  endif()
  add_custom_command(
    OUTPUT "${_lib}"
    COMMAND ${ZENOLT_DLLTOOL} --input-def "${_def}" --output-delaylib "${_lib}"
            --dllname ${dll} ${_kill_at}
    DEPENDS "${_def}"
    COMMENT "Delay-loading import library for ${dll}")
  add_custom_target(${target}_lib DEPENDS "${_lib}")
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${_lib}")
  add_dependencies(${target} ${target}_lib)
endfunction()
