# libpcap (Debian libpcap-dev) reads pcap and pcapng captures. The library is
# not linked with it: the capture reader loads it (dlopen) when the first
# capture file is opened, so programs that read no capture file start without
# libpcap and the dozen libraries it needs. Only its headers are used here.
find_path(PCAP_INCLUDE_DIR pcap/pcap.h)
find_library(PCAP_LIBRARY pcap)
if(NOT PCAP_INCLUDE_DIR OR NOT PCAP_LIBRARY)
  message(FATAL_ERROR "libpcap not found: install libpcap-dev")
endif()

# The name to load is the SONAME of the library found (libpcap.so itself is a
# development symlink, absent without libpcap-dev).
if(NOT SIBDECODE_LIBPCAP_SONAME)
  get_filename_component(pcap_file "${PCAP_LIBRARY}" REALPATH)
  set(pcap_soname "")
  if(CMAKE_OBJDUMP)
    execute_process(COMMAND "${CMAKE_OBJDUMP}" -p "${pcap_file}" OUTPUT_VARIABLE pcap_headers
                    ERROR_QUIET)
    if(pcap_headers MATCHES "SONAME[ \t]+([^ \t\r\n]+)")
      set(pcap_soname "${CMAKE_MATCH_1}")
    endif()
  endif()
  if(NOT pcap_soname AND CMAKE_READELF)
    execute_process(COMMAND "${CMAKE_READELF}" -d "${pcap_file}" OUTPUT_VARIABLE pcap_headers
                    ERROR_QUIET)
    if(pcap_headers MATCHES "Library soname: \\[([^]]+)\\]")
      set(pcap_soname "${CMAKE_MATCH_1}")
    endif()
  endif()
  if(NOT pcap_soname)
    message(FATAL_ERROR "cannot read the SONAME of ${pcap_file}: install binutils, or set "
                        "SIBDECODE_LIBPCAP_SONAME to the name of libpcap's shared library")
  endif()
  set(SIBDECODE_LIBPCAP_SONAME "${pcap_soname}" CACHE STRING
      "libpcap shared library the capture reader loads")
endif()
message(STATUS "Captures are read through ${SIBDECODE_LIBPCAP_SONAME}")

