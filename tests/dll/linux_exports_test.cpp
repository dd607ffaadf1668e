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

struct AssignExport {
  const char* symbol;
  const char* type;
  size_t size;
};

const AssignExport kAssignExports[] = {
    {"_ZN25tagSystemInformationBlockaSERKS_", "tagSystemInformationBlock",
     sizeof(tagSystemInformationBlock)},
    {"_ZN30tagSystemInformationBlockType3aSERKS_", "tagSystemInformationBlockType3",
     sizeof(tagSystemInformationBlockType3)},
    {"_ZN30tagSystemInformationBlockType4aSERKS_", "tagSystemInformationBlockType4",
     sizeof(tagSystemInformationBlockType4)},
    {"_ZN31tagSystemInformationBlockType11aSERKS_", "tagSystemInformationBlockType11",
     sizeof(tagSystemInformationBlockType11)},
    {"_ZN16tagIntraFreqCellaSERKS_", "tagIntraFreqCell", sizeof(tagIntraFreqCell)},
    {"_ZN16tagInterFreqCellaSERKS_", "tagInterFreqCell", sizeof(tagInterFreqCell)},
    {"_ZN15tagInterRATCellaSERKS_", "tagInterRATCell", sizeof(tagInterRATCell)},
};

// The member's calling convention on this platform: this as the first argument.
using AssignFn = void* (*)(void* self, const void* source);

TEST_F(SharedLibrary, ExportsTheCopyAssignmentOfEveryRecordType) {
  for (const AssignExport& entry : kAssignExports) {
    SCOPED_TRACE(entry.symbol);
    const std::string type = entry.type;
    EXPECT_EQ(Demangle(entry.symbol), type + "::operator=(" + type + " const&)");
    void* symbol = dlsym(handle_, entry.symbol);
    ASSERT_NE(symbol, nullptr) << dlerror();
    AssignFn assign = reinterpret_cast<AssignFn>(symbol);

    std::vector<unsigned char> source(entry.size);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i * 7 + 1);
    const std::vector<unsigned char> sourceBefore = source;
    const size_t kGuard = 16;
    std::vector<unsigned char> area(entry.size + 2 * kGuard, 0xEE);
    unsigned char* dest = area.data() + kGuard;
    std::memset(dest, 0xCC, entry.size);

    EXPECT_EQ(assign(dest, source.data()), dest);
    EXPECT_EQ(std::memcmp(dest, source.data(), entry.size), 0);
    EXPECT_EQ(source, sourceBefore);
    for (size_t i = 0; i < kGuard; ++i) {
      EXPECT_EQ(area[i], 0xEE) << "before the record, byte " << i;
      EXPECT_EQ(area[kGuard + entry.size + i], 0xEE) << "after the record, byte " << i;
    }
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
