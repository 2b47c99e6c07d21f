# An import library that loads user32.dll, the home of the DDE functions, only
# when a DDE function is first called. Printing a usage text then costs no
# more than starting a process: the DDE library's load (tens of milliseconds
# under Wine) is paid only by runs that talk to the planetarium.
#
# Provides the target zenolt_user32_dde_delay, to link instead of user32.
include(${CMAKE_CURRENT_LIST_DIR}/delay-load.cmake)

# Each DDE function the programs call, and the calls of the thread's message
# queue that a conversation with a callback waits with, with the bytes of
# their arguments (the 32-bit stdcall names carry them).
zenolt_delay_load(zenolt_user32_dde_delay user32.dll FUNCTIONS
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

