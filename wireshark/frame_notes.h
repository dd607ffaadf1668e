// What the plugin shows per frame, kept for the life of the capture file: the
// SIBs completed in a frame, the chains given up in it and the segment it
// carries of a SIB completed later, in a table indexed by frame number (as
// Wireshark keeps its frame data: 16 bytes a frame, where proto data and a
// note of each kind cost several times that on captures of millions of
// frames), and the rarer notes (a message of the wrong size, the chains the
// end of the capture gives up) by frame number. The stream is fed once, in
// frame order, on the first pass; every later dissection of a frame reads its
// notes.
#pragma once

#include <epan/packet.h>
#include <sibdecode/sibdecode.h>

namespace sibplugin {

// A SIB completed in a frame. The first pass only reassembles it: it is
// decoded when it is shown (DecodeShown), which a pass without a tree never does.
struct CompletedSib {
  CompletedSib* next;
  guint32* frames;
  const guint8* bits;  // the SIB's own bits, packed; shared by its identical copies
  guint32 sibType;
  guint32 cell;
  guint frameCount;
  guint bitsLen;
  bool decoded;  // sibdecode has a decoder for the type
};

// What sibdecode makes of a SIB shown.
struct ShownDecode {
  bool complete;                      // decoded to the SIB's end
  const char* note;                   // where it stopped, its warnings; null when there are none
  bool hasSummary;                    // a SIB3, SIB4, SIB11 or SIB12: its summary record
  tagSystemInformationBlock summary;  // (the cell identity, the neighbour lists)
};

// The segment a frame carries of a SIB completed in a later frame.
struct SegmentNote {
  guint32 sibType;
  guint32 cell;
  guint index;  // from 1
  guint count;
  guint32 reassembledIn;
};

struct DroppedChain {
  DroppedChain* next;
  guint32 sibType;
  guint32 cell;
  sibdecode::ChainDropReason reason;
  guint32* frames;
  guint frameCount;
};

// A frame's own notes, made on the first pass when it completes a SIB or gives
// a chain up.
struct FrameNotes {
  CompletedSib* sibs;
  DroppedChain* drops;
};

// Everything a frame shows, as the dissector hands it to the "sibdecode" tap.
struct FrameView {
  const FrameNotes* own;  // null when none
  bool hasSegment;        // the frame carries a segment of a SIB completed later
  SegmentNote segment;
  bool wrongSize;             // a BCCH-BCH message of another size than 31 bytes ...
  guint wrongPayloadSize;     // ... of this many bytes
  const DroppedChain* ended;  // null when none
};

// Registration (call once).
void RegisterFrameNotes();

// Decodes a SIB from its bits when it is shown; the note is allocated in
// `scope`. False for a type without decoder, or when the heap is exhausted.
bool DecodeShown(const CompletedSib& sib, wmem_allocator_t* scope, ShownDecode* shown);
// A new capture file: a fresh stream. Returns false when the heap is exhausted.
bool StartCapture();
// The capture file is closed.
void EndCapture();

// First pass: one BCH block of the given cell, carried by `frame`. Frames
// come in increasing order; a frame met again is not fed twice. What the block
// completes or gives up goes to the frame's notes.
void FeedBlock(guint32 frame, guint32 cell, const guint8* block);
// First pass: a BCCH-BCH message of another size.
void NoteWrongSize(guint32 frame, guint payloadSize);

// The frame's own notes (null when it has none).
const FrameNotes* NotesOf(guint32 frame);
// Whether the frame's BCCH-BCH message is not of 31 bytes, and its size.
bool WrongSizeOf(guint32 frame, guint* payloadSize);
// The segment the frame carries of a SIB completed later: false when none. A
// BCH block holds at most one segment of a SIB that goes on after it.
bool SegmentOf(guint32 frame, SegmentNote* segment);
// The chains pending at the end of the capture whose last segment the frame
// carries (null when none, or before a later pass reported them).
const DroppedChain* EndedChainsOf(guint32 frame);

// A later pass: the chains still pending are reported as ended by the
// capture, in the frame of their last segment. When the first pass goes on
// afterwards (a live capture), the chains are taken up again where they were.
void ReportPendingAsEnded();

}  // namespace sibplugin
