// The lower pane of a server information page: the server's console.
#pragma once

#include <QPlainTextEdit>

// A read-only text pane that takes one line at a time at its end. It follows new lines only
// while the user is at the end, and keeps the newest lines only, so a flood of connects costs
// each line the same and cannot exhaust memory.
class COutView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 100000;

    explicit COutView(const QFont& font, QWidget* parent = nullptr);

    // Adds text, without its line end, as the last line.
    void AppendLine(const QString& text);
    // How many of the newest lines are kept.
    void SetMaxLines(int lines) { setMaximumBlockCount(lines); }
};
