// The Help window's text, its key list and filter terms read from the menus and the filter's grammar.
#include "ui/HelpText.h"

#include "analysis/FilterExpression.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

#include <algorithm>
#include <utility>
#include <vector>

namespace help_text {
namespace {

using Rows = std::vector<std::pair<QString, QString>>;

// A heading underlined, then the rows in two columns, the first as wide as its widest entry.
QString Section(const QString& title, const Rows& rows) {
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    QString text = title + '\n' + QString(title.size(), u'-') + '\n';
    for (const auto& [left, right] : rows)
        text += "  " + left.leftJustified(width) + "   " + right + '\n';
    return text;
}

// The letter Alt or an open menu takes for a text with a mnemonic ("E&xit": X), empty for none.
QString Mnemonic(const QString& text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    return key.isEmpty() ? QString() : key.toString(QKeySequence::NativeText).section('+', -1);
}

QString Shortcuts(const QAction& action) {
    QStringList keys;
    for (const QKeySequence& key : action.shortcuts())
        keys.append(key.toString(QKeySequence::NativeText));
    return keys.join(", ");
}

QString Plain(QString text) { return text.remove(QRegularExpression("&(?!&)")); }

} // namespace

QString Keys(const QMenuBar& menus, const QList<QAction*>& others) {
    Rows rows;
    QList<const QAction*> listed;
    for (const QAction* top : menus.actions()) {
        const QMenu* menu = top->menu();
        if (!menu)
            continue;
        const QString menuKey = Mnemonic(top->text());
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator() || action->menu())
                continue;
            listed.append(action);
            QStringList keys;
            if (const QString letter = Mnemonic(action->text()); !menuKey.isEmpty() && !letter.isEmpty())
                keys.append(QString("Alt+%1, %2").arg(menuKey, letter));
            if (const QString shortcuts = Shortcuts(*action); !shortcuts.isEmpty())
                keys.append(shortcuts);
            rows.emplace_back(Plain(top->text()) + " > " + Plain(action->text()), keys.join("; "));
        }
    }
    // The pages that have a command of their own each (both servers' Unbind) list it once.
    for (const QAction* action : others) {
        const std::pair<QString, QString> row{Plain(action->text()), Shortcuts(*action)};
        if (!listed.contains(action) && !row.first.isEmpty() && !row.second.isEmpty() &&
            std::find(rows.begin(), rows.end(), row) == rows.end())
            rows.push_back(row);
    }
    return Section("Menus and keys", rows);
}

QString FilterTerms() {
    Rows rows;
    for (const display_filter::HelpLine& line : display_filter::Help())
        rows.emplace_back(QString::fromUtf8(line.written.data(), qsizetype(line.written.size())),
                          QString::fromUtf8(line.meaning.data(), qsizetype(line.meaning.size())));
    return Section("Display filter", rows);
}

QString Compose(const QString& introduction, const QMenuBar& menus, const QList<QAction*>& others) {
    return introduction.trimmed() + "\n\n" + Keys(menus, others) + '\n' + FilterTerms();
}

} // namespace help_text
