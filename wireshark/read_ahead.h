// Single-pass tshark prints each frame before it reads the next, so what points
// at later frames (a segment's "reassembled in", the chains the end of the
// capture gives up) comes from reading the capture file ahead: the file this
// process reads is found among its open files and read through with
// Wireshark's own file reader into the forecast (frame_notes.h).
#pragma once

#include <glib.h>

namespace sibplugin {

// At the first pass's frame 1: keeps open the one regular file among the
// process's open files whose first record is exactly this frame. None when
// there is no such file or more than one, or when the capture is live.
void FindCaptureFile(const guint8* frame, guint length);

// Reads the file found through into the forecast, once; the cells are keyed
// as the first pass keys them.
void ReadCaptureAhead(bool cellsByArfcn);

void CloseCaptureFile();

}  // namespace sibplugin
