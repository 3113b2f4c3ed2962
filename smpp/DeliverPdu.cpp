// Builds the bodies of server-started PDUs and encodes composer text.
#include "smpp/DeliverPdu.h"

namespace smpp {

std::vector<uint8_t> EncodeText(std::string_view, uint8_t, std::size_t) { return {}; }
std::vector<uint8_t> DeliverSmBody(const DeliverFields&) { return {}; }
std::vector<uint8_t> DataSmBody(const DeliverFields&) { return {}; }
std::vector<uint8_t> AlertNotificationBody(const DeliverFields&) { return {}; }

} // namespace smpp
