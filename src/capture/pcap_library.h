// libpcap, loaded when the first capture file is opened: programs that never
// read a capture file never pay for loading it and the libraries it needs.
#pragma once

#include <pcap/pcap.h>

namespace sibdecode {

// The libpcap functions the capture reader calls.
struct PcapLibrary {
  decltype(&pcap_open_offline_with_tstamp_precision) openOfflineWithTstampPrecision;
  decltype(&pcap_fopen_offline_with_tstamp_precision) fopenOfflineWithTstampPrecision;
  decltype(&pcap_datalink) datalink;
  decltype(&pcap_next_ex) nextEx;
  decltype(&pcap_geterr) geterr;
  decltype(&pcap_close) close;
};

// Loads libpcap (SIBDECODE_LIBPCAP in the environment names another file) the
// first time; afterwards returns the outcome of that attempt. nullptr when it
// cannot be loaded, with the reason in *error. Safe to call from several threads.
const PcapLibrary* LoadPcapLibrary(const char** error);

}  // namespace sibdecode
