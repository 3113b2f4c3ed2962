// deliver_sm, data_sm and alert_notification toward ESMEs; DELIVER toward phones.
#include "simulator/DeliverSender.h"

#include "mobile/MobileServer.h"
#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"
#include "smpp/SmppServer.h"

#include <algorithm>

namespace {

// The entry's text encoded and split as it asks; the error says why there are no parts.
smpp::SplitResult SplitText(const DeliverEntry& entry, uint16_t reference) {
    const smpp::EncodedText encoded = smpp::EncodeMessage(entry.text, entry.fields.dataCoding);
    if (!encoded.Ok())
        return {{}, encoded.error};
    return smpp::Split(encoded.octets, entry.fields.dataCoding, entry.split, reference);
}

constexpr size_t kMaxDeliverContent = 255;   // msg_length of a TEST DELIVER is one octet

std::string NameOf(const CSocketServer& server, uint64_t connectionId) {
    const CConnection* connection = server.FindConnection(connectionId);
    return connection ? std::string(connection->Name()) : std::string();
}

class CSmppSender : public CDeliverSender {
public:
    explicit CSmppSender(CSmppServer& server) : m_server(server) {}

    std::vector<std::string> Destinations() const override { return m_server.BoundSystemIds(); }
    bool Offers(DeliverEntry::Kind) const override { return true; }

    int Send(const DeliverEntry& entry, std::vector<uint32_t>* sequences) override {
        int sent = 0;
        for (int copy = 0; copy < CopiesOf(entry); ++copy) {
            for (const Pdu& pdu : Build(entry)) {
                const int n = m_server.SendToSystemId(entry.DestSystemId(), pdu.commandId, pdu.body, 1, sequences);
                if (n == 0)
                    return sent; // nobody under that name takes it: no later part fares better
                sent += n;
            }
        }
        return sent;
    }

    int SendTo(uint64_t connectionId, const DeliverEntry& entry) override {
        CConnection* connection = m_server.FindConnection(connectionId);
        if (!connection)
            return 0;
        int sent = 0;
        for (int copy = 0; copy < CopiesOf(entry); ++copy) {
            for (const Pdu& pdu : Build(entry)) {
                if (m_server.SendServerPdu(*connection, pdu.commandId, pdu.body) == 0)
                    return sent; // gone, closing, or a bind that may not receive: no later part fares better
                ++sent;
            }
        }
        return sent;
    }

    std::string NameOf(uint64_t connectionId) const override {
        return ::NameOf(m_server, connectionId);
    }

    std::string Refusal(const DeliverEntry& entry) const override { return TextRefusal(entry); }

    bool SendOnly(const std::string& name) const override {
        bool transmitter = false, other = false;
        m_server.ForEachConnection([&](const CConnection& connection) {
            if (name != connection.Name())
                return;
            (m_server.BindKindOf(connection) == BindKind::Transmitter ? transmitter : other) = true;
        });
        return transmitter && !other;
    }
    bool TakesNoTlvs(const std::string& name) const override {
        bool old = false;
        m_server.ForEachConnection([&](const CConnection& connection) {
            if (name == connection.Name() && m_server.BindKindOf(connection) != BindKind::None)
                old = old || !protocol::smpp::interface_version::TakesTlvs(smpp::SmppSession::Of(connection).version);
        });
        return old;
    }

private:
    struct Pdu {
        uint32_t commandId;
        std::vector<uint8_t> body;
    };

    // One copy's PDUs, a part each, under a reference of their own; none when the text is refused.
    static std::vector<Pdu> Build(const DeliverEntry& entry) {
        if (entry.GetKind() == DeliverEntry::Kind::AlertNotification)
            return {{smpp::kAlertNotification, smpp::AlertNotificationBody(entry.fields)}};
        const smpp::SplitResult split = SplitText(entry, smpp::NextReference());
        std::vector<Pdu> pdus;
        for (const smpp::MessagePart& part : split.parts) {
            const smpp::DeliverFields fields = smpp::WithPart(entry.fields, part);
            if (entry.GetKind() == DeliverEntry::Kind::DataSm)
                pdus.push_back({smpp::kDataSm, smpp::DataSmBody(fields)});
            else
                pdus.push_back({smpp::kDeliverSm, smpp::DeliverSmBody(fields)});
        }
        return pdus;
    }

    CSmppServer& m_server;
};

// A phone understands one message packet, DELIVER; the entry's source_addr becomes its src_terminal.
class CMobileSender : public CDeliverSender {
public:
    explicit CMobileSender(CMobileServer& server) : m_server(server) {}

    std::vector<std::string> Destinations() const override { return m_server.LoggedInTerminals(); }
    bool Offers(DeliverEntry::Kind kind) const override { return kind == DeliverEntry::Kind::DeliverSm; }

    int Send(const DeliverEntry& entry, std::vector<uint32_t>*) override {
        return SendToTerminal(entry.DestSystemId(), entry);
    }

    // TEST addresses a phone by its number only, so every phone logged in under the same number gets it.
    int SendTo(uint64_t connectionId, const DeliverEntry& entry) override {
        const std::string terminal = NameOf(connectionId);
        return terminal.empty() ? 0 : SendToTerminal(terminal, entry);
    }

    std::string NameOf(uint64_t connectionId) const override {
        return ::NameOf(m_server, connectionId);
    }

private:
    int SendToTerminal(const std::string& terminal, const DeliverEntry& entry) {
        const uint8_t dataCoding = entry.fields.dataCoding;
        return m_server.DeliverToTerminal(terminal, entry.fields.sourceAddr, CMobileServer::MsgFormatFor(dataCoding),
                                          smpp::EncodeText(entry.text, dataCoding, kMaxDeliverContent),
                                          CopiesOf(entry));
    }

    CMobileServer& m_server;
};

} // namespace

std::string TextRefusal(const DeliverEntry& entry) {
    if (entry.GetKind() == DeliverEntry::Kind::AlertNotification)
        return {};
    return SplitText(entry, 0).error;
}

int CopiesOf(const DeliverEntry& entry) { return std::max(1, entry.count); }

std::unique_ptr<CDeliverSender> MakeSmppSender(CSmppServer& server) { return std::make_unique<CSmppSender>(server); }

std::unique_ptr<CDeliverSender> MakeMobileSender(CMobileServer& server) {
    return std::make_unique<CMobileSender>(server);
}
