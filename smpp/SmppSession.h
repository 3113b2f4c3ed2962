// What the SMPP server keeps of a connection beyond its name: its bind, its outbox and the state
// of its session's timers.
#pragma once

#include "engine/Connection.h"
#include "protocol/SmppValues.h"
#include "smpp/Outbox.h"

#include <cstdint>
#include <optional>
#include <string>

// How a connection bound: only receiver and transceiver binds may be sent deliver_sm, data_sm
// and alert_notification.
enum class BindKind : uint8_t { None, Receiver, Transmitter, Transceiver };

namespace smpp {

// The bind kind of a bind command; None for any other command.
BindKind KindOfBind(uint32_t commandId);
// The account permission a bind kind needs (Account::kTransmitter ...); 0 for None.
uint8_t AccountBitOf(BindKind kind);
// "transmitter", "receiver", "transceiver" as the accounts name them; empty for None.
const char* BindKindName(BindKind kind);
inline bool MayReceive(BindKind kind) { return kind == BindKind::Receiver || kind == BindKind::Transceiver; }

using ::BindKind;

class CServerOutbox;

struct SmppSession : CConnectionSession, COutbox::Link {
    SmppSession(CServerOutbox& owner, CConnection& connection);
    // The outbox's link: its owner sends and is told (ServerOutbox.cpp).
    bool Transmit(OutboxItem& item) override;
    void Told(OutboxItem& item, const OutboxEvent& event) override;

    static SmppSession& Of(const CConnection& connection) { return *connection.SessionAs<SmppSession>(); }

    CServerOutbox& owner;
    CConnection& connection;
    BindKind kind = BindKind::None;
    uint8_t version = protocol::smpp::interface_version::k34; // the bind's, at most the server's
    std::string addressRange;
    COutbox outbox;
    int32_t window = 0;                        // of its account; 0: no cap
    std::optional<int32_t> enquireLinkSeconds; // of its account; none: the sessions' setting
    int32_t held = 0;                          // answers held back by a delay
    uint64_t linkRun = 0;                      // the current enquire_link loop; older ones stop
    uint32_t enquireSequence = 0;              // our enquire_link still unanswered; 0: none
    bool closed = false;                       // OnClose has begun: nothing more is posted
};

} // namespace smpp
