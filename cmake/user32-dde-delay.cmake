# An import library that loads user32.dll, the home of the DDE functions, only
# when a DDE function is first called. Printing a usage text then costs no
# more than starting a process: the DDE library's load (tens of milliseconds
# under Wine) is paid only by runs that talk to the planetarium.
#
# Provides the target zenolt_user32_dde_delay, to link instead of user32.

# Each DDE function the programs call, and the calls of the thread's message
# queue that a conversation with a callback waits with, with the bytes of
# their arguments (the 32-bit stdcall names carry them).
set(ZENOLT_DDE_FUNCTIONS
  DdeInitializeA:16
  DdeCreateStringHandleA:12
  DdeConnect:16
  DdeClientTransaction:32
  DdeAccessData:8
  DdeUnaccessData:4
  DdeDisconnect:4
  DdeFreeStringHandle:8
  DdeUninitialize:4
  DdeGetLastError:4
  DdeQueryConvInfo:12
  IsWindow:4
  PeekMessageA:20
  TranslateMessage:4
  DispatchMessageA:4
  PostQuitMessage:4
  PostThreadMessageA:16
  MsgWaitForMultipleObjects:20)

set(_def "${CMAKE_BINARY_DIR}/user32_dde.def")
set(_lib "${CMAKE_BINARY_DIR}/libuser32_dde_delay.a")
set(_content "LIBRARY user32.dll\nEXPORTS\n")
foreach(_entry IN LISTS ZENOLT_DDE_FUNCTIONS)
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
          --dllname user32.dll ${_kill_at}
  DEPENDS "${_def}"
  COMMENT "Delay-loading import library for the DDE functions of user32.dll")
add_custom_target(zenolt_user32_dde_delay_lib DEPENDS "${_lib}")
add_library(zenolt_user32_dde_delay STATIC IMPORTED GLOBAL)
set_target_properties(zenolt_user32_dde_delay PROPERTIES IMPORTED_LOCATION "${_lib}")
add_dependencies(zenolt_user32_dde_delay zenolt_user32_dde_delay_lib)
