// The protocol families whose rows make up the decode table, in table order.
#pragma once

#include "decoder/FieldDescriptor.h"

namespace decode_table {
Family CaptureHeaderFamily(); // root rows, protocol case list, code table 6
Family SmppFamily();          // SMPP 3.4: code table 1892, SMPP value names, esm_class parts
Family CmppFamily();          // CMPP 2.0, CMPP 3.0 and the mobile TEST protocol
Family SmgpFamily();          // SMGP 2.0 and SMGP 3.0
Family SgipCngpFamily();      // SGIP and CNGP
Family UcpFamily();           // UCP/EMI: code names only, its frames are read by its codec
Family CimdFamily();          // CIMD2: code names only, its packets are read by its codec
} // namespace decode_table
