// Where a deliver composer's entries go: the SMPP server's receivers or the mobile server's phones.
#pragma once

#include "simulator/DeliverEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMobileServer;
class CSmppServer;

// Turns deliver entries into the server's own PDUs and sends them; holds only a reference to its server,
// which outlives it. UI thread only.
class CDeliverSender {
public:
    virtual ~CDeliverSender() = default;

    // The names a message may be sent to right now, for "Dest system id": bound system ids, or the terminal
    // numbers logged in.
    virtual std::vector<std::string> Destinations() const = 0;
    // Whether the server has a PDU for this kind of entry.
    virtual bool Offers(DeliverEntry::Kind kind) const = 0;
    // Sends the entry's count of copies (at least one) to every connection under its destination, each copy
    // in as many parts as its text needs (TextRefusal says why none, when it says anything); returns
    // how many PDUs went out, 0 when no connection matches or the text is refused. The SMPP sender appends each PDU's
    // sequence number to sequences when given.
    virtual int Send(const DeliverEntry& entry, std::vector<uint32_t>* sequences = nullptr) = 0;
    // The same for exactly one connection, named by its connection id.
    virtual int SendTo(uint64_t connectionId, const DeliverEntry& entry) = 0;
    // The name a connection bound or logged in under; empty when it has none or is gone.
    virtual std::string NameOf(uint64_t connectionId) const = 0;
    // Why the entry's text cannot be sent (TextRefusal for ESMEs); empty when it can.
    virtual std::string Refusal(const DeliverEntry& /*entry*/) const { return {}; }
    // Whether the name is bound, but only where nothing may be sent to it (an SMPP transmitter).
    virtual bool SendOnly(const std::string& /*name*/) const { return false; }
    // Whether a session bound under the name runs SMPP 3.3 or earlier, which is sent no optional parameter.
    virtual bool TakesNoTlvs(const std::string& /*name*/) const { return false; }
};

std::unique_ptr<CDeliverSender> MakeSmppSender(CSmppServer& server);
std::unique_ptr<CDeliverSender> MakeMobileSender(CMobileServer& server);

// Why the entry's text cannot go to an ESME (a character its data_coding refuses, too many parts), the
// field's name left to the caller; empty when it can.
std::string TextRefusal(const DeliverEntry& entry);

// The copies one send of an entry produces.
int CopiesOf(const DeliverEntry& entry);
