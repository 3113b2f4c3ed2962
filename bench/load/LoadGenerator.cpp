// tarnwick-load: binds C transceivers and keeps W submit_sm in flight on each for S seconds.
//
// Single thread, non-blocking sockets and epoll. Every response that arrives is answered by the
// next submit_sm on the same connection, so the window stays full; all submits due after one
// read go out in one send. Prints round trips, throughput and p50/p99 latency.
//
// With --registered-delivery 1 the submits ask for receipts; --deliver answer takes every
// deliver_sm with a deliver_sm_resp at once, --deliver ignore never answers one (without either, a
// deliver_sm ends the run as unexpected). --drain S then stops submitting and waits up to S seconds
// for the last answers and a receipt for every submit answered; it prints delivers and missing.
// --count N sends N submit_sm in all, then drains as --drain says (10 s unless given), and prints
// the PDUs it sent and received, binds included, to hold against the server's own counts.
#include "BenchPdu.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string host = "127.0.0.1";
    int port = 5018;
    int connections = 4;
    int window = 64;
    double seconds = 3;
    int registeredDelivery = 0;
    std::string deliver;   // "answer", "ignore" or empty: a deliver_sm is unexpected
    double drainSeconds = 0;
    uint64_t count = 0; // submit_sm in all; 0: as many as the seconds allow
};

constexpr uint32_t kDeliverSm = 0x00000005;

struct Connection {
    int fd = -1;
    bool bound = false;
    uint32_t nextSequence = 1;
    std::vector<Clock::time_point> sentAt; // by sequence modulo its size
    std::vector<uint8_t> in;
    size_t inStart = 0;
    size_t inEnd = 0;
    std::string out;
};

// A typical submit_sm body: addresses, no schedule, an 11-character text.
const std::string& SubmitBody() {
    static const std::string body = [] {
        std::string b;
        b += '\0';                       // service_type
        b += '\1'; b += '\1'; b += "12345"; b += '\0';
        b += '\1'; b += '\1'; b += "67890"; b += '\0';
        b += '\0'; b += '\0'; b += '\0'; // esm_class, protocol_id, priority_flag
        b += '\0'; b += '\0';            // schedule_delivery_time, validity_period
        b += '\0'; b += '\0'; b += '\0'; b += '\0'; // registered_delivery .. sm_default_msg_id
        b += char(11); b += "Hello world";
        return b;
    }();
    return body;
}
constexpr size_t kRegisteredDeliveryOffset = 22; // in SubmitBody: after the addresses, esm_class .. validity_period

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || !value)
            return false;
        if (arg == "--host") options.host = value;
        else if (arg == "--port") options.port = std::atoi(value);
        else if (arg == "--connections") options.connections = std::atoi(value);
        else if (arg == "--window") options.window = std::atoi(value);
        else if (arg == "--seconds") options.seconds = std::atof(value);
        else if (arg == "--registered-delivery") options.registeredDelivery = std::atoi(value);
        else if (arg == "--deliver") options.deliver = value;
        else if (arg == "--drain") options.drainSeconds = std::atof(value);
        else if (arg == "--count") options.count = std::strtoull(value, nullptr, 10);
        else return false;
        ++i;
    }
    return options.connections > 0 && options.window > 0 && options.seconds > 0 &&
           (options.deliver.empty() || options.deliver == "answer" || options.deliver == "ignore");
}

void QueueSubmit(Connection& c, Clock::time_point now, uint8_t registeredDelivery) {
    const uint32_t sequence = c.nextSequence++;
    c.sentAt[sequence % c.sentAt.size()] = now;
    const size_t at = c.out.size() + bench::kHeaderSize + kRegisteredDeliveryOffset;
    bench::AppendPdu(c.out, bench::kSubmitSm, 0, sequence, SubmitBody().data(),
                     static_cast<uint32_t>(SubmitBody().size()));
    c.out[at] = char(registeredDelivery);
}

void Flush(Connection& c) {
    size_t done = 0;
    while (done < c.out.size()) {
        const ssize_t n = send(c.fd, c.out.data() + done, c.out.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break; // the rest goes with the next flush
        } else {
            Fail("send");
        }
    }
    c.out.erase(0, done);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: tarnwick-load [--host A] [--port P] [--connections C] [--window W] [--seconds S]\n"
                             "                     [--registered-delivery N] [--deliver answer|ignore] [--drain S]\n"
                             "                     [--count N]\n");
        return 2;
    }

    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    std::vector<Connection> connections(size_t(options.connections));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(options.port));
    if (inet_pton(AF_INET, options.host.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "bad host %s\n", options.host.c_str());
        return 2;
    }

    for (size_t i = 0; i < connections.size(); ++i) {
        Connection& c = connections[i];
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (c.fd < 0 || connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            Fail("connect");
        const int one = 1;
        setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        c.sentAt.resize(size_t(options.window) * 4);
        c.in.resize(1 << 18);
        const std::string body = std::string("load") + std::to_string(i) + '\0' + "pw" + '\0' + '\0' + "\x34" +
                                 '\0' + '\0' + '\0';
        bench::AppendPdu(c.out, bench::kBindTransceiver, 0, c.nextSequence++, body.data(), uint32_t(body.size()));
        Flush(c);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = uint32_t(i);
        epoll_ctl(epoll, EPOLL_CTL_ADD, c.fd, &event);
    }

    std::vector<uint32_t> latencies; // nanoseconds, one per measured round trip
    latencies.reserve(1 << 22);
    size_t boundCount = 0;
    bool measuring = false;
    Clock::time_point start{};
    Clock::time_point end{};
    uint64_t roundTrips = 0;
    uint64_t delivers = 0;     // deliver_sm received, from the start of the measurement
    uint64_t submitsSent = 0, submitsAnswered = 0;
    uint64_t pdusSent = 0, pdusReceived = 0; // binds and everything after them
    const uint64_t most = options.count > 0 ? options.count : UINT64_MAX;
    const double drainSeconds = options.count > 0 && options.drainSeconds <= 0 ? 10 : options.drainSeconds;
    bool draining = false;
    Clock::time_point drainEnd{};
    const uint8_t registered = uint8_t(options.registeredDelivery);
    const auto duration = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));

    epoll_event events[64];
    for (;;) {
        const int ready = epoll_wait(epoll, events, 64, draining ? 50 : 5000);
        if (ready < 0 && errno == EINTR)
            continue;
        const Clock::time_point now = Clock::now();
        if (draining && (now >= drainEnd ||
                         (submitsAnswered == submitsSent && (registered == 0 || delivers >= submitsAnswered))))
            break;
        if (ready <= 0 && !draining) {
            std::fprintf(stderr, "no answer from the server for 5 s\n");
            return 1;
        }
        if (measuring && !draining && (options.count > 0 ? submitsSent >= most : now - start >= duration)) {
            end = now;
            if (drainSeconds <= 0)
                break;
            draining = true;
            drainEnd = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(drainSeconds));
        }
        for (int e = 0; e < ready; ++e) {
            Connection& c = connections[events[e].data.u32];
            if (c.inEnd == c.in.size()) {
                std::copy(c.in.begin() + long(c.inStart), c.in.begin() + long(c.inEnd), c.in.begin());
                c.inEnd -= c.inStart;
                c.inStart = 0;
            }
            const ssize_t n = recv(c.fd, c.in.data() + c.inEnd, c.in.size() - c.inEnd, 0);
            if (n == 0) {
                std::fprintf(stderr, "server closed the connection\n");
                return 1;
            }
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                Fail("recv");
            }
            c.inEnd += size_t(n);
            while (c.inEnd - c.inStart >= bench::kHeaderSize) {
                const uint8_t* pdu = c.in.data() + c.inStart;
                const uint32_t length = bench::ReadBe32(pdu);
                if (length < bench::kHeaderSize || length > bench::kMaxPdu) {
                    std::fprintf(stderr, "bad command_length %u\n", length);
                    return 1;
                }
                if (c.inEnd - c.inStart < length)
                    break;
                const uint32_t id = bench::ReadBe32(pdu + 4);
                const uint32_t sequence = bench::ReadBe32(pdu + 12);
                c.inStart += length;
                ++pdusReceived;
                if (id == (bench::kBindTransceiver | bench::kResponseBit)) {
                    c.bound = true;
                    if (++boundCount == connections.size()) {
                        measuring = true;
                        start = Clock::now();
                        for (Connection& each : connections) {
                            for (int w = 0; w < options.window && submitsSent < most; ++w, ++submitsSent)
                                QueueSubmit(each, start, registered);
                            Flush(each);
                        }
                    }
                } else if (id == (bench::kSubmitSm | bench::kResponseBit)) {
                    ++submitsAnswered;
                    if (draining)
                        continue;
                    ++roundTrips;
                    latencies.push_back(uint32_t(std::min<int64_t>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now - c.sentAt[sequence % c.sentAt.size()])
                            .count(),
                        UINT32_MAX)));
                    if (submitsSent < most) {
                        QueueSubmit(c, now, registered);
                        ++submitsSent;
                    }
                } else if (id == kDeliverSm && !options.deliver.empty()) {
                    ++delivers;
                    if (options.deliver == "answer") {
                        ++pdusSent;
                        const char empty = 0;
                        bench::AppendPdu(c.out, kDeliverSm | bench::kResponseBit, 0, sequence, &empty, 1);
                    }
                } else {
                    std::fprintf(stderr, "unexpected command_id 0x%08X\n", id);
                    return 1;
                }
            }
            if (c.inStart == c.inEnd)
                c.inStart = c.inEnd = 0;
            if (!c.out.empty())
                Flush(c);
        }
    }
    if (!draining)
        end = Clock::now();

    const double elapsed = std::chrono::duration<double>(end - start).count();
    auto percentile = [&](double p) -> double {
        if (latencies.empty())
            return 0;
        const size_t k = std::min(latencies.size() - 1, size_t(p * double(latencies.size())));
        std::nth_element(latencies.begin(), latencies.begin() + long(k), latencies.end());
        return latencies[k] / 1000.0;
    };
    const double p50 = percentile(0.50);
    const double p99 = percentile(0.99);
    std::printf("connections=%d window=%d seconds=%.2f round_trips=%llu throughput=%.0f/s p50=%.1fus p99=%.1fus",
                options.connections, options.window, elapsed, static_cast<unsigned long long>(roundTrips),
                double(roundTrips) / elapsed, p50, p99);
    if (!options.deliver.empty())
        std::printf(" submits_answered=%llu delivers=%llu missing=%lld", static_cast<unsigned long long>(submitsAnswered),
                    static_cast<unsigned long long>(delivers),
                    registered ? static_cast<long long>(submitsAnswered) - static_cast<long long>(delivers) : 0LL);
    if (options.count > 0)
        std::printf(" submits_sent=%llu pdus=%llu", static_cast<unsigned long long>(submitsSent),
                    static_cast<unsigned long long>(pdusSent + connections.size() + submitsSent + pdusReceived));
    std::printf("\n");
    for (Connection& c : connections)
        close(c.fd);
    close(epoll);
    return 0;
}
