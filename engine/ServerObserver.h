// What a server tells its server information page (online list and console).
#pragma once

#include <string_view>

// Implemented by whatever shows a server's clients and console: the server information
// page and the online list's model in the window, the terminal console when headless. A server
// has any number of them. Every call comes on the UI thread; none may add or remove records.
class CServerObserver {
public:
    virtual ~CServerObserver() = default;
    virtual void OnConnected(int /*index*/) {}    // record appended at the end of the table
    virtual void OnDisconnected(int /*index*/) {} // about to leave; still readable during the call
    virtual void OnRemoved(int /*index*/) {}      // has left; later records moved up one place
    virtual void OnLoggedIn(int /*index*/) {}     // a bind or LOGIN set the connection's name
    virtual void Print(std::string_view /*line*/) {} // start line, ends with "\r\n"
};
