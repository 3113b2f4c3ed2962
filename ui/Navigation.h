// The navigation table: the nine rows of the tree on the left and the page each one puts on the right.
#pragma once

#include "protocol/Registry.h"
#include "ui/Icons.h"

#include <array>
#include <cstdint>

namespace navigation {

// Icon identifiers of the navigation icon list that the tree and the overview list show.
inline constexpr int kConsoleIcon = icons::kConsole;
inline constexpr int kDecoderIcon = icons::kDecoder;
inline constexpr int kServerStoppedIcon = icons::kServerStopped;
inline constexpr int kServerRunningIcon = icons::kServerRunning;
inline constexpr int kDeliverIcon = icons::kDeliver;
inline constexpr int kStatisticsIcon = icons::kStatistics;

// Which page a row puts into the right-hand pane.
enum class Page { Overview, Decoder, ServerInfo, Deliver, Statistics };

// Protocol codes the server pages and composers are bound to.
inline constexpr uint16_t kNoProtocol = 0;
inline constexpr uint16_t kSmppProtocol = protocol::kSmpp;
inline constexpr uint16_t kMobileProtocol = protocol::kTest;
inline constexpr uint16_t kUcpProtocol = protocol::kUcp;
inline constexpr uint16_t kCimdProtocol = protocol::kCimd2;

struct NavigationItem {
    int id;              // equals the row's position
    int parentId;        // -1 for the root
    int icon;            // in the navigation icon list; a server row's stopped icon
    const char* name;
    const char* description;
    Page page;
    uint16_t protocol;   // the server a page belongs to, kNoProtocol for the others
};

inline constexpr int kConsoleRow = 0;
inline constexpr int kDecoderRow = 1;
inline constexpr int kStatisticsRow = 6;
inline constexpr int kNoRow = -1;

// Rows keep their ids when rows are added: a new one goes last.
inline constexpr std::array<NavigationItem, 9> kTable = {{
    {0, -1, kConsoleIcon,       "Console",               "",                                                                                                                 Page::Overview,   kNoProtocol},
    {1, 0,  kDecoderIcon,       "SMPP Decoder",          "The Decoder is a powerful tool that you can use to display SMPP 3.4 packet for detailed analysis.",                Page::Decoder,    kNoProtocol},
    {2, 0,  kServerStoppedIcon, "Tarnwick",              "The Tarnwick is a service for near-to-live testing of your SMPP applications without need of access to real SMSC.", Page::ServerInfo, kSmppProtocol},
    {3, 2,  kDeliverIcon,       "Deliver short message", "",                                                                                                                 Page::Deliver,    kSmppProtocol},
    {4, 0,  kServerStoppedIcon, "Mobile Server",         "The server can forward short message between SMSC and mobile phone simulator.",                                    Page::ServerInfo, kMobileProtocol},
    {5, 4,  kDeliverIcon,       "Deliver short message", "",                                                                                                                 Page::Deliver,    kMobileProtocol},
    {6, 0,  kStatisticsIcon,    "Statistics",            "Counts of this run's PDUs per command and status, the submit_sm rate and the response latency.",               Page::Statistics, kNoProtocol},
    {7, 0,  kServerStoppedIcon, "UCP Server",            "The UCP/EMI server: large accounts log in, submit, and are sent their messages and delivery notifications.",       Page::ServerInfo, kUcpProtocol},
    {8, 0,  kServerStoppedIcon, "CIMD2 Server",          "The CIMD2 server: clients log in, submit, and are sent their messages and status reports.",                        Page::ServerInfo, kCimdProtocol},
}};

inline constexpr bool IdsArePositions() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].id != static_cast<int>(i))
            return false;
    return true;
}
static_assert(IdsArePositions(), "a navigation row's id is its position");

inline constexpr int kRowCount = static_cast<int>(kTable.size());

// The row with that id, or nullptr.
const NavigationItem* Row(int id);

// Index of the first row whose parent is parentId and whose name is "Deliver short message",
// -1 when there is none.
int DeliverRowOf(int parentId);

// Image index (in the navigation icon list) of a row as the tree and the overview list show it:
// a server row takes the running icon when its server is listening.
int ImageIndexOf(const NavigationItem& row, bool serverRunning);

} // namespace navigation
