// Loads sibdecode.dll by name, as a 32-bit Microsoft-built host does, and checks
// its exports under the names and calling conventions such a host uses:
// - RRCParserX (__cdecl, bool in AL, caller pops) on every batch of a capture,
//   text and summary record equal byte for byte to what the Linux library gave;
// - the reentrant API under its mingw names, with the same outcomes;
// - the copy assignment of the seven record types (__thiscall: this in ECX,
//   the source on the stack, popped by the callee, this returned in EAX);
// - unloading and loading again.
// Usage: sibdecode_dll_test.exe CAPTURE.hex EXPECTED_RESULTS
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch_results.h"
#include "sibdecode/sibdecode.h"

namespace {

int failures = 0;

void Fail(const std::string& message) {
  ++failures;
  std::printf("FAIL: %s\n", message.c_str());
}

struct RawCall {
  uint32_t eax;
  uint32_t popped;  // bytes of stack the callee removed
};

// Calls `fn` the way compiled x86 code does, without trusting any calling
// convention attribute: `count` 32-bit arguments pushed last to first, ECX set
// to `ecx`. Returns EAX and how far the callee moved the stack pointer.
RawCall CallRaw(const void* fn, uint32_t ecx, const uint32_t* args, uint32_t count) {
  uint32_t eax = 0;
  uint32_t savedEsp = 0;
  uintptr_t cursor = reinterpret_cast<uintptr_t>(args);  // becomes ESP at the call
  uint32_t remaining = count;                            // becomes ESP after the call
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "testl %%edx, %%edx\n\t"
      "jz 2f\n"
      "1:\n\t"
      "pushl -4(%%edi,%%edx,4)\n\t"
      "decl %%edx\n\t"
      "jnz 1b\n"
      "2:\n\t"
      "movl %%esp, %%edi\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(eax), "=&S"(savedEsp), "+D"(cursor), "+d"(remaining), "+c"(ecx)
      : "b"(fn)
      : "memory", "cc");
  (void)savedEsp;
  return RawCall{eax, static_cast<uint32_t>(remaining - cursor)};
}

uint32_t Word(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

const char kParserName[] = "?RRCParserX@@YA_NPAEIPAUtagSystemInformationBlock@@PADAAI@Z";

// The reentrant API, exported under the names mingw gives it.
const char kCreateName[] = "_ZN9sibdecode18CreateDecoderStateEv";
const char kDestroyName[] = "_ZN9sibdecode19DestroyDecoderStateEPNS_12DecoderStateE";
const char kMaxTextSizeName[] = "_ZN9sibdecode11MaxTextSizeEj";
const char kDecodeBatchName[] =
    "_ZN9sibdecode11DecodeBatchEPNS_12DecoderStateEPKhjP25tagSystemInformationBlockPcjPj";
const char kDecodeSibName[] =
    "_ZN9sibdecode9DecodeSibEPNS_12DecoderStateEjPKhjP25tagSystemInformationBlockPcjPj";

using CreateFn = sibdecode::DecoderState* (*)();
using DestroyFn = void (*)(sibdecode::DecoderState*);
using MaxTextSizeFn = size_t (*)(size_t);
using DecodeBatchFn = int (*)(sibdecode::DecoderState*, const unsigned char*, size_t,
                              tagSystemInformationBlock*, char*, size_t, size_t*);

struct AssignExport {
  const char* name;
  size_t size;
};

const AssignExport kAssignExports[] = {
    {"??4tagSystemInformationBlock@@QAEAAU0@ABU0@@Z", sizeof(tagSystemInformationBlock)},
    {"??4tagSystemInformationBlockType3@@QAEAAU0@ABU0@@Z", sizeof(tagSystemInformationBlockType3)},
    {"??4tagSystemInformationBlockType4@@QAEAAU0@ABU0@@Z", sizeof(tagSystemInformationBlockType4)},
    {"??4tagSystemInformationBlockType11@@QAEAAU0@ABU0@@Z",
     sizeof(tagSystemInformationBlockType11)},
    {"??4tagIntraFreqCell@@QAEAAU0@ABU0@@Z", sizeof(tagIntraFreqCell)},
    {"??4tagInterFreqCell@@QAEAAU0@ABU0@@Z", sizeof(tagInterFreqCell)},
    {"??4tagInterRATCell@@QAEAAU0@ABU0@@Z", sizeof(tagInterRATCell)},
};

// How a C++ caller declares the member: this first, __thiscall.
using AssignFn = void*(__attribute__((thiscall)) *)(void* self, const void* source);

FARPROC Find(HMODULE dll, const char* name) {
  FARPROC fn = GetProcAddress(dll, name);
  if (fn == nullptr) Fail(std::string("no export ") + name);
  return fn;
}

// Copies one pattern over another through the raw convention, then a second
// pattern through a typed __thiscall pointer; the destination sits between
// guard bytes that must stay untouched.
void CheckAssign(HMODULE dll, const AssignExport& entry) {
  FARPROC fn = Find(dll, entry.name);
  if (fn == nullptr) return;
  const size_t kGuard = 16;
  for (int round = 0; round < 2; ++round) {
    std::vector<unsigned char> source(entry.size);
    for (size_t i = 0; i < source.size(); ++i) {
      source[i] = static_cast<unsigned char>(i * 7 + 1 + round * 101);
    }
    const std::vector<unsigned char> sourceBefore = source;
    std::vector<unsigned char> area(entry.size + 2 * kGuard, 0xEE);
    unsigned char* dest = area.data() + kGuard;
    std::memset(dest, 0xCC, entry.size);

    uint32_t returned = 0;
    if (round == 0) {
      const uint32_t args[] = {Word(source.data())};
      RawCall call = CallRaw(reinterpret_cast<const void*>(fn), Word(dest), args, 1);
      if (call.popped != 4) {
        Fail(std::string(entry.name) + ": callee removed " + std::to_string(call.popped) +
             " bytes of arguments, expected 4 (__thiscall)");
      }
      returned = call.eax;
    } else {
      AssignFn assign = reinterpret_cast<AssignFn>(reinterpret_cast<void*>(fn));
      returned = Word(assign(dest, source.data()));
    }
    const char* how = round == 0 ? " (raw call)" : " (typed call)";
    if (returned != Word(dest)) Fail(std::string(entry.name) + ": does not return this" + how);
    if (std::memcmp(dest, source.data(), entry.size) != 0) {
      Fail(std::string(entry.name) + ": copy differs from the source" + how);
    }
    if (source != sourceBefore) Fail(std::string(entry.name) + ": source changed" + how);
    for (size_t i = 0; i < kGuard; ++i) {
      if (area[i] != 0xEE || area[kGuard + entry.size + i] != 0xEE) {
        Fail(std::string(entry.name) + ": wrote outside the record" + how);
        break;
      }
    }
  }
}

// RRCParserX through the raw convention: cdecl leaves the five arguments on the stack.
dlltest::Outcome CallParser(FARPROC parser, const dlltest::Batch& batch, size_t textSize,
                            const char* where) {
  std::vector<unsigned char> data = batch.bytes;
  std::vector<char> text(textSize);
  tagSystemInformationBlock out;
  dlltest::PrepareCall(&text, &out);
  unsigned int textLen = dlltest::kTextLenMark;
  const uint32_t args[] = {Word(data.data()), static_cast<uint32_t>(data.size()), Word(&out),
                           Word(text.data()), Word(&textLen)};
  RawCall call = CallRaw(reinterpret_cast<const void*>(parser), 0, args, 5);
  if (call.popped != 0) {
    Fail(std::string(where) + ": RRCParserX removed " + std::to_string(call.popped) +
         " bytes of arguments, expected 0 (__cdecl)");
  }
  const uint32_t al = call.eax & 0xFF;
  if (al > 1) Fail(std::string(where) + ": RRCParserX returned AL = " + std::to_string(al));
  dlltest::Outcome outcome;
  dlltest::RecordCall(al != 0 ? 1 : 0, textLen, text, out, &outcome);
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CAPTURE.hex EXPECTED_RESULTS\n", argv[0]);
    return 2;
  }
  std::vector<dlltest::Batch> batches;
  std::string error;
  std::string expectedFile;
  if (!dlltest::ReadHexBatches(argv[1], &batches, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  if (!dlltest::ReadFile(argv[2], &expectedFile)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }

  HMODULE dll = LoadLibraryA("sibdecode.dll");
  if (dll == nullptr) {
    std::printf("FAIL: LoadLibrary(sibdecode.dll), error %lu\n", GetLastError());
    return 1;
  }
  FARPROC parser = Find(dll, kParserName);
  CreateFn create = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(Find(dll, kCreateName)));
  DestroyFn destroy = reinterpret_cast<DestroyFn>(reinterpret_cast<void*>(Find(dll, kDestroyName)));
  MaxTextSizeFn maxTextSize =
      reinterpret_cast<MaxTextSizeFn>(reinterpret_cast<void*>(Find(dll, kMaxTextSizeName)));
  DecodeBatchFn decodeBatch =
      reinterpret_cast<DecodeBatchFn>(reinterpret_cast<void*>(Find(dll, kDecodeBatchName)));
  Find(dll, kDecodeSibName);
  if (parser == nullptr || create == nullptr || destroy == nullptr || maxTextSize == nullptr ||
      decodeBatch == nullptr) {
    return 1;
  }

  for (const AssignExport& entry : kAssignExports) CheckAssign(dll, entry);

  // Every batch through RRCParserX and DecodeBatch, against the Linux outcomes.
  sibdecode::DecoderState* state = create();
  size_t pos = 0;
  size_t compared = 0;
  size_t decodedCount = 0;
  for (const dlltest::Batch& batch : batches) {
    const std::string where = std::string(argv[1]) + ":" + std::to_string(batch.line);
    dlltest::Outcome expectedParsed;
    dlltest::Outcome expectedBatched;
    if (!dlltest::GetOutcome(expectedFile, &pos, &expectedParsed) ||
        !dlltest::GetOutcome(expectedFile, &pos, &expectedBatched)) {
      Fail(where + ": no expected outcome (results file is for another capture)");
      break;
    }
    const size_t textSize = maxTextSize(batch.bytes.size());
    dlltest::Outcome parsed = CallParser(parser, batch, textSize, where.c_str());
    std::string difference = dlltest::FirstDifference(expectedParsed, parsed);
    if (!difference.empty()) Fail(where + ": RRCParserX: " + difference);

    std::vector<unsigned char> data = batch.bytes;
    std::vector<char> text(textSize);
    tagSystemInformationBlock out;
    dlltest::PrepareCall(&text, &out);
    size_t textLen = dlltest::kTextLenMark;
    int status =
        decodeBatch(state, data.data(), data.size(), &out, text.data(), text.size(), &textLen);
    dlltest::Outcome batched;
    dlltest::RecordCall(status, static_cast<uint32_t>(textLen), text, out, &batched);
    difference = dlltest::FirstDifference(expectedBatched, batched);
    if (!difference.empty()) Fail(where + ": DecodeBatch: " + difference);
    ++compared;
    if (parsed.result == 1) ++decodedCount;
  }
  if (pos != expectedFile.size()) Fail("the results file holds more batches than the capture");
  destroy(state);

  // The process-wide state is built again when the DLL is loaded again.
  if (!FreeLibrary(dll)) Fail("FreeLibrary");
  dll = LoadLibraryA("sibdecode.dll");
  if (dll == nullptr) {
    Fail("LoadLibrary after FreeLibrary");
  } else if (!batches.empty()) {
    parser = Find(dll, kParserName);
    maxTextSize =
        reinterpret_cast<MaxTextSizeFn>(reinterpret_cast<void*>(Find(dll, kMaxTextSizeName)));
    pos = 0;
    dlltest::Outcome expected;
    if (parser != nullptr && maxTextSize != nullptr &&
        dlltest::GetOutcome(expectedFile, &pos, &expected)) {
      const size_t textSize = maxTextSize(batches[0].bytes.size());
      std::string difference = dlltest::FirstDifference(
          expected, CallParser(parser, batches[0], textSize, "after reload"));
      if (!difference.empty()) Fail("after reload: RRCParserX: " + difference);
    }
    FreeLibrary(dll);
  }

  std::printf("%zu batches compared (%zu decoded), %zu copy assignments checked: %s\n", compared,
              decodedCount, sizeof(kAssignExports) / sizeof(kAssignExports[0]),
              failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
