// The cells table (Statistics → Telephony → GSM → sibdecode cells, and
// `tshark -z sibdecode,cells`): per cell the SIBs completed by type, their
// distinct versions and the chains dropped, from the frames' notes that the
// dissector hands to the "sibdecode" tap.
#pragma once

namespace sibplugin {

void RegisterCellsTable();

}  // namespace sibplugin
