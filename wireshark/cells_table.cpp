#include "cells_table.h"

#include <epan/packet.h>
#include <epan/stat_tap_ui.h>
#include <epan/tap.h>
#include <sibdecode/sibdecode.h>

#include <cstring>
#include <initializer_list>

#include "frame_notes.h"

namespace sibplugin {

namespace {

enum Column : guint { kArfcn, kIdentity, kPlmn, kSibs, kDrops, kColumns };

stat_tap_table_item kFields[kColumns] = {
    {TABLE_ITEM_UINT, TAP_ALIGN_LEFT, "ARFCN", "%u"},
    {TABLE_ITEM_STRING, TAP_ALIGN_LEFT, "Cell identity", "%s"},
    {TABLE_ITEM_STRING, TAP_ALIGN_LEFT, "PLMN", "%s"},
    {TABLE_ITEM_STRING, TAP_ALIGN_LEFT, "SIBs (type:count/versions)", "%s"},
    {TABLE_ITEM_UINT, TAP_ALIGN_RIGHT, "Drops", "%u"},
};

constexpr guint kSibTypes = sibdecode::kSibTypeNumbers;
constexpr char kTableName[] = "sibdecode cells";

// What a row counts, kept in its first field.
struct CellCounts {
  guint count[kSibTypes];
  guint versions[kSibTypes];  // distinct encodings
  GHashTable* seen;           // of guint64: the SIB type and a hash of its bits
};

guint64 VersionKey(const CompletedSib& sib) {
  guint64 hash = 14695981039346656037ull;  // FNV-1a over the bits
  for (guint i = 0; i < sib.bitsLen; ++i) hash = (hash ^ sib.bits[i]) * 1099511628211ull;
  hash ^= sib.bitsLen;
  return (hash & ~(guint64{0x1F} << 59)) | guint64{sib.sibType & 0x1F} << 59;
}

void SetString(stat_tap_table* table, guint row, guint column, gchar* text) {
  stat_tap_table_item_type* item = stat_tap_get_field_data(table, row, column);
  g_free(const_cast<char*>(item->value.string_value));
  item->value.string_value = text;
  stat_tap_set_field_data(table, row, column, item);
}

void AddToUint(stat_tap_table* table, guint row, guint column, guint value) {
  stat_tap_table_item_type* item = stat_tap_get_field_data(table, row, column);
  item->value.uint_value += value;
  stat_tap_set_field_data(table, row, column, item);
}

CellCounts* CountsOf(stat_tap_table* table, guint row) {
  return static_cast<CellCounts*>(stat_tap_get_field_data(table, row, kArfcn)->user_data.ptr_value);
}

// The cell's row, added when it is new.
guint RowOf(stat_tap_table* table, guint32 cell) {
  for (guint row = 0; row < table->num_elements; ++row) {
    if (stat_tap_get_field_data(table, row, kArfcn)->value.uint_value == cell) return row;
  }
  stat_tap_table_item_type items[kColumns] = {};
  for (guint column = 0; column < kColumns; ++column) items[column].type = kFields[column].type;
  items[kArfcn].value.uint_value = cell;
  auto* counts = g_new0(CellCounts, 1);
  counts->seen = g_hash_table_new_full(g_int64_hash, g_int64_equal, g_free, nullptr);
  items[kArfcn].user_data.ptr_value = counts;
  items[kIdentity].value.string_value = g_strdup("");
  items[kPlmn].value.string_value = g_strdup("");  // once the master information block is decoded
  items[kSibs].value.string_value = g_strdup("");
  const guint row = table->num_elements;
  stat_tap_init_table_row(table, row, kColumns, items);
  return row;
}

void CountSib(stat_tap_table* table, packet_info* pinfo, const CompletedSib& sib) {
  const guint row = RowOf(table, sib.cell);
  CellCounts& counts = *CountsOf(table, row);
  if (sib.sibType >= kSibTypes) return;
  ++counts.count[sib.sibType];
  auto* key = g_new(guint64, 1);
  *key = VersionKey(sib);
  if (g_hash_table_add(counts.seen, key)) ++counts.versions[sib.sibType];
  const unsigned int parts = sibdecode::SibSummaryParts(sib.sibType);
  ShownDecode shown;
  if ((parts & (sibdecode::kSummarySib3CellIdentity | sibdecode::kSummarySib4CellIdentity)) &&
      DecodeShown(sib, pinfo->pool, &shown)) {
    const unsigned int identity = parts & sibdecode::kSummarySib3CellIdentity
                                      ? shown.summary.sib3.cellIdentity
                                      : shown.summary.sib4.cellIdentity;
    SetString(table, row, kIdentity, g_strdup_printf("%u", identity));
  }
  GString* text = g_string_new("");
  for (guint type = 0; type < kSibTypes; ++type) {
    if (counts.count[type] == 0) continue;
    g_string_append_printf(text, "%s%s:%u/%u", text->len > 0 ? " " : "",
                           sibdecode::SibTypeName(type), counts.count[type], counts.versions[type]);
  }
  SetString(table, row, kSibs, g_string_free(text, FALSE));
}

tap_packet_status CountFrame(void* tapdata, packet_info* pinfo, epan_dissect_t*, const void* data,
                             tap_flags_t) {
  auto* stat = static_cast<stat_data_t*>(tapdata);
  stat_tap_table* table = g_array_index(stat->stat_tap_data->tables, stat_tap_table*, 0);
  const auto* view = static_cast<const FrameView*>(data);
  const CompletedSib* sibs = view->own != nullptr ? view->own->sibs : nullptr;
  const DroppedChain* drops = view->own != nullptr ? view->own->drops : nullptr;
  for (const CompletedSib* s = sibs; s != nullptr; s = s->next) CountSib(table, pinfo, *s);
  for (const DroppedChain* lists : {drops, view->ended}) {
    for (const DroppedChain* d = lists; d != nullptr; d = d->next) {
      AddToUint(table, RowOf(table, d->cell), kDrops, 1);
    }
  }
  return sibs != nullptr || drops != nullptr || view->ended != nullptr ? TAP_PACKET_REDRAW
                                                                       : TAP_PACKET_DONT_REDRAW;
}

void FreeItem(stat_tap_table*, guint, guint column, stat_tap_table_item_type* item) {
  if (column == kArfcn) {
    auto* counts = static_cast<CellCounts*>(item->user_data.ptr_value);
    if (counts != nullptr) g_hash_table_destroy(counts->seen);
    g_free(counts);
    item->user_data.ptr_value = nullptr;
  } else if (item->type == TABLE_ITEM_STRING) {
    g_free(const_cast<char*>(item->value.string_value));
    item->value.string_value = nullptr;
  }
}

void ResetTable(stat_tap_table* table) {
  for (guint row = 0; row < table->num_elements; ++row) {
    CellCounts& counts = *CountsOf(table, row);
    std::memset(counts.count, 0, sizeof counts.count);
    std::memset(counts.versions, 0, sizeof counts.versions);
    g_hash_table_remove_all(counts.seen);
    SetString(table, row, kIdentity, g_strdup(""));
    SetString(table, row, kSibs, g_strdup(""));
    stat_tap_get_field_data(table, row, kDrops)->value.uint_value = 0;
  }
}

void InitTable(stat_tap_table_ui* ui) {
  stat_tap_table* table = stat_tap_find_table(ui, kTableName);
  if (table != nullptr) {
    ResetTable(table);
    return;
  }
  stat_tap_add_table(ui, stat_tap_init_table(kTableName, kColumns, 0, nullptr));
}

tap_param kParams[] = {{PARAM_FILTER, "filter", "Filter", nullptr, TRUE}};

stat_tap_table_ui cellsTable = {
    REGISTER_STAT_GROUP_TELEPHONY_GSM,
    "sibdecode cells",
    "sibdecode",
    "sibdecode,cells",
    InitTable,
    CountFrame,
    ResetTable,
    FreeItem,
    nullptr,
    G_N_ELEMENTS(kFields),
    kFields,
    G_N_ELEMENTS(kParams),
    kParams,
    nullptr,
    0,
};

}  // namespace

void RegisterCellsTable() { register_stat_tap_table_ui(&cellsTable); }

}  // namespace sibplugin
