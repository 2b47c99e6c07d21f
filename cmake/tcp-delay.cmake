# Import libraries that load Winsock (ws2_32.dll) and the registry functions
# (advapi32.dll, where the planetarium publishes its port; also the security
# of a session's pipe and the user a session runs as) only when a
# program goes on to the planetarium's TCP command server, so that a DDE
# run, or a usage text, pays nothing for them.
#
# Provides the targets zenolt_ws2_32_delay and zenolt_advapi32_delay, to link
# instead of ws2_32 and advapi32.
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
  WSAIoctl:36
  send:16
  recv:16
  closesocket:4
  __WSAFDIsSet:8)

zenolt_delay_load(zenolt_advapi32_delay advapi32.dll FUNCTIONS
  RegOpenKeyExA:20
  RegQueryValueExA:24
  RegCloseKey:4
  OpenProcessToken:12
  GetTokenInformation:20
  EqualSid:8
  GetLengthSid:4
  InitializeAcl:12
  AddAccessAllowedAce:16
  InitializeSecurityDescriptor:8
  SetSecurityDescriptorDacl:16)
