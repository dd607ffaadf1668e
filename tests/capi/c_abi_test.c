/* The C interface as a C program uses it: decoder, stream and capture reader
 * agree with one another on the sample's SIBs; sizes, bad arguments and
 * struct_size are honoured.
 * Usage: sibdecode_c_test SAMPLE_HEX [SAMPLE_PCAP] */
#include <sibdecode/sibdecode_c.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

static int failures;
#define CHECK(condition, what)                          \
  do {                                                  \
    if (!(condition)) {                                 \
      printf("FAIL: %s (line %d)\n", (what), __LINE__); \
      ++failures;                                       \
    }                                                   \
  } while (0)

#define MAX_BATCHES 32
#define MAX_BATCH_BYTES 2048

typedef struct Batch {
  uint32_t sib_type; /* from the "# SIBn" comment above it */
  uint8_t bytes[MAX_BATCH_BYTES];
  size_t size;
  char* text; /* decode_batch's */
  size_t text_len;
  char* json;
  size_t json_len;
} Batch;

static Batch batches[MAX_BATCHES];
static size_t batch_count;

static void read_sample(const char* path) {
  char line[8192];
  uint32_t type = 0;
  FILE* file = fopen(path, "r");
  CHECK(file != NULL, "sample.hex opens");
  if (file == NULL) exit(1);
  while (fgets(line, sizeof line, file) != NULL && batch_count < MAX_BATCHES) {
    size_t i;
    Batch* batch;
    if (sscanf(line, "# SIB%u", &type) == 1 || line[0] == '#' || line[0] == '\n') continue;
    batch = &batches[batch_count++];
    batch->sib_type = type;
    for (i = 0; line[i] != '\0' && line[i + 1] != '\0' && line[i] != '\n'; i += 2) {
      unsigned int byte = 0;
      sscanf(line + i, "%2x", &byte);
      batch->bytes[batch->size++] = (uint8_t)byte;
    }
  }
  fclose(file);
}

static int starts_with(const char* text, size_t len, const char* prefix, size_t prefix_len) {
  return len >= prefix_len && memcmp(text, prefix, prefix_len) == 0;
}

static void check_version(void) {
  char expected[32];
  uint32_t v = sibdecode_version();
  sprintf(expected, "%u.%u.%u", (unsigned)(v >> 16), (unsigned)((v >> 8) & 0xFF),
          (unsigned)(v & 0xFF));
  CHECK(strcmp(sibdecode_version_string(), expected) == 0, "version and its text agree");
  CHECK(v >= 0x000100, "version 0.1.0 or later");
}

static void check_decoder(sibdecode_decoder* decoder) {
  size_t i;
  size_t needed = 0;
  sibdecode_summary summary;
  char small[8];
  CHECK(sibdecode_decode_batch(NULL, batches[0].bytes, 31, NULL, small, 8, &needed) ==
            SIBDECODE_BAD_ARGUMENT,
        "null decoder");
  CHECK(sibdecode_decode_batch(decoder, batches[0].bytes, 31, NULL, NULL, 8, &needed) ==
            SIBDECODE_BAD_ARGUMENT,
        "null text with a capacity");
  for (i = 0; i < batch_count; ++i) {
    Batch* b = &batches[i];
    uint32_t type = 0;
    size_t len = 0;
    /* The size first, then the text whole. */
    CHECK(sibdecode_decode_batch(decoder, b->bytes, b->size, &summary, NULL, 0, &needed) ==
              SIBDECODE_TEXT_TOO_SMALL,
          "size asked for");
    CHECK(needed > 0 && needed <= sibdecode_max_text_size(b->size), "size needed");
    b->text = malloc(needed);
    CHECK(sibdecode_decode_batch(decoder, b->bytes, b->size, &summary, b->text, needed,
                                 &b->text_len) == SIBDECODE_DECODED,
          "batch decodes");
    CHECK(b->text_len == needed, "text as long as announced");
    CHECK(strstr(b->text, "::=") != NULL || b->text_len < 20, "text has a type line");
    b->json = malloc(sibdecode_max_text_size(b->size));
    CHECK(sibdecode_decode_batch_json(decoder, b->bytes, b->size, NULL, b->json,
                                      sibdecode_max_text_size(b->size), &b->json_len,
                                      &type) == SIBDECODE_DECODED,
          "batch decodes as JSON");
    CHECK(type == b->sib_type, "JSON call gives the SIB type");
    CHECK(b->json_len > 1 && b->json[0] == '{' && b->json[b->json_len - 1] == '}', "JSON object");
    CHECK(sibdecode_decode_batch(decoder, b->bytes, 7, NULL, small, 8, &len) ==
              SIBDECODE_NOTHING_DECODED,
          "a cut batch decodes nothing");
  }
}

/* The report of a whole sample SIB and of a SIB3 cut after 7 bytes. */
static void check_report(sibdecode_decoder* decoder) {
  static const uint8_t cut[] = {0x16, 0xDF, 0x87, 0x5E, 0x0E, 0x3E, 0x86};
  sibdecode_report report;
  char text[65536];
  size_t len = 0;
  memset(&report, 0, sizeof report);
  report.struct_size = sizeof report;
  CHECK(sibdecode_decode_batch(decoder, batches[0].bytes, batches[0].size, NULL, text, sizeof text,
                               &len) == SIBDECODE_DECODED,
        "sample decodes");
  CHECK(sibdecode_decoder_report_get(decoder, &report) == 0, "report given");
  CHECK(report.decoded == 1 && report.complete == 1 && report.stop.kind == SIBDECODE_STOP_NONE,
        "sample complete");
  CHECK(sibdecode_decode_sib(decoder, 3, cut, sizeof cut, NULL, text, sizeof text, &len) ==
            SIBDECODE_DECODED,
        "cut SIB3 printed as far as it got");
  CHECK(sibdecode_decoder_report_get(decoder, &report) == 0, "report of the cut SIB");
  CHECK(report.sib_type == 3 && report.complete == 0 &&
            report.stop.kind == SIBDECODE_STOP_END_OF_DATA && report.stop.bit <= 56 &&
            strncmp(report.stop.path, "SysInfoType3.", 13) == 0,
        "cut SIB3 stopped");
  CHECK(strcmp(sibdecode_stop_text(report.stop.kind), "end of data") == 0, "stop text");
  {
    /* In one line, the path below the type; a short buffer gets a cut, terminated line. */
    char line[1024], shorter[12];
    const size_t length = sibdecode_report_describe(&report, line, sizeof line);
    CHECK(length == strlen(line) && strncmp(line, "stopped at bit ", 15) == 0 &&
              strstr(line, " in cellSelectReselectInfo.") != NULL &&
              strcmp(line + length - 13, ": end of data") == 0,
          "report in one line");
    CHECK(sibdecode_report_describe(&report, NULL, 0) == length &&
              sibdecode_report_describe(&report, shorter, sizeof shorter) == length &&
              strlen(shorter) == sizeof shorter - 1 &&
              strncmp(shorter, line, sizeof shorter - 1) == 0,
          "report line cut to the buffer");
    report.complete = 1;
    report.warning_count = 0;
    CHECK(sibdecode_report_describe(&report, line, sizeof line) == 0 && line[0] == '\0',
          "nothing to say of a complete decode");
  }
  report.struct_size = 4;
  CHECK(sibdecode_decoder_report_get(decoder, &report) == SIBDECODE_BAD_ARGUMENT,
        "a struct without room");
  {
    /* A report fetched by an older caller into a smaller struct is described
       from what that struct holds, and read no further (ASan checks). */
    static const struct {
      size_t size;
      int has_stop;
    } sizes[] = {
        {sizeof(uint32_t), 0},
        {offsetof(sibdecode_report, stop), 0},
        {offsetof(sibdecode_report, warnings), 1},
        {offsetof(sibdecode_report, warnings) + sizeof(sibdecode_note), 1},
        {offsetof(sibdecode_report, warnings) + sizeof(sibdecode_note) + 3, 1},
    };
    size_t k;
    CHECK(sibdecode_decode_sib(decoder, 3, cut, sizeof cut, NULL, text, sizeof text, &len) ==
              SIBDECODE_DECODED,
          "cut SIB3 again");
    for (k = 0; k < sizeof sizes / sizeof sizes[0]; ++k) {
      sibdecode_report* small = (sibdecode_report*)malloc(sizes[k].size);
      char line[1024];
      size_t length;
      memset(small, 0xAB, sizes[k].size);
      small->struct_size = (uint32_t)sizes[k].size;
      if (sizes[k].size > sizeof(uint32_t)) {
        CHECK(sibdecode_decoder_report_get(decoder, small) == 0, "report into a smaller struct");
      }
      length = sibdecode_report_describe(small, line, sizeof line);
      CHECK((length > 0) == (sizes[k].has_stop != 0) && length == strlen(line) &&
                (!sizes[k].has_stop || strstr(line, ": end of data") != NULL),
            "a smaller report described from what it holds");
      free(small);
    }
  }
}

/* What the stream callback keeps. */
typedef struct Collected {
  sibdecode_decoder* decoder;
  size_t sibs;
  size_t drops;
  int32_t last_drop_reason;
  int mismatches;
} Collected;

/* A completed SIB: its text is the batch's, and its own bits decode as a bare
 * SIB to the text before the trailer and to the batch's JSON. */
static void check_sib_event(sibdecode_decoder* decoder, const Batch* b, uint32_t sib_type,
                            const char* text, size_t text_len, const uint8_t* sib, size_t sib_len,
                            int* mismatches) {
  static char bare[200000];
  size_t bare_len = 0;
  if (b == NULL || sib_type != b->sib_type || text_len != b->text_len ||
      memcmp(text, b->text, text_len) != 0) {
    ++*mismatches;
    return;
  }
  if (sibdecode_decode_sib(decoder, sib_type, sib, sib_len, NULL, bare, sizeof bare, &bare_len) !=
          SIBDECODE_DECODED ||
      !starts_with(text, text_len, bare, bare_len)) {
    ++*mismatches;
  }
  if (sibdecode_decode_sib_json(decoder, sib_type, sib, sib_len, NULL, bare, sizeof bare,
                                &bare_len) != SIBDECODE_DECODED ||
      bare_len != b->json_len || memcmp(bare, b->json, bare_len) != 0) {
    ++*mismatches;
  }
}

static void on_stream_event(const sibdecode_stream_event* event, void* context) {
  Collected* c = context;
  if (event->struct_size < sizeof(*event)) ++c->mismatches;
  if (event->kind == SIBDECODE_CHAIN_DROPPED) {
    ++c->drops;
    c->last_drop_reason = event->drop_reason;
    return;
  }
  if (event->result != SIBDECODE_DECODED) return;
  check_sib_event(c->decoder, c->sibs < batch_count ? &batches[c->sibs] : NULL, event->sib_type,
                  event->text, event->text_len, event->sib, event->sib_len, &c->mismatches);
  if (event->summary == NULL || event->block_count != event->blocks_len / 31) ++c->mismatches;
  if (event->report == NULL || event->report->sib_type != event->sib_type ||
      event->report->complete != 1 || event->report->stop.kind != SIBDECODE_STOP_NONE) {
    ++c->mismatches;
  }
  ++c->sibs;
}

static void check_stream(sibdecode_decoder* decoder) {
  sibdecode_stream* stream = sibdecode_stream_create();
  Collected collected = {0, 0, 0, 0, 0};
  sibdecode_stream_counts counts;
  size_t i, at, blocks = 0;
  const Batch* segmented = NULL;
  collected.decoder = decoder;
  CHECK(stream != NULL, "stream created");
  for (i = 0; i < batch_count; ++i) {
    for (at = 0; at < batches[i].size; at += 31) {
      CHECK(sibdecode_stream_feed(stream, 7, ++blocks, batches[i].bytes + at, on_stream_event,
                                  &collected) >= 0,
            "block fed");
    }
    if (batches[i].size > 31) segmented = &batches[i];
  }
  CHECK(collected.sibs == batch_count && collected.mismatches == 0,
        "stream gives the batches' texts");
  /* A first segment alone, then the flush. */
  CHECK(segmented != NULL, "the sample has a segmented SIB");
  if (segmented != NULL) {
    sibdecode_stream_feed(stream, 8, ++blocks, segmented->bytes, on_stream_event, &collected);
    CHECK(sibdecode_stream_flush(stream, on_stream_event, &collected) == 1, "flush drops one");
    CHECK(collected.drops == 1 && collected.last_drop_reason == SIBDECODE_DROP_FLUSHED,
          "dropped as flushed");
    CHECK(strlen(sibdecode_drop_reason_text(collected.last_drop_reason)) > 0, "reason text");
  }
  {
    int32_t reason;
    for (reason = SIBDECODE_DROP_INTERRUPTED; reason <= SIBDECODE_DROP_EVICTED; ++reason) {
      CHECK(strcmp(sibdecode_drop_reason_text(reason), "dropped") != 0, "each reason has its text");
    }
    CHECK(strcmp(sibdecode_drop_reason_text(SIBDECODE_DROP_EVICTED + 1), "dropped") == 0,
          "an unknown reason");
  }
  memset(&counts, 0xAB, sizeof counts);
  counts.struct_size = sizeof counts;
  CHECK(sibdecode_stream_counts_get(stream, &counts) == 0, "stream counts");
  CHECK(counts.blocks == blocks && counts.sibs_decoded == batch_count && counts.chains_dropped == 1,
        "stream counts' values");
  /* An older caller's shorter struct: nothing written past it. */
  memset(&counts, 0xAB, sizeof counts);
  counts.struct_size = (uint32_t)offsetof(sibdecode_stream_counts, sibs_decoded);
  CHECK(sibdecode_stream_counts_get(stream, &counts) == 0 && counts.blocks == blocks &&
            counts.sibs_decoded == 0xABABABABABABABABull,
        "counts stop at struct_size");
  counts.struct_size = 0;
  CHECK(sibdecode_stream_counts_get(stream, &counts) == SIBDECODE_BAD_ARGUMENT,
        "struct_size 0 refused");
  CHECK(sibdecode_stream_feed(NULL, 0, 0, batches[0].bytes, NULL, NULL) == SIBDECODE_BAD_ARGUMENT,
        "null stream");
  sibdecode_stream_destroy(stream);
}

/* The capture's SIB events: as the stream's, and their bits as the text. */
typedef struct CaptureSummary {
  size_t sibs;
  size_t others;
  uint64_t frame_sum;
  size_t text_bytes;
  int mismatches;
} CaptureSummary;

static CaptureSummary read_events(sibdecode_capture* capture, sibdecode_decoder* decoder) {
  static char bare[200000];
  CaptureSummary s = {0, 0, 0, 0, 0};
  sibdecode_capture_event event;
  event.struct_size = sizeof event;
  while (sibdecode_capture_next(capture, &event) == 1) {
    size_t bare_len = 0, k;
    if (event.kind != SIBDECODE_CAPTURE_EVENT_SIB) {
      ++s.others;
      if (event.message == NULL || event.message[0] == '\0') ++s.mismatches;
      continue;
    }
    ++s.sibs;
    s.text_bytes += event.text_len;
    for (k = 0; k < event.frame_count; ++k) s.frame_sum += event.frames[k];
    if (event.frame_count == 0 || event.frames[event.frame_count - 1] != event.frame ||
        event.summary == NULL || event.seconds <= 0 || event.report == NULL ||
        event.report->sib_type != event.sib_type || event.report->complete != 1) {
      ++s.mismatches;
    }
    if (sibdecode_decode_sib(decoder, event.sib_type, event.sib, event.sib_len, NULL, bare,
                             sizeof bare, &bare_len) != SIBDECODE_DECODED ||
        !starts_with(event.text, event.text_len, bare, bare_len)) {
      ++s.mismatches;
    }
  }
  return s;
}

static int64_t read_file(void* context, void* buffer, size_t size) {
  size_t n = fread(buffer, 1, size, (FILE*)context);
  return n == 0 && ferror((FILE*)context) ? -1 : (int64_t)n;
}

/* Honest for the first 100 bytes (the file header and a little more), then
 * saying it filled more than it was given room for: a caller's bug that
 * must read as an error, never as bytes past the buffer. */
typedef struct OverLong {
  FILE* file;
  int calls;
} OverLong;

static int64_t read_over_long(void* context, void* buffer, size_t size) {
  OverLong* source = (OverLong*)context;
  size_t n = fread(buffer, 1, source->calls++ == 0 && size > 100 ? 100 : size, source->file);
  return n == 0 ? 0 : (int64_t)(source->calls == 1 ? n : size + 200000);
}

/* A capture opened another way gives the events it gives by path; closed after. */
static void check_same_events(int32_t opened, sibdecode_capture* capture,
                              sibdecode_decoder* decoder, const CaptureSummary* want,
                              const char* how) {
  CaptureSummary got;
  if (opened != SIBDECODE_CAPTURE_OK || capture == NULL) {
    printf("FAIL: capture opens %s\n", how);
    ++failures;
    return;
  }
  got = read_events(capture, decoder);
  if (got.sibs != want->sibs || got.frame_sum != want->frame_sum ||
      got.text_bytes != want->text_bytes || got.mismatches != 0) {
    printf("FAIL: capture read %s: other events\n", how);
    ++failures;
  }
  sibdecode_capture_close(capture);
}

static void check_capture_files(sibdecode_decoder* decoder, const char* pcap, const char* hex) {
  char message[256];
  sibdecode_capture* capture = NULL;
  sibdecode_capture_counts counts;
  CaptureSummary by_path;
  int32_t status = sibdecode_capture_open_file(pcap, &capture, message, sizeof message);
  if (status == SIBDECODE_CAPTURE_NO_LIBPCAP) {
    /* A build without libpcap (the Windows DLL) says so and reads nothing. */
    CHECK(capture == NULL && strstr(message, "cannot read the capture") != NULL,
          "no libpcap: a message");
    printf("capture files: %s\n", message);
    return;
  }
  CHECK(status == SIBDECODE_CAPTURE_OK && capture != NULL, "capture opens by path");
  if (capture == NULL) return;
  by_path = read_events(capture, decoder);
  counts.struct_size = sizeof counts;
  CHECK(sibdecode_capture_counts_get(capture, &counts) == 0, "capture counts");
  CHECK(by_path.sibs > 0 && by_path.sibs == counts.sibs_decoded && by_path.mismatches == 0,
        "capture SIBs decode as their bits");
  CHECK(counts.frames > by_path.sibs && counts.skipped == 0, "capture frames");
  CHECK(sibdecode_capture_finish(capture) == SIBDECODE_BAD_ARGUMENT,
        "a file's reader is not finished by the caller");
  sibdecode_capture_close(capture);

  {
    FILE* file = fopen(pcap, "rb");
    int32_t opened =
        sibdecode_capture_open_read(read_file, file, &capture, message, sizeof message);
    check_same_events(opened, capture, decoder, &by_path, "through a read function");
    fclose(file);
  }
  {
    OverLong source = {NULL, 0};
    CaptureSummary got;
    int32_t opened;
    source.file = fopen(pcap, "rb");
    opened =
        sibdecode_capture_open_read(read_over_long, &source, &capture, message, sizeof message);
    CHECK(opened == SIBDECODE_CAPTURE_OK && capture != NULL, "opens: the header is honest");
    if (capture != NULL) {
      got = read_events(capture, decoder);
      CHECK(got.sibs < by_path.sibs && got.others == 1 && got.mismatches == 0,
            "a read function's count above the room asked for: a cut capture");
      sibdecode_capture_close(capture);
    }
    fclose(source.file);
  }
#ifndef _WIN32
  {
    int fd = open(pcap, O_RDONLY);
    int32_t opened = sibdecode_capture_open_fd(fd, &capture, message, sizeof message);
    check_same_events(opened, capture, decoder, &by_path, "from a file descriptor");
    CHECK(close(fd) == 0, "the caller's descriptor stays open");
  }
#endif
  CHECK(sibdecode_capture_open_file(hex, &capture, message, sizeof message) ==
                SIBDECODE_CAPTURE_UNREADABLE &&
            capture == NULL && strncmp(message, "unreadable capture: ", 20) == 0,
        "hex text is not a capture");
  CHECK(sibdecode_capture_open_file(NULL, &capture, NULL, 0) == SIBDECODE_CAPTURE_BAD_ARGUMENT,
        "null path");
}

/* GSMTAP datagrams fed one by one, as a live receiver gets them. */
static void check_fed_capture(sibdecode_decoder* decoder) {
  uint8_t datagram[16 + 31];
  sibdecode_capture* capture = sibdecode_capture_create_gsmtap();
  sibdecode_capture_event event;
  sibdecode_capture_counts counts;
  size_t i, at, sibs = 0;
  uint64_t frame = 0;
  int mismatches = 0;
  CHECK(capture != NULL, "fed reader created");
  memset(datagram, 0, sizeof datagram);
  datagram[0] = 2;    /* version */
  datagram[1] = 4;    /* header words */
  datagram[2] = 0x0c; /* UMTS RRC */
  datagram[4] = 0x27; /* ARFCN 10088 */
  datagram[5] = 0x68;
  datagram[12] = 8; /* BCCH-BCH */
  event.struct_size = sizeof event;
  for (i = 0; i < batch_count; ++i) {
    for (at = 0; at < batches[i].size; at += 31) {
      memcpy(datagram + 16, batches[i].bytes + at, 31);
      ++frame;
      CHECK(sibdecode_capture_feed_gsmtap(capture, datagram, sizeof datagram, 1800000000, 7) >= 0,
            "datagram fed");
      while (sibdecode_capture_next(capture, &event) == 1) {
        if (event.kind != SIBDECODE_CAPTURE_EVENT_SIB || event.arfcn != 10088 ||
            event.frame != frame || event.microseconds != 7) {
          ++mismatches;
          continue;
        }
        check_sib_event(decoder, sibs < batch_count ? &batches[sibs] : NULL, event.sib_type,
                        event.text, event.text_len, event.sib, event.sib_len, &mismatches);
        ++sibs;
      }
    }
  }
  CHECK(sibs == batch_count && mismatches == 0, "fed datagrams give the batches' texts");
  CHECK(sibdecode_capture_feed_gsmtap(capture, datagram, 16 + 30, 1800000001, 0) == 1,
        "a short message is an event");
  CHECK(sibdecode_capture_next(capture, &event) == 1 &&
            event.kind == SIBDECODE_CAPTURE_EVENT_WRONG_SIZE &&
            strstr(event.message, "30 bytes") != NULL,
        "wrong size reported");
  CHECK(sibdecode_capture_feed_gsmtap(capture, datagram, 10, 1800000002, 0) == 0, "not GSMTAP");
  CHECK(sibdecode_capture_feed_gsmtap(capture, datagram, sizeof datagram, 1800000003, 0) == 0,
        "the last block again: captured twice");
  CHECK(sibdecode_capture_finish(capture) == 0, "nothing pending");
  counts.struct_size = sizeof counts;
  sibdecode_capture_counts_get(capture, &counts);
  CHECK(counts.frames == frame + 3 && counts.skipped == 2 && counts.skipped_not_gsmtap == 1 &&
            counts.skipped_repeated_block == 1 && counts.wrong_size == 1 &&
            counts.sibs_decoded == batch_count,
        "fed reader counts");
  event.struct_size = 2;
  CHECK(sibdecode_capture_next(capture, &event) == SIBDECODE_BAD_ARGUMENT, "struct_size 2");
  sibdecode_capture_close(capture);
  CHECK(sibdecode_capture_next(NULL, &event) == SIBDECODE_BAD_ARGUMENT, "null reader");
}

static size_t count_lines(const char* text, size_t len) {
  size_t lines = 0, i;
  for (i = 0; i < len; ++i) lines += text[i] == '\n';
  return lines;
}

/* The sample's SIBs (hex input: no ARFCN, no time) make one cell. */
static void check_survey(void) {
  sibdecode_survey* survey = sibdecode_survey_create(1);
  sibdecode_survey_sib sib;
  char small[4];
  char* text;
  size_t len = 0, i, fed = 0;
  CHECK(survey != NULL, "survey created");
  CHECK(sibdecode_survey_reads_values(3) == 1 && sibdecode_survey_reads_values(40) == 1 &&
            sibdecode_survey_reads_values(7) == 0,
        "survey: the types whose values it reads");
  if (survey == NULL) return;
  memset(&sib, 0, sizeof sib);
  sib.struct_size = sizeof sib;
  for (i = 0; i < batch_count; ++i) {
    if (batches[i].json == NULL) continue;
    sib.sib_type = batches[i].sib_type;
    sib.complete = 1;
    sib.value = batches[i].json;
    sib.value_len = batches[i].json_len;
    CHECK(sibdecode_survey_add(survey, &sib) == 1, "a SIB's JSON taken");
    ++fed;
  }
  sib.struct_size = sizeof sib - 1;
  CHECK(sibdecode_survey_add(survey, &sib) == SIBDECODE_BAD_ARGUMENT, "survey struct_size");
  sib.struct_size = sizeof sib;
  sib.sib_type = SIBDECODE_SIB_TYPE_NUMBERS;
  CHECK(sibdecode_survey_add(survey, &sib) == SIBDECODE_BAD_ARGUMENT, "survey SIB type");
  CHECK(sibdecode_survey_write(survey, SIBDECODE_SURVEY_CELLS, SIBDECODE_SURVEY_JSON_LINES, small,
                               sizeof small, &len) == SIBDECODE_TEXT_TOO_SMALL &&
            len > sizeof small,
        "survey: the size needed");
  text = (char*)calloc(len + 1, 1); /* the records are not NUL-terminated: one byte more */
  CHECK(sibdecode_survey_write(survey, SIBDECODE_SURVEY_CELLS, SIBDECODE_SURVEY_JSON_LINES, text,
                               len, &len) == SIBDECODE_DECODED &&
            count_lines(text, len) == 1 && strstr(text, "\"arfcn\":null,") != NULL &&
            strstr(text, "\"cell_identity\":null") == NULL,
        "survey: one cell with its identity, without ARFCN");
  free(text);
  CHECK(sibdecode_survey_write(survey, SIBDECODE_SURVEY_TIMELINE, SIBDECODE_SURVEY_JSON_LINES, NULL,
                               0, &len) == SIBDECODE_TEXT_TOO_SMALL,
        "survey: the timeline's size");
  text = (char*)malloc(len);
  CHECK(sibdecode_survey_write(survey, SIBDECODE_SURVEY_TIMELINE, SIBDECODE_SURVEY_JSON_LINES, text,
                               len, &len) == SIBDECODE_DECODED &&
            count_lines(text, len) == fed,
        "survey: a timeline record per SIB");
  free(text);
  CHECK(sibdecode_survey_write(survey, 3, SIBDECODE_SURVEY_TABLE, small, sizeof small, &len) ==
            SIBDECODE_BAD_ARGUMENT,
        "survey: no such records");
  sibdecode_survey_destroy(survey);
}

int main(int argc, char** argv) {
  static const uint8_t pcap_magic[] = {0xD4, 0xC3, 0xB2, 0xA1};
  sibdecode_decoder* decoder;
  size_t i;
  if (argc < 2) {
    printf("usage: %s SAMPLE_HEX [SAMPLE_PCAP]\n", argv[0]);
    return 2;
  }
  read_sample(argv[1]);
  CHECK(batch_count >= 4, "sample batches read");
  decoder = sibdecode_decoder_create();
  CHECK(decoder != NULL, "decoder created");
  check_version();
  check_decoder(decoder);
  check_report(decoder);
  check_stream(decoder);
  check_fed_capture(decoder);
  check_survey();
  if (argc > 2) check_capture_files(decoder, argv[2], argv[1]);
  CHECK(sibdecode_is_capture_magic(pcap_magic, 4) == 1 &&
            sibdecode_is_capture_magic(pcap_magic, 3) == 0,
        "capture magic");
  sibdecode_decoder_destroy(decoder);
  for (i = 0; i < batch_count; ++i) {
    free(batches[i].text);
    free(batches[i].json);
  }
  printf("%d failures\n", failures);
  return failures == 0 ? 0 : 1;
}
