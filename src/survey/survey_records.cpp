// The survey's records: each a row of columns, written as a JSON object per
// line (every key always there, null when absent) or as a text table (blank
// when absent).
#include "survey/survey_records.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace sibdecode {

namespace {

struct Column {
  const char* key;
  const char* header;
  int width;  // in the table; 0: not in the table
  bool left;  // identifiers and texts left-aligned, numbers right-aligned
};

// One value: its JSON, and its text in the table (empty when absent).
struct Cell {
  std::string json = "null";
  std::string table;
};

Cell NumberCell(const SurveyNumber& number) {
  Cell cell;
  if (number.present) cell.json = cell.table = std::to_string(number.value);
  return cell;
}

Cell UnsignedCell(bool present, uint64_t value) {
  return NumberCell(SurveyNumber{present, static_cast<int64_t>(value)});
}

void AppendJsonString(const std::string& text, std::string* out) {
  out->push_back('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out->append(escaped);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

Cell TextCell(const std::string& text) {
  Cell cell;
  if (text.empty()) return cell;
  cell.json.clear();
  AppendJsonString(text, &cell.json);
  cell.table = text;
  return cell;
}

Cell BoolCell(bool value) {
  Cell cell;
  cell.json = cell.table = value ? "true" : "false";
  return cell;
}

// 2026-01-15T09:00:00.040000Z (days to a civil date after H. Hinnant's algorithm).
std::string UtcTime(const SurveyTime& time) {
  const int64_t days = (time.seconds >= 0 ? time.seconds : time.seconds - 86399) / 86400;
  const int64_t secondOfDay = time.seconds - days * 86400;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[96];
  (void)std::snprintf(text, sizeof text,
                      "%04" PRId64 "-%02" PRId64 "-%02" PRId64 "T%02" PRId64 ":%02" PRId64
                      ":%02" PRId64 ".%06" PRIu32 "Z",
                      year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60,
                      time.microseconds % 1000000);
  return text;
}

Cell TimeCell(bool present, const SurveyTime& time) {
  return present ? TextCell(UtcTime(time)) : Cell();
}

void WriteRows(const Column* columns, size_t columnCount,
               const std::vector<std::vector<Cell>>& rows, bool json, std::string* out) {
  if (!json) {
    std::string header;
    for (size_t i = 0; i < columnCount; ++i) {
      if (columns[i].width == 0) continue;
      if (!header.empty()) header.push_back(' ');
      header.append(columns[i].header);
      if (i + 1 < columnCount && std::strlen(columns[i].header) < size_t(columns[i].width)) {
        header.append(size_t(columns[i].width) - std::strlen(columns[i].header), ' ');
      }
    }
    while (!header.empty() && header.back() == ' ') header.pop_back();
    out->append(header).push_back('\n');
  }
  for (const std::vector<Cell>& row : rows) {
    std::string line;
    if (json) line.push_back('{');
    bool first = true;
    for (size_t i = 0; i < columnCount; ++i) {
      const Cell& cell = row[i];
      if (json) {
        if (i > 0) line.push_back(',');
        AppendJsonString(columns[i].key, &line);
        line.push_back(':');
        line.append(cell.json);
        continue;
      }
      if (columns[i].width == 0) continue;
      if (!first) line.push_back(' ');
      first = false;
      const size_t pad = cell.table.size() < size_t(columns[i].width)
                             ? size_t(columns[i].width) - cell.table.size()
                             : 0;
      if (!columns[i].left) line.append(pad, ' ');
      line.append(cell.table);
      if (columns[i].left) line.append(pad, ' ');
    }
    if (json) {
      line.push_back('}');
    } else {
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    out->append(line).push_back('\n');
  }
}

// ---- neighbours ----

struct NeighbourRow {
  const char* sib = "";
  const char* kind = "";
  SurveyNumber id;
  std::string mode;
  SurveyNumber uarfcn, gsmArfcn;
  std::string gsmBand;
  SurveyNumber earfcn, cellParametersId, scramblingCode, ncc, bcc, physicalCellId;
  SurveyNumber priority, threshHigh, threshLow, qRxlevMin, qOffset;
};

SurveyNumber MemberNumber(const JsonNode* node, const char* name) {
  return NumberOf(node != nullptr ? node->Member(name) : nullptr);
}

std::string MemberText(const JsonNode* node, const char* name) {
  const JsonNode* member = node != nullptr ? node->Member(name) : nullptr;
  return member != nullptr && member->kind == JsonNode::kString ? member->text : std::string();
}

// The reselection values a cell entry gives: q_RxlevMin (under its mode's
// alternative) and the offset to the serving cell.
void ReadReselection(const JsonNode& entry, NeighbourRow* row) {
  const JsonNode* info = entry.Find("cellSelectionReselectionInfo");
  if (info == nullptr) return;
  row->qRxlevMin = NumberOf(info->Find("q_RxlevMin"));
  row->qOffset = MemberNumber(info, "q_OffsetS_N");
  if (!row->qOffset.present) row->qOffset = MemberNumber(info, "q_Offset1S_N");
}

// The frequency of an inter-frequency entry: TDD uarfcn_Nt or FDD uarfcn_DL.
SurveyNumber FrequencyOf(const JsonNode& entry) {
  const JsonNode* info = entry.Member("frequencyInfo");
  const JsonNode* modes = info != nullptr ? info->Member("modeSpecificInfo") : nullptr;
  const std::string* alternative = AlternativeOf(modes);
  if (alternative == nullptr) return SurveyNumber();
  const JsonNode& values = modes->members.front().second;
  return MemberNumber(&values, *alternative == "tdd" ? "uarfcn_Nt" : "uarfcn_DL");
}

void UtraCellRows(const JsonNode& list, bool intra, const SurveyCell& cell, const char* sib,
                  std::vector<NeighbourRow>* rows) {
  SurveyNumber frequency;  // an entry without frequencyInfo is on the previous entry's
  for (const JsonNode& entry : list.items) {
    NeighbourRow row;
    row.sib = sib;
    row.kind = intra ? "intra" : "inter";
    row.id = MemberNumber(&entry, intra ? "intraFreqCellID" : "interFreqCellID");
    if (intra) {
      row.uarfcn = SurveyNumber{cell.hasArfcn, static_cast<int64_t>(cell.arfcn)};
    } else if (entry.Member("frequencyInfo") != nullptr) {
      frequency = FrequencyOf(entry);
      row.uarfcn = frequency;
    } else {
      row.uarfcn = frequency;
    }
    // The mode of the cell's own alternative; the 1.28 Mcps lists have none: TDD.
    const JsonNode* info = entry.Member("cellInfo");
    const std::string* alternative =
        AlternativeOf(info != nullptr ? info->Member("modeSpecificInfo") : nullptr);
    row.mode = alternative != nullptr && *alternative == "fdd" ? "FDD" : "TDD";
    row.cellParametersId = NumberOf(entry.Find("cellParametersID"));
    row.scramblingCode = NumberOf(entry.Find("primaryScramblingCode"));
    ReadReselection(entry, &row);
    rows->push_back(row);
  }
}

void InterRatRows(const JsonNode& list, const char* sib, std::vector<NeighbourRow>* rows) {
  for (const JsonNode& entry : list.items) {
    NeighbourRow row;
    row.sib = sib;
    row.id = MemberNumber(&entry, "interRATCellID");
    const JsonNode* technology = entry.Member("technologySpecificInfo");
    const JsonNode* gsm = technology != nullptr ? technology->Member("gsm") : nullptr;
    row.kind = gsm != nullptr ? "gsm" : "other_rat";
    if (gsm != nullptr) {
      const JsonNode* bsic = gsm->Member("bsic");
      row.ncc = MemberNumber(bsic, "ncc");
      row.bcc = MemberNumber(bsic, "bcc");
      row.gsmArfcn = MemberNumber(gsm, "bcch_ARFCN");
      row.gsmBand = MemberText(gsm, "frequency_band");
      ReadReselection(*gsm, &row);
    }
    rows->push_back(row);
  }
}

void PriorityRow(const JsonNode& entry, NeighbourRow* row, const char* qRxlevMin) {
  row->priority = MemberNumber(&entry, "priority");
  row->threshHigh = MemberNumber(&entry, "threshXhigh");
  row->threshLow = MemberNumber(&entry, "threshXlow");
  row->qRxlevMin = MemberNumber(&entry, qRxlevMin);
}

void LayerRows(const JsonNode& list, const std::string& name, std::vector<NeighbourRow>* rows) {
  for (const JsonNode& entry : list.items) {
    NeighbourRow row;
    row.sib = "SIB19";
    if (name == "gsm_PriorityInfoList") {
      row.kind = "gsm_layer";
      const JsonNode* group = entry.Member("gsmCellGroup");
      row.gsmArfcn = MemberNumber(group, "startingARFCN");
      row.gsmBand = MemberText(group, "bandIndicator");
      PriorityRow(entry, &row, "qRxLevMinGSM");
      rows->push_back(row);
    } else if (name == "eutra_FrequencyAndPriorityInfoList") {
      row.kind = "eutra_layer";
      row.earfcn = MemberNumber(&entry, "earfcn");
      PriorityRow(entry, &row, "qRxLevMinEUTRA");
      rows->push_back(row);
      const JsonNode* blacklist = entry.Member("eutra_blackListedCellList");
      if (blacklist == nullptr || blacklist->kind != JsonNode::kArray) continue;
      for (const JsonNode& listed : blacklist->items) {
        NeighbourRow barred;
        barred.sib = "SIB19";
        barred.kind = "eutra_blacklisted";
        barred.earfcn = row.earfcn;
        barred.physicalCellId = MemberNumber(&listed, "physicalCellIdentity");
        rows->push_back(barred);
      }
    } else {
      const bool fdd = name == "utran_FDD_FrequencyList";
      row.kind = "utra_layer";
      row.mode = fdd ? "FDD" : "TDD";
      row.uarfcn = MemberNumber(&entry, "uarfcn");
      PriorityRow(entry, &row, fdd ? "qRxLevMinFDD" : "qRxLevMinTDD");
      rows->push_back(row);
    }
  }
}

bool EndsWith(const std::string& text, const char* end) {
  const size_t n = std::strlen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// Every list of neighbours under `node`, wherever the SIB's alternatives put it.
// A list of the same name right in an extension container ("sysInfoType11_v7b0ext")
// adds values to the cells of the list before it, in its order: no cells of its own.
void CollectRows(const JsonNode& node, bool extension, const SurveyCell& cell, const char* sib,
                 std::vector<NeighbourRow>* rows) {
  if (node.kind == JsonNode::kArray) {
    for (const JsonNode& item : node.items) CollectRows(item, false, cell, sib, rows);
    return;
  }
  if (node.kind != JsonNode::kObject) return;
  for (const auto& [name, child] : node.members) {
    if (child.kind == JsonNode::kArray && !extension) {
      if (name == "newIntraFreqCellList" || name == "newInterFreqCellList") {
        UtraCellRows(child, name == "newIntraFreqCellList", cell, sib, rows);
        continue;
      }
      if (name == "newInterRATCellList") {
        InterRatRows(child, sib, rows);
        continue;
      }
      if (name == "utran_FDD_FrequencyList" || name == "utran_TDD_FrequencyList" ||
          name == "gsm_PriorityInfoList" || name == "eutra_FrequencyAndPriorityInfoList") {
        LayerRows(child, name, rows);
        continue;
      }
    }
    CollectRows(child, EndsWith(name, "ext"), cell, sib, rows);
  }
}

std::vector<NeighbourRow> NeighbourRows(const SurveyCell& cell) {
  std::vector<NeighbourRow> rows;
  for (size_t i = 0; i < kNeighbourListSibCount; ++i) {
    if (cell.latestLists[i] != nullptr) {
      CollectRows(*cell.latestLists[i], false, cell, SibTypeName(kNeighbourListSibs[i]), &rows);
    }
  }
  return rows;
}

// ---- the three record kinds ----

const Column kCellColumns[] = {
    {"cell", "CELL", 4, false},
    {"arfcn", "ARFCN", 5, true},
    {"mode", "MODE", 13, true},
    {"plmn", "PLMN", 7, true},
    {"lac", "LAC", 5, false},
    {"rac", "RAC", 3, false},
    {"cell_identity", "CELL-ID", 9, true},
    {"cell_identity_hex", "HEX", 9, true},
    {"rnc_id", "RNC", 4, false},
    {"c_id", "C-ID", 5, false},
    {"first_time", "FIRST", 27, true},
    {"last_time", "LAST", 27, true},
    {"mib_value_tag", "MIB-TAG", 7, false},
    {"value_tags", "VALUE-TAGS", 10, true},
    {"intra_freq_cells", "INTRA", 5, false},
    {"inter_freq_cells", "INTER", 5, false},
    {"gsm_cells", "GSM", 3, false},
    {"eutra_frequencies", "EUTRA", 5, false},
    {"sibs", "SIBS (TYPE:COUNT/VERSIONS/CHANGES)", 1, true},
};

const Column kNeighbourColumns[] = {
    {"cell", "CELL", 4, false},
    {"serving_arfcn", "ARFCN", 5, true},
    {"serving_cell_identity", "CELL-ID", 9, true},
    {"sib", "SIB", 8, true},
    {"kind", "KIND", 17, true},
    {"neighbour_id", "ID", 3, false},
    {"mode", "MODE", 4, true},
    {"uarfcn", "UARFCN", 6, false},
    {"gsm_arfcn", "GSM-ARFCN", 9, false},
    {"gsm_band", "GSM-BAND", 15, true},
    {"earfcn", "EARFCN", 6, false},
    {"cell_parameters_id", "CPID", 4, false},
    {"primary_scrambling_code", "PSC", 3, false},
    {"ncc", "NCC", 3, false},
    {"bcc", "BCC", 3, false},
    {"physical_cell_id", "PCI", 3, false},
    {"priority", "PRIO", 4, false},
    {"thresh_x_high", "HIGH", 4, false},
    {"thresh_x_low", "LOW", 3, false},
    {"q_rxlev_min", "QRXLEVMIN", 9, false},
    {"q_offset", "QOFFSET", 7, false},
};

const Column kTimelineColumns[] = {
    {"cell", "CELL", 4, false},          {"type", "TYPE", 10, true},
    {"type_number", "NUMBER", 0, false}, {"time", "TIME", 27, true},
    {"version", "VERSION", 7, false},    {"changed", "CHANGED", 7, true},
    {"complete", "COMPLETE", 8, true},
};

template <size_t N>
constexpr size_t Count(const Column (&)[N]) {
  return N;
}

Cell ValueTagsCell(const SurveyCell& cell) {
  Cell result;
  if (!cell.hasMib) return result;
  result.json = "{";
  for (size_t i = 0; i < cell.valueTags.size(); ++i) {
    const SurveyValueTag& tag = cell.valueTags[i];
    if (i > 0) result.json.push_back(',');
    AppendJsonString(SibTypeName(tag.sibType), &result.json);
    result.json.push_back(':');
    result.json.append(tag.tag.present ? std::to_string(tag.tag.value) : "null");
    // In the table: SIB1=144,SIB7=- (a SIB scheduled without a tag).
    if (i > 0) result.table.push_back(',');
    result.table += std::string(SibTypeName(tag.sibType)) + "=" +
                    (tag.tag.present ? std::to_string(tag.tag.value) : "-");
  }
  result.json.push_back('}');
  return result;
}

Cell SibsCell(const SurveyCell& cell) {
  Cell result;
  result.json = "[";
  for (unsigned int type = 0; type < kSibTypeNumbers; ++type) {
    const SurveySibTally& tally = cell.tallies[type];
    if (tally.count == 0) continue;
    if (result.json.size() > 1) result.json.push_back(',');
    if (!result.table.empty()) result.table.push_back(' ');
    result.json += "{\"type\":";
    AppendJsonString(SibTypeName(type), &result.json);
    result.json += ",\"type_number\":" + std::to_string(type) +
                   ",\"count\":" + std::to_string(tally.count) +
                   ",\"versions\":" + std::to_string(tally.versions.size()) +
                   ",\"changes\":" + std::to_string(tally.changes) +
                   ",\"more_versions\":" + (tally.moreVersions ? "true" : "false") + "}";
    result.table += std::string(SibTypeName(type)) + ":" + std::to_string(tally.count) + "/" +
                    std::to_string(tally.versions.size()) + (tally.moreVersions ? "+" : "") + "/" +
                    std::to_string(tally.changes);
  }
  result.json.push_back(']');
  return result;
}

// A neighbour count of one kind; absent when no SIB of `lists` came.
Cell KindCount(const SurveyCell& cell, const std::vector<NeighbourRow>& rows, const char* kind,
               bool fromSib19) {
  bool seen = false;
  for (size_t i = 0; i < kNeighbourListSibCount; ++i) {
    const bool sib19 = kNeighbourListSibs[i] == kSibTypeExtension2Base;
    if (cell.latestLists[i] != nullptr && sib19 == fromSib19) seen = true;
  }
  uint64_t count = 0;
  for (const NeighbourRow& row : rows) {
    if (std::strcmp(row.kind, kind) == 0) ++count;
  }
  return UnsignedCell(seen, count);
}

}  // namespace

SurveyNumber NumberOf(const JsonNode* node) {
  SurveyNumber number;
  if (node != nullptr && node->IsInteger()) number = SurveyNumber{true, node->integer};
  return number;
}

const std::string* AlternativeOf(const JsonNode* node) {
  if (node == nullptr || node->kind != JsonNode::kObject || node->members.empty()) return nullptr;
  return &node->members.front().first;
}

void WriteCellRecords(const std::vector<SurveyCell>& cells, const std::vector<size_t>& order,
                      bool json, std::string* out) {
  std::vector<std::vector<Cell>> rows;
  for (size_t index = 0; index < order.size(); ++index) {
    const SurveyCell& cell = cells[order[index]];
    const std::vector<NeighbourRow> neighbours = NeighbourRows(cell);
    char hex[16] = "";
    (void)std::snprintf(hex, sizeof hex, "0x%07" PRIX32, cell.identity);
    rows.push_back({
        UnsignedCell(true, index),
        UnsignedCell(cell.hasArfcn, cell.arfcn),
        TextCell(cell.mode),
        TextCell(cell.plmn),
        NumberCell(cell.lac),
        NumberCell(cell.rac),
        UnsignedCell(cell.hasIdentity, cell.identity),
        cell.hasIdentity ? TextCell(hex) : Cell(),
        UnsignedCell(cell.hasIdentity, cell.identity >> 16),
        UnsignedCell(cell.hasIdentity, cell.identity & 0xFFFF),
        TimeCell(cell.hasTime, cell.first),
        TimeCell(cell.hasTime, cell.last),
        NumberCell(cell.mibValueTag),
        ValueTagsCell(cell),
        KindCount(cell, neighbours, "intra", false),
        KindCount(cell, neighbours, "inter", false),
        KindCount(cell, neighbours, "gsm", false),
        KindCount(cell, neighbours, "eutra_layer", true),
        SibsCell(cell),
    });
  }
  WriteRows(kCellColumns, Count(kCellColumns), rows, json, out);
}

void WriteNeighbourRecords(const std::vector<SurveyCell>& cells, const std::vector<size_t>& order,
                           bool json, std::string* out) {
  std::vector<std::vector<Cell>> rows;
  for (size_t index = 0; index < order.size(); ++index) {
    const SurveyCell& cell = cells[order[index]];
    for (const NeighbourRow& row : NeighbourRows(cell)) {
      rows.push_back({
          UnsignedCell(true, index),
          UnsignedCell(cell.hasArfcn, cell.arfcn),
          UnsignedCell(cell.hasIdentity, cell.identity),
          TextCell(row.sib),
          TextCell(row.kind),
          NumberCell(row.id),
          TextCell(row.mode),
          NumberCell(row.uarfcn),
          NumberCell(row.gsmArfcn),
          TextCell(row.gsmBand),
          NumberCell(row.earfcn),
          NumberCell(row.cellParametersId),
          NumberCell(row.scramblingCode),
          NumberCell(row.ncc),
          NumberCell(row.bcc),
          NumberCell(row.physicalCellId),
          NumberCell(row.priority),
          NumberCell(row.threshHigh),
          NumberCell(row.threshLow),
          NumberCell(row.qRxlevMin),
          NumberCell(row.qOffset),
      });
    }
  }
  WriteRows(kNeighbourColumns, Count(kNeighbourColumns), rows, json, out);
}

void WriteTimelineRecords(const std::vector<SurveyTimelineEntry>& timeline,
                          const std::vector<size_t>& order, bool json, std::string* out) {
  std::vector<int64_t> number(order.size());
  for (size_t i = 0; i < order.size(); ++i) number[order[i]] = static_cast<int64_t>(i);
  std::vector<std::vector<Cell>> rows;
  rows.reserve(timeline.size());
  for (const SurveyTimelineEntry& entry : timeline) {
    const bool placed = entry.cell >= 0 && static_cast<size_t>(entry.cell) < number.size();
    rows.push_back({
        NumberCell(SurveyNumber{placed, placed ? number[static_cast<size_t>(entry.cell)] : 0}),
        TextCell(SibTypeName(entry.sibType)),
        UnsignedCell(true, entry.sibType),
        TimeCell(entry.hasTime, entry.time),
        UnsignedCell(true, entry.version),
        BoolCell(entry.changed),
        BoolCell(entry.complete),
    });
  }
  WriteRows(kTimelineColumns, Count(kTimelineColumns), rows, json, out);
}

}  // namespace sibdecode
