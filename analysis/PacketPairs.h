// Requests and their answers in the capture log, paired by connection and sequence number.
#pragma once

#include "analysis/WaitingRequests.h"
#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Listens to the capture log and pairs each response with the request it answers: same connection
// (PacketSummary::connection, never 0), same protocol family, same sequence number (SMPP
// sequence_number, the gateway protocols' sequence ids, the TEST sequence). Records stored before it
// was made are paired when it is made. Forgets everything with the log's reset. UI thread only.
class CPacketPairs : public CPacketLogListener {
public:
    using Clock = int64_t (*)(); // microseconds since 1970
    static constexpr int64_t kDefaultUnansweredUs = 5'000'000;

    // Keeps a copy of decoder (gateway responses carry their status in the body).
    CPacketPairs(CPacketLog& log, const CPacketDecoder& decoder);
    ~CPacketPairs() override;
    CPacketPairs(const CPacketPairs&) = delete;
    CPacketPairs& operator=(const CPacketPairs&) = delete;

    // Other: a PDU that expects no answer (alert_notification, outbind) or that could not be read.
    enum class Role : uint8_t { Other, Request, Response };
    Role RoleOf(int32_t index) const;
    // The request a response answers, or the answer of a request; -1 when none is captured.
    int32_t PartnerOf(int32_t index) const;
    // The sequence number in the header of any record that holds one (SGIP: the last of its three words).
    std::optional<uint32_t> SequenceOf(int32_t index) const;
    // The answer's status: a response's own, a request's answer's; nothing when none is known.
    std::optional<uint32_t> StatusOf(int32_t index) const;
    // What the "Status" column shows: empty for success or while an answer may still come, the
    // status's name ("ESME_RTHROTTLED") or its number when it has none, "no answer" when unanswered.
    std::string StatusText(int32_t index) const;
    // Microseconds from request to response, the same on both rows; nothing while unpaired.
    std::optional<int64_t> LatencyUs(int32_t index) const;
    // A request that expects an answer and has none after the unanswered time (never one whose
    // connection is unknown, such as a typed PDU: nothing could answer it).
    bool IsUnanswered(int32_t index) const;
    // A status other than success, or unanswered.
    bool IsError(int32_t index) const;
    // Appends to out every request still waiting for its answer (connection known, none paired yet).
    void WaitingRequests(std::vector<int32_t>& out) const;

    void SetUnansweredAfterUs(int64_t us) { m_unansweredUs = us; }
    int64_t UnansweredAfterUs() const { return m_unansweredUs; }
    // What "now" is for the unanswered time; the system clock unless a test says otherwise.
    void SetClock(Clock clock) { m_clock = clock; }

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;

private:
    // What is known of one record. The status is read when first asked for: a gateway answer's
    // needs a decode.
    struct Entry {
        int32_t partner = -1;
        int32_t olderWaiting = -1; // the next older request still waiting under the same key
        uint32_t answerId = 0;     // a request's expected answer; a response's own command id
        Role role = Role::Other;
        bool smpp = false;
        mutable uint8_t statusState = 0; // kStatusUnread, kStatusNone, kStatusRead
        mutable int32_t statusField = -2; // the decoder's descriptor the status is named by; -2 unread, -1 none
        mutable uint32_t status = 0;
    };
    void Add(int32_t index);
    bool Answers(int32_t request, int32_t response) const;
    // The status of a response record, read once.
    const Entry& StatusEntry(int32_t response) const;
    int32_t StatusField(int32_t response) const;

    CPacketLog& m_log;
    mutable CPacketDecoder m_decoder;
    int64_t m_unansweredUs = kDefaultUnansweredUs;
    Clock m_clock;
    std::vector<Entry> m_entries; // one per record
    CWaitingRequests m_waiting; // the newest request waiting under each key
};
