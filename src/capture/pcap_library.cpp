#include "pcap_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace sibdecode {

namespace {

// Set by the build: the SONAME of the libpcap the library was built against.
#ifndef SIBDECODE_LIBPCAP_SONAME
#error "SIBDECODE_LIBPCAP_SONAME must name the libpcap shared library"
#endif

struct LoadedPcap {
  PcapLibrary functions{};
  const PcapLibrary* library = nullptr;
  char error[512] = "";
};

template <typename Function>
bool Find(void* handle, const char* symbol, Function* function, LoadedPcap* loaded) {
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    static_cast<void>(std::snprintf(loaded->error, sizeof(loaded->error), "%s", dlerror()));
    return false;
  }
  *function = reinterpret_cast<Function>(address);
  return true;
}

void Load(LoadedPcap* loaded) {
  const char* file = std::getenv("SIBDECODE_LIBPCAP");
  if (file == nullptr || *file == '\0') file = SIBDECODE_LIBPCAP_SONAME;
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    static_cast<void>(std::snprintf(loaded->error, sizeof(loaded->error), "%s", dlerror()));
    return;
  }
  PcapLibrary& f = loaded->functions;
  if (Find(handle, "pcap_open_offline_with_tstamp_precision", &f.openOfflineWithTstampPrecision,
           loaded) &&
      Find(handle, "pcap_fopen_offline_with_tstamp_precision", &f.fopenOfflineWithTstampPrecision,
           loaded) &&
      Find(handle, "pcap_datalink", &f.datalink, loaded) &&
      Find(handle, "pcap_next_ex", &f.nextEx, loaded) &&
      Find(handle, "pcap_geterr", &f.geterr, loaded) &&
      Find(handle, "pcap_close", &f.close, loaded)) {
    loaded->library = &loaded->functions;
  } else {
    dlclose(handle);
  }
}

}  // namespace

const PcapLibrary* LoadPcapLibrary(const char** error) {
  // Loaded once per process, by whichever thread comes first.
  static LoadedPcap loaded;
  static const bool tried = (Load(&loaded), true);
  static_cast<void>(tried);
  *error = loaded.error;
  return loaded.library;
}

}  // namespace sibdecode
