// The C interface: thin adapters over the C++ API. Handles are the C++ objects
// behind opaque types; records the library fills are copied out no further
// than the caller's struct_size.
#include <sibdecode/capture.h>
#include <sibdecode/sibdecode.h>
#include <sibdecode/sibdecode_c.h>
#include <sibdecode/survey.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

#ifndef _WIN32
#include <unistd.h>
#endif

#ifndef SIBDECODE_VERSION_MAJOR
#error "the build sets SIBDECODE_VERSION_MAJOR, _MINOR and _PATCH"
#endif

// The C summary record is the C++ one, member for member.
static_assert(sizeof(sibdecode_summary) == sizeof(tagSystemInformationBlock), "summary size");
static_assert(offsetof(sibdecode_summary, sib4) == offsetof(tagSystemInformationBlock, sib4), "");
static_assert(offsetof(sibdecode_summary, sib11) == offsetof(tagSystemInformationBlock, sib11), "");
static_assert(offsetof(sibdecode_summary, sib11.intraFreqCellCount) ==
                  offsetof(tagSystemInformationBlock, sib11.intraFreqCellCount),
              "");
static_assert(offsetof(sibdecode_summary, sib11.interFreqCellCount) ==
                  offsetof(tagSystemInformationBlock, sib11.interFreqCellCount),
              "");
static_assert(offsetof(sibdecode_summary, sib11.interFreqCells) ==
                  offsetof(tagSystemInformationBlock, sib11.interFreqCells),
              "");
static_assert(sizeof(sibdecode_inter_freq_cell) == sizeof(tagInterFreqCell), "");
static_assert(sizeof(sibdecode_inter_rat_cell) == sizeof(tagInterRATCell), "");
static_assert(sizeof(sibdecode_intra_freq_cell) == sizeof(tagIntraFreqCell), "");
static_assert(std::is_standard_layout<sibdecode_summary>::value, "");

// The C constants are the C++ ones.
static_assert(SIBDECODE_DECODED == sibdecode::kDecoded &&
                  SIBDECODE_NOTHING_DECODED == sibdecode::kNothingDecoded &&
                  SIBDECODE_TEXT_TOO_SMALL == sibdecode::kTextTooSmall &&
                  SIBDECODE_NO_MEMORY == sibdecode::kNoMemory,
              "results");
static_assert(SIBDECODE_SUMMARY_SIB3_CELL_IDENTITY == sibdecode::kSummarySib3CellIdentity &&
                  SIBDECODE_SUMMARY_SIB4_CELL_IDENTITY == sibdecode::kSummarySib4CellIdentity &&
                  SIBDECODE_SUMMARY_NEIGHBOUR_CELLS == sibdecode::kSummaryNeighbourCells,
              "summary parts");
static_assert(SIBDECODE_SIB_COMPLETED == sibdecode::kSibCompleted &&
                  SIBDECODE_CHAIN_DROPPED == sibdecode::kChainDropped,
              "stream events");
static_assert(SIBDECODE_DROP_INTERRUPTED == sibdecode::kDropInterrupted &&
                  SIBDECODE_DROP_OUT_OF_ORDER == sibdecode::kDropOutOfOrder &&
                  SIBDECODE_DROP_FLUSHED == sibdecode::kDropFlushed &&
                  SIBDECODE_DROP_TOO_LATE == sibdecode::kDropTooLate &&
                  SIBDECODE_DROP_EVICTED == sibdecode::kDropEvicted,
              "drop reasons");
static_assert(SIBDECODE_CAPTURE_OK == sibdecode::kCaptureOk &&
                  SIBDECODE_CAPTURE_NO_LIBPCAP == sibdecode::kCaptureNoLibpcap &&
                  SIBDECODE_CAPTURE_UNREADABLE == sibdecode::kCaptureUnreadable &&
                  SIBDECODE_CAPTURE_NO_MEMORY == sibdecode::kCaptureNoMemory &&
                  SIBDECODE_CAPTURE_BAD_ARGUMENT == sibdecode::kCaptureBadArgument,
              "open results");
static_assert(SIBDECODE_CAPTURE_EVENT_SIB == sibdecode::kCaptureSib &&
                  SIBDECODE_CAPTURE_EVENT_DROP == sibdecode::kCaptureDrop &&
                  SIBDECODE_CAPTURE_EVENT_WRONG_SIZE == sibdecode::kCaptureWrongSize &&
                  SIBDECODE_CAPTURE_EVENT_TRUNCATED == sibdecode::kCaptureTruncated &&
                  SIBDECODE_CAPTURE_EVENT_NO_MEMORY == sibdecode::kCaptureNoMemoryEvent,
              "capture events");

static_assert(SIBDECODE_REPORT_PATH_SIZE == sibdecode::kReportPathSize &&
                  SIBDECODE_REPORT_WARNINGS == sibdecode::kReportWarnings &&
                  SIBDECODE_STOP_END_OF_DATA == sibdecode::kStopEndOfData &&
                  SIBDECODE_STOP_NO_MEMORY == sibdecode::kStopNoMemory &&
                  SIBDECODE_WARN_SEGMENT_GAP == sibdecode::kWarnSegmentGap,
              "decode reports");

static_assert(SIBDECODE_STOP_TYPE_NOT_KNOWN == sibdecode::kStopTypeNotKnown &&
                  SIBDECODE_WARN_LATER_RELEASE == sibdecode::kWarnLaterRelease &&
                  SIBDECODE_CAPTURE_EVENT_NOT_DECODED == sibdecode::kCaptureNotDecoded &&
                  SIBDECODE_RELEASE_7 == sibdecode::kRelease7 &&
                  SIBDECODE_RELEASE_LATEST == sibdecode::kReleaseLatest &&
                  SIBDECODE_SIB_TYPE_EXTENSION == sibdecode::kSibTypeExtension &&
                  SIBDECODE_SIB_TYPE_EXTENSION_BASE == sibdecode::kSibTypeExtensionBase &&
                  SIBDECODE_SIB_TYPE_EXTENSION2_BASE == sibdecode::kSibTypeExtension2Base &&
                  SIBDECODE_SIB_TYPE_NUMBERS == sibdecode::kSibTypeNumbers,
              "releases and SIB type numbers");

#define SIBDECODE_STRINGIFY2(x) #x
#define SIBDECODE_STRINGIFY(x) SIBDECODE_STRINGIFY2(x)

struct sibdecode_capture {
  sibdecode::CaptureReader* reader = nullptr;
  sibdecode_read_function read = nullptr;  // sibdecode_capture_open_read
  void* readContext = nullptr;
  sibdecode_report report;  // the last SIB event's, until the next call
};

namespace {

sibdecode::DecoderState* State(sibdecode_decoder* decoder) {
  return reinterpret_cast<sibdecode::DecoderState*>(decoder);
}

bool ReleaseOf(int32_t release, sibdecode::DecodeRelease* value) {
  if (release != SIBDECODE_RELEASE_7 && release != SIBDECODE_RELEASE_LATEST) return false;
  *value = static_cast<sibdecode::DecodeRelease>(release);
  return true;
}

// Release 7 brings RRCParserX's text; everything, the plain layout.
sibdecode::TextLayout LayoutAt(sibdecode::DecodeRelease release) {
  return release == sibdecode::kRelease7 ? sibdecode::kTextLayoutRRCParserX
                                         : sibdecode::kTextLayoutPlain;
}

sibdecode::StreamState* Stream(sibdecode_stream* stream) {
  return reinterpret_cast<sibdecode::StreamState*>(stream);
}

// Copies a filled record into the caller's, no further than its struct_size
// (which stays as the caller set it). False when that is too small to hold
// anything but itself.
template <typename Record>
bool CopyOut(const Record& filled, Record* caller) {
  uint32_t callerSize = 0;
  std::memcpy(&callerSize, caller, sizeof(callerSize));
  if (callerSize <= sizeof(uint32_t)) return false;
  const size_t size = callerSize < sizeof(Record) ? callerSize : sizeof(Record);
  std::memcpy(reinterpret_cast<unsigned char*>(caller) + sizeof(uint32_t),
              reinterpret_cast<const unsigned char*>(&filled) + sizeof(uint32_t),
              size - sizeof(uint32_t));
  return true;
}

void CopySummary(const tagSystemInformationBlock& out, sibdecode_summary* summary) {
  if (summary != nullptr) std::memcpy(summary, &out, sizeof(out));
}

// The decode calls differ in the C++ function and whether a type is given.
// A null text with capacity 0 asks for the size needed only.
template <typename Decode>
int32_t DecodeInto(sibdecode_decoder* decoder, const uint8_t* data, char* text, size_t capacity,
                   size_t* textLen, sibdecode_summary* summary, Decode decode) {
  if (decoder == nullptr || data == nullptr || textLen == nullptr ||
      (text == nullptr && capacity > 0)) {
    return SIBDECODE_BAD_ARGUMENT;
  }
  char none[1];
  tagSystemInformationBlock out;
  const int result = decode(State(decoder), &out, text != nullptr ? text : none);
  CopySummary(out, summary);
  return result;
}

void ToCNote(const sibdecode::DecodeNote& note, sibdecode_note* c) {
  c->kind = note.kind;
  c->bit = note.bit;
  std::memcpy(c->path, note.path, sizeof c->path);
}

void FromCNote(const sibdecode_note& c, sibdecode::DecodeNote* note) {
  note->kind = c.kind;
  note->bit = c.bit;
  std::memcpy(note->path, c.path, sizeof note->path);
  note->path[sizeof note->path - 1] = '\0';  // a caller's path may lack its NUL
}

// Fills all but struct_size.
void ToCReport(const sibdecode::DecodeReport& r, sibdecode_report* c) {
  c->sib_type = r.sibType;
  c->decoded = r.decoded;
  c->complete = r.complete;
  c->end_bit = r.endBit;
  ToCNote(r.stop, &c->stop);
  c->warning_count = r.warningCount;
  for (unsigned int i = 0; i < r.warningCount && i < sibdecode::kReportWarnings; ++i) {
    ToCNote(r.warnings[i], &c->warnings[i]);
  }
}

struct StreamCallbackContext {
  sibdecode_stream_callback callback;
  void* context;
};

void ToCStreamEvent(const sibdecode::StreamEvent& event, void* context) {
  const StreamCallbackContext& target = *static_cast<const StreamCallbackContext*>(context);
  sibdecode_stream_event c{};
  sibdecode_summary summary;
  c.struct_size = sizeof(c);
  c.kind = event.kind;
  c.drop_reason = event.dropReason;
  c.sib_type = event.sibType;
  c.cell_key = event.cellKey;
  c.result = event.result;
  c.text = event.text;
  c.text_len = event.textLen;
  if (event.summary != nullptr) {
    std::memcpy(&summary, event.summary, sizeof(summary));
    c.summary = &summary;
  }
  c.sib = event.sib;
  c.sib_len = event.sibLen;
  c.blocks = event.blocks;
  c.blocks_len = event.blocksLen;
  c.block_tags = event.blockTags;
  c.block_count = event.blockCount;
  sibdecode_report report;
  if (event.report != nullptr) {
    report.struct_size = sizeof report;
    ToCReport(*event.report, &report);
    c.report = &report;
  }
  if (target.callback != nullptr) target.callback(&c, target.context);
}

// A count beyond `size` is the caller's fault: an error, so that nothing
// reads or copies past the buffer on its word.
long long ReadThroughCaller(void* context, void* buffer, size_t size) {
  const sibdecode_capture* capture = static_cast<const sibdecode_capture*>(context);
  const int64_t n = capture->read(capture->readContext, buffer, size);
  return n < 0 || static_cast<uint64_t>(n) > size ? -1 : n;
}

sibdecode_capture* NewCapture() { return new (std::nothrow) sibdecode_capture; }

// Wraps what an open call gave; the reader is closed when the wrapper cannot be made.
int32_t Wrap(int status, sibdecode::CaptureReader* reader, sibdecode_capture* capture,
             sibdecode_capture** out, char* message, size_t messageCapacity) {
  if (status != sibdecode::kCaptureOk) {
    delete capture;
    return status;
  }
  if (capture == nullptr) {
    sibdecode::CloseCapture(reader);
    if (message != nullptr && messageCapacity > 0) {
      static_cast<void>(std::snprintf(message, messageCapacity, "out of memory"));
    }
    return SIBDECODE_CAPTURE_NO_MEMORY;
  }
  capture->reader = reader;
  *out = capture;
  return SIBDECODE_CAPTURE_OK;
}

}  // namespace

extern "C" {

uint32_t sibdecode_version(void) {
  return (uint32_t{SIBDECODE_VERSION_MAJOR} << 16) | (uint32_t{SIBDECODE_VERSION_MINOR} << 8) |
         uint32_t{SIBDECODE_VERSION_PATCH};
}

const char* sibdecode_version_string(void) {
  return SIBDECODE_STRINGIFY(SIBDECODE_VERSION_MAJOR) "." SIBDECODE_STRINGIFY(
      SIBDECODE_VERSION_MINOR) "." SIBDECODE_STRINGIFY(SIBDECODE_VERSION_PATCH);
}

sibdecode_decoder* sibdecode_decoder_create(void) {
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  sibdecode::SetDecodeRelease(state, sibdecode::kReleaseLatest);
  sibdecode::SetTextLayout(state, sibdecode::kTextLayoutPlain);
  return reinterpret_cast<sibdecode_decoder*>(state);
}

int32_t sibdecode_decoder_set_release(sibdecode_decoder* decoder, int32_t release) {
  sibdecode::DecodeRelease value;
  if (decoder == nullptr || !ReleaseOf(release, &value)) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::SetDecodeRelease(State(decoder), value);
  sibdecode::SetTextLayout(State(decoder), LayoutAt(value));
  return 0;
}

const char* sibdecode_sib_type_name(uint32_t sib_type) { return sibdecode::SibTypeName(sib_type); }

int32_t sibdecode_sib_type_from_name(const char* name, uint32_t* sib_type) {
  unsigned int type = 0;
  if (sib_type == nullptr || sibdecode::SibTypeFromName(name, &type) != 1) return 0;
  *sib_type = type;
  return 1;
}

void sibdecode_decoder_destroy(sibdecode_decoder* decoder) {
  sibdecode::DestroyDecoderState(State(decoder));
}

size_t sibdecode_max_text_size(size_t len) { return sibdecode::MaxTextSize(len); }

uint32_t sibdecode_sib_summary_parts(uint32_t sib_type) {
  return sibdecode::SibSummaryParts(sib_type);
}

int32_t sibdecode_decode_batch(sibdecode_decoder* decoder, const uint8_t* data, size_t len,
                               sibdecode_summary* summary, char* text, size_t text_capacity,
                               size_t* text_len) {
  return DecodeInto(decoder, data, text, text_capacity, text_len, summary,
                    [&](sibdecode::DecoderState* state, tagSystemInformationBlock* out, char* t) {
                      return sibdecode::DecodeBatch(state, data, len, out, t, text_capacity,
                                                    text_len);
                    });
}

int32_t sibdecode_decode_sib(sibdecode_decoder* decoder, uint32_t sib_type, const uint8_t* sib,
                             size_t len, sibdecode_summary* summary, char* text,
                             size_t text_capacity, size_t* text_len) {
  return DecodeInto(decoder, sib, text, text_capacity, text_len, summary,
                    [&](sibdecode::DecoderState* state, tagSystemInformationBlock* out, char* t) {
                      return sibdecode::DecodeSib(state, sib_type, sib, len, out, t, text_capacity,
                                                  text_len);
                    });
}

int32_t sibdecode_decode_batch_json(sibdecode_decoder* decoder, const uint8_t* data, size_t len,
                                    sibdecode_summary* summary, char* json, size_t json_capacity,
                                    size_t* json_len, uint32_t* sib_type) {
  return DecodeInto(decoder, data, json, json_capacity, json_len, summary,
                    [&](sibdecode::DecoderState* state, tagSystemInformationBlock* out, char* j) {
                      unsigned int type = 0;
                      const int result = sibdecode::DecodeBatchJson(state, data, len, out, j,
                                                                    json_capacity, json_len, &type);
                      if (sib_type != nullptr) *sib_type = type;
                      return result;
                    });
}

int32_t sibdecode_decode_sib_json(sibdecode_decoder* decoder, uint32_t sib_type, const uint8_t* sib,
                                  size_t len, sibdecode_summary* summary, char* json,
                                  size_t json_capacity, size_t* json_len) {
  return DecodeInto(decoder, sib, json, json_capacity, json_len, summary,
                    [&](sibdecode::DecoderState* state, tagSystemInformationBlock* out, char* j) {
                      return sibdecode::DecodeSibJson(state, sib_type, sib, len, out, j,
                                                      json_capacity, json_len);
                    });
}

sibdecode_stream* sibdecode_stream_create(void) {
  sibdecode::StreamState* state = sibdecode::CreateStreamState();
  sibdecode::SetStreamRelease(state, sibdecode::kReleaseLatest);
  sibdecode::SetStreamTextLayout(state, sibdecode::kTextLayoutPlain);
  return reinterpret_cast<sibdecode_stream*>(state);
}

int32_t sibdecode_stream_set_release(sibdecode_stream* stream, int32_t release) {
  sibdecode::DecodeRelease value;
  if (stream == nullptr || !ReleaseOf(release, &value)) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::SetStreamRelease(Stream(stream), value);
  sibdecode::SetStreamTextLayout(Stream(stream), LayoutAt(value));
  return 0;
}

void sibdecode_stream_destroy(sibdecode_stream* stream) {
  sibdecode::DestroyStreamState(Stream(stream));
}

int32_t sibdecode_stream_feed(sibdecode_stream* stream, uint64_t cell_key, uint64_t block_tag,
                              const uint8_t* block, sibdecode_stream_callback callback,
                              void* context) {
  if (stream == nullptr || block == nullptr) return SIBDECODE_BAD_ARGUMENT;
  StreamCallbackContext target{callback, context};
  return sibdecode::FeedBlock(Stream(stream), cell_key, block_tag, block, ToCStreamEvent, &target);
}

int32_t sibdecode_stream_flush(sibdecode_stream* stream, sibdecode_stream_callback callback,
                               void* context) {
  if (stream == nullptr) return SIBDECODE_BAD_ARGUMENT;
  StreamCallbackContext target{callback, context};
  return sibdecode::FlushStream(Stream(stream), ToCStreamEvent, &target);
}

int32_t sibdecode_stream_counts_get(const sibdecode_stream* stream,
                                    sibdecode_stream_counts* counts) {
  if (stream == nullptr || counts == nullptr) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::StreamCounts c;
  sibdecode::GetStreamCounts(reinterpret_cast<const sibdecode::StreamState*>(stream), &c);
  sibdecode_stream_counts filled{};
  filled.blocks = c.blocks;
  filled.sibs_completed = c.sibsCompleted;
  filled.sibs_decoded = c.sibsDecoded;
  filled.chains_dropped = c.chainsDropped;
  filled.segments_discarded = c.segmentsDiscarded;
  sibdecode::StreamDecodeCounts decoded;
  sibdecode::GetStreamDecodeCounts(reinterpret_cast<const sibdecode::StreamState*>(stream),
                                   &decoded);
  filled.sibs_stopped = decoded.sibsStopped;
  filled.sibs_warned = decoded.sibsWarned;
  return CopyOut(filled, counts) ? 0 : SIBDECODE_BAD_ARGUMENT;
}

int32_t sibdecode_decoder_report_get(const sibdecode_decoder* decoder, sibdecode_report* report) {
  if (decoder == nullptr || report == nullptr) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::DecodeReport r;
  r.size = sizeof r;
  if (sibdecode::GetDecodeReport(reinterpret_cast<const sibdecode::DecoderState*>(decoder), &r) !=
      1) {
    return SIBDECODE_BAD_ARGUMENT;
  }
  sibdecode_report filled{};
  ToCReport(r, &filled);
  return CopyOut(filled, report) ? 0 : SIBDECODE_BAD_ARGUMENT;
}

size_t sibdecode_report_describe(const sibdecode_report* report, char* text, size_t capacity) {
  if (report == nullptr) return sibdecode::DescribeDecodeReport(nullptr, text, capacity);
  // The caller's record is read no further than its struct_size: what lies
  // beyond reads as absent, and only the warnings it holds whole are counted.
  uint32_t callerSize = 0;
  std::memcpy(&callerSize, report, sizeof(callerSize));
  sibdecode_report held{};
  const size_t size = callerSize < sizeof held ? callerSize : sizeof held;
  std::memcpy(&held, report, size);
  sibdecode::DecodeReport r;
  r.size = sizeof r;
  r.sibType = held.sib_type;
  r.decoded = held.decoded;
  r.complete = held.complete;
  r.endBit = held.end_bit;
  FromCNote(held.stop, &r.stop);
  // Where a decode stopped is what there is to say: without it, nothing is said.
  if (size < offsetof(sibdecode_report, stop) + sizeof held.stop) r.decoded = 0;
  const size_t warningsHeld =
      size < offsetof(sibdecode_report, warnings)
          ? 0
          : (size - offsetof(sibdecode_report, warnings)) / sizeof(sibdecode_note);
  r.warningCount =
      held.warning_count < warningsHeld ? held.warning_count : static_cast<uint32_t>(warningsHeld);
  for (unsigned int i = 0; i < r.warningCount && i < sibdecode::kReportWarnings; ++i) {
    FromCNote(held.warnings[i], &r.warnings[i]);
  }
  return sibdecode::DescribeDecodeReport(&r, text, capacity);
}

const char* sibdecode_stop_text(int32_t stop) { return sibdecode::DecodeStopText(stop); }

const char* sibdecode_warning_text(int32_t warning) {
  return sibdecode::DecodeWarningText(warning);
}

int32_t sibdecode_capture_open_file(const char* path, sibdecode_capture** capture, char* message,
                                    size_t message_capacity) {
  if (capture == nullptr) return SIBDECODE_CAPTURE_BAD_ARGUMENT;
  *capture = nullptr;
  sibdecode::CaptureReader* reader = nullptr;
  const int status = sibdecode::OpenCaptureFile(path, &reader, message, message_capacity);
  return Wrap(status, reader, status == sibdecode::kCaptureOk ? NewCapture() : nullptr, capture,
              message, message_capacity);
}

int32_t sibdecode_capture_open_fd(int fd, sibdecode_capture** capture, char* message,
                                  size_t message_capacity) {
  if (capture == nullptr) return SIBDECODE_CAPTURE_BAD_ARGUMENT;
  *capture = nullptr;
#ifdef _WIN32
  static_cast<void>(fd);
  // The reader of files is not in this build; the same call tells why.
  sibdecode::CaptureReader* none = nullptr;
  return sibdecode::OpenCaptureFile("", &none, message, message_capacity);
#else
  const int copy = fd < 0 ? -1 : dup(fd);
  std::FILE* stream = copy < 0 ? nullptr : fdopen(copy, "rb");
  if (stream == nullptr) {
    if (copy >= 0) close(copy);
    if (message != nullptr && message_capacity > 0) {
      static_cast<void>(
          std::snprintf(message, message_capacity, "cannot read file descriptor %d", fd));
    }
    return SIBDECODE_CAPTURE_BAD_ARGUMENT;
  }
  sibdecode::CaptureReader* reader = nullptr;
  const int status = sibdecode::OpenCaptureStream(stream, &reader, message, message_capacity);
  return Wrap(status, reader, status == sibdecode::kCaptureOk ? NewCapture() : nullptr, capture,
              message, message_capacity);
#endif
}

int32_t sibdecode_capture_open_read(sibdecode_read_function read, void* context,
                                    sibdecode_capture** capture, char* message,
                                    size_t message_capacity) {
  if (capture == nullptr) return SIBDECODE_CAPTURE_BAD_ARGUMENT;
  *capture = nullptr;
  if (read == nullptr) return SIBDECODE_CAPTURE_BAD_ARGUMENT;
  // The wrapper carries the caller's function before the reader exists.
  sibdecode_capture* wrapper = NewCapture();
  if (wrapper == nullptr) return SIBDECODE_CAPTURE_NO_MEMORY;
  wrapper->read = read;
  wrapper->readContext = context;
  sibdecode::CaptureReader* reader = nullptr;
  const int status = sibdecode::OpenCaptureReadFunction(ReadThroughCaller, wrapper, &reader,
                                                        message, message_capacity);
  return Wrap(status, reader, wrapper, capture, message, message_capacity);
}

sibdecode_capture* sibdecode_capture_create_gsmtap(void) {
  sibdecode_capture* capture = NewCapture();
  if (capture == nullptr) return nullptr;
  capture->reader = sibdecode::CreateGsmtapReader();
  if (capture->reader == nullptr) {
    delete capture;
    return nullptr;
  }
  return capture;
}

int32_t sibdecode_capture_feed_gsmtap(sibdecode_capture* capture, const uint8_t* datagram,
                                      size_t size, int64_t seconds, uint32_t microseconds) {
  if (capture == nullptr || (datagram == nullptr && size > 0)) return SIBDECODE_BAD_ARGUMENT;
  const int waiting =
      sibdecode::FeedGsmtapDatagram(capture->reader, datagram, size, seconds, microseconds);
  return waiting < 0 ? SIBDECODE_BAD_ARGUMENT : waiting;
}

int32_t sibdecode_capture_finish(sibdecode_capture* capture) {
  if (capture == nullptr) return SIBDECODE_BAD_ARGUMENT;
  const int waiting = sibdecode::FinishGsmtapReader(capture->reader);
  return waiting < 0 ? SIBDECODE_BAD_ARGUMENT : waiting;
}

int32_t sibdecode_capture_next(sibdecode_capture* capture, sibdecode_capture_event* event) {
  if (capture == nullptr || event == nullptr) return SIBDECODE_BAD_ARGUMENT;
  uint32_t callerSize = 0;
  std::memcpy(&callerSize, event, sizeof(callerSize));
  if (callerSize <= sizeof(uint32_t)) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::CaptureEvent e;
  if (sibdecode::NextCaptureEvent(capture->reader, &e) != 1) return 0;
  sibdecode_capture_event c{};
  c.kind = e.kind;
  c.frame = e.frame;
  c.seconds = e.seconds;
  c.microseconds = e.microseconds;
  c.sib_type = e.sibType;
  c.arfcn = e.arfcn;
  c.drop_reason = e.dropReason;
  c.frames = e.frames;
  c.frame_count = e.frameCount;
  c.text = e.text;
  c.text_len = e.textLen;
  // Layout-identical (asserted above); the reader keeps the record until the next call.
  c.summary = reinterpret_cast<const sibdecode_summary*>(e.summary);
  c.sib = e.sib;
  c.sib_len = e.sibLen;
  c.blocks = e.blocks;
  c.blocks_len = e.blocksLen;
  c.message = e.message;
  if (e.report != nullptr) {
    capture->report.struct_size = sizeof capture->report;
    ToCReport(*e.report, &capture->report);
    c.report = &capture->report;
  }
  CopyOut(c, event);
  return 1;
}

int32_t sibdecode_capture_counts_get(const sibdecode_capture* capture,
                                     sibdecode_capture_counts* counts) {
  if (capture == nullptr || counts == nullptr) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::CaptureCounts c;
  sibdecode::GetCaptureCounts(capture->reader, &c);
  sibdecode_capture_counts filled{};
  filled.frames = c.frames;
  filled.skipped = c.skipped;
  filled.skipped_link_layer = c.skippedBy[sibdecode::kSkipLinkLayer];
  filled.skipped_not_udp = c.skippedBy[sibdecode::kSkipNotUdp];
  filled.skipped_other_port = c.skippedBy[sibdecode::kSkipOtherPort];
  filled.skipped_not_gsmtap = c.skippedBy[sibdecode::kSkipNotGsmtap];
  filled.skipped_other_message = c.skippedBy[sibdecode::kSkipOtherMessage];
  filled.wrong_size = c.wrongSize;
  filled.sibs_decoded = c.sibsDecoded;
  filled.sibs_not_decoded = c.sibsNotDecoded;
  filled.chains_dropped = c.chainsDropped;
  filled.stray_segments = c.straySegments;
  filled.skipped_ip_fragment = c.skippedBy[sibdecode::kSkipIpFragment];
  filled.skipped_repeated_block = c.skippedBy[sibdecode::kSkipRepeatedBlock];
  filled.sibs_stopped = c.sibsStopped;
  filled.sibs_warned = c.sibsWarned;
  return CopyOut(filled, counts) ? 0 : SIBDECODE_BAD_ARGUMENT;
}

void sibdecode_capture_close(sibdecode_capture* capture) {
  if (capture == nullptr) return;
  sibdecode::CloseCapture(capture->reader);
  delete capture;
}

int32_t sibdecode_capture_set_release(sibdecode_capture* capture, int32_t release) {
  sibdecode::DecodeRelease value;
  if (capture == nullptr || !ReleaseOf(release, &value)) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::SetCaptureRelease(capture->reader, value);
  return 0;
}

int32_t sibdecode_capture_set_text(sibdecode_capture* capture, int32_t text) {
  if (capture == nullptr || (text != 0 && text != 1)) return SIBDECODE_BAD_ARGUMENT;
  sibdecode::SetCaptureText(capture->reader, text != 0);
  return 0;
}

const char* sibdecode_drop_reason_text(int32_t drop_reason) {
  switch (drop_reason) {
    case SIBDECODE_DROP_INTERRUPTED:
    case SIBDECODE_DROP_OUT_OF_ORDER:
    case SIBDECODE_DROP_FLUSHED:
    case SIBDECODE_DROP_TOO_LATE:
    case SIBDECODE_DROP_EVICTED:
      return sibdecode::ChainDropReasonText(static_cast<sibdecode::ChainDropReason>(drop_reason));
    default:
      return sibdecode::ChainDropReasonText(sibdecode::kNotDropped);
  }
}

int32_t sibdecode_is_capture_magic(const uint8_t* head, size_t size) {
  return sibdecode::IsCaptureMagic(head, size) ? 1 : 0;
}

int32_t sibdecode_survey_reads_values(uint32_t sib_type) {
  return sibdecode::SurveyReadsValues(sib_type) ? 1 : 0;
}

sibdecode_survey* sibdecode_survey_create(int32_t keep_timeline) {
  return reinterpret_cast<sibdecode_survey*>(sibdecode::CreateCellSurvey(keep_timeline != 0));
}

void sibdecode_survey_destroy(sibdecode_survey* survey) {
  sibdecode::DestroyCellSurvey(reinterpret_cast<sibdecode::CellSurvey*>(survey));
}

int32_t sibdecode_survey_add(sibdecode_survey* survey, const sibdecode_survey_sib* sib) {
  // The caller's record is read no further than its struct_size: all of it is needed.
  if (sib == nullptr || sib->struct_size < sizeof(sibdecode_survey_sib)) {
    return SIBDECODE_BAD_ARGUMENT;
  }
  sibdecode::SurveySib input;
  input.sibType = sib->sib_type;
  input.hasArfcn = sib->has_arfcn != 0;
  input.arfcn = sib->arfcn;
  input.hasTime = sib->has_time != 0;
  input.seconds = sib->seconds;
  input.microseconds = sib->microseconds;
  input.complete = sib->complete != 0;
  input.value = sib->value;
  input.valueLen = sib->value_len;
  return sibdecode::AddSurveySib(reinterpret_cast<sibdecode::CellSurvey*>(survey), input);
}

void sibdecode_survey_settle(sibdecode_survey* survey) {
  sibdecode::SettleCellSurvey(reinterpret_cast<sibdecode::CellSurvey*>(survey));
}

int32_t sibdecode_survey_write(sibdecode_survey* survey, int32_t records, int32_t format, char* out,
                               size_t capacity, size_t* len) {
  if (records < SIBDECODE_SURVEY_CELLS || records > SIBDECODE_SURVEY_TIMELINE ||
      format < SIBDECODE_SURVEY_JSON_LINES || format > SIBDECODE_SURVEY_TABLE) {
    return SIBDECODE_BAD_ARGUMENT;
  }
  const int result = sibdecode::WriteSurveyRecords(reinterpret_cast<sibdecode::CellSurvey*>(survey),
                                                   static_cast<sibdecode::SurveyRecords>(records),
                                                   static_cast<sibdecode::SurveyFormat>(format),
                                                   out, capacity, len);
  return result == sibdecode::kSurveyOk ? SIBDECODE_DECODED : result;
}

}  // extern "C"
