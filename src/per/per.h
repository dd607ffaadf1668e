// Everything the generated decoders, printers and release functions are built
// on: the bit reader, the value shapes and the record arena.
#pragma once

#include "per/arena.h"
#include "per/bit_reader.h"
#include "per/value_shapes.h"
