#include "decompress.h"

#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#if __has_include(<zlib.h>) && __has_include(<lzma.h>) && __has_include(<zstd.h>)
#define SIBDECODE_HAS_COMPRESSION 1
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#else
#define SIBDECODE_HAS_COMPRESSION 0
#endif

namespace sibdecode {

Compression CompressionOf(const unsigned char* head, size_t size) {
  if (head == nullptr) return Compression::kNone;
  if (size >= 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 8) return Compression::kGzip;
  if (size >= 6 && std::memcmp(head,
                               "\xFD"
                               "7zXZ\0",
                               6) == 0)
    return Compression::kXz;
  if (size >= 4 && std::memcmp(head, "\x28\xB5\x2F\xFD", 4) == 0) return Compression::kZstd;
  return Compression::kNone;
}

const char* CompressionName(Compression compression) {
  switch (compression) {
    case Compression::kGzip:
      return "gzip";
    case Compression::kXz:
      return "xz";
    case Compression::kZstd:
      return "zstd";
    case Compression::kNone:
      break;
  }
  return "uncompressed";
}

#if SIBDECODE_HAS_COMPRESSION

namespace {

// The functions of the three libraries the decompressor calls.
struct Libraries {
  decltype(&inflateInit2_) zInit = nullptr;
  decltype(&::inflate) zInflate = nullptr;
  decltype(&::inflateReset) zReset = nullptr;
  decltype(&::inflateEnd) zEnd = nullptr;
  decltype(&lzma_stream_decoder) lzmaStreamDecoder = nullptr;
  decltype(&lzma_code) lzmaCode = nullptr;
  decltype(&lzma_end) lzmaEnd = nullptr;
  decltype(&ZSTD_createDStream) zstdCreate = nullptr;
  decltype(&ZSTD_decompressStream) zstdDecompress = nullptr;
  decltype(&ZSTD_freeDStream) zstdFree = nullptr;
  decltype(&ZSTD_isError) zstdIsError = nullptr;
  decltype(&ZSTD_getErrorName) zstdErrorName = nullptr;
  bool loaded[3] = {};  // gzip, xz, zstd
  char error[3][256] = {};
};

template <typename Function>
bool Find(void* handle, const char* symbol, Function* function) {
  void* address = dlsym(handle, symbol);
  *function = reinterpret_cast<Function>(address);
  return address != nullptr;
}

// Loads one library's functions; false with the reason in `error`.
bool LoadOne(const char* file, char (&error)[256], bool (*find)(void*, Libraries&),
             Libraries& libraries) {
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr || !find(handle, libraries)) {
    const char* reason = dlerror();
    static_cast<void>(std::snprintf(error, sizeof error, "%s cannot be loaded: %s", file,
                                    reason != nullptr ? reason : "a function is missing"));
    if (handle != nullptr) dlclose(handle);
    return false;
  }
  return true;
}

Libraries* LoadLibraries() {
  static Libraries libraries;
  static const bool tried = [] {
    Libraries& l = libraries;
    l.loaded[0] = LoadOne(
        "libz.so.1", l.error[0],
        [](void* h, Libraries& f) {
          return Find(h, "inflateInit2_", &f.zInit) && Find(h, "inflate", &f.zInflate) &&
                 Find(h, "inflateReset", &f.zReset) && Find(h, "inflateEnd", &f.zEnd);
        },
        l);
    l.loaded[1] = LoadOne(
        "liblzma.so.5", l.error[1],
        [](void* h, Libraries& f) {
          return Find(h, "lzma_stream_decoder", &f.lzmaStreamDecoder) &&
                 Find(h, "lzma_code", &f.lzmaCode) && Find(h, "lzma_end", &f.lzmaEnd);
        },
        l);
    l.loaded[2] = LoadOne(
        "libzstd.so.1", l.error[2],
        [](void* h, Libraries& f) {
          return Find(h, "ZSTD_createDStream", &f.zstdCreate) &&
                 Find(h, "ZSTD_decompressStream", &f.zstdDecompress) &&
                 Find(h, "ZSTD_freeDStream", &f.zstdFree) &&
                 Find(h, "ZSTD_isError", &f.zstdIsError) &&
                 Find(h, "ZSTD_getErrorName", &f.zstdErrorName);
        },
        l);
    return true;
  }();
  static_cast<void>(tried);
  return &libraries;
}

constexpr size_t kInputSize = size_t{64} * 1024;

}  // namespace

struct Decompressor {
  Compression kind = Compression::kNone;
  const Libraries* lib = nullptr;
  CaptureReadFunction read = nullptr;
  void* context = nullptr;
  unsigned char input[kInputSize];
  size_t inPos = 0;
  size_t inEnd = 0;
  bool inputEnded = false;
  bool atBoundary = false;  // the last member or frame is complete
  bool started = false;     // the library's decoder was set up: it is ended with the decompressor
  bool finished = false;
  bool failed = false;
  char error[192] = "";
  z_stream z{};
  lzma_stream x = LZMA_STREAM_INIT;
  ZSTD_DStream* d = nullptr;
};

namespace {

void Fail(Decompressor& d, const char* what, const char* detail) {
  d.failed = true;
  static_cast<void>(std::snprintf(d.error, sizeof d.error, "%s data: %s%s%s",
                                  CompressionName(d.kind), what, detail != nullptr ? ": " : "",
                                  detail != nullptr ? detail : ""));
}

// More compressed bytes behind those not consumed yet; false at their end.
bool Refill(Decompressor& d) {
  if (d.inputEnded) return false;
  if (d.inPos > 0) {
    std::memmove(d.input, d.input + d.inPos, d.inEnd - d.inPos);
    d.inEnd -= d.inPos;
    d.inPos = 0;
  }
  const size_t room = sizeof d.input - d.inEnd;
  if (room == 0) return true;
  const long long n = d.read(d.context, d.input + d.inEnd, room);
  if (n < 0 || static_cast<unsigned long long>(n) > room) {
    Fail(d, "the compressed file cannot be read", nullptr);
    return false;
  }
  if (n == 0) d.inputEnded = true;
  d.inEnd += static_cast<size_t>(n);
  return n > 0;
}

// One step of the decompressor: output into out[0, size); returns the bytes produced.
size_t Step(Decompressor& d, unsigned char* out, size_t size) {
  const size_t available = d.inEnd - d.inPos;
  switch (d.kind) {
    case Compression::kGzip: {
      d.z.next_in = d.input + d.inPos;
      d.z.avail_in = static_cast<uInt>(available);
      d.z.next_out = out;
      d.z.avail_out = static_cast<uInt>(size < UINT_MAX ? size : UINT_MAX);
      const uInt before = d.z.avail_out;
      const int r = d.lib->zInflate(&d.z, Z_NO_FLUSH);
      d.inPos += available - d.z.avail_in;
      const size_t produced = before - d.z.avail_out;
      if (r == Z_STREAM_END) {
        d.atBoundary = true;
        d.lib->zReset(&d.z);  // a further member may follow
      } else if (r == Z_DATA_ERROR && d.atBoundary) {
        d.finished = true;  // padding behind the last member, as gzip ignores it
      } else if (r != Z_OK && r != Z_BUF_ERROR) {
        Fail(d, "corrupt", d.z.msg);
      } else if (available - d.z.avail_in > 0 || produced > 0) {
        d.atBoundary = false;
      }
      return produced;
    }
    case Compression::kXz: {
      d.x.next_in = d.input + d.inPos;
      d.x.avail_in = available;
      d.x.next_out = out;
      d.x.avail_out = size;
      const lzma_ret r = d.lib->lzmaCode(&d.x, d.inputEnded ? LZMA_FINISH : LZMA_RUN);
      d.inPos += available - d.x.avail_in;
      if (r == LZMA_STREAM_END) {
        d.atBoundary = d.finished = true;
      } else if (r == LZMA_BUF_ERROR && d.inputEnded) {
        Fail(d, "the file ends inside the compressed stream", nullptr);
      } else if (r != LZMA_OK && r != LZMA_BUF_ERROR) {
        Fail(d, "corrupt or not supported", nullptr);
      }
      return size - d.x.avail_out;
    }
    case Compression::kZstd: {
      ZSTD_inBuffer in{d.input, d.inEnd, d.inPos};
      ZSTD_outBuffer o{out, size, 0};
      const size_t r = d.lib->zstdDecompress(d.d, &o, &in);
      const bool moved = in.pos != d.inPos || o.pos > 0;
      d.inPos = in.pos;
      if (d.lib->zstdIsError(r)) {
        Fail(d, "corrupt", d.lib->zstdErrorName(r));
      } else if (moved) {
        d.atBoundary = r == 0;  // 0: a frame is complete and all its bytes handed out
      }
      return o.pos;
    }
    case Compression::kNone:
      break;
  }
  return 0;
}

}  // namespace

Decompressor* CreateDecompressor(Compression compression, CaptureReadFunction read, void* context,
                                 char* message, size_t messageCapacity) {
  const auto say = [&](const char* text) {
    if (message != nullptr && messageCapacity > 0) {
      static_cast<void>(std::snprintf(message, messageCapacity, "cannot read the %s capture: %s",
                                      CompressionName(compression), text));
    }
  };
  if (compression == Compression::kNone || read == nullptr) {
    say("not compressed");
    return nullptr;
  }
  const Libraries* lib = LoadLibraries();
  const int index = compression == Compression::kGzip ? 0 : compression == Compression::kXz ? 1 : 2;
  if (!lib->loaded[index]) {
    say(lib->error[index]);
    return nullptr;
  }
  Decompressor* d = new (std::nothrow) Decompressor;
  if (d == nullptr) {
    say("out of memory");
    return nullptr;
  }
  d->kind = compression;
  d->lib = lib;
  d->read = read;
  d->context = context;
  bool started = false;
  switch (compression) {
    case Compression::kGzip:
      started = lib->zInit != nullptr && lib->zInit(&d->z, 16 + MAX_WBITS, ZLIB_VERSION,
                                                    static_cast<int>(sizeof(z_stream))) == Z_OK;
      break;
    case Compression::kXz:
      started = lib->lzmaStreamDecoder != nullptr &&
                lib->lzmaStreamDecoder(&d->x, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
      break;
    case Compression::kZstd:
      d->d = lib->zstdCreate != nullptr ? lib->zstdCreate() : nullptr;
      started = d->d != nullptr;
      break;
    case Compression::kNone:
      break;
  }
  d->started = started;
  if (!started) {
    say("the decompressor cannot start (out of memory)");
    DestroyDecompressor(d);
    return nullptr;
  }
  return d;
}

long long ReadDecompressed(void* decompressor, void* buffer, size_t size) {
  Decompressor& d = *static_cast<Decompressor*>(decompressor);
  unsigned char* out = static_cast<unsigned char*>(buffer);
  while (!d.failed && !d.finished && size > 0) {
    if (d.inPos == d.inEnd && !Refill(d) && d.failed) break;
    const size_t before = d.inPos;
    const size_t produced = Step(d, out, size);
    if (produced > 0) return static_cast<long long>(produced);
    if (d.failed || d.finished) break;
    if (d.inPos == before && !Refill(d)) {
      if (d.failed) break;
      if (d.inputEnded && d.inPos == d.inEnd) {
        // No more input and nothing more comes out: complete, or cut short.
        if (d.atBoundary) {
          d.finished = true;
        } else {
          Fail(d, "the file ends inside the compressed stream", nullptr);
        }
      }
    }
  }
  return d.failed ? -1 : 0;
}

const char* DecompressorError(const Decompressor* decompressor) {
  return decompressor != nullptr ? decompressor->error : "";
}

void DestroyDecompressor(Decompressor* d) {
  if (d == nullptr) return;
  if (d->started) {
    switch (d->kind) {
      case Compression::kGzip:
        d->lib->zEnd(&d->z);
        break;
      case Compression::kXz:
        d->lib->lzmaEnd(&d->x);
        break;
      case Compression::kZstd:
        if (d->d != nullptr) d->lib->zstdFree(d->d);
        break;
      case Compression::kNone:
        break;
    }
  }
  delete d;
}

#else  // without the libraries' headers

struct Decompressor {};

Decompressor* CreateDecompressor(Compression compression, CaptureReadFunction, void*, char* message,
                                 size_t messageCapacity) {
  if (message != nullptr && messageCapacity > 0) {
    static_cast<void>(std::snprintf(message, messageCapacity,
                                    "cannot read the %s capture: this build reads uncompressed "
                                    "captures only",
                                    CompressionName(compression)));
  }
  return nullptr;
}

long long ReadDecompressed(void*, void*, size_t) { return -1; }
const char* DecompressorError(const Decompressor*) { return ""; }
void DestroyDecompressor(Decompressor* d) { delete d; }

#endif

}  // namespace sibdecode
