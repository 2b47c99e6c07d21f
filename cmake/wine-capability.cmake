# Whether the Windows programs of this build can run here, under Wine, found
# once per configure. A 64-bit build always runs (the 64-bit loader works on
# every machine of this kind). A 32-bit build runs only where a tiny 32-bit
# program of the project's own, started under Wine, prints its line:
# some kernels cannot run 32-bit programs at all, and without wine32 such a
# program exits 0 and prints nothing, so its exit status proves nothing.
# ZENOLT_NO_WIN32=1 in the environment forces the answer no.
#
# Sets ZENOLT_PROGRAMS_RUN (TRUE or FALSE) and, when FALSE,
# ZENOLT_CANNOT_RUN_REASON; writes the answer to wine-capability.txt in the
# build tree ("runs", or "skips: " and the reason) for the scripts.

set(ZENOLT_PROGRAMS_RUN TRUE)
set(ZENOLT_CANNOT_RUN_REASON "")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  if("$ENV{ZENOLT_NO_WIN32}" STREQUAL "1")
    set(ZENOLT_PROGRAMS_RUN FALSE)
    set(ZENOLT_CANNOT_RUN_REASON "ZENOLT_NO_WIN32=1 is set")
  else()
    set(_probe_exe "${CMAKE_BINARY_DIR}/win32_probe.exe")
    try_compile(_probe_built "${CMAKE_BINARY_DIR}/win32-probe"
      SOURCES "${CMAKE_CURRENT_LIST_DIR}/win32_probe.cpp"
      COPY_FILE "${_probe_exe}"
      OUTPUT_VARIABLE _probe_build_log)
    if(NOT _probe_built)
      message(FATAL_ERROR "Cannot build the 32-bit probe program:\n${_probe_build_log}")
    endif()
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} "${_probe_exe}"
      OUTPUT_VARIABLE _probe_out ERROR_VARIABLE _probe_err
      RESULT_VARIABLE _probe_status TIMEOUT 300)
    if(NOT _probe_out MATCHES "^zenolt probe: running\r?\n$")
      set(ZENOLT_PROGRAMS_RUN FALSE)
      set(ZENOLT_CANNOT_RUN_REASON "this machine cannot run 32-bit programs")
      string(STRIP "${_probe_err}" _probe_err)
      message(STATUS "32-bit probe: status ${_probe_status}, printed \"${_probe_out}\" ${_probe_err}")
    endif()
  endif()
endif()

if(ZENOLT_PROGRAMS_RUN)
  file(WRITE "${CMAKE_BINARY_DIR}/wine-capability.txt" "runs\n")
  message(STATUS "The programs of this build run here under Wine")
else()
  file(WRITE "${CMAKE_BINARY_DIR}/wine-capability.txt" "skips: ${ZENOLT_CANNOT_RUN_REASON}\n")
  message(STATUS "Tests that run the programs of this build are SKIPPED: "
                 "${ZENOLT_CANNOT_RUN_REASON}")
endif()
