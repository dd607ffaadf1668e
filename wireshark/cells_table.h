// The cells table (Statistics → Telephony → GSM → sibdecode cells, and
// `tshark -z sibdecode,cells`): the library's survey of the SIBs the dissector
// hands to the "sibdecode" tap: per cell (told apart by ARFCN, identity and
// PLMN as `sibdecode --cells` does) its identity, PLMN, the SIBs completed by
// type and their distinct versions, and the chains dropped on its ARFCN.
#pragma once

namespace sibplugin {

void RegisterCellsTable();

}  // namespace sibplugin
