// bare-responder: the baseline for tarnwick-load, an SMPP peer that only answers binds and submit_sm;
// and for the traffic generator, as soon as a receiver binds it keeps kDeliverWindow deliver_sm in
// flight to it, each answer sending the next.
//
// Same framing as Tarnwick (command_length first), no capture, no console: epoll on one thread,
// every answer due after one read goes out in one send. Prints "port N" once it listens.
#include "BenchPdu.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Connection {
    std::vector<uint8_t> in = std::vector<uint8_t>(1 << 18);
    size_t inStart = 0;
    size_t inEnd = 0;
    std::string out;
};

int16_t g_messageId = 0;
constexpr int kDeliverWindow = 256;

// A deliver_sm as the traffic generator sends one: addresses, an 11-character text.
void QueueDeliver(Connection& c) {
    static const std::string body = std::string("\0\1\1" "12345\0" "\1\1" "447900012345\0", 24) +
                                    std::string(9, '\0') + char(11) + "Message 123";
    static uint32_t sequence = 0;
    bench::AppendPdu(c.out, 0x00000005, 0, ++sequence, body.data(), uint32_t(body.size()));
}

// Answers one PDU into c.out; false when the stream is unusable.
bool Answer(Connection& c, const uint8_t* pdu, uint32_t length) {
    const uint32_t id = bench::ReadBe32(pdu + 4);
    const uint32_t sequence = bench::ReadBe32(pdu + 12);
    const uint8_t* body = pdu + bench::kHeaderSize;
    const uint32_t bodyLength = length - bench::kHeaderSize;
    if (id == 0x00000001 || id == 0x00000002 || id == bench::kBindTransceiver) {
        char reply[16 + 5] = {};
        size_t n = 0;
        while (n < 15 && n < bodyLength && body[n] != 0) {
            reply[n] = char(body[n]);
            ++n;
        }
        const char tlv[5] = {0x02, 0x10, 0x00, 0x01, 0x34};
        std::memcpy(reply + n + 1, tlv, sizeof tlv);
        bench::AppendPdu(c.out, id | bench::kResponseBit, 0, sequence, reply, uint32_t(n + 1 + 5));
        for (int i = 0; id == 0x00000001 && i < kDeliverWindow; ++i)
            QueueDeliver(c);
    } else if (id == (0x00000005 | bench::kResponseBit)) {
        QueueDeliver(c);
    } else if (id == bench::kSubmitSm) {
        char text[8];
        const int n = std::snprintf(text, sizeof text, "%06d", int(g_messageId));
        g_messageId = int16_t(uint16_t(g_messageId) + 1u);
        bench::AppendPdu(c.out, id | bench::kResponseBit, 0, sequence, text, uint32_t(n + 1));
    }
    return true;
}

void Flush(int fd, Connection& c) {
    size_t done = 0;
    while (done < c.out.size()) {
        const ssize_t n = send(fd, c.out.data() + done, c.out.size() - done, MSG_NOSIGNAL);
        if (n > 0)
            done += size_t(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // a stalled peer loses nothing: the rest waits for the next flush
    }
    c.out.erase(0, done);
}

} // namespace

int main(int argc, char** argv) {
    int port = 0;
    if (argc == 3 && std::strcmp(argv[1], "--port") == 0) {
        port = std::atoi(argv[2]);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: bare-responder [--port P]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 10) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("listen");
        return 1;
    }
    std::printf("port %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener;
    epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event);
    std::map<int, Connection> connections;

    epoll_event events[64];
    for (;;) {
        const int ready = epoll_wait(epoll, events, 64, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        for (int e = 0; e < ready; ++e) {
            const int fd = events[e].data.fd;
            if (fd == listener) {
                const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0)
                    continue;
                setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                epoll_event clientEvent{};
                clientEvent.events = EPOLLIN;
                clientEvent.data.fd = client;
                epoll_ctl(epoll, EPOLL_CTL_ADD, client, &clientEvent);
                connections[client];
                continue;
            }
            Connection& c = connections[fd];
            if (c.inEnd == c.in.size()) {
                std::memmove(c.in.data(), c.in.data() + c.inStart, c.inEnd - c.inStart);
                c.inEnd -= c.inStart;
                c.inStart = 0;
            }
            const ssize_t n = recv(fd, c.in.data() + c.inEnd, c.in.size() - c.inEnd, 0);
            bool drop = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
            if (n > 0)
                c.inEnd += size_t(n);
            while (!drop && c.inEnd - c.inStart >= bench::kHeaderSize) {
                const uint8_t* pdu = c.in.data() + c.inStart;
                const uint32_t length = bench::ReadBe32(pdu);
                if (length < bench::kHeaderSize || length > bench::kMaxPdu) {
                    drop = true;
                    break;
                }
                if (c.inEnd - c.inStart < length)
                    break;
                drop = !Answer(c, pdu, length);
                c.inStart += length;
            }
            if (c.inStart == c.inEnd)
                c.inStart = c.inEnd = 0;
            if (!c.out.empty())
                Flush(fd, c);
            if (drop) {
                epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
                close(fd);
                connections.erase(fd);
            }
        }
    }
}
