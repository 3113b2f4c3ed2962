// What a server tells its server information page (online list and console).
#pragma once

#include <string_view>

// Implemented by whatever shows a server's clients and console: the server information
// page in the window, the terminal console when headless. Every call comes on the UI thread.
class CServerObserver {
public:
    virtual ~CServerObserver() = default;
    virtual void OnConnected(int index) = 0;    // record appended to the table
    virtual void OnDisconnected(int index) = 0; // record still readable during the call
    virtual void OnLoggedIn(int index) = 0;     // a bind or LOGIN set the connection's name
    virtual void Print(std::string_view line) = 0; // start line, ends with "\r\n"
};

// Told after a server has handled a received PDU, so the packet list can catch up.
class CPacketListRefresher {
public:
    virtual ~CPacketListRefresher() = default;
    virtual void Refresh() = 0;
};
