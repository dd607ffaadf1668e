#include "api/sib_dispatch.h"

#include <cstring>

#include "print/generated/rrc_json.h"
#include "print/generated/rrc_print.h"
#include "rrc/generated/rrc_types.h"

namespace sibdecode {

namespace {

constexpr uint32_t kSibTypeCount = 32;

// Adapts one SIB's typed Init, Decode, Print and Release to a dispatch row.
template <typename Record, void (*Init)(Record*), int (*Decode)(PerContext*, Record*),
          int (*Print)(TextCursor&, const Record&), int (*Json)(TextCursor&, const Record&),
          void (*Release)(Record*)>
struct SibOps {
  static_assert(sizeof(Record) <= kMaxSibRecordSize,
                "SIB record exceeds the entry point's storage");
  // Zero-filled first (of a size known here, so without a library call), so
  // members a stopped decode never reached print as 0; then the defaults.
  static void InitRecord(void* r) {
    std::memset(r, 0, sizeof(Record));
    Init(static_cast<Record*>(r));
  }
  static int DecodeRecord(PerContext* ctx, void* r) { return Decode(ctx, static_cast<Record*>(r)); }
  static int PrintRecord(TextCursor& c, const void* r) {
    return Print(c, *static_cast<const Record*>(r));
  }
  static int PrintJson(TextCursor& c, const void* r) {
    return Json(c, *static_cast<const Record*>(r));
  }
  static void ReleaseRecord(void* r) { Release(static_cast<Record*>(r)); }
  static constexpr SibDispatchRow Row(CellIdentityTarget cellIdentity) noexcept {
    return {sizeof(Record), InitRecord,    DecodeRecord, PrintRecord,
            PrintJson,      ReleaseRecord, cellIdentity};
  }
};

#define SIB_ROW(T, cellIdentity)                                           \
  SibOps<T, Init##T, Decode##T, Print##T##Text, Json##T, Release##T>::Row( \
      CellIdentityTarget::cellIdentity)

const SibDispatchRow kSib1 = SIB_ROW(SysInfoType1, None);
const SibDispatchRow kSib2 = SIB_ROW(SysInfoType2, None);
const SibDispatchRow kSib3 = SIB_ROW(SysInfoType3, Sib3);
const SibDispatchRow kSib4 = SIB_ROW(SysInfoType4, Sib4);
const SibDispatchRow kSib5 = SIB_ROW(SysInfoType5, None);
const SibDispatchRow kSib6 = SIB_ROW(SysInfoType6, None);
const SibDispatchRow kSib7 = SIB_ROW(SysInfoType7, None);
const SibDispatchRow kSib11 = SIB_ROW(SysInfoType11, None);
const SibDispatchRow kSib12 = SIB_ROW(SysInfoType12, None);
const SibDispatchRow kSib13 = SIB_ROW(SysInfoType13, None);

#undef SIB_ROW

// Indexed by the SIB-Type value; a null row means the type is not decoded
// (0 master information block, 8 to 10, 14 to 31: further SIBs, scheduling blocks).
const SibDispatchRow* const kSibDispatchTable[kSibTypeCount] = {
    nullptr, &kSib1,  &kSib2,  &kSib3,  &kSib4,  &kSib5,  &kSib6,  &kSib7,
    nullptr, nullptr, nullptr, &kSib11, &kSib12, &kSib13, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

const SibDispatchRow* FindSibRow(uint32_t sibType) {
  return sibType < kSibTypeCount ? kSibDispatchTable[sibType] : nullptr;
}

}  // namespace sibdecode
