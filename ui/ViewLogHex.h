// The hex dump of the shown record: pure row geometry and the read-only view that paints it.
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QRect>
#include <QString>

#include <optional>
#include <utility>

class QAction;

// Bytes of the shown record, counted from the start of the record (capture header included).
// The one range convention from decode line to hex highlight.
struct ByteRange {
    qsizetype offset = 0;
    qsizetype length = 0;

    qsizetype End() const { return offset + length; }
    bool IsEmpty() const { return length <= 0; }
    bool operator==(const ByteRange&) const = default;
};

// Where every byte of a dump sits, in rows of 16 bytes and text columns of a row line:
//   "00000010  00 00 00 2A 80 00 00 04 ...  ...*....".
// An eight-digit offset and two blanks, then two hex digits and a blank per byte, one more
// blank, then one character per byte. Pure: no font, no widget; pixels are these columns times
// the width of one character cell.
namespace hex_layout {

inline constexpr int kBytesPerRow = 16;
inline constexpr int kHexColumn = 10;                                // first digit of byte 0
inline constexpr int kCharColumn = kHexColumn + 3 * kBytesPerRow + 1; // character of byte 0
inline constexpr int kLineLength = kCharColumn + kBytesPerRow;

// Rows a dump of size bytes takes; a partial last row counts.
inline qsizetype RowCount(qsizetype size) { return (size + kBytesPerRow - 1) / kBytesPerRow; }
inline qsizetype RowOf(qsizetype offset) { return offset / kBytesPerRow; }
inline int ColumnOf(qsizetype offset) { return static_cast<int>(offset % kBytesPerRow); }
// Text column of a byte's first hex digit, and of its character.
inline int HexTextColumn(int column) { return kHexColumn + 3 * column; }
inline int CharTextColumn(int column) { return kCharColumn + column; }

// The byte shown at textColumn of row (on either of its digits or its character); -1 on the
// offset column, a blank, or past the last byte.
qsizetype ByteAt(qsizetype row, int textColumn, qsizetype size);
// The first and last column of row that range covers, nothing when it covers none of the row.
std::optional<std::pair<int, int>> ColumnsInRow(ByteRange range, qsizetype row, qsizetype size);
// The line of row: offset, hex digits and characters; absent bytes of a last row are blanks.
QString RowText(const QByteArray& bytes, qsizetype row);
// The bytes of range as "0A 1B 2C".
QString HexText(const QByteArray& bytes, ByteRange range);

} // namespace hex_layout

// Shows its own copy of one record's bytes as a hex dump with one highlighted range, painting
// only the rows on screen. Read-only: the capture never changes from the window; its context
// menu offers Copy (the highlighted bytes as hex text, or the whole dump when none are) and
// Select All. The highlight is set by a decode line or by dragging over bytes; a click on a byte
// asks for the decode line that covers it. UI thread only.
class CViewLogHex : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CViewLogHex(QWidget* parent = nullptr);

    // Replaces the shown bytes, drops the highlight and goes back to the first row.
    void SetBytes(const QByteArray& bytes);
    // Shows a single blank byte (0x20) at offset 00000000 instead of a record.
    void Clear();
    const QByteArray& Bytes() const { return m_bytes; }

    // Highlights range, cut to the shown bytes, and scrolls it into view.
    void SetHighlight(ByteRange range);
    ByteRange Highlight() const { return m_highlight; }

    void Copy() const;
    void SelectAll();
    // The text Copy puts on the clipboard.
    QString CopyText() const;

    // Rows a full viewport shows; the first shown row is the vertical scroll bar's value.
    int VisibleRows() const;
    // Where byte offset's hex digits are drawn in the viewport as it is scrolled now.
    QRect ByteRect(qsizetype offset) const;

signals:
    // A click landed on byte offset; the decode tree answers with the line that covers it.
    void ByteClicked(qsizetype offset);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateMetrics();
    void UpdateScrollBars();
    void ScrollToRow(qsizetype row);
    // The byte under a viewport point, -1 for none.
    qsizetype ByteAtPoint(QPoint point) const;

    QByteArray m_bytes;
    ByteRange m_highlight;
    qsizetype m_anchor = -1; // where a drag started
    bool m_dragging = false; // the button moved off the anchor byte since it went down
    qreal m_charWidth = 1; // advance of one character of the fixed-pitch font
    qreal m_lineHeight = 1;
    qreal m_ascent = 0;
};
