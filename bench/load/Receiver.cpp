// tarnwick-receiver: an ESME that binds as a receiver and answers every deliver_sm at once, counting
// how many arrive per second: the far end of the traffic generator's benchmark.
//
// Single thread, one blocking socket: every deliver_sm_resp due after one read goes out in one send.
// Counts from the first deliver_sm for S seconds (or until the server closes or stops sending), then prints
// "deliver_sm=N seconds=T rate=R/s".
#include "BenchPdu.h"
#include "BenchSocket.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kDeliverSm = 0x00000005;

} // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string systemId = "gen";
    double seconds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--port") port = std::atoi(argv[i + 1]);
        else if (arg == "--system-id") systemId = argv[i + 1];
        else if (arg == "--seconds") seconds = std::atof(argv[i + 1]);
        else port = -1;
    }
    if (port <= 0 || argc % 2 == 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: tarnwick-receiver --port P [--system-id S] [--seconds S]\n");
        return 2;
    }

    const int fd = bench::ConnectLoopback(port);
    if (fd < 0) {
        std::perror("connect");
        return 1;
    }
    // A sender that stops (a generator job that ended) ends the count after a second of silence.
    const timeval silence{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &silence, sizeof silence);
    std::string out;
    const std::string bind = systemId + '\0' + "pw" + '\0' + '\0' + "\x34" + '\0' + '\0' + '\0';
    bench::AppendPdu(out, kBindReceiver, 0, 1, bind.data(), uint32_t(bind.size()));
    if (!bench::SendAll(fd, out))
        return 1;

    std::vector<uint8_t> in(1 << 20);
    size_t start = 0, end = 0;
    uint64_t delivered = 0;
    bool counting = false;
    Clock::time_point first{}, last{};
    const auto duration = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        if (end == in.size()) {
            std::memmove(in.data(), in.data() + start, end - start);
            end -= start;
            start = 0;
        }
        const ssize_t n = recv(fd, in.data() + end, in.size() - end, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        end += size_t(n);
        out.clear();
        const Clock::time_point now = Clock::now();
        while (end - start >= bench::kHeaderSize) {
            const uint8_t* pdu = in.data() + start;
            const uint32_t length = bench::ReadBe32(pdu);
            if (length < bench::kHeaderSize || length > bench::kMaxPdu) {
                std::fprintf(stderr, "bad command_length %u\n", length);
                return 1;
            }
            if (end - start < length)
                break;
            if (bench::ReadBe32(pdu + 4) == kDeliverSm) {
                if (!counting) {
                    counting = true;
                    first = now;
                }
                ++delivered;
                last = now;
                bench::AppendPdu(out, kDeliverSm | bench::kResponseBit, 0, bench::ReadBe32(pdu + 12), "", 1);
            }
            start += length;
        }
        if (start == end)
            start = end = 0;
        if (!out.empty() && !bench::SendAll(fd, out))
            break;
        if (counting && now - first >= duration)
            break;
    }
    close(fd);
    const double elapsed = std::chrono::duration<double>(last - first).count();
    std::printf("deliver_sm=%llu seconds=%.2f rate=%.0f/s\n", static_cast<unsigned long long>(delivered), elapsed,
                elapsed > 0 ? double(delivered) / elapsed : 0.0);
    return delivered > 0 ? 0 : 1;
}
