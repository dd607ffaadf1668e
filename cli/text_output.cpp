#include <cstdio>

#include "output.h"

namespace cli {

void WriteSibText(const char* text, size_t textLen) {
  std::fwrite(text, 1, textLen, stdout);
  std::fputs("\r\n", stdout);
}

}  // namespace cli
