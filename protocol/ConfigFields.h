// The fields of the JSON Tarnwick is configured with, one list per format: its reader takes exactly
// these, what writes the format writes them, and --help, the man page and the README name them.
#pragma once

namespace config_fields {

namespace account {
inline constexpr const char* kSystemId = "systemId";
inline constexpr const char* kPassword = "password";
inline constexpr const char* kBindTypes = "bindTypes";
inline constexpr const char* kMaxBinds = "maxBinds";
inline constexpr const char* kAllowedAddresses = "allowedAddresses";
inline constexpr const char* kWindow = "window";
inline constexpr const char* kEnquireLinkSeconds = "enquireLinkSeconds";
inline constexpr const char* kReceiptProfile = "receiptProfile";
inline constexpr const char* kAll[] = {kSystemId, kPassword, kBindTypes, kMaxBinds, kAllowedAddresses, kWindow,
                                       kEnquireLinkSeconds, kReceiptProfile};
} // namespace account

namespace fault_rule {
inline constexpr const char* kCommand = "command";
inline constexpr const char* kSystemId = "systemId";
inline constexpr const char* kDestination = "destination";
inline constexpr const char* kStatus = "status";
inline constexpr const char* kDelayMs = "delayMs";
inline constexpr const char* kAction = "action";
inline constexpr const char* kProbability = "probability";
inline constexpr const char* kRatePerSecond = "ratePerSecond";
inline constexpr const char* kEnabled = "enabled";
inline constexpr const char* kProtocol = "protocol";
// SMPP 5.0's parameters of the answer, each named after its own: congestion_state and the rest.
inline constexpr const char* kCongestionState = "congestionState";
inline constexpr const char* kAdditionalStatusInfoText = "additionalStatusInfoText";
inline constexpr const char* kDeliveryFailureReason = "deliveryFailureReason";
inline constexpr const char* kDpfResult = "dpfResult";
inline constexpr const char* kNetworkErrorCode = "networkErrorCode";
inline constexpr const char* kAll[] = {kCommand, kSystemId, kDestination, kStatus, kDelayMs, kAction, kProbability,
                                       kRatePerSecond, kEnabled, kProtocol, kCongestionState, kAdditionalStatusInfoText,
                                       kDeliveryFailureReason, kDpfResult, kNetworkErrorCode};
} // namespace fault_rule

namespace receipt_profile {
inline constexpr const char* kName = "name";
inline constexpr const char* kCarrier = "carrier";
inline constexpr const char* kText = "text";
inline constexpr const char* kTlvs = "tlvs";
inline constexpr const char* kIdForm = "idForm";
inline constexpr const char* kStates = "states";
inline constexpr const char* kAll[] = {kName, kCarrier, kText, kTlvs, kIdForm, kStates};
} // namespace receipt_profile

// A job takes count or seconds, never both.
namespace generator_job {
inline constexpr const char* kSystemId = "systemId";
inline constexpr const char* kCount = "count";
inline constexpr const char* kSeconds = "seconds";
inline constexpr const char* kRate = "rate";
inline constexpr const char* kKind = "kind";
inline constexpr const char* kSource = "source";
inline constexpr const char* kDestination = "destination";
inline constexpr const char* kText = "text";
inline constexpr const char* kAll[] = {kSystemId, kCount, kSeconds, kRate, kKind, kSource, kDestination, kText};
} // namespace generator_job

// The "Sessions" page's timers and the deliver_sm retries, as the control API reads and writes them.
namespace sessions {
inline constexpr const char* kEnquireLinkSeconds = "enquireLinkSeconds";
inline constexpr const char* kResponseTimeoutSeconds = "responseTimeoutSeconds";
inline constexpr const char* kBindTimeoutSeconds = "bindTimeoutSeconds";
inline constexpr const char* kInactivitySeconds = "inactivitySeconds";
inline constexpr const char* kRetryBackoffMs = "retryBackoffMs";
inline constexpr const char* kDeliverTries = "deliverTries";
inline constexpr const char* kDeliverWindow = "deliverWindow";
inline constexpr const char* kAll[] = {kEnquireLinkSeconds, kResponseTimeoutSeconds, kBindTimeoutSeconds,
                                       kInactivitySeconds, kRetryBackoffMs, kDeliverTries, kDeliverWindow};
} // namespace sessions

namespace echo {
inline constexpr const char* kDestination = "destination";
inline constexpr const char* kReverse = "reverse";
inline constexpr const char* kAll[] = {kDestination, kReverse};
} // namespace echo

} // namespace config_fields
