# An import library that loads ws2_32.dll (Winsock) only when a program goes
# on to the planetarium's TCP command server, so that a DDE run, or a usage
# text, pays nothing for it.
#
# Provides the target zenolt_ws2_32_delay, to link instead of ws2_32.
include(${CMAKE_CURRENT_LIST_DIR}/delay-load.cmake)

zenolt_delay_load(zenolt_ws2_32_delay ws2_32.dll FUNCTIONS
  WSAStartup:8
  WSAGetLastError:0
  getaddrinfo:16
  freeaddrinfo:4
  socket:12
  connect:12
  ioctlsocket:12
  select:20
  getsockopt:20
  setsockopt:20
  send:16
  recv:16
  closesocket:4
  __WSAFDIsSet:8)
