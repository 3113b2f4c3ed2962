// Who decides each answer the SMPP server gives: as its handler writes it, an error status in its
// place, held back a while, followed by a close, or none at all. The fault rules are one such policy;
// any other (a script, say) plugs in the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CScheduler;

namespace smpp {

// A request as a policy sees it, before its handler runs. The body points into the receive buffer
// and lives only for the call.
struct PolicyRequest {
    uint64_t connectionId = 0;
    uint32_t commandId = 0;
    uint32_t responseId = 0;
    int32_t responseFilterIndex = 0;
    std::string_view systemId; // a bind's system_id, else the name the connection is bound under
    bool bind = false;         // bind_receiver, bind_transmitter or bind_transceiver
    bool bound = false;        // the connection is bound already
    const uint8_t* body = nullptr;
    int32_t bodyLength = 0;
};

// SMPP 5.0 optional parameters a policy adds to its answer, each left out while unset. Only a session at 5.0 is sent
// them; the last four only on submit_sm_resp and data_sm_resp.
struct AnswerParameters {
    int32_t congestionState = -1;          // congestion_state, 0 to 100
    std::string additionalStatusInfoText;  // additional_status_info_text; empty: none
    int32_t deliveryFailureReason = -1;    // delivery_failure_reason, 0 to 255
    int32_t dpfResult = -1;                // dpf_result, 0 or 1
    int32_t networkErrorCode = -1;         // network_error_code: network type << 16 | error code

    bool operator==(const AnswerParameters&) const = default;
};

// What a policy makes of a request.
struct AnswerDecision {
    enum class Kind : uint8_t {
        Serve,      // the handler answers
        StatusOnly, // a header-only answer with status instead; the handler does not run
        Drop,       // no answer, and the handler does not run
    };
    Kind kind = Kind::Serve;
    uint32_t commandId = 0;  // StatusOnly: the response or generic_nack
    int32_t filterIndex = 0; // StatusOnly: the capture filter index of commandId
    uint32_t status = 0;
    int64_t delayMs = 0;     // the answer is held this long, then sent unless the connection has gone
    bool closeAfter = false; // the connection closes once the answer has gone
    bool refuseBind = false; // a bind refused: a connection bound before is unbound again
    const AnswerParameters* parameters = nullptr; // owned by the policy; read before the call that made it returns
};

class IAnswerPolicy {
public:
    virtual ~IAnswerPolicy() = default;
    // False while it would serve every request as its handler answers: the server then asks nothing.
    virtual bool IsActive() const = 0;
    // Asked for every request the server answers (never for the ESME's own responses, nor for a
    // command the server does not know); the scheduler is the server's clock and timers.
    virtual AnswerDecision Decide(const PolicyRequest& request, CScheduler& scheduler) = 0;
    // The connection closed: whatever the policy counted for it goes.
    virtual void Forget(uint64_t connectionId) = 0;
};

} // namespace smpp
