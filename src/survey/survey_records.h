// What the survey keeps per cell, and the writers of its three record kinds.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "survey/json_tree.h"

namespace sibdecode {

// The SIBs whose lists give a cell's neighbours, its latest of each kept, in
// the order their rows are written.
constexpr unsigned int kNeighbourListSibs[] = {11, kSibTypeExtensionBase + 0 /* SIB11bis */, 12,
                                               kSibTypeExtension2Base + 0 /* SIB19 */};
constexpr size_t kNeighbourListSibCount = sizeof kNeighbourListSibs / sizeof kNeighbourListSibs[0];

struct SurveyNumber {
  bool present = false;
  int64_t value = 0;
};

struct SurveyTime {
  int64_t seconds = 0;
  uint32_t microseconds = 0;
};

struct SurveySibTally {
  uint64_t count = 0;
  uint64_t changes = 0;  // copies whose content differs from the copy before
  uint64_t lastHash = 0;
  std::vector<uint64_t> versions;  // hashes of the distinct contents, in order of arrival
  bool moreVersions = false;       // more distinct contents than were kept
};

struct SurveyValueTag {
  unsigned int sibType;
  SurveyNumber tag;  // absent for a SIB scheduled without one (SIB7)
};

struct SurveyCell {
  bool hasArfcn = false;
  uint64_t arfcn = 0;
  uint64_t firstSequence = UINT64_MAX;  // its first SIB's place among all those taken
  bool hasIdentity = false;
  uint32_t identity = 0;  // 28 bits
  std::string mode;       // "FDD", "1.28 Mcps TDD", or empty
  std::string plmn;       // "MCC-MNC" or empty
  SurveyNumber lac, rac;
  bool hasTime = false;
  SurveyTime first, last;
  bool hasMib = false;
  SurveyNumber mibValueTag;
  std::vector<SurveyValueTag> valueTags;
  // The latest SIB11, SIB11bis, SIB12 and SIB19 (values), null until one came.
  std::unique_ptr<JsonNode> latestLists[kNeighbourListSibCount];
  SurveySibTally tallies[kSibTypeNumbers];
};

struct SurveyTimelineEntry {
  int cell = -1;
  unsigned int sibType = 0;
  bool hasTime = false;
  SurveyTime time;
  uint32_t version = 0;  // 0: a content beyond those kept
  bool changed = false;
  bool complete = true;
};

// An integer of the JSON tree; absent for anything else.
SurveyNumber NumberOf(const JsonNode* node);
// The first member's name of an object (a CHOICE's alternative); null for anything else.
const std::string* AlternativeOf(const JsonNode* node);

// Each appends the records to *out: JSON lines, or a table with a header line.
// `order` lists the cells' indices in the order written (their numbers).
void WriteCellRecords(const std::vector<SurveyCell>& cells, const std::vector<size_t>& order,
                      bool json, std::string* out);
void WriteNeighbourRecords(const std::vector<SurveyCell>& cells, const std::vector<size_t>& order,
                           bool json, std::string* out);
void WriteTimelineRecords(const std::vector<SurveyTimelineEntry>& timeline,
                          const std::vector<size_t>& order, bool json, std::string* out);

}  // namespace sibdecode
