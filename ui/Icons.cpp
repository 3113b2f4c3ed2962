// Looks icons up by identifier in the compiled-in resources and keeps each one once built.
#include "ui/Icons.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QPalette>
#include <QStyle>
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

template <typename T, std::size_t N>
QIcon IconAt(const std::array<T, N>& list, int index)
{
    if (index < 0 || index >= static_cast<int>(N)) {
        return {};
    }
    return Icon(list[static_cast<std::size_t>(index)]);
}

// The icon of resource file name.svg, built once and kept.
QIcon Load(const QString& name)
{
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return *it;
    RegisterIconResources();
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    return *cache.insert(name, QFile::exists(path) ? QIcon(path) : QIcon());
}

} // namespace

int NavigationIndex(int id)
{
    const auto it = std::find(kNavigation.begin(), kNavigation.end(), id);
    return it == kNavigation.end() ? -1 : static_cast<int>(it - kNavigation.begin());
}

QIcon Icon(int id)
{
    return Load(QString::number(id));
}

QIcon NavigationIcon(int index)
{
    return IconAt(kNavigation, index);
}

QIcon DecodeIcon(int index)
{
    return IconAt(kDecode, index);
}

QIcon ErrorIcon()
{
    static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
    return icon;
}

QColor ErrorColour(const QPalette& palette)
{
    // Dark red on a light base, light red on a dark one.
    return palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc0, 0x00, 0x00);
}

QIcon ApplicationIcon()
{
    return Load(QStringLiteral("tarnwick"));
}

QIcon CommandIcon(const char* name)
{
    return Load(QStringLiteral("cmd-") + QString::fromLatin1(name));
}

} // namespace icons
