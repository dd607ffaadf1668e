// Compressed captures: gzip, xz and zstd streams read through a read function
// and handed on decompressed through another. zlib, liblzma and libzstd are
// loaded when the first capture compressed with them is opened.
#pragma once

#include <sibdecode/capture.h>

#include <cstddef>

namespace sibdecode {

enum class Compression { kNone, kGzip, kXz, kZstd };

// The compression the first bytes announce (6 bytes tell every kind; fewer
// give kNone).
Compression CompressionOf(const unsigned char* head, size_t size);

// "gzip", "xz", "zstd".
const char* CompressionName(Compression compression);

struct Decompressor;

// A decompressor reading the compressed bytes from `read`. Null when the
// library cannot be loaded or the heap ran out, with a line saying why in
// `message`.
Decompressor* CreateDecompressor(Compression compression, CaptureReadFunction read, void* context,
                                 char* message, size_t messageCapacity);

// A CaptureReadFunction over a Decompressor: -1 on a read error or corrupt
// data (the reason in DecompressorError); the end of the compressed stream
// (all its frames or members) is the end.
long long ReadDecompressed(void* decompressor, void* buffer, size_t size);
const char* DecompressorError(const Decompressor* decompressor);

void DestroyDecompressor(Decompressor* decompressor);

}  // namespace sibdecode
