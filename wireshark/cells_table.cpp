#include "cells_table.h"

#include <epan/packet.h>
#include <epan/stat_tap_ui.h>
#include <epan/tap.h>
#include <sibdecode/sibdecode.h>
#include <sibdecode/survey.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

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

constexpr char kTableName[] = "sibdecode cells";

// The table's cells are the library's survey of the SIBs the tap hands over:
// told apart by ARFCN, cell identity and PLMN as `sibdecode --cells` tells them.
struct TableState {
  sibdecode::CellSurvey* survey = nullptr;
  sibdecode::DecoderState* values = nullptr;  // the JSON of the SIBs whose values it reads
  std::vector<char> json;
  std::map<guint32, guint> dropsByArfcn;  // shown in the ARFCN's latest row
};

TableState state;

void SetString(stat_tap_table* table, guint row, guint column, gchar* text) {
  stat_tap_table_item_type* item = stat_tap_get_field_data(table, row, column);
  g_free(const_cast<char*>(item->value.string_value));
  item->value.string_value = text;
  stat_tap_set_field_data(table, row, column, item);
}

void SetUint(stat_tap_table* table, guint row, guint column, guint value) {
  stat_tap_table_item_type* item = stat_tap_get_field_data(table, row, column);
  item->value.uint_value = value;
  stat_tap_set_field_data(table, row, column, item);
}

// The survey reads the values of the master information block (the PLMN) and
// of SIB3 and SIB4 (the identity); of the others it tells contents apart by
// their bits.
bool ValuesNeeded(guint32 sibType) { return sibType == 0 || sibType == 3 || sibType == 4; }

void FeedSurvey(packet_info* pinfo, const CompletedSib& sib) {
  sibdecode::SurveySib input;
  input.sibType = sib.sibType;
  input.hasArfcn = true;
  input.arfcn = sib.cell;
  input.hasTime = true;
  input.seconds = pinfo->abs_ts.secs;
  input.microseconds = static_cast<uint32_t>(pinfo->abs_ts.nsecs / 1000);
  input.value = reinterpret_cast<const char*>(sib.bits);
  input.valueLen = sib.bitsLen;
  if (ValuesNeeded(sib.sibType) && sib.decoded && state.values != nullptr) {
    tagSystemInformationBlock summary;
    size_t length = 0;
    int result;
    do {
      if (length > state.json.size()) state.json.resize(length);
      result = sibdecode::DecodeSibJson(state.values, sib.sibType, sib.bits, sib.bitsLen, &summary,
                                        state.json.data(), state.json.size(), &length);
    } while (result == sibdecode::kTextTooSmall && length > state.json.size());
    if (result == sibdecode::kDecoded) {
      input.value = state.json.data();
      input.valueLen = length;
    }
  }
  sibdecode::AddSurveySib(state.survey, input);
}

// The rows as the survey sees its cells now: added as cells come, rewritten each time.
void RefreshRows(stat_tap_table* table) {
  std::vector<sibdecode::SurveyCellView> views(
      sibdecode::ViewSurveyCells(state.survey, nullptr, 0));
  views.resize(sibdecode::ViewSurveyCells(state.survey, views.data(), views.size()));
  std::map<guint32, guint> latestRow;
  for (guint row = 0; row < views.size(); ++row)
    latestRow[static_cast<guint32>(views[row].arfcn)] = row;
  for (guint row = 0; row < views.size(); ++row) {
    const sibdecode::SurveyCellView& view = views[row];
    if (row >= table->num_elements) {
      stat_tap_table_item_type items[kColumns] = {};
      for (guint column = 0; column < kColumns; ++column) items[column].type = kFields[column].type;
      for (Column column : {kIdentity, kPlmn, kSibs})
        items[column].value.string_value = g_strdup("");
      stat_tap_init_table_row(table, row, kColumns, items);
    }
    const auto arfcn = static_cast<guint32>(view.arfcn);
    SetUint(table, row, kArfcn, arfcn);
    SetString(table, row, kIdentity,
              view.hasIdentity ? g_strdup_printf("%u", view.identity) : g_strdup(""));
    SetString(table, row, kPlmn, g_strdup(view.plmn));
    GString* text = g_string_new("");
    for (guint type = 0; type < sibdecode::kSibTypeNumbers; ++type) {
      if (view.counts[type] == 0) continue;
      g_string_append_printf(text, "%s%s:%" G_GUINT64_FORMAT "/%" G_GUINT64_FORMAT,
                             text->len > 0 ? " " : "", sibdecode::SibTypeName(type),
                             view.counts[type], view.versions[type]);
    }
    SetString(table, row, kSibs, g_string_free(text, FALSE));
    const auto drops = state.dropsByArfcn.find(arfcn);
    SetUint(table, row, kDrops,
            latestRow[arfcn] == row && drops != state.dropsByArfcn.end() ? drops->second : 0);
  }
}

tap_packet_status CountFrame(void* tapdata, packet_info* pinfo, epan_dissect_t*, const void* data,
                             tap_flags_t) {
  auto* stat = static_cast<stat_data_t*>(tapdata);
  stat_tap_table* table = g_array_index(stat->stat_tap_data->tables, stat_tap_table*, 0);
  const auto* view = static_cast<const FrameView*>(data);
  const CompletedSib* sibs = view->own != nullptr ? view->own->sibs : nullptr;
  const DroppedChain* drops = view->own != nullptr ? view->own->drops : nullptr;
  if (state.survey == nullptr) return TAP_PACKET_DONT_REDRAW;
  for (const CompletedSib* s = sibs; s != nullptr; s = s->next) FeedSurvey(pinfo, *s);
  for (const DroppedChain* lists : {drops, view->ended}) {
    for (const DroppedChain* d = lists; d != nullptr; d = d->next) ++state.dropsByArfcn[d->cell];
  }
  if (sibs == nullptr && drops == nullptr && view->ended == nullptr) return TAP_PACKET_DONT_REDRAW;
  RefreshRows(table);
  return TAP_PACKET_REDRAW;
}

void FreeItem(stat_tap_table*, guint, guint, stat_tap_table_item_type* item) {
  if (item->type == TABLE_ITEM_STRING) {
    g_free(const_cast<char*>(item->value.string_value));
    item->value.string_value = nullptr;
  }
}

// A fresh survey; the rows are blanked (the table keeps them).
void ResetTable(stat_tap_table* table) {
  sibdecode::DestroyCellSurvey(state.survey);
  state.survey = sibdecode::CreateCellSurvey(false);
  if (state.values == nullptr) {
    state.values = sibdecode::CreateDecoderState();
    sibdecode::SetDecodeRelease(state.values, sibdecode::kReleaseLatest);
  }
  state.dropsByArfcn.clear();
  for (guint row = 0; table != nullptr && row < table->num_elements; ++row) {
    for (Column column : {kIdentity, kPlmn, kSibs}) SetString(table, row, column, g_strdup(""));
    SetUint(table, row, kArfcn, 0);
    SetUint(table, row, kDrops, 0);
  }
}

void InitTable(stat_tap_table_ui* ui) {
  stat_tap_table* table = stat_tap_find_table(ui, kTableName);
  if (table == nullptr) {
    stat_tap_add_table(ui, stat_tap_init_table(kTableName, kColumns, 0, nullptr));
  }
  ResetTable(table);
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
