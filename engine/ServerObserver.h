// What a server tells its server information page (online list and console).
#pragma once

#include <string_view>

class CConnection;

// Implemented by whatever shows a server's clients and console: the server information
// page and the online list's model in the window, the terminal console when headless. A server
// has any number of them. Every call comes on the UI thread; none may add or remove records.
class CServerObserver {
public:
    virtual ~CServerObserver() = default;
    virtual void OnConnected(const CConnection& /*connection*/) {}    // appended at the end of the table
    virtual void OnDisconnected(const CConnection& /*connection*/) {} // about to leave; still in the table during the call
    virtual void OnRemoved(const CConnection& /*connection*/) {}      // has left the table; gone once the call returns
    virtual void OnLoggedIn(const CConnection& /*connection*/) {}     // a bind or LOGIN set the connection's name
    virtual void Print(std::string_view /*line*/) {} // start line, ends with "\r\n"
};
