// The Help window's text: the introduction, then the keys and the display filter's terms, each made from its home.
#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenuBar;

namespace help_text {

// "Menus and keys": every command of the menu bar with the keys that reach it (Alt and the menu's letter, then the
// command's letter, and its shortcuts), then every other command of the window that has a shortcut.
QString Keys(const QMenuBar& menus, const QList<QAction*>& others);
// "Display filter": the shortcut terms, operators and keywords, as the filter's grammar reads them.
QString FilterTerms();
// The introduction (the help file's text), then Keys and FilterTerms.
QString Compose(const QString& introduction, const QMenuBar& menus, const QList<QAction*>& others);

} // namespace help_text
