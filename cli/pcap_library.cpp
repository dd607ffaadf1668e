#include "pcap_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

// Set by the build: the SONAME of the libpcap the tool was built against.
#ifndef SIBDECODE_LIBPCAP_SONAME
#error "SIBDECODE_LIBPCAP_SONAME must name the libpcap shared library"
#endif

struct LoadedPcap {
  bool tried = false;
  PcapLibrary functions{};
  const PcapLibrary* library = nullptr;
  char error[512] = "";
};

LoadedPcap loaded;

template <typename Function>
bool Find(void* handle, const char* symbol, Function* function) {
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    std::snprintf(loaded.error, sizeof(loaded.error), "%s", dlerror());
    return false;
  }
  *function = reinterpret_cast<Function>(address);
  return true;
}

}  // namespace

const PcapLibrary* LoadPcapLibrary(const char** error) {
  if (!loaded.tried) {
    loaded.tried = true;
    const char* file = std::getenv("SIBDECODE_LIBPCAP");
    if (file == nullptr || *file == '\0') file = SIBDECODE_LIBPCAP_SONAME;
    void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::snprintf(loaded.error, sizeof(loaded.error), "%s", dlerror());
    } else {
      PcapLibrary& f = loaded.functions;
      if (Find(handle, "pcap_open_offline_with_tstamp_precision",
               &f.openOfflineWithTstampPrecision) &&
          Find(handle, "pcap_datalink", &f.datalink) && Find(handle, "pcap_next_ex", &f.nextEx) &&
          Find(handle, "pcap_geterr", &f.geterr) && Find(handle, "pcap_close", &f.close)) {
        loaded.library = &loaded.functions;
      } else {
        dlclose(handle);
      }
    }
  }
  *error = loaded.error;
  return loaded.library;
}

}  // namespace cli
