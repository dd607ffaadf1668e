// Text emitter: exact bytes of every line format, cursor accounting, and
// refusal of writes that would not fit.
#include "print/emitter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "print/print_support.h"

namespace sibdecode {
namespace {

// A work buffer followed by guard bytes that must never change.
class Buffer {
 public:
  explicit Buffer(uint32_t size) : storage_(size + kGuard, '\x7E'), size_(size) {
    InitTextCursor(cursor, storage_.data(), size);
  }
  std::string Text() const { return std::string(storage_.data(), Written()); }
  size_t Written() const { return size_ - static_cast<size_t>(cursor.remaining); }
  bool GuardIntact() const {
    for (size_t i = size_; i < storage_.size(); ++i) {
      if (storage_[i] != '\x7E') return false;
    }
    return true;
  }
  TextCursor cursor;

 private:
  static constexpr size_t kGuard = 64;
  std::vector<char> storage_;
  uint32_t size_;
};

using Emit = std::function<int(TextCursor&)>;

struct LineCase {
  const char* what;
  Emit emit;
  std::string bytes;
  int returned;  // the count of the operation's last formatted write
};

const uint8_t kIdentity[] = {0x12, 0x34, 0x56, 0x70};
const uint8_t kNineBits[] = {0xFF, 0xFF};
const uint8_t kDump[] = {0x01, 0xAB, 0xFF, 0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x7F};

std::vector<LineCase> LineCases() {
  return {
      {"block at depth 0", [](TextCursor& c) { return OpenBlock(c, 0, "SysInfoType2 ::="); },
       "SysInfoType2 ::=\r\n{\r\n", 3},
      {"block at depth 8", [](TextCursor& c) { return OpenBlock(c, 8, "cellBarred"); },
       "        cellBarred\r\n        {\r\n", 11},
      {"negative depth", [](TextCursor& c) { return OpenBlock(c, -4, "x"); }, "x\r\n{\r\n", 3},
      {"close at depth 4", [](TextCursor& c) { return CloseBlock(c, 4); }, "    }\r\n", 7},
      {"indent", [](TextCursor& c) { return WriteIndent(c, 12); }, std::string(12, ' '), 12},
      {"indent 0", [](TextCursor& c) { return WriteIndent(c, 0); }, "", 0},
      {"true", [](TextCursor& c) { return PrintBoolLine(c, 0, "sib4indicator", 13, 1); },
       "sib4indicator = True\r\n", 22},
      {"any non-zero byte is true", [](TextCursor& c) { return PrintBoolLine(c, 0, "b", 1, 2); },
       "b = True\r\n", 10},
      {"false", [](TextCursor& c) { return PrintBoolLine(c, 0, "b", 1, 0); }, "b = False\r\n", 11},
      {"integer", [](TextCursor& c) { return PrintIntegerLine(c, 0, "q_RxlevMin", 10, -58); },
       "q_RxlevMin = -58\r\n", 18},
      {"integer extremes",
       [](TextCursor& c) {
         PrintIntegerLine(c, 0, "a", 1, INT32_MIN);
         return PrintIntegerLine(c, 0, "b", 1, INT32_MAX);
       },
       "a = -2147483648\r\nb = 2147483647\r\n", 16},
      {"28-bit string",
       [](TextCursor& c) { return WriteBitString(c, "cellIdentity", 28, kIdentity); },
       "cellIdentity = \"0001001000110100010101100111\"\r\n", 31},
      {"9 of 16 bits", [](TextCursor& c) { return WriteBitString(c, "b", 9, kNineBits); },
       "b = \"111111111\"\r\n", 12},
      {"empty bit string", [](TextCursor& c) { return WriteBitString(c, "b", 0, kNineBits); },
       "b = \"\"\r\n", 3},
      {"dump of 3", [](TextCursor& c) { return WriteHexDump(c, 3, kDump); },
       "\r\nMessage dump (Hex):\r\n\t01\tAB\tFF\t\r\n", 2},
      {"dump of 10", [](TextCursor& c) { return WriteHexDump(c, 10, kDump); },
       "\r\nMessage dump (Hex):\r\n\t01\tAB\tFF\t00\t10\t20\t30\t40\t50\t60\t\r\n\t\r\n", 2},
      {"dump of 11", [](TextCursor& c) { return WriteHexDump(c, 11, kDump); },
       "\r\nMessage dump (Hex):\r\n\t01\tAB\tFF\t00\t10\t20\t30\t40\t50\t60\t\r\n\t7F\t\r\n", 2},
      {"dump of 0", [](TextCursor& c) { return WriteHexDump(c, 0, kDump); },
       "\r\nMessage dump (Hex):\r\n\t\r\n", 2},
      {"text", [](TextCursor& c) { return WriteText(c, " = ms2000\n"); }, " = ms2000\n", 10},
  };
}

TEST(Emitter, WritesTheExactBytesOfEveryLineFormat) {
  for (const LineCase& c : LineCases()) {
    Buffer buffer(1024);
    char* start = buffer.cursor.pos;
    EXPECT_EQ(c.emit(buffer.cursor), c.returned) << c.what;
    EXPECT_EQ(buffer.Text(), c.bytes) << c.what;
    // Position and counter move together; the NUL after the text is not counted.
    EXPECT_EQ(buffer.cursor.pos - start, static_cast<long>(c.bytes.size())) << c.what;
    EXPECT_EQ(*buffer.cursor.pos, '\0') << c.what;
    EXPECT_FALSE(buffer.cursor.failed) << c.what;
  }
}

TEST(Emitter, IndentSourceIs560Spaces) {
  for (int i = 0; i < IndentSpacesSize; ++i) ASSERT_EQ(IndentSpaces[i], ' ') << i;
  Buffer buffer(1024);
  EXPECT_EQ(WriteIndent(buffer.cursor, 600), 560);
}

TEST(Emitter, EveryFormatFailsWithoutWritingPastTheBuffer) {
  // For each format, every buffer size from 0 to the size the text needs:
  // the write either fits with its NUL, or leaves the buffer and cursor alone.
  for (const LineCase& c : LineCases()) {
    const uint32_t needed = static_cast<uint32_t>(c.bytes.size()) + 1;
    for (uint32_t size = 0; size <= needed; ++size) {
      Buffer buffer(size);
      int returned = c.emit(buffer.cursor);
      EXPECT_TRUE(buffer.GuardIntact()) << c.what << " size " << size;
      if (size == needed) {
        EXPECT_EQ(returned, c.returned) << c.what;
        EXPECT_EQ(buffer.Text(), c.bytes) << c.what;
      } else {
        EXPECT_LT(returned, 0) << c.what << " size " << size;
        EXPECT_TRUE(buffer.cursor.failed) << c.what << " size " << size;
        // Only whole formatted writes that fitted before the failing one count.
        EXPECT_EQ(c.bytes.compare(0, buffer.Written(), buffer.Text()), 0) << c.what;
      }
    }
  }
}

// Lines written in one copy when they fit must stop, in a full buffer, exactly
// where their separate formatted writes would.
TEST(Emitter, WholeLineWritesCutWhereTheirSeparateWritesWould) {
  struct Case {
    const char* what;
    Emit whole;
    std::vector<std::string> writes;  // the separate formatted writes, in order
  };
  const std::vector<Case> cases = {
      {"block",
       [](TextCursor& c) { return OpenBlock(c, 8, "cellBarred"); },
       {"        cellBarred\r\n", "        {\r\n"}},
      {"close", [](TextCursor& c) { return CloseBlock(c, 12); }, {"            }\r\n"}},
      {"integer line",
       [](TextCursor& c) { return WriteLine(c, 4, "n", 1, " = -7\r\n", 7, false); },
       {"    ", "n = -7\r\n"}},
      {"enumeration line",
       [](TextCursor& c) { return WriteLine(c, 16, "t_300", 5, " = ms2000\n", 10, true); },
       {std::string(16, ' '), "t_300", " = ms2000\n"}},
      {"name line at depth 0",
       [](TextCursor& c) { return WriteLine(c, 0, "tdd", 3, "\r\n", 2, true); },
       {"", "tdd", "\r\n"}},
      {"bit-string line",
       [](TextCursor& c) { return WriteBitStringLine(c, 8, "cellIdentity", 12, 28, kIdentity); },
       {"        ", "cellIdentity = \"", "0001001000110100010101100111\"\r\n"}},
  };
  for (const Case& c : cases) {
    std::string all;
    for (const std::string& w : c.writes) all += w;
    for (uint32_t size = 0; size <= all.size() + 1; ++size) {
      Buffer whole(size);
      const int returned = c.whole(whole.cursor);
      Buffer apart(size);
      int last = 0;
      for (const std::string& w : c.writes) {
        last = WriteText(apart.cursor, w.c_str());
        if (last < 0) break;
      }
      EXPECT_EQ(whole.Text(), apart.Text()) << c.what << " size " << size;
      EXPECT_EQ(returned < 0, last < 0) << c.what << " size " << size;
      if (last >= 0) {
        EXPECT_EQ(returned, last) << c.what << " size " << size;
      }
      EXPECT_EQ(whole.cursor.failed, apart.cursor.failed) << c.what << " size " << size;
      EXPECT_TRUE(whole.GuardIntact()) << c.what << " size " << size;
    }
  }
}

TEST(Emitter, OnceFailedEveryLaterWriteFails) {
  Buffer buffer(8);
  EXPECT_LT(OpenBlock(buffer.cursor, 0, "too long for eight"), 0);
  EXPECT_EQ(buffer.Written(), 0u);
  // These would fit on their own.
  EXPECT_LT(WriteText(buffer.cursor, "a"), 0);
  EXPECT_LT(CloseBlock(buffer.cursor, 0), 0);
  EXPECT_EQ(buffer.Written(), 0u);
  EXPECT_TRUE(buffer.GuardIntact());
}

TEST(Emitter, LastByteOfTheBufferIsKeptForTheTerminator) {
  Buffer buffer(4);
  EXPECT_EQ(WriteText(buffer.cursor, "abc"), 3);
  EXPECT_EQ(buffer.cursor.remaining, 1);
  EXPECT_LT(WriteText(buffer.cursor, "d"), 0);
  EXPECT_EQ(WriteIndent(buffer.cursor, 0), -1) << "failed cursors stay failed";
  EXPECT_EQ(buffer.Text(), "abc");
}

}  // namespace
}  // namespace sibdecode
