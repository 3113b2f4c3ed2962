// The display filter's line and its completion.
#include "ui/FilterLine.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QStringListModel>

namespace {

// What ends a word of the filter: blanks, parentheses and the operators.
bool EndsWord(QChar c) { return c.isSpace() || QStringLiteral("()!=<>&|\"").contains(c); }

} // namespace

CFilterLine::CFilterLine(const QStringList& names, QWidget* parent) : QLineEdit(parent) {
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    sorted.removeDuplicates();
    m_completer = new QCompleter(new QStringListModel(sorted, this), this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    // Not setCompleter: that would complete the whole line, not the word being typed.
    m_completer->setWidget(this);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this, &CFilterLine::Insert);
    connect(this, &QLineEdit::textEdited, this, &CFilterLine::OnEdited);
}

QString CFilterLine::WordAtCursor() const {
    const QString line = text();
    int start = cursorPosition();
    while (start > 0 && !EndsWord(line[start - 1]))
        --start;
    return line.mid(start, cursorPosition() - start);
}

void CFilterLine::OnEdited() {
    const QString word = WordAtCursor();
    // A field name has a protocol and a dot; a word without one is a command name or a term.
    if (word.size() < 2 || word.contains(':')) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->setCompletionPrefix(word);
    if (m_completer->completionCount() == 0 ||
        (m_completer->completionCount() == 1 && m_completer->currentCompletion().compare(word, Qt::CaseInsensitive) == 0)) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->complete(QRect(cursorRect().left(), 0, width() - cursorRect().left(), height()));
}

void CFilterLine::Insert(const QString& name) {
    const int end = cursorPosition();
    const int start = end - static_cast<int>(WordAtCursor().size());
    setText(text().left(start) + name + text().mid(end));
    setCursorPosition(start + static_cast<int>(name.size()));
}

void CFilterLine::keyPressEvent(QKeyEvent* event) {
    // While the list of names is open, its keys choose a name; the line must not take Return as "apply".
    if (m_completer->popup()->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab: event->ignore(); return;
        default: break;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CFilterLine::SetValidity(Validity validity) {
    m_validity = validity;
    switch (validity) {
    case Validity::Empty: setStyleSheet({}); break;
    case Validity::Valid: setStyleSheet(QStringLiteral("QLineEdit { background: #e0f5e0; }")); break;
    case Validity::Invalid: setStyleSheet(QStringLiteral("QLineEdit { background: #ffe0e0; color: #c00000; }")); break;
    }
}
