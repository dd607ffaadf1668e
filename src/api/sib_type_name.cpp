#include <sibdecode/sibdecode.h>

namespace sibdecode {

const char* SibTypeName(unsigned int sibType) {
  // SIB-Type in the order the ASN.1 enumerates it.
  static const char* const kNames[] = {
      "MIB",     "SIB1",    "SIB2",  "SIB3",  "SIB4",    "SIB5",    "SIB6",    "SIB7",
      "SIB8",    "SIB9",    "SIB10", "SIB11", "SIB12",   "SIB13",   "SIB13.1", "SIB13.2",
      "SIB13.3", "SIB13.4", "SIB14", "SIB15", "SIB15.1", "SIB15.2", "SIB15.3", "SIB16",
      "SIB17",   "SIB15.4", "SIB18", "SB1",   "SB2",     "SIB15.5", "SIB5bis", "EXT"};
  return sibType < sizeof kNames / sizeof kNames[0] ? kNames[sibType] : "?";
}

}  // namespace sibdecode
