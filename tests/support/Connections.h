// Finding a server's connections in tests: by the test client's port, or by place in the table.
#pragma once

#include "engine/SocketServer.h"

#include <cstdint>

namespace test_net {

// The connection whose peer port is port; nullptr when the server has none.
inline CConnection* ConnectionAt(const CSocketServer& server, uint16_t port) {
    CConnection* found = nullptr;
    server.ForEachConnection([&](const CConnection& connection) {
        if (connection.PeerPort() == port)
            found = server.FindConnection(connection.Id());
    });
    return found;
}

// The n-th connection of the table (0 first); nullptr past its end.
inline CConnection* NthConnection(const CSocketServer& server, int n) {
    CConnection* found = nullptr;
    int at = 0;
    server.ForEachConnection([&](const CConnection& connection) {
        if (at++ == n)
            found = server.FindConnection(connection.Id());
    });
    return found;
}

} // namespace test_net
