// The cell survey: SIBs in, cells told apart by identity, their neighbours and
// the timeline of what was received out, as JSON lines or text tables.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "sibdecode/survey.h"
#include "survey/json_tree.h"
#include "survey/survey_records.h"

namespace sibdecode {

namespace {

constexpr unsigned int kMib = 0, kSib1 = 1, kSib3 = 3, kSib4 = 4;

// What a survey keeps is bounded, for a live run of hours: a distinct content
// of a cell's SIB type gets a version number up to kMaxVersionsPerType, and
// kMaxVersionsKept in all; later ones are counted as changes but get version 0.
// Past kMaxCells cells, a new identity or PLMN no longer starts a cell: its
// SIBs are counted with the cell before.
constexpr size_t kMaxVersionsPerType = 1024;
constexpr uint64_t kMaxVersionsKept = 65536;
constexpr size_t kMaxCells = 16384;
// A cell that sends no SIB3 or SIB4 for this many SIBs: those waiting go to
// the latest cell of their ARFCN, as at the end of a capture.
constexpr size_t kMaxPending = 1024;

struct PendingSib {
  uint64_t sequence = 0;  // its place among all the SIBs taken
  unsigned int type = 0;
  bool hasTime = false;
  SurveyTime time;
  uint64_t hash = 0;
  std::unique_ptr<JsonNode> tree;  // the SIBs whose values are read
  size_t timelineIndex = SIZE_MAX;
};

// One ARFCN (or hex input): its current cell and the SIBs since its last
// identity, which go to the cell the next identity names.
struct Track {
  int current = -1;          // index into cells
  bool newCellNext = false;  // the PLMN changed: the next identity starts a cell whatever it is
  std::string plmn;          // the latest MIB's, pending ones included
  std::vector<PendingSib> pending;
};

}  // namespace

struct CellSurvey {
  bool keepTimeline = false;
  uint64_t versionsKept = 0;
  uint64_t sibsTaken = 0;
  std::vector<SurveyCell> cells;
  // The cells with an identity, by ARFCN, identity and the PLMN they were named
  // under: a phone that comes back to a cell counts on the same record.
  std::map<std::tuple<bool, uint64_t, uint32_t, std::string>, int> named;
  std::map<std::pair<bool, uint64_t>, Track> tracks;  // (has ARFCN, ARFCN)
  std::vector<SurveyTimelineEntry> timeline;
};

namespace {

// A BIT STRING of '0' and '1' characters up to 32 bits.
bool BitsValue(const JsonNode* node, uint32_t* value) {
  if (node == nullptr || node->kind != JsonNode::kString || node->text.empty() ||
      node->text.size() > 32) {
    return false;
  }
  uint32_t bits = 0;
  for (char c : node->text) {
    if (c != '0' && c != '1') return false;
    bits = bits << 1 | static_cast<uint32_t>(c - '0');
  }
  *value = bits;
  return true;
}

// The first `digits` hex digits of an OCTET STRING written as hex.
bool HexPrefix(const JsonNode* node, size_t digits, uint32_t* value) {
  if (node == nullptr || node->kind != JsonNode::kString || node->text.size() < digits) {
    return false;
  }
  uint32_t result = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int digit = HexDigit(node->text[i]);
    if (digit < 0) return false;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  *value = result;
  return true;
}

bool CellIdentityOf(const JsonNode& sib, uint32_t* identity) {
  return BitsValue(sib.Member("cellIdentity"), identity);
}

// "MCC-MNC" of a PLMN-Identity, digits as sent.
std::string PlmnText(const JsonNode* identity) {
  std::string text;
  const JsonNode* mcc = identity != nullptr ? identity->Member("mcc") : nullptr;
  const JsonNode* mnc = identity != nullptr ? identity->Member("mnc") : nullptr;
  if (mcc == nullptr || mnc == nullptr || mcc->kind != JsonNode::kArray ||
      mnc->kind != JsonNode::kArray) {
    return text;
  }
  auto digits = [&text](const JsonNode& list) {
    for (const JsonNode& digit : list.items) {
      if (!digit.IsInteger() || digit.integer < 0 || digit.integer > 9) return false;
      text.push_back(static_cast<char>('0' + digit.integer));
    }
    return true;
  };
  if (!digits(*mcc)) return std::string();
  text.push_back('-');
  if (!digits(*mnc)) return std::string();
  return text;
}

std::string MibPlmn(const JsonNode& mib) {
  const JsonNode* type = mib.Member("plmn_Type");
  return type != nullptr ? PlmnText(type->Find("plmn_Identity")) : std::string();
}

// The SIB type a scheduling alternative names ("sysInfoType13_1", "sysInfoTypeSB1",
// "systemInfoType11bis"); false for dummies and spares.
bool ScheduledType(const std::string& alternative, unsigned int* type) {
  std::string_view name(alternative);
  for (std::string_view prefix :
       {std::string_view("systemInfoType"), std::string_view("sysInfoType")}) {
    if (name.substr(0, prefix.size()) == prefix) {
      std::string suffix(name.substr(prefix.size()));
      for (char& c : suffix) {
        if (c == '_') c = '.';
      }
      return !suffix.empty() && SibTypeFromName(suffix.c_str(), type) == 1;
    }
  }
  return false;
}

// A value tag: the integer itself, or the "...ValueTag" member of a structured tag.
SurveyNumber ValueTagOf(const JsonNode* tag) {
  if (tag == nullptr) return SurveyNumber();
  if (tag->IsInteger()) return NumberOf(tag);
  if (tag->kind == JsonNode::kObject) {
    for (const auto& member : tag->members) {
      // "sibOccurValueTag", "predefinedConfigValueTag", "valueTag"
      const std::string& name = member.first;
      if (name.size() >= 8 && name.compare(name.size() - 7, 7, "alueTag") == 0) {
        return ValueTagOf(&member.second);
      }
    }
  }
  return SurveyNumber();
}

// The first entry of a type counts (a MIB lists each type once).
void SetValueTag(std::vector<SurveyValueTag>* tags, unsigned int type, SurveyNumber tag) {
  for (const SurveyValueTag& entry : *tags) {
    if (entry.sibType == type) return;
  }
  tags->push_back(SurveyValueTag{type, tag});
}

// The MIB's value tags of the SIBs it schedules, those of extension types included.
void ReadValueTags(const JsonNode& node, std::vector<SurveyValueTag>* tags) {
  if (node.kind == JsonNode::kArray) {
    for (const JsonNode& item : node.items) ReadValueTags(item, tags);
    return;
  }
  if (node.kind != JsonNode::kObject) return;
  unsigned int type = 0;
  const JsonNode* sibSbType = node.Member("sibSb_Type");
  const JsonNode* extension = node.Member("extensionSIB_Type");
  if (extension == nullptr) extension = node.Member("extensionSIB_Type2");
  if (sibSbType != nullptr) {
    const std::string* alternative = AlternativeOf(sibSbType);
    if (alternative != nullptr && ScheduledType(*alternative, &type)) {
      SetValueTag(tags, type, ValueTagOf(&sibSbType->members.front().second));
    }
    return;
  }
  if (extension != nullptr) {
    const std::string* alternative = AlternativeOf(extension);
    if (alternative != nullptr && ScheduledType(*alternative, &type)) {
      const JsonNode* info = node.Member("valueTagInfo");
      SetValueTag(tags, type,
                  info != nullptr && !info->members.empty()
                      ? ValueTagOf(&info->members.front().second)
                      : SurveyNumber());
    }
    return;
  }
  for (const auto& member : node.members) ReadValueTags(member.second, tags);
}

void TakeTime(SurveyCell& cell, bool hasTime, const SurveyTime& time) {
  if (!hasTime) return;
  if (!cell.hasTime) cell.first = time;
  cell.last = time;
  cell.hasTime = true;
}

// What a SIB tells about its cell, and its count, version and place in the timeline.
void ApplySib(CellSurvey& survey, int cellIndex, PendingSib& sib) {
  SurveyCell& cell = survey.cells[static_cast<size_t>(cellIndex)];
  TakeTime(cell, sib.hasTime, sib.time);
  if (sib.sequence < cell.firstSequence) cell.firstSequence = sib.sequence;
  SurveySibTally& tally = cell.tallies[sib.type];
  const bool changed = tally.count > 0 && tally.lastHash != sib.hash;
  ++tally.count;
  if (changed) ++tally.changes;
  tally.lastHash = sib.hash;
  uint32_t version = 0;
  const auto known = std::find(tally.versions.begin(), tally.versions.end(), sib.hash);
  if (known != tally.versions.end()) {
    version = static_cast<uint32_t>(known - tally.versions.begin() + 1);
  }
  if (version == 0) {
    if (tally.versions.size() < kMaxVersionsPerType && survey.versionsKept < kMaxVersionsKept) {
      ++survey.versionsKept;
      tally.versions.push_back(sib.hash);
      version = static_cast<uint32_t>(tally.versions.size());
    } else {
      tally.moreVersions = true;
    }
  }
  if (sib.timelineIndex < survey.timeline.size()) {
    SurveyTimelineEntry& entry = survey.timeline[sib.timelineIndex];
    entry.cell = cellIndex;
    entry.version = version;
    entry.changed = changed;
  }
  if (sib.tree == nullptr) return;
  const JsonNode& value = *sib.tree;
  switch (sib.type) {
    case kMib: {
      cell.hasMib = true;
      const std::string plmn = MibPlmn(value);
      if (!plmn.empty()) cell.plmn = plmn;
      cell.mibValueTag = NumberOf(value.Member("mib_ValueTag"));
      cell.valueTags.clear();
      ReadValueTags(value, &cell.valueTags);
      break;
    }
    case kSib1: {
      uint32_t lac = 0, rac = 0;
      if (HexPrefix(value.Member("cn_CommonGSM_MAP_NAS_SysInfo"), 4, &lac)) {
        cell.lac = SurveyNumber{true, lac};
      }
      const JsonNode* domains = value.Member("cn_DomainSysInfoList");
      if (domains != nullptr && domains->kind == JsonNode::kArray) {
        for (const JsonNode& domain : domains->items) {
          const JsonNode* identity = domain.Member("cn_DomainIdentity");
          const JsonNode* type = domain.Member("cn_Type");
          if (identity == nullptr || identity->text != "ps-domain" || type == nullptr) continue;
          if (HexPrefix(type->Member("gsm_MAP"), 2, &rac)) cell.rac = SurveyNumber{true, rac};
          break;
        }
      }
      break;
    }
    case kSib3:
    case kSib4: {
      const JsonNode* info = value.Member("cellSelectReselectInfo");
      const std::string* mode =
          AlternativeOf(info != nullptr ? info->Member("modeSpecificInfo") : nullptr);
      if (mode != nullptr && *mode == "fdd") cell.mode = "FDD";
      if (mode != nullptr && *mode == "tdd") cell.mode = "1.28 Mcps TDD";
      break;
    }
    default:
      for (size_t i = 0; i < kNeighbourListSibCount; ++i) {
        if (kNeighbourListSibs[i] == sib.type) cell.latestLists[i] = std::move(sib.tree);
      }
      break;
  }
}

int NewCell(CellSurvey& survey, const std::pair<bool, uint64_t>& key) {
  survey.cells.emplace_back();
  SurveyCell& cell = survey.cells.back();
  cell.hasArfcn = key.first;
  cell.arfcn = key.second;
  return static_cast<int>(survey.cells.size() - 1);
}

void FlushPending(CellSurvey& survey, Track& track) {
  for (PendingSib& sib : track.pending) ApplySib(survey, track.current, sib);
  track.pending.clear();
}

// Gives the SIBs still waiting to the track's cell (one without identity if none).
void SettleTrack(CellSurvey& survey, const std::pair<bool, uint64_t>& key, Track& track) {
  if (track.pending.empty()) return;
  if (track.current < 0 || (track.newCellNext && survey.cells.size() < kMaxCells)) {
    track.current = NewCell(survey, key);
    track.newCellNext = false;
  }
  FlushPending(survey, track);
}

void Settle(CellSurvey& survey) {
  for (auto& [key, track] : survey.tracks) SettleTrack(survey, key, track);
}

void AddSib(CellSurvey& survey, const SurveySib& input, std::unique_ptr<JsonNode> tree) {
  const std::pair<bool, uint64_t> key(input.hasArfcn, input.hasArfcn ? input.arfcn : 0);
  Track& track = survey.tracks[key];
  PendingSib sib;
  sib.sequence = survey.sibsTaken++;
  sib.type = input.sibType;
  sib.hasTime = input.hasTime;
  sib.time = SurveyTime{input.seconds, input.microseconds};
  sib.hash = std::hash<std::string_view>()(std::string_view(input.value, input.valueLen));
  sib.tree = std::move(tree);
  if (survey.keepTimeline) {
    SurveyTimelineEntry entry;
    entry.sibType = input.sibType;
    entry.hasTime = input.hasTime;
    entry.time = sib.time;
    entry.complete = input.complete;
    survey.timeline.push_back(entry);
    sib.timelineIndex = survey.timeline.size() - 1;
  }
  uint32_t identity = 0;
  const bool namesCell =
      (sib.type == kSib3 || sib.type == kSib4) && sib.tree && CellIdentityOf(*sib.tree, &identity);
  if (sib.type == kMib && sib.tree) {
    const std::string plmn = MibPlmn(*sib.tree);
    if (!plmn.empty() && !track.plmn.empty() && plmn != track.plmn) {
      // Another network on the same ARFCN: what came before is the old cell's.
      if (track.current >= 0 && !track.newCellNext) FlushPending(survey, track);
      track.newCellNext = true;
    }
    if (!plmn.empty()) track.plmn = plmn;
  }
  if (!namesCell) {
    track.pending.push_back(std::move(sib));
    if (track.pending.size() >= kMaxPending) SettleTrack(survey, key, track);
    return;
  }
  const SurveyCell* current =
      track.current >= 0 ? &survey.cells[static_cast<size_t>(track.current)] : nullptr;
  const bool another = track.newCellNext || (current != nullptr && current->hasIdentity &&
                                             current->identity != identity);
  const auto name = std::make_tuple(key.first, key.second, identity, track.plmn);
  if (current == nullptr || another) {
    const auto known = survey.named.find(name);
    if (known != survey.named.end()) {
      track.current = known->second;
    } else if (current == nullptr || survey.cells.size() < kMaxCells) {
      track.current = NewCell(survey, key);
    }
  }
  track.newCellNext = false;
  SurveyCell& cell = survey.cells[static_cast<size_t>(track.current)];
  if (!cell.hasIdentity) survey.named.emplace(name, track.current);
  cell.hasIdentity = true;
  cell.identity = identity;
  track.pending.push_back(std::move(sib));
  FlushPending(survey, track);
}

// The cells in order of their first SIB.
std::vector<size_t> CellOrder(const CellSurvey& survey) {
  std::vector<size_t> order(survey.cells.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&survey](size_t a, size_t b) {
    return survey.cells[a].firstSequence < survey.cells[b].firstSequence;
  });
  return order;
}

size_t ViewCells(const CellSurvey& survey, SurveyCellView* cells, size_t capacity) {
  // The cells, with the SIBs waiting on their ARFCN, then one without identity
  // per ARFCN whose waiting SIBs have no cell yet.
  const std::vector<size_t> order = CellOrder(survey);
  std::map<int, const Track*> waitingFor;
  std::vector<std::pair<std::pair<bool, uint64_t>, const Track*>> waitingAlone;
  for (const auto& [key, track] : survey.tracks) {
    if (track.pending.empty()) continue;
    if (track.current < 0 || track.newCellNext) {
      waitingAlone.emplace_back(key, &track);
    } else {
      waitingFor[track.current] = &track;
    }
  }
  const size_t total = order.size() + waitingAlone.size();
  for (size_t i = 0; cells != nullptr && i < total && i < capacity; ++i) {
    SurveyCellView& view = cells[i];
    view = SurveyCellView();
    std::vector<std::vector<uint64_t>> seen(kSibTypeNumbers);
    const Track* waiting = nullptr;
    if (i < order.size()) {
      const SurveyCell& cell = survey.cells[order[i]];
      view.hasArfcn = cell.hasArfcn;
      view.arfcn = cell.arfcn;
      view.hasIdentity = cell.hasIdentity;
      view.identity = cell.identity;
      cell.plmn.copy(view.plmn, sizeof view.plmn - 1);
      for (unsigned int type = 0; type < kSibTypeNumbers; ++type) {
        view.counts[type] = cell.tallies[type].count;
        seen[type] = cell.tallies[type].versions;
      }
      const auto found = waitingFor.find(static_cast<int>(order[i]));
      if (found != waitingFor.end()) waiting = found->second;
    } else {
      const auto& [key, track] = waitingAlone[i - order.size()];
      view.hasArfcn = key.first;
      view.arfcn = key.second;
      waiting = track;
    }
    for (size_t k = 0; waiting != nullptr && k < waiting->pending.size(); ++k) {
      const PendingSib& sib = waiting->pending[k];
      ++view.counts[sib.type];
      const std::string plmn = sib.type == kMib && sib.tree ? MibPlmn(*sib.tree) : std::string();
      if (!plmn.empty()) {
        std::fill(std::begin(view.plmn), std::end(view.plmn), '\0');
        plmn.copy(view.plmn, sizeof view.plmn - 1);
      }
      std::vector<uint64_t>& versions = seen[sib.type];
      if (std::find(versions.begin(), versions.end(), sib.hash) == versions.end()) {
        versions.push_back(sib.hash);
      }
    }
    for (unsigned int type = 0; type < kSibTypeNumbers; ++type) {
      view.versions[type] = seen[type].size();
    }
  }
  return total;
}

}  // namespace

size_t ViewSurveyCells(const CellSurvey* survey, SurveyCellView* cells, size_t capacity) {
  if (survey == nullptr) return 0;
  try {
    return ViewCells(*survey, cells, capacity);
  } catch (const std::bad_alloc&) {
    return 0;  // no view without memory
  }
}

void SettleCellSurvey(CellSurvey* survey) {
  if (survey == nullptr) return;
  try {
    Settle(*survey);
  } catch (const std::bad_alloc&) {
    // Settled again by the next call that can.
  }
}

bool SurveyReadsValues(unsigned int sibType) {
  if (sibType == kMib || sibType == kSib1 || sibType == kSib3 || sibType == kSib4) return true;
  for (unsigned int type : kNeighbourListSibs) {
    if (type == sibType) return true;
  }
  return false;
}

CellSurvey* CreateCellSurvey(bool keepTimeline) {
  CellSurvey* survey = new (std::nothrow) CellSurvey;
  if (survey != nullptr) survey->keepTimeline = keepTimeline;
  return survey;
}

void DestroyCellSurvey(CellSurvey* survey) { delete survey; }

int AddSurveySib(CellSurvey* survey, const SurveySib& sib) {
  if (survey == nullptr || sib.size < sizeof(SurveySib) || sib.sibType >= kSibTypeNumbers ||
      (sib.value == nullptr && sib.valueLen > 0)) {
    return kSurveyBadArgument;
  }
  try {
    std::unique_ptr<JsonNode> tree;
    bool read = true;
    if (SurveyReadsValues(sib.sibType)) {
      tree.reset(new JsonNode);
      read = ReadJson(sib.value, sib.valueLen, tree.get()) && tree->kind == JsonNode::kObject;
      if (!read) tree.reset();
    }
    AddSib(*survey, sib, std::move(tree));
    return read ? kSurveyOk : kSurveyValueNotRead;
  } catch (const std::bad_alloc&) {
    return kSurveyNoMemory;
  }
}

int WriteSurveyRecords(CellSurvey* survey, SurveyRecords records, SurveyFormat format, char* out,
                       size_t capacity, size_t* needed) {
  if (survey == nullptr || needed == nullptr || (out == nullptr && capacity > 0)) {
    return kSurveyBadArgument;
  }
  *needed = 0;
  try {
    Settle(*survey);
    std::string text;
    const bool json = format == kSurveyJsonLines;
    if (format != kSurveyJsonLines && format != kSurveyTable) return kSurveyBadArgument;
    switch (records) {
      case kSurveyCells:
        WriteCellRecords(survey->cells, CellOrder(*survey), json, &text);
        break;
      case kSurveyNeighbours:
        WriteNeighbourRecords(survey->cells, CellOrder(*survey), json, &text);
        break;
      case kSurveyTimeline:
        WriteTimelineRecords(survey->timeline, CellOrder(*survey), json, &text);
        break;
      default:
        return kSurveyBadArgument;
    }
    *needed = text.size();
    if (text.size() > capacity) return kSurveyTooSmall;
    if (!text.empty()) text.copy(out, text.size());
    return kSurveyOk;
  } catch (const std::bad_alloc&) {
    return kSurveyNoMemory;
  }
}

}  // namespace sibdecode
