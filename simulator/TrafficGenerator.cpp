#include "simulator/TrafficGenerator.h"

#include "simulator/Router.h"
#include "protocol/DataCoding.h"
#include "protocol/SmppFields.h"
#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"
#include "smpp/SmppPdu.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

using namespace smpp;

namespace {

using protocol::smpp::kEsmClassReceipt;
constexpr std::size_t kReceiptTextChars = 20;
constexpr std::size_t kMaxShortMessage = 254;
constexpr uint8_t kTonInternational = 1, kNpiIsdn = 1;

std::vector<std::string> CutAtCounter(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("{n}", from)) != std::string::npos; from = at + 3)
        pieces.push_back(text.substr(from, at - from));
    pieces.push_back(text.substr(from));
    return pieces;
}

// The pieces joined by the number.
void Expand(const std::vector<std::string>& pieces, uint64_t number, std::string& out) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.clear();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            out.append(digits, end);
        out += pieces[i];
    }
}

std::string Stat(const GeneratorProgress& p) {
    return std::to_string(p.sent) + " sent, " + std::to_string(p.answered) + " answered, " +
           std::to_string(p.errors) + " errors";
}

const char* StateName(GeneratorProgress::State state) {
    switch (state) {
    case GeneratorProgress::State::Idle: return "idle";
    case GeneratorProgress::State::Waiting: return "waiting";
    case GeneratorProgress::State::Running: return "running";
    case GeneratorProgress::State::Done: return "done";
    case GeneratorProgress::State::Stopped: return "stopped";
    }
    return "";
}

// The template cut at "{n}", each piece in GSM 7-bit as the messages carry it (data_coding 0; the
// counter's digits are the same septets); error, when given, names the first character the alphabet
// lacks, and there are no pieces.
std::vector<std::string> EncodedPieces(const std::string& text, std::string* error) {
    std::vector<std::string> pieces = CutAtCounter(text);
    for (std::string& piece : pieces) {
        const smpp::EncodedText encoded = smpp::EncodeMessage(piece, protocol::data_coding::kDefault);
        if (!encoded.Ok()) {
            if (error)
                *error = encoded.error;
            return {};
        }
        piece.assign(encoded.octets.begin(), encoded.octets.end());
    }
    return pieces;
}

} // namespace

const char* GeneratorKindName(GeneratorJob::Kind kind) {
    for (const GeneratorKindNameRow& row : kGeneratorKinds) {
        if (row.kind == kind)
            return row.name;
    }
    return "";
}

std::string GeneratorJob::Check() const {
    if (systemId.empty() || systemId.size() > std::size_t(kSystemIdOctets - 1))
        return "systemId: a system id of 1 to 15 characters expected";
    if (rate < 1 || rate > kMaxRate)
        return "rate: a whole number from 1 to " + std::to_string(kMaxRate) + " expected";
    if (count < 0 || count > kMaxCount)
        return "count: a whole number from 1 to " + std::to_string(kMaxCount) + " expected";
    if (count == 0 && (seconds < 1 || seconds > kMaxSeconds))
        return "seconds: a whole number from 1 to " + std::to_string(kMaxSeconds) + " expected, or a count";
    if (source.size() > std::size_t(kMaxAddressChars))
        return "source: at most " + std::to_string(kMaxAddressChars) + " characters expected";
    // The counter may take up to ten digits in place of "{n}".
    if (CutAtCounter(destination).size() > 2 || destination.size() > std::size_t(kMaxAddressChars) - 7)
        return "destination: at most " + std::to_string(kMaxAddressChars - 7) + " characters and one {n} expected";
    std::string error;
    std::size_t octets = 0;
    for (const std::string& piece : EncodedPieces(text, &error))
        octets += piece.size();
    if (!error.empty())
        return "text: " + error;
    if (octets > std::size_t(kMaxTextOctets))
        return "text: at most " + std::to_string(kMaxTextOctets) + " octets expected";
    return {};
}

CTrafficGenerator::CTrafficGenerator(CSmppServer& smpp, const CRouter& router) : m_smpp(smpp), m_router(router) {
    m_smpp.AddObserver(this);
    m_smpp.SetGeneratedAnswerSink([this](uint64_t connection, uint32_t status) { TakeAnswer(connection, status); });
}

CTrafficGenerator::~CTrafficGenerator() {
    m_smpp.SetGeneratedAnswerSink(nullptr);
    m_smpp.RemoveObserver(this);
}

bool CTrafficGenerator::IsActive() const {
    return m_progress.state == GeneratorProgress::State::Waiting || m_progress.state == GeneratorProgress::State::Running;
}

CTrafficGenerator::StartResult CTrafficGenerator::Start(const GeneratorJob& job, bool waitForBind) {
    if (IsActive())
        return StartResult::Busy;
    if (!job.Check().empty())
        return StartResult::Bad;
    uint64_t connection = 0;
    m_smpp.ForEachConnection([&](const CConnection& bound) {
        if (connection == 0 && job.systemId == bound.Name() && m_smpp.MayReceive(bound.Id()))
            connection = bound.Id();
    });
    if (connection == 0 && !waitForBind)
        return StartResult::NoReceiver;

    m_job = job;
    m_progress = GeneratorProgress{};
    m_progress.systemId = job.systemId;
    m_progress.total = uint64_t(job.Total());
    m_destinationPieces = CutAtCounter(job.destination);
    m_textPieces = EncodedPieces(job.text, nullptr);
    ++m_run;
    if (connection == 0) {
        m_progress.state = GeneratorProgress::State::Waiting;
        m_smpp.Report("Traffic generator waits for " + job.systemId + " to bind\r\n");
        return StartResult::Waiting;
    }
    Begin(connection);
    return StartResult::Started;
}

void CTrafficGenerator::Begin(uint64_t connectionId) {
    m_connection = connectionId;
    m_progress.state = GeneratorProgress::State::Running;
    m_progress.window = int(m_smpp.WindowOf(connectionId));
    m_startMs = m_rateMarkMs = m_smpp.Scheduler().NowMs();
    m_allSentMs = -1;
    m_sentBeforeLastTick = m_sentAtLastTick = m_rateMarkSent = 0;
    char date[16];
    const std::time_t now = std::time_t(m_smpp.Scheduler().WallSeconds());
    std::tm local{};
    localtime_r(&now, &local);
    m_receiptDate.assign(date, std::strftime(date, sizeof date, "%y%m%d%H%M", &local));
    m_receiptProfile = m_router.ProfileOf(m_job.systemId);
    m_version = m_smpp.OwedVersion(connectionId, m_job.systemId).value_or(protocol::smpp::interface_version::kServed);
    m_fields = DeliverFields{};
    m_fields.sourceTon = m_fields.destTon = kTonInternational;
    m_fields.sourceNpi = m_fields.destNpi = kNpiIsdn;
    m_fields.sourceAddr = m_job.source;
    m_smpp.Report("Traffic generator started: " + std::to_string(m_progress.total) + " " +
                  GeneratorKindName(m_job.kind) + " to " + m_job.systemId + " at " + std::to_string(m_job.rate) +
                  "/s, window " + std::to_string(m_progress.window) + "\r\n");
    m_smpp.Scheduler().After(kTickMs, this, [this, run = m_run] { Tick(run); });
}

void CTrafficGenerator::Stop() {
    if (IsActive())
        Finish(GeneratorProgress::State::Stopped, "stopped by the user");
}

void CTrafficGenerator::Tick(uint64_t run) {
    if (run != m_run || m_progress.state != GeneratorProgress::State::Running)
        return;
    GeneratorProgress& p = m_progress;
    const int64_t now = m_smpp.Scheduler().NowMs();
    if (!m_smpp.MayReceive(m_connection))
        return Finish(GeneratorProgress::State::Stopped, "the receiver's connection went");
    // The receiver has had at least a whole tick for what went out before the last one.
    const uint64_t behind = m_sentBeforeLastTick - std::min(m_sentBeforeLastTick, p.answered);
    if (behind >= uint64_t(p.window))
        return Finish(GeneratorProgress::State::Stopped,
                      "answers fell " + std::to_string(behind) + " behind (window " + std::to_string(p.window) + ")");
    if (!SendDue())
        return Finish(GeneratorProgress::State::Stopped, "the receiver's connection went");
    m_sentBeforeLastTick = m_sentAtLastTick;
    m_sentAtLastTick = p.sent;
    if (now - m_rateMarkMs >= 1000) {
        p.rate = double(p.sent - m_rateMarkSent) * 1000.0 / double(now - m_rateMarkMs);
        m_rateMarkMs = now;
        m_rateMarkSent = p.sent;
    }

    if (p.sent == p.total) {
        if (m_allSentMs < 0)
            m_allSentMs = now;
        if (p.answered >= p.sent)
            return Finish(GeneratorProgress::State::Done, {});
        const int64_t waitMs = int64_t(std::max(1, m_smpp.Sessions().responseTimeoutSeconds)) * 1000;
        if (now - m_allSentMs >= waitMs)
            return Finish(GeneratorProgress::State::Stopped,
                          "answers fell " + std::to_string(p.sent - p.answered) + " behind (the last went unanswered)");
    }
    m_smpp.Scheduler().After(kTickMs, this, [this, run] { Tick(run); });
}

bool CTrafficGenerator::SendDue() {
    GeneratorProgress& p = m_progress;
    const int64_t elapsed = m_smpp.Scheduler().NowMs() - m_startMs;
    const uint64_t due = std::min<uint64_t>(p.total, uint64_t(m_job.rate) * uint64_t(std::max<int64_t>(elapsed, 0)) / 1000);
    // What the window has no room for now goes when answers make room, or at the next tick.
    for (std::size_t room = m_smpp.Room(m_connection); p.sent < due && room > 0; --room) {
        Build(p.sent + 1);
        if (m_smpp.SendGenerated(m_connection, m_pdu.data(), uint32_t(m_pdu.size())) == 0)
            return false;
        ++p.sent;
    }
    return true;
}

void CTrafficGenerator::TakeAnswer(uint64_t connectionId, uint32_t status) {
    if (connectionId != m_connection || m_progress.state == GeneratorProgress::State::Idle)
        return;
    ++m_progress.answered;
    if (status != kStatusOk)
        ++m_progress.errors;
    if (m_progress.state != GeneratorProgress::State::Running)
        return;
    if (m_progress.sent == m_progress.total && m_progress.answered >= m_progress.sent)
        return Finish(GeneratorProgress::State::Done, {});
    if (m_progress.sent < m_progress.total && !SendDue())
        Finish(GeneratorProgress::State::Stopped, "the receiver's connection went");
}

void CTrafficGenerator::OnLoggedIn(const CConnection& connection) {
    if (m_progress.state == GeneratorProgress::State::Waiting && m_job.systemId == connection.Name() &&
        m_smpp.MayReceive(connection.Id()))
        Begin(connection.Id());
}

void CTrafficGenerator::OnDisconnected(const CConnection& connection) {
    if (m_progress.state == GeneratorProgress::State::Running && connection.Id() == m_connection)
        Finish(GeneratorProgress::State::Stopped, "the receiver's connection went");
}

void CTrafficGenerator::Finish(GeneratorProgress::State state, const std::string& reason) {
    m_progress.state = state;
    m_progress.reason = reason;
    ++m_run;
    const int64_t elapsed = m_smpp.Scheduler().NowMs() - m_startMs;
    if (elapsed > 0 && m_progress.sent > 0)
        m_progress.rate = double(m_progress.sent) * 1000.0 / double(elapsed);
    m_smpp.Report("Traffic generator " + std::string(StateName(state)) + ": " + (reason.empty() ? "" : reason + "; ") +
                  Stat(m_progress) + "\r\n");
    if (m_finished)
        m_finished(m_progress);
}

void CTrafficGenerator::Build(uint64_t number) {
    std::string& text = m_text;
    Expand(m_destinationPieces, number, m_fields.destAddr);
    Expand(m_textPieces, number, text);
    const bool receipt = m_job.kind == GeneratorJob::Kind::Receipts;
    if (receipt) {
        char id[24];
        const std::string_view idText(id, std::size_t(std::to_chars(id, id + sizeof id, number).ptr - id));
        m_quoted.assign(text, 0, smpp::FirstCharacters(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                                       protocol::data_coding::kDefault, kReceiptTextChars, text.size()));
        const ReceiptFacts facts{idText, MessageState::Delivered, 0, m_receiptDate, m_receiptDate, m_quoted, m_version};
        receipt_profiles::WriteText(m_receiptProfile, facts, text);
        receipt_profiles::WriteTlvs(m_receiptProfile, facts, m_fields.tlvs);
    }
    // A handset's message or a receipt is never long here: what sm_length cannot count is cut.
    DeliverFields& f = m_fields;
    f.esmClass = receipt ? kEsmClassReceipt : uint8_t(0);
    f.message.assign(text.begin(), text.begin() + long(std::min(text.size(), kMaxShortMessage)));
    smpp::WriteMessagePdu(kDeliverSm, f, m_pdu);
}

QJsonObject CTrafficGenerator::Json() const {
    const GeneratorProgress& p = m_progress;
    return {{"state", StateName(p.state)},
            {"reason", QString::fromStdString(p.reason)},
            {"systemId", QString::fromStdString(p.systemId)},
            {"kind", GeneratorKindName(m_job.kind)},
            {"total", double(p.total)},
            {"sent", double(p.sent)},
            {"answered", double(p.answered)},
            {"errors", double(p.errors)},
            {"rate", std::round(p.rate * 10) / 10},
            {"window", p.window}};
}
