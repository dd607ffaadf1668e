// The exported copy assignment of the seven summary record types.
//
// Hosts call tagX::operator=(const tagX&) out of line, so the library carries
// one function per type. The types themselves keep their implicit assignment,
// and with it standard layout and trivial copying; the functions below take the
// member's place in the export table: the member's mangled name (Itanium; on
// i686 Windows with the user-label underscore) and the member calling
// convention (this first; __thiscall on 32-bit Windows: this in ECX, the source
// on the stack, popped by the callee, the result in EAX). sibdecode.def gives
// them their Microsoft-decorated names in the DLL.
#include <cstddef>
#include <type_traits>

#include "sibdecode/sibdecode.h"

#if defined(_WIN32)
// Exported through sibdecode.def only: dllexport would hand the linker the
// label with its underscore already added.
#define SIBDECODE_ASSIGN_EXPORT
#else
#define SIBDECODE_ASSIGN_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && defined(__i386__)
#define SIBDECODE_MEMBER_CALL __attribute__((thiscall))
#else
#define SIBDECODE_MEMBER_CALL
#endif

#define SIBDECODE_STRINGIFY2(x) #x
#define SIBDECODE_STRINGIFY(x) SIBDECODE_STRINGIFY2(x)
#define SIBDECODE_SYMBOL(name) SIBDECODE_STRINGIFY(__USER_LABEL_PREFIX__) name

// Defines the copy assignment of `Type` under the symbol `mangled`. `Type` names
// a type in declarations, where parentheses cannot stand.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define SIBDECODE_EXPORT_ASSIGN(Type, mangled)                                            \
  static_assert(std::is_standard_layout<Type>::value, #Type " is standard layout");       \
  static_assert(std::is_trivially_copyable<Type>::value, #Type " is trivially copyable"); \
  SIBDECODE_ASSIGN_EXPORT SIBDECODE_MEMBER_CALL Type& Assign_##Type(                      \
      Type* self, const Type& source) __asm__(SIBDECODE_SYMBOL(mangled));                 \
  SIBDECODE_ASSIGN_EXPORT SIBDECODE_MEMBER_CALL Type& Assign_##Type(Type* self,           \
                                                                    const Type& source) { \
    *self = source;                                                                       \
    return *self;                                                                         \
  }
// NOLINTEND(bugprone-macro-parentheses)

SIBDECODE_EXPORT_ASSIGN(tagSystemInformationBlock, "_ZN25tagSystemInformationBlockaSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagSystemInformationBlockType3,
                        "_ZN30tagSystemInformationBlockType3aSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagSystemInformationBlockType4,
                        "_ZN30tagSystemInformationBlockType4aSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagSystemInformationBlockType11,
                        "_ZN31tagSystemInformationBlockType11aSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagIntraFreqCell, "_ZN16tagIntraFreqCellaSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagInterFreqCell, "_ZN16tagInterFreqCellaSERKS_")
SIBDECODE_EXPORT_ASSIGN(tagInterRATCell, "_ZN15tagInterRATCellaSERKS_")

// What a 32-bit Microsoft-built host assumes about the record and RRCParserX.
static_assert(sizeof(bool) == 1, "RRCParserX returns a one-byte bool");
static_assert(sizeof(tagSystemInformationBlockType3) == 4 &&
                  sizeof(tagSystemInformationBlockType4) == 4 &&
                  sizeof(tagSystemInformationBlockType11) == 1036 &&
                  alignof(tagSystemInformationBlock) == 4,
              "record sizes");
