// libFuzzer target over the C interface: the input is a sequence of calls
// (decodes, reports, the stream, the fed and the file capture reader), each an
// operation byte and its arguments, records passed with odd struct_size
// values. Records the library fills sit in exact-size heap buffers followed by
// a guard: nothing may be read (ASan) or written (the guard) past struct_size;
// results stay within what each call documents.
#include <sibdecode/sibdecode_c.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;

  bool Done() const { return at >= size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  uint32_t Size(uint32_t limit) { return (uint32_t{Byte()} << 8 | Byte()) % (limit + 1); }
  // The next `n` bytes (fewer at the end) as an exact-size heap copy.
  std::vector<uint8_t> Bytes(size_t n) {
    if (n > size - at) n = size - at;
    std::vector<uint8_t> bytes(data + at, data + at + n);
    at += n;
    return bytes;
  }
};

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 16;

// A record of `structSize` bytes as the caller declares it (at least room for
// struct_size itself), followed by a guard.
struct Record {
  std::vector<uint8_t> bytes;
  uint32_t structSize;

  Record(uint32_t size, Input& in) : structSize(size) {
    const size_t room = size < 4 ? 4 : size;
    bytes.assign(room + kGuardBytes, kGuard);
    for (size_t i = 4; i < room; ++i) bytes[i] = in.Byte();
    std::memcpy(bytes.data(), &structSize, 4);
  }
  template <typename T>
  T* As() {
    return reinterpret_cast<T*>(bytes.data());
  }
  // Nothing written past struct_size (nor past the struct's own size), and
  // struct_size left as the caller set it.
  void CheckWrittenWithin() const {
    const size_t room = bytes.size() - kGuardBytes;
    for (size_t i = room; i < bytes.size(); ++i) {
      if (bytes[i] != kGuard) std::abort();
    }
    uint32_t size = 0;
    std::memcpy(&size, bytes.data(), 4);
    if (size != structSize) std::abort();
  }
};

size_t DescribeChecked(const sibdecode_report* report, Input& in) {
  const size_t capacity = in.Byte();
  std::vector<char> text(capacity + 1, 'x');
  const size_t length =
      sibdecode_report_describe(report, capacity > 0 ? text.data() : nullptr, capacity);
  if (capacity > 0) {
    const size_t written = length < capacity ? length : capacity - 1;
    if (text[written] != '\0' || std::strlen(text.data()) != written) std::abort();
  }
  if (text[capacity] != 'x') std::abort();
  return length;
}

struct StreamContext {
  sibdecode_decoder* decoder;
  int events = 0;
};

void OnStreamEvent(const sibdecode_stream_event* event, void* context) {
  StreamContext& c = *static_cast<StreamContext*>(context);
  ++c.events;
  if (event->struct_size != sizeof(*event)) std::abort();
  if (event->kind == SIBDECODE_SIB_COMPLETED && event->result == SIBDECODE_DECODED) {
    if (event->report == nullptr || event->text_len == 0) std::abort();
    if (event->report->decoded != 1 || event->report->sib_type != event->sib_type) std::abort();
  } else if (event->kind == SIBDECODE_CHAIN_DROPPED) {
    if (event->drop_reason < SIBDECODE_DROP_INTERRUPTED ||
        event->drop_reason > SIBDECODE_DROP_EVICTED)
      std::abort();
  }
}

struct FileBytes {
  std::vector<uint8_t> bytes;
  size_t at = 0;
};

int64_t ReadFileBytes(void* context, void* buffer, size_t size) {
  FileBytes& file = *static_cast<FileBytes*>(context);
  size_t n = file.bytes.size() - file.at;
  if (n > size) n = size;
  if (n > 0) std::memcpy(buffer, file.bytes.data() + file.at, n);
  file.at += n;
  return static_cast<int64_t>(n);
}

constexpr uint32_t kOddSizeLimit = sizeof(sibdecode_capture_event) + 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  sibdecode_decoder* decoder = sibdecode_decoder_create();
  sibdecode_stream* stream = sibdecode_stream_create();
  sibdecode_capture* fed = sibdecode_capture_create_gsmtap();
  sibdecode_survey* survey = sibdecode_survey_create(1);
  if (decoder == nullptr || stream == nullptr || fed == nullptr || survey == nullptr) std::abort();
  size_t jsonLength = 0;  // the last JSON decode's, in `text`
  bool decoded = false;   // a decode call was made: the decoder has a report
  int64_t feeds = 0;
  std::vector<char> text(size_t{1} << 16);
  for (int calls = 0; !in.Done() && calls < 64; ++calls) {
    switch (in.Byte() % 14) {
      case 0:
      case 1: {  // a batch or a bare SIB, text or JSON, into a buffer of any size
        const uint8_t how = in.Byte();
        const std::vector<uint8_t> bytes = in.Bytes(in.Size(400));
        const size_t capacity = in.Size(static_cast<uint32_t>(text.size()));
        size_t length = 0;
        uint32_t type = 0;
        sibdecode_summary summary;
        int32_t r;
        const uint8_t* p = bytes.empty() ? reinterpret_cast<const uint8_t*>("") : bytes.data();
        char* out = capacity > 0 ? text.data() : nullptr;
        switch (how % 4) {
          case 0:
            r = sibdecode_decode_batch(decoder, p, bytes.size(), &summary, out, capacity, &length);
            break;
          case 1:
            r = sibdecode_decode_sib(decoder, how >> 3, p, bytes.size(), &summary, out, capacity,
                                     &length);
            break;
          case 2:
            r = sibdecode_decode_batch_json(decoder, p, bytes.size(), nullptr, out, capacity,
                                            &length, &type);
            break;
          default:
            r = sibdecode_decode_sib_json(decoder, how >> 3, p, bytes.size(), nullptr, out,
                                          capacity, &length);
            break;
        }
        if (r != SIBDECODE_DECODED && r != SIBDECODE_NOTHING_DECODED &&
            r != SIBDECODE_TEXT_TOO_SMALL) {
          std::abort();
        }
        if (r == SIBDECODE_DECODED && length > capacity) std::abort();
        if (r == SIBDECODE_TEXT_TOO_SMALL && length <= capacity) std::abort();
        decoded = true;
        jsonLength = r == SIBDECODE_DECODED && how % 4 >= 2 ? length : 0;
        break;
      }
      case 2: {  // the decoder's report into a record of odd size, then described
        Record record(in.Size(sizeof(sibdecode_report) + 24), in);
        const int32_t r = sibdecode_decoder_report_get(decoder, record.As<sibdecode_report>());
        if (record.structSize <= 4 ? r != SIBDECODE_BAD_ARGUMENT : decoded && r != 0) {
          std::abort();
        }
        record.CheckWrittenWithin();
        if (r == 0 && record.structSize >= sizeof(sibdecode_report)) {
          const sibdecode_report& report = *record.As<sibdecode_report>();
          if (report.decoded == 1 && (report.complete != 0) != (report.stop.kind == 0))
            std::abort();
        }
        DescribeChecked(record.As<sibdecode_report>(), in);
        break;
      }
      case 3: {  // a report of the caller's making, of odd size: read no further than it
        Record record(in.Size(sizeof(sibdecode_report) + 24), in);
        std::vector<uint8_t> exact(record.bytes.begin(), record.bytes.end() - kGuardBytes);
        DescribeChecked(reinterpret_cast<const sibdecode_report*>(exact.data()), in);
        break;
      }
      case 4: {  // a block into the stream
        const std::vector<uint8_t> block = in.Bytes(31);
        if (block.size() < 31) break;
        StreamContext context{decoder};
        const int32_t r = sibdecode_stream_feed(stream, in.Byte() % 4, feeds++, block.data(),
                                                OnStreamEvent, &context);
        if (r != context.events && r != SIBDECODE_NO_MEMORY) std::abort();
        break;
      }
      case 5: {
        StreamContext context{decoder};
        if (sibdecode_stream_flush(stream, OnStreamEvent, &context) != context.events) std::abort();
        break;
      }
      case 6: {  // stream counts into a record of odd size
        Record record(in.Size(sizeof(sibdecode_stream_counts) + 24), in);
        const int32_t r = sibdecode_stream_counts_get(stream, record.As<sibdecode_stream_counts>());
        if ((record.structSize <= 4) != (r == SIBDECODE_BAD_ARGUMENT)) std::abort();
        record.CheckWrittenWithin();
        break;
      }
      case 7: {  // a datagram into the fed reader
        const std::vector<uint8_t> datagram = in.Bytes(in.Size(80));
        const int32_t r =
            sibdecode_capture_feed_gsmtap(fed, datagram.empty() ? nullptr : datagram.data(),
                                          datagram.size(), 1800000000, in.Byte());
        if (r < 0) std::abort();
        break;
      }
      case 8: {  // the fed reader's next event into a record of odd size
        Record record(in.Size(kOddSizeLimit), in);
        const int32_t r = sibdecode_capture_next(fed, record.As<sibdecode_capture_event>());
        if (record.structSize <= 4 ? r != SIBDECODE_BAD_ARGUMENT : r != 0 && r != 1) std::abort();
        record.CheckWrittenWithin();
        if (r == 1 && record.structSize >= sizeof(sibdecode_capture_event)) {
          const sibdecode_capture_event& event = *record.As<sibdecode_capture_event>();
          if ((event.kind == SIBDECODE_CAPTURE_EVENT_SIB) != (event.report != nullptr))
            std::abort();
          if (event.report != nullptr) DescribeChecked(event.report, in);
        }
        break;
      }
      case 9:
        if (sibdecode_capture_finish(fed) < 0) std::abort();
        break;
      case 10: {  // the fed reader's counts into a record of odd size
        Record record(in.Size(sizeof(sibdecode_capture_counts) + 24), in);
        const int32_t r = sibdecode_capture_counts_get(fed, record.As<sibdecode_capture_counts>());
        if ((record.structSize <= 4) != (r == SIBDECODE_BAD_ARGUMENT)) std::abort();
        record.CheckWrittenWithin();
        break;
      }
      case 12: {  // into the survey: the last JSON decoded, or bytes taken as JSON
        sibdecode_survey_sib sib;
        sib.struct_size = in.Byte() < 8 ? in.Byte() % sizeof sib : sizeof sib;
        sib.sib_type = in.Byte() % 52;
        sib.has_arfcn = in.Byte() % 2;
        sib.arfcn = in.Byte() % 3;
        sib.has_time = 1;
        sib.seconds = in.Byte();
        sib.microseconds = 0;
        sib.complete = 1;
        std::vector<uint8_t> bytes;
        if (jsonLength > 0 && in.Byte() % 2 == 0) {
          bytes.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(jsonLength));
        } else {
          bytes = in.Bytes(in.Size(600));
        }
        sib.value = bytes.empty() ? nullptr : reinterpret_cast<const char*>(bytes.data());
        sib.value_len = bytes.size();
        const int32_t r = sibdecode_survey_add(survey, &sib);
        const bool bad = sib.struct_size < sizeof sib || sib.sib_type >= SIBDECODE_SIB_TYPE_NUMBERS;
        if (bad != (r == SIBDECODE_BAD_ARGUMENT) || (!bad && r != 0 && r != 1)) std::abort();
        break;
      }
      case 13: {  // the survey's records into a buffer of any size
        const int32_t records = in.Byte() % 4, format = in.Byte() % 3;
        const size_t capacity = in.Size(static_cast<uint32_t>(text.size()));
        size_t length = 0;
        const int32_t r = sibdecode_survey_write(
            survey, records, format, capacity > 0 ? text.data() : nullptr, capacity, &length);
        const bool bad = records > 2 || format > 1;
        if (bad != (r == SIBDECODE_BAD_ARGUMENT)) std::abort();
        if (r == SIBDECODE_DECODED && length > capacity) std::abort();
        if (r == SIBDECODE_TEXT_TOO_SMALL && length <= capacity) std::abort();
        jsonLength = 0;
        break;
      }
      default: {  // a capture file of the next bytes, read to its end through a read function
        FileBytes file{in.Bytes(in.Size(2000))};
        sibdecode_capture* capture = nullptr;
        char message[128];
        const int32_t opened =
            sibdecode_capture_open_read(ReadFileBytes, &file, &capture, message, sizeof message);
        if ((opened == SIBDECODE_CAPTURE_OK) != (capture != nullptr)) std::abort();
        if (capture == nullptr) break;
        if (sibdecode_capture_finish(capture) != SIBDECODE_BAD_ARGUMENT) std::abort();
        if (sibdecode_capture_feed_gsmtap(capture, file.bytes.data(), 0, 0, 0) !=
            SIBDECODE_BAD_ARGUMENT) {
          std::abort();
        }
        sibdecode_capture_event event;
        event.struct_size = sizeof event;
        while (sibdecode_capture_next(capture, &event) == 1) {
        }
        if (sibdecode_capture_next(capture, &event) != 0) std::abort();
        sibdecode_capture_close(capture);
        break;
      }
    }
  }
  sibdecode_survey_destroy(survey);
  sibdecode_capture_close(fed);
  sibdecode_stream_destroy(stream);
  sibdecode_decoder_destroy(decoder);
  return 0;
}
