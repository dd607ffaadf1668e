// What the plugin shows per frame, kept for the life of the capture file: the
// SIBs completed in a frame, the segments it carries of SIBs completed later,
// the chains given up in it. The stream is fed once, in frame order, on the
// first pass; every later dissection of a frame reads its notes.
//
// A forecast, the same notes from a read-ahead of the whole file, gives the
// first pass what points at later frames; it is used only while what the first
// pass sees itself agrees with it.
#pragma once

#include <epan/packet.h>
#include <sibdecode/sibdecode.h>

namespace sibplugin {

struct CompletedSib {
  CompletedSib* next;
  guint32 sibType;
  guint32 cell;
  bool decoded;            // sibdecode has a decoder for the type and printed it
  bool complete;           // decoded to the SIB's end (first pass)
  const char* decodeNote;  // decoded: where it stopped, its warnings; null when there are none
  guint32* frames;
  guint frameCount;
  guint8* bits;  // the SIB's own bits, packed
  guint bitsLen;
  tagSystemInformationBlock* summary;  // decoded SIB3, SIB4, SIB11 and SIB12 only
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
  CompletedSib* sibs;
  CompletedSib** sibsTail;
  SegmentNote* segments;
  SegmentNote** segmentsTail;
  DroppedChain* drops;
  DroppedChain** dropsTail;
  bool wrongSize;  // a BCCH-BCH message of another size than 31 bytes
  guint wrongPayloadSize;
};

// Creates the maps (call once at registration).
void RegisterFrameNotes();
// A new capture file: a fresh stream. Returns false when the heap is exhausted.
bool StartCapture();
// The capture file is closed.
void EndCapture();

// First pass: one BCH block of the given cell, carried by `frame`, with its
// GSMTAP frame number. Frames come in increasing order; a frame met again is
// not fed twice, nor the cell's previous block again with the same GSMTAP frame
// number (the same packet captured twice).
void FeedBlock(guint32 frame, guint32 cell, guint32 gsmtapFrame, const guint8* block);
// First pass: a BCCH-BCH message of another size in `frame`.
void NoteWrongSize(guint32 frame, guint payloadSize);

// A later pass: the chains still pending are reported as ended by the capture
// (in the frame of their last segment). When the first pass goes on afterwards
// (a live capture), the chains are taken up again where they were.
void ReportPendingAsEnded();

// The frame's notes (null when it has none), and the chains given up at the end
// of the capture whose last segment it carries (null when none).
const FrameNotes* NotesOf(guint32 frame);
const DroppedChain* EndedChainsOf(guint32 frame);

// The read-ahead: a fresh forecast stream (false when the heap is exhausted),
// fed with every block of the file in frame order (false: the forecast is
// given up), then finished at the file's last frame, which trusts it.
bool StartForecast();
bool ForecastBlock(guint32 frame, guint32 cell, guint32 gsmtapFrame, const guint8* block);
void FinishForecast(guint32 lastFrame);
// First pass, after `frame` was fed: the forecast is given up for good when
// its block, SIBs or drops in the frame, or its first block, are not the first
// pass's.
void CheckForecast(guint32 frame);
// While the forecast is trusted: the frame's segments of SIBs completed later,
// and the chains it ends that are still pending at the end of the file.
const SegmentNote* ForecastSegmentsOf(guint32 frame);
const DroppedChain* ForecastEndedChainsOf(guint32 frame);

}  // namespace sibplugin
