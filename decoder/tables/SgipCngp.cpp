// Decode rows of the SgipCngp protocol family (filled in with the gateway tables).
#include "decoder/tables/Tables.h"

namespace decode_table {
Family SgipCngpFamily() { return {}; }
} // namespace decode_table
