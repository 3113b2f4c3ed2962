// The PDUs the SMPP server starts on one connection, sent through a window as an SMSC sends them.
#pragma once

#include <QObject>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class CScheduler;

// Who hears of the answer to a PDU the server started.
enum class OutboxOrigin : uint8_t {
    Message,   // a deliver_sm or data_sm: the message listener hears of every try
    Session,   // the session's own enquire_link or unbind: the session hears of the answer
    Generated, // the traffic generator's: only the status goes back to it
};

// One PDU the server starts, header included, and how far it got.
struct OutboxItem {
    uint32_t commandId = 0;
    OutboxOrigin origin = OutboxOrigin::Message;
    bool answered = true;      // an answer is awaited; alert_notification leaves the window once sent
    uint64_t tag = 0;          // the sender's, handed back with every event
    int tryNumber = 1;         // of the try under way, 1 for the first
    int tries = 1;             // the most this PDU gets
    uint32_t sequence = 0;     // of its latest try; the first is given when the PDU is posted
    int64_t dueMs = 0;         // unanswered: when silence ends the try; backing off: when it goes again
    bool backingOff = false;   // refused for now or unanswered, waiting for its next try in its place
    std::array<char, 8> messageId{}; // the delivery series' id ("D000042") of a Message, given when posted
    std::vector<uint8_t> pdu;  // the PDU as sent, header included
};

// What became of a try, told to the outbox's link.
struct OutboxEvent {
    enum class Kind : uint8_t {
        Sent,          // a try went out
        Again,         // refused for now, or unanswered: tried again after againInMs
        Delivered,     // answered with success (a Session or Generated PDU: answered at all)
        Undeliverable, // refused, out of tries, its connection closed, or forgotten unsent
    };
    enum class Why : uint8_t { Answer, Silence, Closed, Forgotten };
    Kind kind = Kind::Sent;
    Why why = Why::Answer;
    std::optional<uint32_t> status; // the ESME's; none for silence, a close or a PDU forgotten
    int64_t againInMs = 0;
};

// How the outbox retries: an answer of ESME_RMSGQFUL, ESME_RTHROTTLED or ESME_RX_T_APPN, or none
// within timeoutMs, sends the PDU again after backoffMs, doubled before each further try.
struct OutboxTiming {
    int64_t timeoutMs = 10'000;
    int64_t backoffMs = 1'000;
};

// Owns the PDUs the server started on one connection: at most `window` unanswered at once (a PDU
// waiting to be tried again keeps its place among them), the rest waiting in posting order, at most
// kMaxWaiting of them; posting one more forgets the oldest waiting, told as undeliverable. Every
// unanswered PDU has a deadline; one timer, armed for the earliest, serves them all. Sequence
// numbers run 1 .. 0x7FFFFFFF and wrap to 1; a PDU takes its first when posted, so posting order
// is wire order, and a new one for each further try. Tells its link of every try and its end. UI
// thread; gone with its connection, its timer with it.
class COutbox {
public:
    static constexpr std::size_t kMaxWindow = 1024;
    static constexpr std::size_t kMaxWaiting = 20'000;
    static constexpr uint32_t kMaxSequence = 0x7FFFFFFF;

    // What an outbox needs of its connection's server.
    class Link {
    public:
        virtual ~Link() = default;
        // Sends and captures the PDU; false when the connection takes nothing more.
        virtual bool Transmit(OutboxItem& item) = 0;
        // Of an item that has ended its pdu may be gone already; the link may post to the outbox.
        virtual void Told(OutboxItem& item, const OutboxEvent& event) = 0;
    };

    COutbox(CScheduler& scheduler, Link& link);
    COutbox(const COutbox&) = delete;
    COutbox& operator=(const COutbox&) = delete;

    // Applies from the next PDU sent; a smaller window lets the unanswered beyond it finish.
    void SetWindow(std::size_t window);
    std::size_t Window() const { return m_window; }
    void SetTiming(const OutboxTiming& timing) { m_timing = timing; }

    // Takes the PDU (whose header's sequence is written here) and sends it now if the window has
    // room, else after those before it. Returns the sequence number of its first try.
    uint32_t Post(OutboxItem item);
    // The answer to a try of ours settles it; false when sequence is none of ours (an answer
    // that came too late, or to nothing).
    bool Settle(uint32_t sequence, uint32_t status);
    // The connection closes: everything unanswered or waiting ends undeliverable, in order.
    void Close();

    std::size_t Unanswered() const { return m_unanswered.size(); }
    std::size_t Waiting() const { return m_waiting.size(); }
    // Posted PDUs sent at once rather than waiting: window room with nothing waiting before them.
    std::size_t Room() const;
    void SetNextSequence(uint32_t sequence) { m_nextSequence = sequence; }
    // An empty buffer for the next PDU to post, with the room of one that has been sent.
    std::vector<uint8_t> TakeBuffer();

private:
    uint32_t TakeSequence();
    // Sends what waits while the window has room.
    void Pump();
    // Sends the first try of an item the window has room for; one that awaits an answer joins the unanswered.
    void Launch(OutboxItem&& item);
    // Sends one try; false when the connection refused it (the item has ended then).
    bool SendTry(OutboxItem& item);
    void Conclude(std::size_t at, std::optional<uint32_t> status);
    void Arm(int64_t dueMs);
    void Expire();
    // A finished item's buffer kept for the next, so that steady traffic allocates nothing.
    void Recycle(OutboxItem& item);

    CScheduler& m_scheduler;
    Link& m_link;
    QObject m_timerContext; // the timer dies with the outbox
    OutboxTiming m_timing;
    std::size_t m_window = 10;
    uint32_t m_nextSequence = 1;
    std::deque<OutboxItem> m_unanswered; // in sending order; backing-off ones keep their place
    std::deque<OutboxItem> m_waiting;
    std::vector<std::vector<uint8_t>> m_spare;
    int64_t m_armedDueMs = -1; // -1: no timer armed
    uint64_t m_armRun = 0;
};
