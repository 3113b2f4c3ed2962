// The console pane.
#include "ui/OutView.h"

#include <QScrollBar>

COutView::COutView(const QFont& font, QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setFont(font);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(kMaxLines);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void COutView::AppendLine(const QString& text) {
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int kept = bar->value();
    // Each line is one block added at the end; the document never lays out the earlier text again.
    appendPlainText(text);
    bar->setValue(atEnd ? bar->maximum() : kept);
}
