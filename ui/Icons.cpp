// Looks icons up by identifier in the compiled-in resources and keeps each one once built.
#include "ui/Icons.h"

#include <QFile>
#include <QHash>
#include <QString>

#include <algorithm>

// Q_INIT_RESOURCE names a global symbol, so it cannot be called from inside a namespace; calling it
// also pulls the resource object out of the static library.
static void RegisterIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

namespace icons {

namespace {

template <std::size_t N>
int IndexOf(const std::array<int, N>& list, int id)
{
    const auto it = std::find(list.begin(), list.end(), id);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

template <std::size_t N>
QIcon IconAt(const std::array<int, N>& list, int index)
{
    if (index < 0 || index >= static_cast<int>(N)) {
        return {};
    }
    return Icon(list[static_cast<std::size_t>(index)]);
}

QIcon Load(const QString& name)
{
    RegisterIconResources();
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

int NavigationIndex(int id)
{
    return IndexOf(kNavigation, id);
}

int DecodeIndex(int id)
{
    return IndexOf(kDecode, id);
}

QIcon Icon(int id)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(id);
    if (it != cache.constEnd()) {
        return *it;
    }
    return *cache.insert(id, Load(QString::number(id)));
}

QIcon NavigationIcon(int index)
{
    return IconAt(kNavigation, index);
}

QIcon DecodeIcon(int index)
{
    return IconAt(kDecode, index);
}

QIcon ApplicationIcon()
{
    static const QIcon icon = Load(QStringLiteral("tarnwick"));
    return icon;
}

QIcon CommandIcon(const char* name)
{
    static QHash<QString, QIcon> cache;
    const QString key = QString::fromLatin1(name);
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        return *it;
    }
    return *cache.insert(key, Load(QStringLiteral("cmd-") + key));
}

} // namespace icons
