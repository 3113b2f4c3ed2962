// tarnwick-delay-probe: how far from its fault rule's delayMs each delayed answer comes.
//
// Binds as a transceiver under a system id that a rule delays by D ms, then sends N submit_sm a set
// spacing apart without waiting for their answers (a delayed answer holds up no other) and times
// each answer from its request. Prints the error (answer time minus D; negative is early) as
// "delay_ms=D samples=N error_min_ms=.. error_p50_ms=.. error_p90_ms=.. error_max_ms=.. allowed_ms=A
// within=yes|no",
// A being 2 ms or 1% of D, whichever is larger.
#include "BenchPdu.h"
#include "BenchSocket.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Cuts the PDUs that arrive on fd; at is when the octets that completed a PDU came in.
struct Reader {
    int fd;
    std::string in;

    // The next PDU's command id and sequence, or false when none came within timeoutMs.
    bool Next(int timeoutMs, uint32_t& id, uint32_t& sequence, Clock::time_point& at) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (in.size() >= bench::kHeaderSize) {
                const auto* pdu = reinterpret_cast<const uint8_t*>(in.data());
                const uint32_t length = bench::ReadBe32(pdu);
                if (length < bench::kHeaderSize || length > bench::kMaxPdu)
                    return false;
                if (in.size() >= length) {
                    id = bench::ReadBe32(pdu + 4);
                    sequence = bench::ReadBe32(pdu + 12);
                    in.erase(0, length);
                    return true;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd readable{fd, POLLIN, 0};
            if (left <= 0 || poll(&readable, 1, int(left)) <= 0)
                return false;
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            at = Clock::now();
            in.append(buffer, size_t(n));
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    int port = 0, count = 20, spacingMs = 50;
    double delayMs = -1;
    std::string systemId;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--port") port = std::atoi(argv[i + 1]);
        else if (arg == "--system-id") systemId = argv[i + 1];
        else if (arg == "--delay") delayMs = std::atof(argv[i + 1]);
        else if (arg == "--count") count = std::atoi(argv[i + 1]);
        else if (arg == "--spacing") spacingMs = std::atoi(argv[i + 1]);
        else port = -1;
    }
    if (port <= 0 || systemId.empty() || delayMs < 0 || count <= 0 || spacingMs < 0 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: tarnwick-delay-probe --port P --system-id S --delay MS [--count N] [--spacing MS]\n");
        return 2;
    }
    const int fd = bench::ConnectLoopback(port);
    if (fd < 0) {
        std::perror("connect");
        return 1;
    }
    Reader reader{fd, {}};
    const int waitMs = int(delayMs) + 5000;
    std::string out;
    const std::string bind = bench::BindBody(systemId);
    bench::AppendPdu(out, bench::kBindTransceiver, 0, 1, bind.data(), uint32_t(bind.size()));
    uint32_t id = 0, sequence = 0;
    Clock::time_point at;
    if (!bench::SendAll(fd, out) || !reader.Next(waitMs, id, sequence, at) ||
        id != (bench::kBindTransceiver | bench::kResponseBit)) {
        std::fprintf(stderr, "no bind_transceiver_resp\n");
        return 1;
    }

    const std::string submit = bench::SubmitBody("probe");
    std::vector<Clock::time_point> sentAt(size_t(count) + 2);
    std::vector<double> errors;
    for (int i = 0; i < count; ++i) {
        out.clear();
        bench::AppendPdu(out, bench::kSubmitSm, 0, uint32_t(i + 2), submit.data(), uint32_t(submit.size()));
        sentAt[size_t(i) + 2] = Clock::now();
        if (!bench::SendAll(fd, out))
            return 1;
        // Answers that fall due while the next request waits its turn are read as they come.
        const auto next = Clock::now() + std::chrono::milliseconds(spacingMs);
        while (Clock::now() < next) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            if (reader.Next(int(std::max<long>(left, 0)), id, sequence, at) && sequence < sentAt.size())
                errors.push_back(std::chrono::duration<double, std::milli>(at - sentAt[sequence]).count() - delayMs);
        }
    }
    while (errors.size() < size_t(count) && reader.Next(waitMs, id, sequence, at)) {
        if (sequence < sentAt.size())
            errors.push_back(std::chrono::duration<double, std::milli>(at - sentAt[sequence]).count() - delayMs);
    }
    close(fd);
    if (errors.empty()) {
        std::fprintf(stderr, "no submit_sm_resp\n");
        return 1;
    }
    std::sort(errors.begin(), errors.end());
    const double allowed = std::max(2.0, delayMs / 100);
    const bool within = errors.front() >= -allowed && errors.back() <= allowed;
    std::printf("delay_ms=%.0f samples=%zu error_min_ms=%.2f error_p50_ms=%.2f error_p90_ms=%.2f error_max_ms=%.2f "
                "allowed_ms=%.1f within=%s\n",
                delayMs, errors.size(), errors.front(), errors[errors.size() / 2], errors[errors.size() * 9 / 10],
                errors.back(), allowed, within ? "yes" : "no");
    return 0;
}
