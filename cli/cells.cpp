#include "cells.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

// A number (blank when not present); identifiers left-aligned, counts right-aligned.
void NumberColumn(bool present, unsigned long long value, int width, bool left = false) {
  char buffer[32] = "";
  if (present) std::snprintf(buffer, sizeof(buffer), "%llu", value);
  char padded[64];
  const int n = std::snprintf(padded, sizeof(padded), left ? "%-*s " : "%*s ", width, buffer);
  OutAppend(padded, n > 0 && static_cast<size_t>(n) < sizeof(padded) ? n : 0);
}

constexpr int kTimeWidth = 27;  // 2026-01-15T09:00:00.040000Z

void TimeColumn(bool present, const struct timeval& time) {
  const size_t written = present ? OutUtcTime(time) : 0;
  for (size_t k = written; k < kTimeWidth + 1; ++k) OutLiteral(" ");
}

void WriteCellJson(uint64_t cellKey, const CellRecord& cell) {
  OutLiteral("{\"arfcn\":");
  JsonNumberOrNull(cellKey != kNoCellKey, cellKey);
  OutLiteral(",\"cellIdentity\":");
  JsonNumberOrNull(cell.hasIdentity, cell.identity);
  OutLiteral(",\"firstTime\":");
  JsonTime(cell.hasTime, cell.first);
  OutLiteral(",\"lastTime\":");
  JsonTime(cell.hasTime, cell.last);
  OutLiteral(",\"intraFreqCells\":");
  JsonNumberOrNull(cell.hasNeighbours, cell.intraCells);
  OutLiteral(",\"interFreqCells\":");
  JsonNumberOrNull(cell.hasNeighbours, cell.interCells);
  OutLiteral(",\"gsmCells\":");
  JsonNumberOrNull(cell.hasNeighbours, cell.gsmCells);
  OutLiteral(",\"sibs\":[");
  bool first = true;
  for (unsigned int type = 0; type < kSibTypes; ++type) {
    const SibTypeRecord& record = cell.types[type];
    if (record.count == 0) continue;
    if (!first) OutLiteral(",");
    first = false;
    OutLiteral("{\"type\":\"");  // named and numbered as in the SIB record
    OutAppend(sibdecode::SibTypeName(type), std::strlen(sibdecode::SibTypeName(type)));
    OutLiteral("\",\"type_number\":");
    OutUnsigned(type);
    OutLiteral(",\"count\":");
    OutUnsigned(record.count);
    OutLiteral(",\"versions\":");
    OutUnsigned(record.versions.size());
    if (record.versionsFull) {
      OutLiteral(",\"moreVersions\":true}");
    } else {
      OutLiteral(",\"moreVersions\":false}");
    }
  }
  OutLiteral("]}\n");
}

void WriteCellRow(uint64_t cellKey, const CellRecord& cell) {
  NumberColumn(cellKey != kNoCellKey, cellKey, 5, true);
  NumberColumn(cell.hasIdentity, cell.identity, 9, true);
  TimeColumn(cell.hasTime, cell.first);
  TimeColumn(cell.hasTime, cell.last);
  NumberColumn(cell.hasNeighbours, cell.intraCells, 5);
  NumberColumn(cell.hasNeighbours, cell.interCells, 5);
  NumberColumn(cell.hasNeighbours, cell.gsmCells, 3);
  bool first = true;
  for (unsigned int type = 0; type < kSibTypes; ++type) {
    const SibTypeRecord& record = cell.types[type];
    if (record.count == 0) continue;
    if (!first) OutLiteral(" ");
    first = false;
    OutAppend(sibdecode::SibTypeName(type), std::strlen(sibdecode::SibTypeName(type)));
    OutLiteral(":");
    OutUnsigned(record.count);
    OutLiteral("/");
    OutUnsigned(record.versions.size());
    if (record.versionsFull) OutLiteral("+");
  }
  OutLiteral("\n");
}

}  // namespace

bool RecordSib(CellBook& book, const SibSeen& sib, long long* copies) {
  CellRecord& cell = book.cells[sib.cellKey];
  if (sib.sibType >= kSibTypes) return true;
  SibTypeRecord& record = cell.types[sib.sibType];
  const std::string_view encoding(reinterpret_cast<const char*>(sib.encoding), sib.encodingLen);
  ++record.count;
  const uint64_t version = std::hash<std::string_view>()(encoding);
  if (record.versions.count(version) == 0) {
    if (record.versions.size() < kMaxVersionsPerType && book.versionsKept < kMaxVersionsKept) {
      record.versions.insert(version);
      ++book.versionsKept;
    } else {
      record.versionsFull = true;
      ++book.versionsNotKept;
    }
  }
  if (sib.decoded && sib.summary != nullptr) {
    const unsigned int parts = sibdecode::SibSummaryParts(sib.sibType);
    if (parts & (sibdecode::kSummarySib3CellIdentity | sibdecode::kSummarySib4CellIdentity)) {
      cell.hasIdentity = true;
      cell.identity = parts & sibdecode::kSummarySib3CellIdentity ? sib.summary->sib3.cellIdentity
                                                                  : sib.summary->sib4.cellIdentity;
    } else if ((parts & sibdecode::kSummaryNeighbourCells) &&
               sibdecode::IsDecodedSibType(sib.sibType)) {
      // The counts of the latest SIB11 or SIB12 (a SIB11bis lists cells besides them).
      cell.hasNeighbours = true;
      cell.intraCells = sib.summary->sib11.intraFreqCellCount;
      cell.interCells = sib.summary->sib11.interFreqCellCount;
      cell.gsmCells = sib.summary->sib11.interRATCellCount;
    }
  }
  if (record.printed && encoding == record.lastPrinted) {
    ++record.copiesSincePrint;
    ++book.copiesFolded;
    return false;
  }
  *copies = record.printed ? static_cast<long long>(record.copiesSincePrint) : -1;
  record.printed = true;
  record.lastPrinted.assign(encoding);
  record.copiesSincePrint = 0;
  return true;
}

void RecordTime(CellBook& book, uint64_t cellKey, const struct timeval& time) {
  CellRecord& cell = book.cells[cellKey];
  if (!cell.hasTime) cell.first = time;
  cell.last = time;
  cell.hasTime = true;
}

void WriteCellTable(const CellBook& book, bool json) {
  if (!json) {
    OutLiteral(
        "ARFCN CELL-ID   FIRST                       LAST                        INTRA INTER GSM "
        "SIBS (TYPE:COUNT/VERSIONS)\n");
  }
  for (const auto& [cellKey, cell] : book.cells) {
    if (json) {
      WriteCellJson(cellKey, cell);
    } else {
      WriteCellRow(cellKey, cell);
    }
  }
  OutEndRecord();
}

}  // namespace cli
