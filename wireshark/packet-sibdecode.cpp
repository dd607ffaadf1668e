// Wireshark plugin: the SIBs of GSMTAP UMTS RRC BCCH-BCH blocks reassembled by
// sibdecode's streaming API, each handed to Wireshark's own RRC dissector for
// its type, with sibdecode's summary record beside it.
//
// GSMTAP hands it each UMTS RRC message first (its table of message types),
// then dissects the block as RRC as before; as a postdissector it adds its own
// tree to the frames that complete a SIB, carry an earlier segment of one, or
// give a chain up. Other packets are left as they were.
#include <epan/column-utils.h>
#include <epan/exceptions.h>
#include <epan/expert.h>
#include <epan/packet.h>
#include <epan/prefs.h>
#include <epan/proto.h>
#include <epan/proto_data.h>
#include <epan/tap.h>
#include <sibdecode/capture.h>
#include <sibdecode/gsmtap.h>
#include <ws_symbol_export.h>
#include <ws_version.h>
#include <wsutil/wmem/wmem.h>

#include <initializer_list>

#include "cells_table.h"
#include "frame_notes.h"

extern "C" {
#include <epan/show_exception.h>  // declared without C linkage for C++
}

extern "C" {
// extern: a const object has internal linkage in C++ otherwise.
WS_DLL_PUBLIC_DEF extern const gchar plugin_version[] = "0.1.0";
WS_DLL_PUBLIC_DEF extern const int plugin_want_major = WIRESHARK_VERSION_MAJOR;
WS_DLL_PUBLIC_DEF extern const int plugin_want_minor = WIRESHARK_VERSION_MINOR;
WS_DLL_PUBLIC void plugin_register(void);
}

namespace {

using sibplugin::CompletedSib;
using sibplugin::DroppedChain;
using sibplugin::FrameNotes;
using sibplugin::SegmentNote;

constexpr guint kSibTypes = sibdecode::kSibTypeNumbers;

// The SIB type's names and the drop reasons as the library words them, for
// the fields' value strings (filled at registration).
value_string sibTypeNames[kSibTypes + 1];
value_string dropReasons[6];

// Wireshark's RRC dissector of each SIB type's own encoding, named after the
// type: rrc.si.mib, rrc.si.sb1, rrc.si.sib15-1bis, rrc.si.sib19 (empty for
// extensionType itself, whose type the cell's schedule names).
char rrcDissectorNames[kSibTypes][32];

void RrcDissectorName(guint type, char* out, size_t capacity) {
  const char* name = sibdecode::SibTypeName(type);
  out[0] = '\0';
  if (name[0] == '?' || type == sibdecode::kSibTypeExtension) return;
  size_t n = static_cast<size_t>(g_snprintf(out, static_cast<gulong>(capacity), "rrc.si."));
  for (; *name != '\0' && n + 1 < capacity; ++name) {
    out[n++] = *name == '.' ? '-' : g_ascii_tolower(*name);
  }
  out[n] = '\0';
}

void FillValueStrings() {
  for (guint type = 0; type < kSibTypes; ++type) {
    sibTypeNames[type] = {type, sibdecode::SibTypeName(type)};
    RrcDissectorName(type, rrcDissectorNames[type], sizeof rrcDissectorNames[type]);
  }
  sibTypeNames[kSibTypes] = {0, nullptr};
  const sibdecode::ChainDropReason reasons[] = {sibdecode::kDropInterrupted,
                                                sibdecode::kDropOutOfOrder, sibdecode::kDropFlushed,
                                                sibdecode::kDropTooLate, sibdecode::kDropEvicted};
  guint n = 0;
  for (sibdecode::ChainDropReason reason : reasons) {
    dropReasons[n++] = {static_cast<guint32>(reason), sibdecode::ChainDropReasonText(reason)};
  }
  dropReasons[n] = {0, nullptr};
}

int proto_sibdecode = -1;
int sibdecode_tap = -1;
dissector_handle_t sibdecode_handle;
dissector_handle_t rrc_handles[kSibTypes];

sibdecode::RepeatedBlockFilter* repeats = nullptr;

gboolean pref_enabled = TRUE;
gboolean pref_cells_by_arfcn = TRUE;

int hf_sib = -1;
int hf_sib_type = -1;
int hf_cell = -1;
int hf_frame = -1;
int hf_decoded = -1;
int hf_complete = -1;
int hf_decode_report = -1;
int hf_sib_length = -1;
int hf_rrc = -1;
int hf_cell_identity = -1;
int hf_intra_count = -1;
int hf_intra = -1;
int hf_intra_id = -1;
int hf_intra_cpid = -1;
int hf_inter_count = -1;
int hf_inter = -1;
int hf_inter_id = -1;
int hf_inter_uarfcn = -1;
int hf_inter_cpid = -1;
int hf_gsm_count = -1;
int hf_gsm = -1;
int hf_gsm_id = -1;
int hf_gsm_bcch_arfcn = -1;
int hf_gsm_bsic = -1;
int hf_segment = -1;
int hf_segment_sib_type = -1;
int hf_segment_index = -1;
int hf_segment_count = -1;
int hf_reassembled_in = -1;
int hf_drop = -1;
int hf_drop_sib_type = -1;
int hf_drop_reason = -1;
int hf_drop_frame = -1;

gint ett_sibdecode = -1;
gint ett_sib = -1;
gint ett_rrc = -1;
gint ett_summary = -1;
gint ett_neighbour = -1;
gint ett_segment = -1;
gint ett_drop = -1;

expert_field ei_dropped = EI_INIT;
expert_field ei_wrong_size = EI_INIT;
expert_field ei_decode_stopped = EI_INIT;
expert_field ei_decode_warning = EI_INIT;

// ---- first pass: the GSMTAP BCCH-BCH block of a frame ----

// GSMTAP hands the message of a UMTS RRC packet to the dissector of its type
// (this one) before dissecting it itself. The GSMTAP header stands right in
// front of the message in the same data source: 16 to 60 bytes, starting
// with version 2, its length in 32-bit words and the UMTS RRC type. Returns
// the header and the message as one piece, or null.
const guint8* GsmtapBefore(tvbuff_t* message, gint messageBytes, gint* headerBytes) {
  tvbuff_t* source = tvb_get_ds_tvb(message);
  const gint at = tvb_raw_offset(message);
  if (source == nullptr || at < 0) return nullptr;
  for (gint words = 4; words <= 15 && 4 * words <= at; ++words) {
    const gint start = at - 4 * words;
    if (!tvb_bytes_exist(source, start, 4 * words + messageBytes)) return nullptr;
    const guint8* header = tvb_get_ptr(source, start, 4 * words + messageBytes);
    if (header[0] == 2 && header[1] == words && header[2] == sibdecode::kGsmtapTypeUmtsRrc) {
      *headerBytes = 4 * words;
      return header;
    }
  }
  return nullptr;
}

// First pass, each GSMTAP UMTS RRC message: the library's GSMTAP front end
// takes it to a BCH block and its cell, which is fed unless it repeats the
// cell's previous block (the same packet captured twice). A copy quoted in an
// ICMP error is not a packet of the cell. The frame's notes are kept with it.
// Returns 0: GSMTAP goes on to dissect the message as before.
int FeedGsmtapMessage(tvbuff_t* tvb, packet_info* pinfo, proto_tree*, void*) {
  if (!pref_enabled || PINFO_FD_VISITED(pinfo) || pinfo->flags.in_error_pkt) return 0;
  const auto captured = static_cast<gint>(tvb_captured_length(tvb));
  gint headerBytes = 0;
  const guint8* gsmtap = GsmtapBefore(tvb, captured, &headerBytes);
  if (gsmtap == nullptr) return 0;
  // The message ends with its UDP datagram; one cut short cannot hold a block.
  const bool cut = captured < static_cast<gint>(tvb_reported_length(tvb));
  sibdecode::GsmtapBch bch;
  const sibdecode::PacketKind kind = sibdecode::FindBchInGsmtap(
      gsmtap, static_cast<size_t>(headerBytes) + static_cast<size_t>(captured), cut, &bch);
  if (kind == sibdecode::PacketKind::kWrongSize) {
    sibplugin::NoteWrongSize(pinfo->num, tvb_reported_length(tvb));
  } else if (kind == sibdecode::PacketKind::kBchBlock) {
    const guint32 cell = pref_cells_by_arfcn ? bch.arfcn : 0;
    if (!sibdecode::IsRepeatedBlock(repeats, cell, bch)) {
      sibplugin::FeedBlock(pinfo->num, cell, bch.payload);
    }
  }
  return 0;
}

// ---- the tree ----

const char* FrameList(const guint32* frames, guint count) {
  wmem_strbuf_t* text = wmem_strbuf_new(wmem_packet_scope(), "");
  for (guint i = 0; i < count; ++i) {
    wmem_strbuf_append_printf(text, i == 0 ? "%u" : ", %u", frames[i]);
  }
  return wmem_strbuf_get_str(text);
}

proto_item* AddGenerated(proto_item* item) {
  proto_item_set_generated(item);
  return item;
}

void AddOptionalInt(proto_tree* tree, int hf, tvbuff_t* tvb, int value) {
  if (value == kAbsentValue) {
    AddGenerated(proto_tree_add_int_format_value(tree, hf, tvb, 0, 0, value, "absent"));
  } else {
    AddGenerated(proto_tree_add_int(tree, hf, tvb, 0, 0, value));
  }
}

guint ClampedCount(unsigned int count) { return count < 32 ? count : 32; }

void AddSummary(proto_tree* tree, tvbuff_t* tvb, const CompletedSib& sib,
                const tagSystemInformationBlock& summary) {
  proto_tree* subtree =
      proto_tree_add_subtree(tree, tvb, 0, 0, ett_summary, nullptr, "sibdecode summary record");
  const unsigned int parts = sibdecode::SibSummaryParts(sib.sibType);
  if (parts & (sibdecode::kSummarySib3CellIdentity | sibdecode::kSummarySib4CellIdentity)) {
    const unsigned int identity = parts & sibdecode::kSummarySib3CellIdentity
                                      ? summary.sib3.cellIdentity
                                      : summary.sib4.cellIdentity;
    AddGenerated(proto_tree_add_uint(subtree, hf_cell_identity, tvb, 0, 0, identity));
    return;
  }
  const tagSystemInformationBlockType11& cells = summary.sib11;
  const guint intraCount = ClampedCount(cells.intraFreqCellCount);
  AddGenerated(proto_tree_add_uint(subtree, hf_intra_count, tvb, 0, 0, cells.intraFreqCellCount));
  for (guint i = 0; i < intraCount; ++i) {
    const tagIntraFreqCell& cell = cells.intraFreqCells[i];
    proto_item* item =
        proto_tree_add_none_format(subtree, hf_intra, tvb, 0, 0, "Intra-frequency cell %u", i + 1);
    proto_tree* entry = proto_item_add_subtree(AddGenerated(item), ett_neighbour);
    AddOptionalInt(entry, hf_intra_id, tvb, cell.intraFreqCellID);
    AddOptionalInt(entry, hf_intra_cpid, tvb, cell.cellParametersID);
  }
  const guint interCount = ClampedCount(cells.interFreqCellCount);
  AddGenerated(proto_tree_add_uint(subtree, hf_inter_count, tvb, 0, 0, cells.interFreqCellCount));
  for (guint i = 0; i < interCount; ++i) {
    const tagInterFreqCell& cell = cells.interFreqCells[i];
    proto_item* item =
        proto_tree_add_none_format(subtree, hf_inter, tvb, 0, 0, "Inter-frequency cell %u", i + 1);
    proto_tree* entry = proto_item_add_subtree(AddGenerated(item), ett_neighbour);
    AddOptionalInt(entry, hf_inter_id, tvb, cell.interFreqCellID);
    AddOptionalInt(entry, hf_inter_uarfcn, tvb, cell.uarfcn_Nt);
    AddOptionalInt(entry, hf_inter_cpid, tvb, cell.cellParametersID);
  }
  const guint gsmCount = ClampedCount(cells.interRATCellCount);
  AddGenerated(proto_tree_add_uint(subtree, hf_gsm_count, tvb, 0, 0, cells.interRATCellCount));
  for (guint i = 0; i < gsmCount; ++i) {
    const tagInterRATCell& cell = cells.interRATCells[i];
    proto_item* item = proto_tree_add_none_format(subtree, hf_gsm, tvb, 0, 0, "GSM cell %u", i + 1);
    proto_tree* entry = proto_item_add_subtree(AddGenerated(item), ett_neighbour);
    AddOptionalInt(entry, hf_gsm_id, tvb, cell.interRATCellID);
    AddOptionalInt(entry, hf_gsm_bcch_arfcn, tvb, cell.bcch_ARFCN);
    AddOptionalInt(entry, hf_gsm_bsic, tvb, cell.bsic);
  }
}

// Wireshark's RRC dissector of the SIB's type over the SIB's own bits, in a
// data source of their own. Its columns are left as the block's dissection
// set them, and an exception ends only this subtree.
void AddRrcTree(proto_tree* tree, tvbuff_t* tvb, packet_info* pinfo, const CompletedSib& sib) {
  dissector_handle_t handle = sib.sibType < kSibTypes ? rrc_handles[sib.sibType] : nullptr;
  const auto length = static_cast<gint>(sib.bitsLen);
  tvbuff_t* bits = tvb_new_child_real_data(tvb, sib.bits, length, length);
  add_new_data_source(pinfo, bits, "Reassembled SIB");
  if (handle == nullptr) {
    proto_tree_add_none_format(tree, hf_rrc, bits, 0, -1, "No RRC dissector for SIB type %u",
                               sib.sibType);
    return;
  }
  proto_item* item = proto_tree_add_none_format(tree, hf_rrc, bits, 0, -1, "RRC (%s)",
                                                rrcDissectorNames[sib.sibType]);
  proto_tree* rrcTree = proto_item_add_subtree(item, ett_rrc);
  const gboolean columnsWritable = col_get_writable(pinfo->cinfo, -1);
  col_set_writable(pinfo->cinfo, -1, FALSE);
  TRY { call_dissector_only(handle, bits, pinfo, rrcTree, nullptr); }
  CATCH_NONFATAL_ERRORS { show_exception(bits, pinfo, rrcTree, EXCEPT_CODE, GET_MESSAGE); }
  ENDTRY;
  col_set_writable(pinfo->cinfo, -1, columnsWritable);
}

void AddCompletedSib(proto_tree* tree, tvbuff_t* tvb, packet_info* pinfo, const CompletedSib& sib) {
  proto_item* item = proto_tree_add_none_format(
      tree, hf_sib, tvb, 0, 0, "SIB type %u, reassembled from frame%s %s", sib.sibType,
      sib.frameCount == 1 ? "" : "s", FrameList(sib.frames, sib.frameCount));
  proto_tree* subtree = proto_item_add_subtree(AddGenerated(item), ett_sib);
  AddGenerated(proto_tree_add_uint(subtree, hf_sib_type, tvb, 0, 0, sib.sibType));
  AddGenerated(proto_tree_add_uint(subtree, hf_cell, tvb, 0, 0, sib.cell));
  for (guint i = 0; i < sib.frameCount; ++i) {
    AddGenerated(proto_tree_add_uint(subtree, hf_frame, tvb, 0, 0, sib.frames[i]));
  }
  AddGenerated(proto_tree_add_uint(subtree, hf_sib_length, tvb, 0, 0, sib.bitsLen));
  sibplugin::ShownDecode shown;
  const bool decoded = sibplugin::DecodeShown(sib, pinfo->pool, &shown);
  AddGenerated(proto_tree_add_boolean(subtree, hf_decoded, tvb, 0, 0, decoded));
  if (decoded) {
    AddGenerated(proto_tree_add_boolean(subtree, hf_complete, tvb, 0, 0, shown.complete));
  }
  if (decoded && shown.note != nullptr) {
    proto_item* note =
        AddGenerated(proto_tree_add_string(subtree, hf_decode_report, tvb, 0, 0, shown.note));
    expert_add_info_format(pinfo, note, shown.complete ? &ei_decode_warning : &ei_decode_stopped,
                           "SIB type %u: %s", sib.sibType, shown.note);
  }
  AddRrcTree(subtree, tvb, pinfo, sib);
  if (decoded && shown.hasSummary) AddSummary(subtree, tvb, sib, shown.summary);
}

void AddSegment(proto_tree* tree, tvbuff_t* tvb, const SegmentNote& segment) {
  proto_item* item = proto_tree_add_none_format(
      tree, hf_segment, tvb, 0, 0, "Segment %u of %u of SIB type %u, reassembled in frame %u",
      segment.index, segment.count, segment.sibType, segment.reassembledIn);
  proto_tree* subtree = proto_item_add_subtree(AddGenerated(item), ett_segment);
  AddGenerated(proto_tree_add_uint(subtree, hf_segment_sib_type, tvb, 0, 0, segment.sibType));
  AddGenerated(proto_tree_add_uint(subtree, hf_cell, tvb, 0, 0, segment.cell));
  AddGenerated(proto_tree_add_uint(subtree, hf_segment_index, tvb, 0, 0, segment.index));
  AddGenerated(proto_tree_add_uint(subtree, hf_segment_count, tvb, 0, 0, segment.count));
  AddGenerated(proto_tree_add_uint(subtree, hf_reassembled_in, tvb, 0, 0, segment.reassembledIn));
}

void AddDrop(proto_tree* tree, tvbuff_t* tvb, packet_info* pinfo, const DroppedChain& drop) {
  const char* reason = sibdecode::ChainDropReasonText(drop.reason);
  proto_item* item = proto_tree_add_none_format(
      tree, hf_drop, tvb, 0, 0, "SIB type %u dropped (frame%s %s): %s", drop.sibType,
      drop.frameCount == 1 ? "" : "s", FrameList(drop.frames, drop.frameCount), reason);
  proto_tree* subtree = proto_item_add_subtree(AddGenerated(item), ett_drop);
  AddGenerated(proto_tree_add_uint(subtree, hf_drop_sib_type, tvb, 0, 0, drop.sibType));
  AddGenerated(proto_tree_add_uint(subtree, hf_cell, tvb, 0, 0, drop.cell));
  AddGenerated(proto_tree_add_uint(subtree, hf_drop_reason, tvb, 0, 0, drop.reason));
  for (guint i = 0; i < drop.frameCount; ++i) {
    AddGenerated(proto_tree_add_uint(subtree, hf_drop_frame, tvb, 0, 0, drop.frames[i]));
  }
  expert_add_info_format(pinfo, item, &ei_dropped, "SIB type %u on cell %u dropped: %s",
                         drop.sibType, drop.cell, reason);
}

// The Info column of a frame that completes SIBs says so, behind what the
// block's own dissection wrote: "SIB3, SIB11 (reassembled from 6-12)".
void AddToInfo(packet_info* pinfo, const FrameNotes& notes) {
  for (const CompletedSib* s = notes.sibs; s != nullptr; s = s->next) {
    const char* name = sibdecode::SibTypeName(s->sibType);
    if (s->frameCount > 1) {
      col_append_sep_fstr(pinfo->cinfo, COL_INFO, s == notes.sibs ? " " : ", ",
                          "%s (reassembled from %u-%u)", name, s->frames[0],
                          s->frames[s->frameCount - 1]);
    } else {
      col_append_sep_str(pinfo->cinfo, COL_INFO, s == notes.sibs ? " " : ", ", name);
    }
  }
}

int DissectSibdecode(tvbuff_t* tvb, packet_info* pinfo, proto_tree* tree, void*) {
  if (!pref_enabled) return 0;
  sibplugin::FrameView view = {};
  if (PINFO_FD_VISITED(pinfo)) {
    sibplugin::ReportPendingAsEnded();  // the first pass is over: every block came
    view.ended = sibplugin::EndedChainsOf(pinfo->num);
  }
  view.own = sibplugin::NotesOf(pinfo->num);
  view.wrongSize = sibplugin::WrongSizeOf(pinfo->num, &view.wrongPayloadSize);
  // None yet on the first pass: the SIB completes in a later frame.
  view.hasSegment = sibplugin::SegmentOf(pinfo->num, &view.segment);
  if (view.own == nullptr && !view.hasSegment && view.ended == nullptr && !view.wrongSize) return 0;
  if (view.own != nullptr && view.own->sibs != nullptr) AddToInfo(pinfo, *view.own);
  tap_queue_packet(sibdecode_tap, pinfo, wmem_memdup(pinfo->pool, &view, sizeof view));
  // The subtree only for a tree that is shown or a filter on its fields.
  if (tree == nullptr || !proto_field_is_referenced(tree, proto_sibdecode)) return 0;

  proto_item* top = proto_tree_add_item(tree, proto_sibdecode, tvb, 0, 0, ENC_NA);
  proto_tree* subtree = proto_item_add_subtree(top, ett_sibdecode);
  if (view.hasSegment) AddSegment(subtree, tvb, view.segment);
  if (view.own != nullptr) {
    for (const DroppedChain* d = view.own->drops; d != nullptr; d = d->next) {
      AddDrop(subtree, tvb, pinfo, *d);
    }
    for (const CompletedSib* s = view.own->sibs; s != nullptr; s = s->next) {
      AddCompletedSib(subtree, tvb, pinfo, *s);
    }
  }
  if (view.wrongSize) {
    expert_add_info_format(pinfo, top, &ei_wrong_size,
                           "BCCH-BCH message of %u bytes, expected %zu: not reassembled",
                           view.wrongPayloadSize, sibdecode::kBchBlockBytes);
  }
  for (const DroppedChain* d = view.ended; d != nullptr; d = d->next) {
    AddDrop(subtree, tvb, pinfo, *d);
  }
  return 0;  // nothing of the packet's own bytes is taken
}

void EndCapture() {
  sibplugin::EndCapture();
  sibdecode::DestroyRepeatedBlockFilter(repeats);
  repeats = nullptr;
}

void InitCapture() {
  EndCapture();
  repeats = sibdecode::CreateRepeatedBlockFilter();
  if (!sibplugin::StartCapture() || repeats == nullptr) {
    ws_warning("sibdecode: out of memory, SIBs are not reassembled");
  }
}

void ProtoRegister() {
  static hf_register_info hf[] = {
      {&hf_sib,
       {"Reassembled SIB", "sibdecode.sib", FT_NONE, BASE_NONE, nullptr, 0x0, nullptr, HFILL}},
      {&hf_sib_type,
       {"SIB type", "sibdecode.sib_type", FT_UINT32, BASE_DEC, VALS(sibTypeNames), 0x0, nullptr,
        HFILL}},
      {&hf_cell,
       {"Cell (GSMTAP ARFCN)", "sibdecode.cell", FT_UINT32, BASE_DEC, nullptr, 0x0,
        "The cell the blocks were followed in: their ARFCN, or 0 when the capture is one cell",
        HFILL}},
      {&hf_frame,
       {"Carried in frame", "sibdecode.frame", FT_FRAMENUM, BASE_NONE,
        FRAMENUM_TYPE(FT_FRAMENUM_NONE), 0x0, nullptr, HFILL}},
      {&hf_sib_length,
       {"SIB length (bytes)", "sibdecode.sib_length", FT_UINT32, BASE_DEC, nullptr, 0x0, nullptr,
        HFILL}},
      {&hf_decoded,
       {"Decoded by sibdecode", "sibdecode.decoded", FT_BOOLEAN, BASE_NONE, nullptr, 0x0, nullptr,
        HFILL}},
      {&hf_complete,
       {"Decoded to its end", "sibdecode.complete", FT_BOOLEAN, BASE_NONE, nullptr, 0x0,
        "False when sibdecode's decode stopped before the end of the SIB", HFILL}},
      {&hf_decode_report,
       {"Decode report", "sibdecode.report", FT_STRING, BASE_NONE, nullptr, 0x0,
        "Where the decode stopped and why, and the SIB's departures from its constraints", HFILL}},
      {&hf_rrc, {"RRC", "sibdecode.rrc", FT_NONE, BASE_NONE, nullptr, 0x0, nullptr, HFILL}},
      {&hf_cell_identity,
       {"Cell identity", "sibdecode.cell_identity", FT_UINT32, BASE_DEC_HEX, nullptr, 0x0, nullptr,
        HFILL}},
      {&hf_intra_count,
       {"Intra-frequency cells", "sibdecode.intra_freq_cells", FT_UINT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_intra,
       {"Intra-frequency cell", "sibdecode.intra_freq_cell", FT_NONE, BASE_NONE, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_intra_id,
       {"Intra-frequency cell ID", "sibdecode.intra_freq_cell.id", FT_INT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_intra_cpid,
       {"Cell parameters ID", "sibdecode.intra_freq_cell.cell_parameters_id", FT_INT32, BASE_DEC,
        nullptr, 0x0, nullptr, HFILL}},
      {&hf_inter_count,
       {"Inter-frequency cells", "sibdecode.inter_freq_cells", FT_UINT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_inter,
       {"Inter-frequency cell", "sibdecode.inter_freq_cell", FT_NONE, BASE_NONE, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_inter_id,
       {"Inter-frequency cell ID", "sibdecode.inter_freq_cell.id", FT_INT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_inter_uarfcn,
       {"UARFCN (Nt)", "sibdecode.inter_freq_cell.uarfcn", FT_INT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_inter_cpid,
       {"Cell parameters ID", "sibdecode.inter_freq_cell.cell_parameters_id", FT_INT32, BASE_DEC,
        nullptr, 0x0, nullptr, HFILL}},
      {&hf_gsm_count,
       {"GSM cells", "sibdecode.gsm_cells", FT_UINT32, BASE_DEC, nullptr, 0x0, nullptr, HFILL}},
      {&hf_gsm,
       {"GSM cell", "sibdecode.gsm_cell", FT_NONE, BASE_NONE, nullptr, 0x0, nullptr, HFILL}},
      {&hf_gsm_id,
       {"Inter-RAT cell ID", "sibdecode.gsm_cell.id", FT_INT32, BASE_DEC, nullptr, 0x0, nullptr,
        HFILL}},
      {&hf_gsm_bcch_arfcn,
       {"BCCH ARFCN", "sibdecode.gsm_cell.bcch_arfcn", FT_INT32, BASE_DEC, nullptr, 0x0, nullptr,
        HFILL}},
      {&hf_gsm_bsic,
       {"BSIC (NCC * 10 + BCC)", "sibdecode.gsm_cell.bsic", FT_INT32, BASE_DEC, nullptr, 0x0,
        nullptr, HFILL}},
      {&hf_segment,
       {"Segment", "sibdecode.segment", FT_NONE, BASE_NONE, nullptr, 0x0, nullptr, HFILL}},
      {&hf_segment_sib_type,
       {"SIB type", "sibdecode.segment.sib_type", FT_UINT32, BASE_DEC, VALS(sibTypeNames), 0x0,
        nullptr, HFILL}},
      {&hf_segment_index,
       {"Segment", "sibdecode.segment.index", FT_UINT32, BASE_DEC, nullptr, 0x0, nullptr, HFILL}},
      {&hf_segment_count,
       {"Segments", "sibdecode.segment.count", FT_UINT32, BASE_DEC, nullptr, 0x0, nullptr, HFILL}},
      {&hf_reassembled_in,
       {"Reassembled in", "sibdecode.reassembled_in", FT_FRAMENUM, BASE_NONE,
        FRAMENUM_TYPE(FT_FRAMENUM_NONE), 0x0, nullptr, HFILL}},
      {&hf_drop,
       {"Dropped SIB", "sibdecode.drop", FT_NONE, BASE_NONE, nullptr, 0x0, nullptr, HFILL}},
      {&hf_drop_sib_type,
       {"SIB type", "sibdecode.drop.sib_type", FT_UINT32, BASE_DEC, VALS(sibTypeNames), 0x0,
        nullptr, HFILL}},
      {&hf_drop_reason,
       {"Reason", "sibdecode.drop.reason", FT_UINT32, BASE_DEC, VALS(dropReasons), 0x0, nullptr,
        HFILL}},
      {&hf_drop_frame,
       {"Carried in frame", "sibdecode.drop.frame", FT_FRAMENUM, BASE_NONE,
        FRAMENUM_TYPE(FT_FRAMENUM_NONE), 0x0, nullptr, HFILL}},
  };
  static gint* ett[] = {&ett_sibdecode, &ett_sib,     &ett_rrc, &ett_summary,
                        &ett_neighbour, &ett_segment, &ett_drop};
  static ei_register_info ei[] = {
      {&ei_dropped, {"sibdecode.dropped", PI_SEQUENCE, PI_WARN, "SIB segments given up", EXPFILL}},
      {&ei_wrong_size,
       {"sibdecode.wrong_size", PI_MALFORMED, PI_WARN, "BCCH-BCH message not 31 bytes long",
        EXPFILL}},
      {&ei_decode_stopped,
       {"sibdecode.stopped", PI_MALFORMED, PI_WARN, "SIB decode stopped before the SIB's end",
        EXPFILL}},
      {&ei_decode_warning,
       {"sibdecode.decode_warning", PI_PROTOCOL, PI_NOTE, "SIB departs from a constraint",
        EXPFILL}},
  };

  FillValueStrings();
  proto_sibdecode = proto_register_protocol("SIB reassembly (sibdecode)", "sibdecode", "sibdecode");
  proto_register_field_array(proto_sibdecode, hf, G_N_ELEMENTS(hf));
  proto_register_subtree_array(ett, G_N_ELEMENTS(ett));
  expert_register_field_array(expert_register_protocol(proto_sibdecode), ei, G_N_ELEMENTS(ei));

  module_t* module = prefs_register_protocol(proto_sibdecode, nullptr);
  prefs_register_bool_preference(module, "enabled", "Reassemble SIBs",
                                 "Follow the GSMTAP BCCH-BCH blocks and show each SIB whole",
                                 &pref_enabled);
  prefs_register_bool_preference(
      module, "cells_by_arfcn", "Tell cells apart by their ARFCN",
      "Off: the capture is one cell (for tools that write ARFCN 0 for every cell)",
      &pref_cells_by_arfcn);

  sibdecode_tap = register_tap("sibdecode");
  sibplugin::RegisterCellsTable();
  sibplugin::RegisterFrameNotes();
  register_init_routine(InitCapture);
  register_cleanup_routine(EndCapture);
  sibdecode_handle = create_dissector_handle(DissectSibdecode, proto_sibdecode);
  register_postdissector(sibdecode_handle);
}

void ProtoRegisterHandoff() {
  for (guint type = 0; type < kSibTypes; ++type) {
    const char* name = rrcDissectorNames[type];
    rrc_handles[type] = name[0] != '\0' ? find_dissector(name) : nullptr;
  }
  // The blocks come from GSMTAP's table of message types, so that no tree is
  // built for them: a pass without one costs little more than without the plugin.
  dissector_add_uint("gsmtap.type", sibdecode::kGsmtapTypeUmtsRrc,
                     create_dissector_handle(FeedGsmtapMessage, proto_sibdecode));
}

}  // namespace

void plugin_register(void) {
  static proto_plugin plugin;
  plugin.register_protoinfo = ProtoRegister;
  plugin.register_handoff = ProtoRegisterHandoff;
  proto_register_plugin(&plugin);
}
