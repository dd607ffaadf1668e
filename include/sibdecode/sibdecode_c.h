/* sibdecode C interface: the decoder, the stream and the capture reader of
 * libsibdecode (sibdecode.dll) for C and for every language that calls C
 * (Python ctypes, Go cgo, Rust, C#, ...).
 *
 * - Plain names, cdecl, no C++ types; nothing is thrown across it.
 * - Handles are opaque; each is used by one thread at a time (several threads
 *   decode at once with a handle each).
 * - Lengths are size_t, other integers fixed-width. Pointers handed back in
 *   events stay valid as the function says (during a callback, or until the
 *   next call with the same handle).
 * - Structs the library fills begin with `struct_size`: the caller sets it to
 *   sizeof the struct it was compiled with, and the library fills no more than
 *   that; structs the library hands to callbacks carry the size it filled. So
 *   members can be added at the end without breaking older callers.
 *
 * Text and JSON are not NUL-terminated: use the lengths.
 */
#ifndef SIBDECODE_SIBDECODE_C_H
#define SIBDECODE_SIBDECODE_C_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(SIBDECODE_BUILDING)
#define SIBDECODE_C_API __declspec(dllexport)
#elif defined(_WIN32)
#define SIBDECODE_C_API __declspec(dllimport)
#else
#define SIBDECODE_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- version ---- */

/* The library's version as (major << 16) | (minor << 8) | patch. */
SIBDECODE_C_API uint32_t sibdecode_version(void);
/* The same as text, "0.1.0". */
SIBDECODE_C_API const char* sibdecode_version_string(void);

/* ---- the summary record: 1044 bytes, 32-bit members, no padding ---- */

/* An optional number absent from the message. */
#define SIBDECODE_ABSENT_VALUE (-65535)

typedef struct sibdecode_intra_freq_cell {
  int32_t intraFreqCellID;
  int32_t cellParametersID;
} sibdecode_intra_freq_cell;

typedef struct sibdecode_inter_freq_cell {
  int32_t interFreqCellID;
  int32_t uarfcn_Nt;
  int32_t cellParametersID;
} sibdecode_inter_freq_cell;

typedef struct sibdecode_inter_rat_cell {
  int32_t interRATCellID;
  int32_t bcch_ARFCN;
  int32_t bsic; /* NCC * 10 + BCC */
} sibdecode_inter_rat_cell;

/* Cell identity from SIB3 and SIB4, neighbour cells from SIB11 (and SIB12). */
typedef struct sibdecode_summary {
  struct {
    uint32_t cellIdentity;
  } sib3;
  struct {
    uint32_t cellIdentity;
  } sib4;
  struct {
    uint32_t interRATCellCount;
    sibdecode_inter_rat_cell interRATCells[32];
    uint32_t intraFreqCellCount;
    sibdecode_intra_freq_cell intraFreqCells[32];
    uint32_t interFreqCellCount;
    sibdecode_inter_freq_cell interFreqCells[32];
  } sib11;
} sibdecode_summary;

/* ---- decoder: batches of 31-byte BCH blocks, bare SIBs ---- */

/* Results of the decode calls and the stream. */
#define SIBDECODE_DECODED 1
#define SIBDECODE_NOTHING_DECODED 0   /* nothing reassembled, a type without decoder, no text */
#define SIBDECODE_TEXT_TOO_SMALL (-1) /* *text_len is the size needed; nothing written */
#define SIBDECODE_NO_MEMORY (-2)      /* the heap ran out: *text_len 0, summary zeroed */
#define SIBDECODE_BAD_ARGUMENT (-3)   /* a null handle or pointer, a struct_size too small */

typedef struct sibdecode_decoder sibdecode_decoder;

/* Null when the heap ran out. A decoder decodes at SIBDECODE_RELEASE_LATEST. */
SIBDECODE_C_API sibdecode_decoder* sibdecode_decoder_create(void);
SIBDECODE_C_API void sibdecode_decoder_destroy(sibdecode_decoder* decoder);

/* What decoders, streams and capture readers of the C interface decode:
 * SIBDECODE_RELEASE_LATEST (the default) every type the BCH carries, each to the
 * end of its extension chain (Release 9), extension types named by the cell's
 * schedule in streams and captures, texts in the plain layout (lines end in "\n"
 * and stand 4 spaces deeper per enclosing block; octet strings as named lines:
 * see TextLayout in sibdecode.h); SIBDECODE_RELEASE_7 RRCParserX's ten types
 * (1..7, 11, 12, 13) at their Release 7 level and its text byte for byte (a later
 * container is reported with SIBDECODE_WARN_LATER_RELEASE). Each returns 0, or
 * SIBDECODE_BAD_ARGUMENT for a null handle or another release. */
#define SIBDECODE_RELEASE_7 7
#define SIBDECODE_RELEASE_LATEST 9
SIBDECODE_C_API int32_t sibdecode_decoder_set_release(sibdecode_decoder* decoder, int32_t release);

/* SIB type numbers: the SIB-Type index (0 MIB, 1..7, 11..13, 27 SB1, 28 SB2, ...;
 * 31 extensionType), then 32 + the SIB-TypeExt index (32 SIB11bis .. 39 SIB15.8)
 * and 40 + the SIB-TypeExt2 index (40 SIB19, 41 SIB15.2ter, 42 SIB20). Stable. */
#define SIBDECODE_SIB_TYPE_EXTENSION 31
#define SIBDECODE_SIB_TYPE_EXTENSION_BASE 32
#define SIBDECODE_SIB_TYPE_EXTENSION2_BASE 40
#define SIBDECODE_SIB_TYPE_NUMBERS 48
/* "MIB", "SB1", "SIB3", "SIB5bis", "SIB15.1bis", "SIB19"; "?" for a number no type has. */
SIBDECODE_C_API const char* sibdecode_sib_type_name(uint32_t sib_type);
/* The type of a name ("mib", "sb1", "11bis", "SIB19", "19") or of a SIB-Type index that
 * names no SIB by its number (0, 21..31): 1 and *sib_type set, or 0. */
SIBDECODE_C_API int32_t sibdecode_sib_type_from_name(const char* name, uint32_t* sib_type);

/* A text buffer that holds almost every text of a batch of `len` bytes whole
 * (the 102400-byte work buffer plus the raw-data trailer). */
SIBDECODE_C_API size_t sibdecode_max_text_size(size_t len);

/* The parts of the summary record a decoded SIB of this type fills (bits, or'ed; 0 for a type
 * without a decoder). */
#define SIBDECODE_SUMMARY_SIB3_CELL_IDENTITY 1 /* sib3.cellIdentity (word 0) */
#define SIBDECODE_SUMMARY_SIB4_CELL_IDENTITY 2 /* sib4.cellIdentity (word 1) */
#define SIBDECODE_SUMMARY_NEIGHBOUR_CELLS 4    /* the intra, inter-frequency and GSM cells */
SIBDECODE_C_API uint32_t sibdecode_sib_summary_parts(uint32_t sib_type);

/* Decodes one batch of BCH blocks: the SIB's text (\r\n line ends) and the
 * raw-data trailer into text[0 .. *text_len), the summary record into
 * *summary (may be null). Returns SIBDECODE_DECODED, _NOTHING_DECODED,
 * _TEXT_TOO_SMALL (call again with *text_len bytes), _NO_MEMORY or
 * _BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_decode_batch(sibdecode_decoder* decoder, const uint8_t* data,
                                               size_t len, sibdecode_summary* summary, char* text,
                                               size_t text_capacity, size_t* text_len);

/* A bare SIB of type sib_type (its PER encoding, no BCH framing); the text has
 * no trailer. */
SIBDECODE_C_API int32_t sibdecode_decode_sib(sibdecode_decoder* decoder, uint32_t sib_type,
                                             const uint8_t* sib, size_t len,
                                             sibdecode_summary* summary, char* text,
                                             size_t text_capacity, size_t* text_len);

/* The decoded value as one JSON object instead of the text; *sib_type (may be
 * null) receives the SIB type. */
SIBDECODE_C_API int32_t sibdecode_decode_batch_json(sibdecode_decoder* decoder, const uint8_t* data,
                                                    size_t len, sibdecode_summary* summary,
                                                    char* json, size_t json_capacity,
                                                    size_t* json_len, uint32_t* sib_type);
SIBDECODE_C_API int32_t sibdecode_decode_sib_json(sibdecode_decoder* decoder, uint32_t sib_type,
                                                  const uint8_t* sib, size_t len,
                                                  sibdecode_summary* summary, char* json,
                                                  size_t json_capacity, size_t* json_len);

/* ---- decode reports: where a decode stopped and what it noticed ---- */

#define SIBDECODE_STOP_NONE 0         /* complete, or nothing decoded */
#define SIBDECODE_STOP_END_OF_DATA 1  /* the SIB's bits ended inside a value */
#define SIBDECODE_STOP_OUT_OF_RANGE 2 /* a value outside its type */
#define SIBDECODE_STOP_UNSUPPORTED 3  /* an encoding not taken, or a SIB type without decoder */
#define SIBDECODE_STOP_NO_MEMORY 4
#define SIBDECODE_STOP_TYPE_NOT_KNOWN                         \
  5 /* an extensionType SIB its cell's schedule does not name \
     */

#define SIBDECODE_WARN_LIST_ABOVE_SIZE 1 /* a list count above its SIZE bound (decoded) */
#define SIBDECODE_WARN_BITS_LEFT_OVER 2  /* non-zero bits after the end of the SIB */
#define SIBDECODE_WARN_SEGMENT_GAP 3     /* a batch's segment chain lacks an index */
#define SIBDECODE_WARN_LATER_RELEASE                          \
  4 /* at Release 7: a later release's container, not decoded \
     */

#define SIBDECODE_REPORT_PATH_SIZE 640
#define SIBDECODE_REPORT_WARNINGS 8

/* A stop or a warning: the bit (from the SIB's first) and the member path as
 * the text names it ("SysInfoType3.cellSelectReselectInfo.mappingInfo[0]..."). */
typedef struct sibdecode_note {
  int32_t kind; /* SIBDECODE_STOP_... or SIBDECODE_WARN_... */
  uint64_t bit;
  char path[SIBDECODE_REPORT_PATH_SIZE]; /* NUL-terminated */
} sibdecode_note;

typedef struct sibdecode_report {
  uint32_t struct_size; /* set by the caller; only that many bytes are written */
  uint32_t sib_type;
  int32_t decoded;        /* 1: the SIB went through a decoder */
  int32_t complete;       /* 1: decoded to its end; stop.kind is then SIBDECODE_STOP_NONE */
  uint32_t warning_count; /* every warning; the first SIBDECODE_REPORT_WARNINGS are kept */
  uint64_t end_bit;       /* where the decoder stopped reading */
  sibdecode_note stop;
  sibdecode_note warnings[SIBDECODE_REPORT_WARNINGS];
} sibdecode_report;

/* The report of the decoder's last decode call. 0, or SIBDECODE_BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_decoder_report_get(const sibdecode_decoder* decoder,
                                                     sibdecode_report* report);
/* A stop reason or a warning in a few words. */
SIBDECODE_C_API const char* sibdecode_stop_text(int32_t stop);
SIBDECODE_C_API const char* sibdecode_warning_text(int32_t warning);
/* The report in one line ("stopped at bit 55 in cellSelectReselectInfo...: end of
 * data; warning at bit ..."), empty for a complete decode without warnings. At
 * most `capacity` bytes, NUL-terminated when capacity > 0; returns the length of
 * the whole line. The report is read no further than its struct_size: a
 * report too small to hold its stop is described as empty, warnings it does
 * not hold whole are left out. */
SIBDECODE_C_API size_t sibdecode_report_describe(const sibdecode_report* report, char* text,
                                                 size_t capacity);

/* ---- stream: one block at a time, several cells ---- */

typedef struct sibdecode_stream sibdecode_stream;

#define SIBDECODE_SIB_COMPLETED 1 /* every segment of a SIB arrived; it was decoded */
#define SIBDECODE_CHAIN_DROPPED 2 /* a pending segmented SIB was given up */

/* Why a chain was dropped. */
#define SIBDECODE_DROP_INTERRUPTED 1  /* a new first segment of the same type came first */
#define SIBDECODE_DROP_OUT_OF_ORDER 2 /* a segment is missing or repeated */
#define SIBDECODE_DROP_FLUSHED 3      /* still pending at a flush (the end of the input) */
#define SIBDECODE_DROP_TOO_LATE 4     /* the next segment came more than 32 frames later */
/* given up to bound what a stream keeps: nothing came for it during 65536 blocks, or more
   than 1024 cells had chains pending and its cell was fed least recently */
#define SIBDECODE_DROP_EVICTED 5

typedef struct sibdecode_stream_event {
  uint32_t struct_size; /* the bytes of this struct the library filled */
  int32_t kind;         /* SIBDECODE_SIB_COMPLETED or SIBDECODE_CHAIN_DROPPED */
  int32_t drop_reason;  /* SIBDECODE_DROP_..., 0 for a completed SIB */
  uint32_t sib_type;
  uint64_t cell_key;
  int32_t result;   /* completed: SIBDECODE_DECODED, _NOTHING_DECODED or _NO_MEMORY */
  const char* text; /* DECODED: SIB text and the raw-data trailer of the carrying blocks */
  size_t text_len;
  const sibdecode_summary* summary; /* completed */
  const uint8_t* sib; /* completed: the SIB's own bits, for sibdecode_decode_sib(_json) */
  size_t sib_len;
  const uint8_t* blocks; /* the 31-byte blocks that carried it, in arrival order */
  size_t blocks_len;
  const uint64_t* block_tags; /* the tag fed with each block */
  size_t block_count;
  const sibdecode_report* report; /* completed: complete, or where the decode stopped; warnings */
} sibdecode_stream_event;

/* Called with each event; the event and what it points to are valid during
 * the call only. It must not feed the stream it was called from. */
typedef void (*sibdecode_stream_callback)(const sibdecode_stream_event* event, void* context);

typedef struct sibdecode_stream_counts {
  uint32_t struct_size; /* set by the caller */
  uint64_t blocks;
  uint64_t sibs_completed;
  uint64_t sibs_decoded;
  uint64_t chains_dropped;
  uint64_t segments_discarded; /* without a pending chain, out of order, or repeated */
  uint64_t sibs_stopped;       /* decoded only up to where the decode stopped */
  uint64_t sibs_warned;        /* decoded with a warning */
} sibdecode_stream_counts;

SIBDECODE_C_API sibdecode_stream* sibdecode_stream_create(void);
SIBDECODE_C_API void sibdecode_stream_destroy(sibdecode_stream* stream);
SIBDECODE_C_API int32_t sibdecode_stream_set_release(sibdecode_stream* stream, int32_t release);

/* Feeds one 31-byte block of the cell `cell_key` (blocks of a cell in the
 * order it sent them); `block_tag` (a frame number, say) comes back in the
 * events. Returns the number of events delivered, SIBDECODE_NO_MEMORY (the
 * pending chains are given up, the stream stays usable) or
 * SIBDECODE_BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_stream_feed(sibdecode_stream* stream, uint64_t cell_key,
                                              uint64_t block_tag, const uint8_t* block,
                                              sibdecode_stream_callback callback, void* context);

/* Drops every pending chain (SIBDECODE_DROP_FLUSHED). Returns the events delivered. */
SIBDECODE_C_API int32_t sibdecode_stream_flush(sibdecode_stream* stream,
                                               sibdecode_stream_callback callback, void* context);

/* 0, or SIBDECODE_BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_stream_counts_get(const sibdecode_stream* stream,
                                                    sibdecode_stream_counts* counts);

/* ---- capture reader: pcap/pcapng files through libpcap, GSMTAP datagrams ---- */

typedef struct sibdecode_capture sibdecode_capture;

/* Results of the open calls. */
#define SIBDECODE_CAPTURE_OK 0
#define SIBDECODE_CAPTURE_NO_LIBPCAP 1 /* libpcap cannot be loaded (or this build does not) */
#define SIBDECODE_CAPTURE_UNREADABLE 2 /* libpcap refuses the file */
#define SIBDECODE_CAPTURE_NO_MEMORY 3
#define SIBDECODE_CAPTURE_BAD_ARGUMENT 4

/* Event kinds. */
#define SIBDECODE_CAPTURE_EVENT_SIB 1        /* a decoded SIB */
#define SIBDECODE_CAPTURE_EVENT_DROP 2       /* a dropped chain */
#define SIBDECODE_CAPTURE_EVENT_WRONG_SIZE 3 /* a message not 31 bytes; reading goes on */
#define SIBDECODE_CAPTURE_EVENT_TRUNCATED 4  /* the file ends in a cut record: the last events */
#define SIBDECODE_CAPTURE_EVENT_NO_MEMORY 5  /* pending chains given up; reading goes on */
#define SIBDECODE_CAPTURE_EVENT_NOT_DECODED              \
  6 /* an extensionType SIB its cell's schedule does not \
       name: frames, blocks, message */

typedef struct sibdecode_capture_event {
  uint32_t struct_size;  /* set by the caller */
  int32_t kind;          /* SIBDECODE_CAPTURE_EVENT_... */
  uint64_t frame;        /* the frame being read (from 1; a fed datagram is a frame): the SIB's last
                            block, the faulty packet, the unreadable record */
  int64_t seconds;       /* that frame's time, UTC: seconds since 1970 ... */
  uint32_t microseconds; /* ... and microseconds */
  uint32_t sib_type;     /* SIB, DROP */
  uint64_t arfcn;        /* SIB, DROP: the cell (GSMTAP ARFCN without its flag bits) */
  int32_t drop_reason;   /* DROP: SIBDECODE_DROP_... */
  const uint64_t* frames; /* SIB, DROP: the frames of the carrying blocks */
  size_t frame_count;
  const char* text; /* SIB: text and raw-data trailer */
  size_t text_len;
  const sibdecode_summary* summary; /* SIB */
  const uint8_t* sib;               /* SIB: its own bits, for sibdecode_decode_sib(_json) */
  size_t sib_len;
  const uint8_t* blocks; /* SIB, DROP: the 31-byte blocks */
  size_t blocks_len;
  const char* message;            /* all but SIB: one line, NUL-terminated, without file or frame */
  const sibdecode_report* report; /* SIB: complete, or where the decode stopped; warnings */
} sibdecode_capture_event;

typedef struct sibdecode_capture_counts {
  uint32_t struct_size;           /* set by the caller */
  uint64_t frames;                /* packets read, datagrams fed */
  uint64_t skipped;               /* packets not fed: without a BCCH-BCH message, or
                                     captured twice; of them: */
  uint64_t skipped_link_layer;    /* link type or network protocol other than IPv4/IPv6 */
  uint64_t skipped_not_udp;       /* not UDP, a cut IP or UDP header */
  uint64_t skipped_other_port;    /* UDP, neither port GSMTAP's 4729 */
  uint64_t skipped_not_gsmtap;    /* no GSMTAP version 2 header */
  uint64_t skipped_other_message; /* GSMTAP of another type or RRC channel */
  uint64_t wrong_size;
  uint64_t sibs_decoded;
  uint64_t sibs_not_decoded; /* master information block, scheduling blocks, ... */
  uint64_t chains_dropped;
  uint64_t stray_segments;
  uint64_t skipped_ip_fragment;    /* an IPv4 fragment (not reassembled) */
  uint64_t skipped_repeated_block; /* the GSMTAP frame number and block of the cell's
                                      previous block: the same packet captured twice */
  uint64_t sibs_stopped; /* of sibs_decoded: decoded only up to where the decode stopped */
  uint64_t sibs_warned;  /* of sibs_decoded: decoded with a warning */
} sibdecode_capture_counts;

/* Opens a capture file (opened once: FIFOs and /dev/fd paths work). On failure
 * *capture is null and message (may be null) holds why, NUL-terminated. */
SIBDECODE_C_API int32_t sibdecode_capture_open_file(const char* path, sibdecode_capture** capture,
                                                    char* message, size_t message_capacity);

/* Reads from an open file descriptor (a file, pipe, socket, standard input)
 * from where it stands; the caller keeps the descriptor and closes it after
 * sibdecode_capture_close. */
SIBDECODE_C_API int32_t sibdecode_capture_open_fd(int fd, sibdecode_capture** capture,
                                                  char* message, size_t message_capacity);

/* Bytes from the caller: fills up to `size` bytes, returns how many, 0 at the
 * end, -1 on an error (a count above `size` is taken as an error: the capture
 * reads as cut there). Called from sibdecode_capture_next only. */
typedef int64_t (*sibdecode_read_function)(void* context, void* buffer, size_t size);
SIBDECODE_C_API int32_t sibdecode_capture_open_read(sibdecode_read_function read, void* context,
                                                    sibdecode_capture** capture, char* message,
                                                    size_t message_capacity);

/* A reader fed with GSMTAP datagrams (UDP payloads) as they arrive; works
 * without libpcap. Null when the heap ran out. */
SIBDECODE_C_API sibdecode_capture* sibdecode_capture_create_gsmtap(void);

/* Feeds one datagram received at the given time. Returns the number of events
 * waiting for sibdecode_capture_next (take them before the next datagram), or
 * SIBDECODE_BAD_ARGUMENT (also for a reader of a file). */
SIBDECODE_C_API int32_t sibdecode_capture_feed_gsmtap(sibdecode_capture* capture,
                                                      const uint8_t* datagram, size_t size,
                                                      int64_t seconds, uint32_t microseconds);

/* Fed reader: gives up the chains still pending. Returns the events waiting,
 * or SIBDECODE_BAD_ARGUMENT (also for a reader of a file: its end flushes them). */
SIBDECODE_C_API int32_t sibdecode_capture_finish(sibdecode_capture* capture);

/* The next event: 1 (filled), 0 (none: the file is read to its end and its
 * pending chains dropped; a fed reader wants more), SIBDECODE_BAD_ARGUMENT.
 * What it points to is valid until the next call with this reader. */
SIBDECODE_C_API int32_t sibdecode_capture_next(sibdecode_capture* capture,
                                               sibdecode_capture_event* event);

/* 0, or SIBDECODE_BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_capture_counts_get(const sibdecode_capture* capture,
                                                     sibdecode_capture_counts* counts);

SIBDECODE_C_API void sibdecode_capture_close(sibdecode_capture* capture);
/* Before the first event. */
SIBDECODE_C_API int32_t sibdecode_capture_set_release(sibdecode_capture* capture, int32_t release);
/* Before the first event, after the release: text 0 gives SIB events an empty
 * text (for a host that reads only summaries, reports, bits or values); 1 the
 * release's text again. 0, or SIBDECODE_BAD_ARGUMENT. */
SIBDECODE_C_API int32_t sibdecode_capture_set_text(sibdecode_capture* capture, int32_t text);

/* Why a chain was dropped, in a few words; "dropped" for an unknown reason. */
SIBDECODE_C_API const char* sibdecode_drop_reason_text(int32_t drop_reason);

/* 1 when the bytes start with a pcap or pcapng magic number, or that of a
 * gzip, xz or zstd stream (a compressed capture), else 0. */
SIBDECODE_C_API int32_t sibdecode_is_capture_magic(const uint8_t* head, size_t size);

/* ---- cell survey: who each cell is and whom it points to (docs/records.md) ---- */

/* Fed with decoded SIBs in the order received, it tells cells apart by ARFCN,
 * cell identity and the MIB's PLMN and writes three kinds of record: cells,
 * neighbours (the entries of each cell's latest SIB11, SIB11bis, SIB12 and
 * SIB19 lists) and the timeline (one per SIB). */
typedef struct sibdecode_survey sibdecode_survey;

typedef struct sibdecode_survey_sib {
  uint32_t struct_size; /* set by the caller */
  uint32_t sib_type;
  int32_t has_arfcn; /* 0 for hex input */
  uint64_t arfcn;
  int32_t has_time;
  int64_t seconds; /* UTC */
  uint32_t microseconds;
  int32_t complete;  /* the decode reached the end of the SIB */
  const char* value; /* the SIB's JSON (sibdecode_decode_sib_json, or the same value written
                        by the caller) */
  size_t value_len;
} sibdecode_survey_sib;

#define SIBDECODE_SURVEY_CELLS 0
#define SIBDECODE_SURVEY_NEIGHBOURS 1
#define SIBDECODE_SURVEY_TIMELINE 2
#define SIBDECODE_SURVEY_JSON_LINES 0 /* one JSON object per line */
#define SIBDECODE_SURVEY_TABLE 1      /* a text table with a header line */

/* 1 when the survey reads the values of SIBs of this type (MIB, SIB1, SIB3,
 * SIB4, SIB11, SIB11bis, SIB12, SIB19); of the others it only tells contents
 * apart, so any text that differs with the content will do as their value. */
SIBDECODE_C_API int32_t sibdecode_survey_reads_values(uint32_t sib_type);

/* keep_timeline 0: no timeline records (memory then does not grow with the
 * SIBs). Null when the heap ran out. */
SIBDECODE_C_API sibdecode_survey* sibdecode_survey_create(int32_t keep_timeline);
SIBDECODE_C_API void sibdecode_survey_destroy(sibdecode_survey* survey);
/* 1; 0 when the value is not a JSON object (the SIB is counted, its values not
 * read); SIBDECODE_NO_MEMORY; SIBDECODE_BAD_ARGUMENT (also a sib_type of 48 or more). */
SIBDECODE_C_API int32_t sibdecode_survey_add(sibdecode_survey* survey,
                                             const sibdecode_survey_sib* sib);
/* Gives the SIBs still waiting for their cell's identity to the latest cell of
 * their ARFCN: at the end of each capture. */
SIBDECODE_C_API void sibdecode_survey_settle(sibdecode_survey* survey);
/* Writes the records into out[0 .. *len): SIBDECODE_DECODED, or
 * SIBDECODE_TEXT_TOO_SMALL (call again with *len bytes), SIBDECODE_NO_MEMORY,
 * SIBDECODE_BAD_ARGUMENT; settled first, cells numbered in order of their first SIB. */
SIBDECODE_C_API int32_t sibdecode_survey_write(sibdecode_survey* survey, int32_t records,
                                               int32_t format, char* out, size_t capacity,
                                               size_t* len);

#ifdef __cplusplus
}
#endif

#endif /* SIBDECODE_SIBDECODE_C_H */
