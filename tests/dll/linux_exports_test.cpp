// The shared library as a host loads it: the copy assignment of each summary
// record type is in its dynamic symbol table under the member's mangled name,
// behaves as member-wise assignment, and RRCParserX works right after dlopen.
#include <cxxabi.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sibdecode/sibdecode.h"

namespace {

class SharedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(SIBDECODE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle_ = nullptr;
};

std::string Demangle(const char* name) {
  int status = 0;
  char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string result = status == 0 && text != nullptr ? text : "";
  std::free(text);
  return result;
}

// Calls the exported function as the member is called (this first) on a record
// between guard bytes; a pattern source must arrive whole and nothing else change.
template <typename T>
void CheckAssign(void* symbol) {
  using AssignFn = T& (*)(T*, const T&);
  AssignFn assign = reinterpret_cast<AssignFn>(symbol);

  T source;
  unsigned char* sourceBytes = reinterpret_cast<unsigned char*>(&source);
  for (size_t i = 0; i < sizeof(T); ++i) sourceBytes[i] = static_cast<unsigned char>(i * 7 + 1);
  std::vector<unsigned char> sourceBefore(sourceBytes, sourceBytes + sizeof(T));
  struct Guarded {
    unsigned char before[16];
    T record;
    unsigned char after[16];
  } area;
  std::memset(&area, 0xEE, sizeof area);
  std::memset(&area.record, 0xCC, sizeof(T));

  EXPECT_EQ(&assign(&area.record, source), &area.record);
  EXPECT_EQ(std::memcmp(&area.record, &source, sizeof(T)), 0);
  EXPECT_EQ(std::memcmp(&source, sourceBefore.data(), sizeof(T)), 0);
  for (size_t i = 0; i < sizeof area.before; ++i) {
    EXPECT_EQ(area.before[i], 0xEE) << "before the record, byte " << i;
    EXPECT_EQ(area.after[i], 0xEE) << "after the record, byte " << i;
  }
}

struct AssignExport {
  const char* symbol;
  const char* type;
  void (*check)(void* symbol);
};

const AssignExport kAssignExports[] = {
    {"_ZN25tagSystemInformationBlockaSERKS_", "tagSystemInformationBlock",
     CheckAssign<tagSystemInformationBlock>},
    {"_ZN30tagSystemInformationBlockType3aSERKS_", "tagSystemInformationBlockType3",
     CheckAssign<tagSystemInformationBlockType3>},
    {"_ZN30tagSystemInformationBlockType4aSERKS_", "tagSystemInformationBlockType4",
     CheckAssign<tagSystemInformationBlockType4>},
    {"_ZN31tagSystemInformationBlockType11aSERKS_", "tagSystemInformationBlockType11",
     CheckAssign<tagSystemInformationBlockType11>},
    {"_ZN16tagIntraFreqCellaSERKS_", "tagIntraFreqCell", CheckAssign<tagIntraFreqCell>},
    {"_ZN16tagInterFreqCellaSERKS_", "tagInterFreqCell", CheckAssign<tagInterFreqCell>},
    {"_ZN15tagInterRATCellaSERKS_", "tagInterRATCell", CheckAssign<tagInterRATCell>},
};

TEST_F(SharedLibrary, ExportsTheCopyAssignmentOfEveryRecordType) {
  for (const AssignExport& entry : kAssignExports) {
    SCOPED_TRACE(entry.symbol);
    const std::string type = entry.type;
    EXPECT_EQ(Demangle(entry.symbol), type + "::operator=(" + type + " const&)");
    void* symbol = dlsym(handle_, entry.symbol);
    ASSERT_NE(symbol, nullptr) << dlerror();
    entry.check(symbol);
  }
}

// The process-wide state exists as soon as the library is loaded.
TEST_F(SharedLibrary, RRCParserXDecodesRightAfterLoading) {
  const char* symbol = "_Z10RRCParserXPhjP25tagSystemInformationBlockPcRj";
  EXPECT_EQ(Demangle(symbol),
            "RRCParserX(unsigned char*, unsigned int, tagSystemInformationBlock*, char*, unsigned "
            "int&)");
  using ParserFn =
      bool (*)(unsigned char*, unsigned int, tagSystemInformationBlock*, char*, unsigned int&);
  ParserFn parser = reinterpret_cast<ParserFn>(dlsym(handle_, symbol));
  ASSERT_NE(parser, nullptr) << dlerror();

  // One BCH block holding a complete SIB3 (the first batch of examples/sample.hex).
  const char kHex[] = "1B923A618D4DC4CF01C0049C5025B3A2418BC3E145DDD18F1717ED3293A000";
  std::vector<unsigned char> data;
  for (size_t i = 0; kHex[i] != '\0'; i += 2) {
    data.push_back(static_cast<unsigned char>(std::stoi(std::string(kHex + i, 2), nullptr, 16)));
  }
  using MaxTextSizeFn = size_t (*)(size_t);
  MaxTextSizeFn maxTextSize =
      reinterpret_cast<MaxTextSizeFn>(dlsym(handle_, "_ZN9sibdecode11MaxTextSizeEm"));
  ASSERT_NE(maxTextSize, nullptr) << dlerror();
  std::vector<char> text(maxTextSize(data.size()));
  tagSystemInformationBlock out;
  unsigned int textLen = 0;
  ASSERT_TRUE(
      parser(data.data(), static_cast<unsigned int>(data.size()), &out, text.data(), textLen));
  EXPECT_EQ(std::string(text.data(), textLen).rfind("SysInfoType3 ::=", 0), 0u);
  EXPECT_NE(out.sib3.cellIdentity, 0u);
}

}  // namespace
