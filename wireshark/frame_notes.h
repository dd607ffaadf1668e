// What the plugin shows per frame, kept for the life of the capture file (the
// frame's proto data): the SIBs completed in the frame, the segments it carries
// of SIBs completed later, the chains given up in it. The stream is fed once,
// in frame order, on the first pass; each block is fed with its frame's notes
// as its tag, so that the frame completing a SIB reaches the notes of every
// earlier carrier. Later dissections of a frame read its notes.
#pragma once

#include <epan/packet.h>
#include <sibdecode/sibdecode.h>

namespace sibplugin {

struct FrameNotes;

struct CompletedSib {
  CompletedSib* next;
  guint32 sibType;
  guint32 cell;
  bool decoded;            // sibdecode has a decoder for the type and printed it
  bool complete;           // decoded to the SIB's end
  const char* decodeNote;  // decoded: where it stopped, its warnings; null when there are none
  guint32* frames;
  guint frameCount;
  guint8* bits;  // the SIB's own bits, packed
  guint bitsLen;
};

struct SegmentNote {
  SegmentNote* next;
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

struct FrameNotes {
  guint32 frame;
  CompletedSib* sibs;
  CompletedSib** sibsTail;
  SegmentNote* segments;  // known once the SIB is complete
  SegmentNote** segmentsTail;
  DroppedChain* drops;
  DroppedChain** dropsTail;
  DroppedChain* ended;  // chains pending at the end of the capture whose last segment it carries
  bool wrongSize;       // a BCCH-BCH message of another size than 31 bytes
  guint wrongPayloadSize;
};

// Registration (call once).
void RegisterFrameNotes();

// sibdecode's summary record of a decoded SIB3, SIB4, SIB11 or SIB12, decoded
// again from its bits when it is shown (not kept for every SIB of the file).
// False for other SIBs, or when the heap is exhausted.
bool DecodeSummary(const CompletedSib& sib, tagSystemInformationBlock* summary);
// A new capture file: a fresh stream. Returns false when the heap is exhausted.
bool StartCapture();
// The capture file is closed.
void EndCapture();

// The notes of a frame, empty, in file scope.
FrameNotes* NewFrameNotes(guint32 frame);

// First pass: one BCH block of the given cell, carried by the frame of `notes`.
// Frames come in increasing order; a frame met again is not fed twice.
void FeedBlock(FrameNotes* notes, guint32 cell, const guint8* block);
// First pass: a BCCH-BCH message of another size.
void NoteWrongSize(FrameNotes* notes, guint payloadSize);

// A later pass: the chains still pending are reported as ended by the capture,
// in the `ended` list of the frame of their last segment. When the first pass
// goes on afterwards (a live capture), the chains are taken up again where
// they were and those lists emptied.
void ReportPendingAsEnded();

}  // namespace sibplugin
