// sibdecode cell survey: who each cell is and whom it points to. Fed with the
// decoded SIBs of one or more captures in the order they were received, it
// tells cells apart by ARFCN and, on one ARFCN, by cell identity (SIB3, SIB4)
// and the MIB's PLMN, and gives three kinds of record (docs/records.md):
// cells (network, LAC, RAC, identity, value tags, neighbour counts, SIB
// counts and changes), neighbours (one per entry of a cell's latest SIB11,
// SIB11bis, SIB12 and SIB19 lists) and the timeline (one per SIB received).
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>
#include <cstdint>

namespace sibdecode {

struct CellSurvey;

// A decoded SIB as the survey takes it. `value` is the SIB's JSON as the
// library writes it (DecodeSibJson; the report it appends to a stopped decode
// may stay or go) or the same value written by the caller.
struct SurveySib {
  size_t size = sizeof(SurveySib);
  unsigned int sibType = 0;
  bool hasArfcn = false;  // a SIB of a capture; hex input has none
  uint64_t arfcn = 0;
  bool hasTime = false;
  int64_t seconds = 0;  // UTC
  uint32_t microseconds = 0;
  bool complete = true;  // the decode reached the end of the SIB
  const char* value = nullptr;
  size_t valueLen = 0;
};

// Results; the same numbers as the decode results (sibdecode.h) and the C interface's.
enum SurveyResult : int {
  kSurveyOk = 1,
  kSurveyValueNotRead = 0,  // AddSurveySib: the value is not a JSON object; the SIB is counted
  kSurveyTooSmall = -1,     // WriteSurveyRecords: *needed bytes are needed, nothing written
  kSurveyNoMemory = -2,
  kSurveyBadArgument = -3,  // a null pointer, a struct size too small, an unknown kind
};

enum SurveyRecords : int {
  kSurveyCells = 0,
  kSurveyNeighbours = 1,
  kSurveyTimeline = 2,
};

enum SurveyFormat : int {
  kSurveyJsonLines = 0,  // one JSON object per line
  kSurveyTable = 1,      // a text table with a header line
};

// Whether the survey reads the values of SIBs of this type (the MIB, SIB1,
// SIB3, SIB4 and the neighbour lists of SIB11, SIB11bis, SIB12 and SIB19); of
// the others it only tells contents apart, so any text that differs with the
// content will do as their value.
SIBDECODE_API bool SurveyReadsValues(unsigned int sibType);

// keepTimeline: keep one timeline record per SIB (a live run leaves it off so
// that memory does not grow with the SIBs received). Null when the heap ran out.
SIBDECODE_API CellSurvey* CreateCellSurvey(bool keepTimeline);
SIBDECODE_API void DestroyCellSurvey(CellSurvey* survey);

// Takes one SIB. Returns a SurveyResult.
SIBDECODE_API int AddSurveySib(CellSurvey* survey, const SurveySib& sib);

// One cell as the survey sees it while SIBs still come (a live table): the
// SIBs waiting for their cell's identity are counted with the cell they would
// go to if none came (the latest of their ARFCN, or one without identity).
struct SurveyCellView {
  bool hasArfcn;
  uint64_t arfcn;
  bool hasIdentity;
  uint32_t identity;
  char plmn[8];  // "MCC-MNC" (the latest MIB's), or empty
  uint64_t counts[kSibTypeNumbers];
  uint64_t versions[kSibTypeNumbers];  // distinct contents, as the cell record counts them
};

// Fills up to `capacity` views, in the order the cell records are written,
// and returns how many cells there are. Takes nothing away from the survey.
SIBDECODE_API size_t ViewSurveyCells(const CellSurvey* survey, SurveyCellView* cells,
                                     size_t capacity);

// Gives the SIBs still waiting for their cell's identity to the cell of the
// latest identity on their ARFCN (a cell without identity when none came):
// at the end of a capture, so that the next one's cells do not take them.
SIBDECODE_API void SettleCellSurvey(CellSurvey* survey);

// Writes the records into out[0 .. capacity) and sets *needed to their
// length; writes nothing when they do not fit (call again with *needed
// bytes), settled first (SettleCellSurvey); cells numbered in order of their
// first SIB. Returns a SurveyResult.
SIBDECODE_API int WriteSurveyRecords(CellSurvey* survey, SurveyRecords records, SurveyFormat format,
                                     char* out, size_t capacity, size_t* needed);

}  // namespace sibdecode
