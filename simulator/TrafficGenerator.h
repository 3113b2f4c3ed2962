// The traffic generator: loads an ESME's receive path with deliver_sm at a set rate.
#pragma once

#include "engine/ServerObserver.h"
#include "simulator/ReceiptProfile.h"
#include "smpp/MessageBody.h"
#include "smpp/SmppServer.h"

#include <QJsonObject>
#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One job: deliver_sm to one bound receiver or transceiver, count messages or for seconds, at rate
// per second. In the destination and the text, every "{n}" becomes the message's number, from 1
// ("4479000{n}" gives 44790001, 44790002, ...).
struct GeneratorJob {
    enum class Kind : uint8_t {
        Mo,       // deliver_sm carrying the text, as a handset's message
        Receipts, // delivery receipts (esm_class 0x04) with the text and optional parameters of the
                  // receiver's receipt profile, as delivered
    };
    static constexpr int32_t kMaxRate = 1'000'000;
    static constexpr int64_t kMaxCount = 1'000'000'000;
    static constexpr int32_t kMaxSeconds = 86'400;
    static constexpr int kMaxAddressChars = 20;
    static constexpr int kMaxTextOctets = 160;

    std::string systemId;
    int64_t count = 0;   // messages in all; 0: seconds ends the job
    int32_t seconds = 0; // used when count is 0
    int32_t rate = 100;  // messages per second
    Kind kind = Kind::Mo;
    std::string source = "12345";
    std::string destination = "4479000{n}";
    std::string text = "Message {n}";

    // Every message the job sends: count, or rate times seconds.
    int64_t Total() const { return count > 0 ? count : int64_t(rate) * seconds; }
    // The field that is wrong and why ("rate: ..."), empty for a job that can run.
    std::string Check() const;
};

// The kinds' names, as jobs and the control API write them.
struct GeneratorKindNameRow {
    GeneratorJob::Kind kind;
    const char* name;
};
inline constexpr GeneratorKindNameRow kGeneratorKinds[] = {
    {GeneratorJob::Kind::Mo,       "mo"},
    {GeneratorJob::Kind::Receipts, "receipts"},
};
// "mo" and "receipts".
const char* GeneratorKindName(GeneratorJob::Kind kind);

struct GeneratorProgress {
    enum class State : uint8_t { Idle, Waiting, Running, Done, Stopped };
    State state = State::Idle;
    std::string reason; // Stopped: why
    std::string systemId;
    uint64_t sent = 0, answered = 0, errors = 0; // errors: answers with a command_status other than 0
    uint64_t total = 0;
    double rate = 0; // deliver_sm per second over the last second or so
    int window = 0;
};

// Runs one job at a time on the UI thread, on the SMPP server's scheduler, so tests move its time
// by hand. Every kTickMs, and as each answer comes, it sends what the rate owes by then as far as
// the receiver's outbox window has room (CSmppServer::SendGenerated: answers paired, never tried
// again), so the UI thread is never held for long and nothing of its waits behind the window. A
// job ends done once every message is sent and answered; it stops when a whole window of what went
// out before the last tick is still unanswered, when the receiver's connection goes, when the last
// answers do not come within the sessions' response time-out, or on Stop. Start and end go to the
// SMPP console.
class CRouter;

class CTrafficGenerator : public QObject, public CServerObserver {
public:
    static constexpr int64_t kTickMs = 10;
    enum class StartResult { Started, Waiting, NoReceiver, Busy, Bad };

    // Receipts take the receipt profile the router gives the receiver.
    CTrafficGenerator(CSmppServer& smpp, const CRouter& router);
    ~CTrafficGenerator() override;

    // Starts the job on the first receiver or transceiver bound as job.systemId; with waitForBind
    // and none bound yet, it starts when one binds. Busy while a job waits or runs; Bad for a job
    // whose Check fails.
    StartResult Start(const GeneratorJob& job, bool waitForBind = false);
    // Stops the running or waiting job ("stopped by the user"); nothing otherwise.
    void Stop();
    bool IsActive() const;
    const GeneratorProgress& Progress() const { return m_progress; }
    const GeneratorJob& Job() const { return m_job; }
    // {"state": "running", "reason": "", "systemId": "esme", "kind": "mo", "total": 1000, "sent": 20,
    //  "answered": 18, "errors": 0, "rate": 100, "window": 10}; state is idle, waiting, running,
    // done or stopped.
    QJsonObject Json() const;
    // Told when a job ends, done or stopped.
    void SetFinished(std::function<void(const GeneratorProgress&)> finished) { m_finished = std::move(finished); }

    void OnLoggedIn(const CConnection& connection) override;
    void OnDisconnected(const CConnection& connection) override;

private:
    void Begin(uint64_t connectionId);
    void Tick(uint64_t run);
    // Sends what the rate owes by now, as far as the window has room; false when the receiver went.
    bool SendDue();
    void TakeAnswer(uint64_t connectionId, uint32_t status);
    void Finish(GeneratorProgress::State state, const std::string& reason);
    // The next message's PDU in m_pdu, header with a zero sequence number.
    void Build(uint64_t number);

    CSmppServer& m_smpp;
    const CRouter& m_router;
    GeneratorJob m_job;
    GeneratorProgress m_progress;
    std::function<void(const GeneratorProgress&)> m_finished;
    uint64_t m_connection = 0;
    uint64_t m_run = 0;        // the current job's ticks; older ones stop
    int64_t m_startMs = 0;
    int64_t m_allSentMs = -1;  // when the last message went
    uint64_t m_sentBeforeLastTick = 0;
    uint64_t m_sentAtLastTick = 0;
    int64_t m_rateMarkMs = 0;
    uint64_t m_rateMarkSent = 0;
    // The templates cut at "{n}", and the receipt's dates, made once per job.
    std::vector<std::string> m_destinationPieces, m_textPieces;
    std::string m_receiptDate;
    ReceiptProfile m_receiptProfile;
    uint8_t m_version = protocol::smpp::interface_version::kServed; // of the receiver's session
    // The message being built, kept so that their buffers are reused from one message to the next.
    std::string m_text, m_quoted; // m_quoted: the receipt text's first characters of the message
    smpp::DeliverFields m_fields; // the next message's, written over the one before it
    std::vector<uint8_t> m_pdu;
};
