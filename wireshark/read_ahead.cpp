#include "read_ahead.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wiretap/wtap.h>
#include <wsutil/buffer.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "capture/gsmtap.h"  // the library's GSMTAP parser, the one its capture reader uses
#include "frame_notes.h"

namespace sibplugin {

namespace {

struct CaptureFile {
  wtap* file = nullptr;  // positioned after its first record, which `record` holds
  wtap_rec record;
  Buffer buffer;
};

CaptureFile capture;

// Wireshark's encapsulations that the GSMTAP parser reads, with their libpcap
// link types.
struct LinkType {
  int encapsulation;
  int pcapLinkType;
};
constexpr LinkType kLinkTypes[] = {
    {WTAP_ENCAP_ETHERNET, 1},  {WTAP_ENCAP_SLL, 113},     {WTAP_ENCAP_SLL2, 276},
    {WTAP_ENCAP_NULL, 0},      {WTAP_ENCAP_LOOP, 108},    {WTAP_ENCAP_RAW_IP, 12},
    {WTAP_ENCAP_RAW_IP4, 228}, {WTAP_ENCAP_RAW_IP6, 229},
};

int PcapLinkType(int encapsulation) {
  for (const LinkType& type : kLinkTypes) {
    if (type.encapsulation == encapsulation) return type.pcapLinkType;
  }
  return -1;
}

// A live capture: Wireshark and tshark read the file that dumpcap, their child
// process, is still writing, so its end is not the capture's. (Other children,
// such as the GeoIP resolver, do not count.)
bool CaptureChildRuns() {
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return false;
  const long self = static_cast<long>(getpid());
  bool found = false;
  while (!found) {
    const dirent* entry = readdir(processes);
    if (entry == nullptr) break;
    if (!g_ascii_isdigit(entry->d_name[0])) continue;
    gchar* path = g_strdup_printf("/proc/%s/stat", entry->d_name);
    gchar* stat = nullptr;
    if (g_file_get_contents(path, &stat, nullptr, nullptr)) {
      // "pid (command) state ppid ...", the command may hold any character
      const char* command = std::strchr(stat, '(');
      const char* afterCommand = std::strrchr(stat, ')');
      if (command != nullptr && afterCommand != nullptr && std::strlen(afterCommand) > 4) {
        const char* parentField = afterCommand + 4;  // past ") S "
        char* end = nullptr;
        const long parent = std::strtol(parentField, &end, 10);
        const std::string_view name(command + 1, static_cast<size_t>(afterCommand - command - 1));
        found = end != parentField && parent == self && name == "dumpcap";
      }
    }
    g_free(stat);
    g_free(path);
  }
  closedir(processes);
  return found;
}

// The file opened on its own and positioned after its first record, when that
// record is the frame; null otherwise.
wtap* OpenAtFirstRecord(const char* path, const guint8* frame, guint length) {
  int err = 0;
  gchar* errInfo = nullptr;
  wtap* file = wtap_open_offline(path, WTAP_TYPE_AUTO, &err, &errInfo, FALSE);
  g_free(errInfo);
  errInfo = nullptr;
  if (file == nullptr) return nullptr;
  gint64 offset = 0;
  const bool same = wtap_read(file, &capture.record, &capture.buffer, &err, &errInfo, &offset) &&
                    capture.record.rec_type == REC_TYPE_PACKET &&
                    capture.record.rec_header.packet_header.caplen == length &&
                    std::memcmp(ws_buffer_start_ptr(&capture.buffer), frame, length) == 0;
  g_free(errInfo);
  if (same) return file;
  wtap_close(file);
  return nullptr;
}

struct FileIdentity {
  dev_t device;
  ino_t inode;
};

// The process's open regular files, each once, by their /proc/self/fd path
// (which opens the file even when it was renamed or deleted).
GPtrArray* OpenRegularFiles() {
  GPtrArray* paths = g_ptr_array_new_with_free_func(g_free);
  DIR* descriptors = opendir("/proc/self/fd");
  if (descriptors == nullptr) return paths;
  GArray* seen = g_array_new(FALSE, FALSE, sizeof(FileIdentity));
  while (const dirent* entry = readdir(descriptors)) {
    if (!g_ascii_isdigit(entry->d_name[0])) continue;
    gchar* path = g_strdup_printf("/proc/self/fd/%s", entry->d_name);
    struct stat status;
    bool known = stat(path, &status) != 0 || !S_ISREG(status.st_mode);
    for (guint i = 0; i < seen->len && !known; ++i) {
      const FileIdentity& other = g_array_index(seen, FileIdentity, i);
      known = other.device == status.st_dev && other.inode == status.st_ino;
    }
    if (known) {
      g_free(path);
      continue;
    }
    const FileIdentity identity = {status.st_dev, status.st_ino};
    g_array_append_val(seen, identity);
    g_ptr_array_add(paths, path);
  }
  closedir(descriptors);
  g_array_free(seen, TRUE);
  return paths;
}

// The frame's GSMTAP BCCH-BCH block, if it has one, into the forecast.
// False when the forecast was given up.
bool ForecastRecord(guint32 frame, bool cellsByArfcn) {
  if (capture.record.rec_type != REC_TYPE_PACKET) return true;
  const int linkType = PcapLinkType(capture.record.rec_header.packet_header.pkt_encap);
  if (linkType < 0) return true;
  sibdecode::GsmtapBch bch;
  if (sibdecode::FindGsmtapBch(linkType, ws_buffer_start_ptr(&capture.buffer),
                               capture.record.rec_header.packet_header.caplen,
                               &bch) != sibdecode::PacketKind::kBchBlock) {
    return true;
  }
  return ForecastBlock(frame, cellsByArfcn ? bch.arfcn : 0, bch.frameNumber, bch.payload);
}

}  // namespace

void FindCaptureFile(const guint8* frame, guint length) {
  CloseCaptureFile();
  if (frame == nullptr || length == 0 || CaptureChildRuns()) return;
  wtap_rec_init(&capture.record);
  ws_buffer_init(&capture.buffer, 1514);
  GPtrArray* paths = OpenRegularFiles();  // before any is opened here
  const char* match = nullptr;
  guint matches = 0;
  for (guint i = 0; i < paths->len; ++i) {
    const auto* path = static_cast<const char*>(g_ptr_array_index(paths, i));
    wtap* file = OpenAtFirstRecord(path, frame, length);
    if (file == nullptr) continue;
    wtap_close(file);
    match = path;
    ++matches;
  }
  // With two files that start with this frame, which one is read is unknown.
  if (matches == 1) capture.file = OpenAtFirstRecord(match, frame, length);
  g_ptr_array_free(paths, TRUE);
  if (capture.file == nullptr) CloseCaptureFile();
}

void ReadCaptureAhead(bool cellsByArfcn) {
  if (capture.file == nullptr) return;
  if (StartForecast()) {
    guint32 frame = 1;  // the record held is the first
    int err = 0;
    gchar* errInfo = nullptr;
    gint64 offset = 0;
    bool forecasting = true;
    // A read error ends the file here for Wireshark's reader as for this one.
    while ((forecasting = ForecastRecord(frame, cellsByArfcn)) &&
           wtap_read(capture.file, &capture.record, &capture.buffer, &err, &errInfo, &offset)) {
      ++frame;
    }
    g_free(errInfo);
    if (forecasting) FinishForecast(frame);
  }
  CloseCaptureFile();
}

void CloseCaptureFile() {
  if (capture.file == nullptr && capture.buffer.data == nullptr) return;
  if (capture.file != nullptr) wtap_close(capture.file);
  wtap_rec_cleanup(&capture.record);
  ws_buffer_free(&capture.buffer);
  capture = CaptureFile();
}

}  // namespace sibplugin
