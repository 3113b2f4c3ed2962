// deliver_sm, data_sm and alert_notification toward ESMEs; DELIVER toward phones.
#include "simulator/DeliverSender.h"

#include "mobile/MobileServer.h"
#include "smpp/DeliverPdu.h"
#include "smpp/SmppServer.h"

#include <algorithm>

namespace {

constexpr size_t kMaxPayloadOctets = 0xFFFF; // a message_payload value
constexpr size_t kMaxDeliverContent = 255;   // msg_length of a TEST DELIVER is one octet

std::string NameOf(const CSocketServer& server, int index) {
    char name[CConnection::kNameSize] = {};
    return server.GetName(index, name, static_cast<int>(sizeof name)) ? std::string(name) : std::string();
}

class CSmppSender : public CDeliverSender {
public:
    explicit CSmppSender(CSmppServer& server) : m_server(server) {}

    std::vector<std::string> Destinations() const override { return m_server.BoundSystemIds(); }
    bool Offers(DeliverEntry::Kind) const override { return true; }

    int Send(const DeliverEntry& entry) override {
        const Pdu pdu = Build(entry);
        return m_server.SendToSystemId(entry.DestSystemId(), pdu.commandId, pdu.body, CopiesOf(entry));
    }

    int SendTo(uint64_t connectionId, const DeliverEntry& entry) override {
        const Pdu pdu = Build(entry);
        const int index = m_server.IndexOfConnection(connectionId);
        int sent = 0;
        for (int copy = 0; copy < CopiesOf(entry); ++copy) {
            if (m_server.SendServerPdu(index, pdu.commandId, pdu.body) == 0)
                break; // gone, closing, or a bind that may not receive: no later copy fares better
            ++sent;
        }
        return sent;
    }

    std::string NameOf(uint64_t connectionId) const override {
        return ::NameOf(m_server, m_server.IndexOfConnection(connectionId));
    }

    bool SendOnly(const std::string& name) const override {
        bool transmitter = false;
        for (int index = 0; index < m_server.GetConnectionCount(); ++index) {
            if (name != m_server.NameOf(index))
                continue;
            if (m_server.GetBindKind(index) != BindKind::Transmitter)
                return false;
            transmitter = true;
        }
        return transmitter;
    }

private:
    struct Pdu {
        uint32_t commandId;
        std::vector<uint8_t> body;
    };

    static Pdu Build(const DeliverEntry& entry) {
        smpp::DeliverFields fields = entry.fields;
        fields.message = smpp::EncodeText(entry.ShortMessage(), fields.dataCoding, kMaxPayloadOctets);
        switch (entry.GetKind()) {
        case DeliverEntry::Kind::DataSm: return {smpp::kDataSm, smpp::DataSmBody(fields)};
        case DeliverEntry::Kind::AlertNotification:
            return {smpp::kAlertNotification, smpp::AlertNotificationBody(fields)};
        case DeliverEntry::Kind::DeliverSm: break;
        }
        return {smpp::kDeliverSm, smpp::DeliverSmBody(fields)};
    }

    CSmppServer& m_server;
};

// A phone understands one message packet, DELIVER; the entry's source_addr becomes its src_terminal.
class CMobileSender : public CDeliverSender {
public:
    explicit CMobileSender(CMobileServer& server) : m_server(server) {}

    std::vector<std::string> Destinations() const override { return m_server.LoggedInTerminals(); }
    bool Offers(DeliverEntry::Kind kind) const override { return kind == DeliverEntry::Kind::DeliverSm; }

    int Send(const DeliverEntry& entry) override { return SendToTerminal(entry.DestSystemId(), entry); }

    // TEST addresses a phone by its number only, so every phone logged in under the same number gets it.
    int SendTo(uint64_t connectionId, const DeliverEntry& entry) override {
        const std::string terminal = NameOf(connectionId);
        return terminal.empty() ? 0 : SendToTerminal(terminal, entry);
    }

    std::string NameOf(uint64_t connectionId) const override {
        return ::NameOf(m_server, m_server.IndexOfConnection(connectionId));
    }

private:
    int SendToTerminal(const std::string& terminal, const DeliverEntry& entry) {
        const uint8_t dataCoding = entry.fields.dataCoding;
        return m_server.DeliverToTerminal(terminal, entry.fields.sourceAddr, CMobileServer::MsgFormatFor(dataCoding),
                                          smpp::EncodeText(entry.ShortMessage(), dataCoding, kMaxDeliverContent),
                                          CopiesOf(entry));
    }

    CMobileServer& m_server;
};

} // namespace

int CopiesOf(const DeliverEntry& entry) { return std::max(1, entry.count); }

std::unique_ptr<CDeliverSender> MakeSmppSender(CSmppServer& server) { return std::make_unique<CSmppSender>(server); }

std::unique_ptr<CDeliverSender> MakeMobileSender(CMobileServer& server) {
    return std::make_unique<CMobileSender>(server);
}
