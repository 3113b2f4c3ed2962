// Lookups in the navigation table.
#include "ui/Navigation.h"

#include "ui/Icons.h"

#include <cstring>

namespace navigation {

const NavigationItem* Row(int id) {
    if (id < 0 || id >= kRowCount)
        return nullptr;
    return &kTable[static_cast<std::size_t>(id)];
}

int DeliverRowOf(int parentId) {
    for (const NavigationItem& row : kTable)
        if (row.parentId == parentId && std::strcmp(row.name, "Deliver short message") == 0)
            return row.id;
    return kNoRow;
}

int ImageIndexOf(const NavigationItem& row, bool serverRunning) {
    const bool running = row.page == Page::ServerInfo && serverRunning;
    return icons::NavigationIndex(running ? kServerRunningIcon : row.icon);
}

} // namespace navigation
