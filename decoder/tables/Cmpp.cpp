// Decode rows of the Cmpp protocol family (filled in with the gateway tables).
#include "decoder/tables/Tables.h"

namespace decode_table {
Family CmppFamily() { return {}; }
} // namespace decode_table
