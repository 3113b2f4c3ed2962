// The hex dump of the shown record.
#include "ui/ViewLogHex.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace hex_layout {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendByte(QString& out, uint8_t byte) {
    out.append(QLatin1Char(kDigits[byte >> 4])).append(QLatin1Char(kDigits[byte & 0xF]));
}

} // namespace

qsizetype ByteAt(qsizetype row, int textColumn, qsizetype size) {
    int column = -1;
    if (textColumn >= kHexColumn && textColumn < kCharColumn - 1 && (textColumn - kHexColumn) % 3 != 2)
        column = (textColumn - kHexColumn) / 3;
    else if (textColumn >= kCharColumn && textColumn < kLineLength)
        column = textColumn - kCharColumn;
    const qsizetype offset = row * kBytesPerRow + column;
    return column < 0 || row < 0 || offset >= size ? -1 : offset;
}

std::optional<std::pair<int, int>> ColumnsInRow(ByteRange range, qsizetype row, qsizetype size) {
    const qsizetype rowStart = row * kBytesPerRow;
    const qsizetype first = std::max(range.offset, rowStart);
    const qsizetype end = std::min({range.End(), rowStart + kBytesPerRow, size});
    if (range.IsEmpty() || first >= end)
        return std::nullopt;
    return std::pair{ColumnOf(first), ColumnOf(end - 1)};
}

QString RowText(const QByteArray& bytes, qsizetype row) {
    const qsizetype start = row * kBytesPerRow;
    const qsizetype count = std::clamp<qsizetype>(bytes.size() - start, 0, kBytesPerRow);
    QString line = QStringLiteral("%1  ").arg(static_cast<qulonglong>(start), 8, 16, QLatin1Char('0')).toUpper();
    line.reserve(kLineLength);
    for (qsizetype i = 0; i < kBytesPerRow; ++i) {
        if (i < count)
            AppendByte(line, static_cast<uint8_t>(bytes[start + i]));
        else
            line.append(QLatin1String("  "));
        line.append(QLatin1Char(' '));
    }
    line.append(QLatin1Char(' '));
    for (qsizetype i = 0; i < count; ++i) {
        const auto byte = static_cast<uint8_t>(bytes[start + i]);
        line.append(QLatin1Char(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.'));
    }
    return line;
}

QString HexText(const QByteArray& bytes, ByteRange range) {
    QString text;
    const qsizetype end = std::min(range.End(), bytes.size());
    for (qsizetype i = std::max<qsizetype>(range.offset, 0); i < end; ++i) {
        if (!text.isEmpty())
            text.append(QLatin1Char(' '));
        AppendByte(text, static_cast<uint8_t>(bytes[i]));
    }
    return text;
}

} // namespace hex_layout

namespace {

constexpr int kMargin = 4; // pixels left of the offset column and above the first row

// "Courier New" where the system has it (or a stand-in for it), else the system's fixed font.
QFont DumpFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

} // namespace

CViewLogHex::CViewLogHex(QWidget* parent) : QAbstractScrollArea(parent) {
    setAccessibleName(QStringLiteral("Hex dump"));
    setFont(DumpFont());
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);

    auto* copy = new QAction("&Copy", this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &CViewLogHex::Copy);
    auto* selectAll = new QAction("Select &All", this);
    selectAll->setShortcut(QKeySequence::SelectAll);
    selectAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(selectAll, &QAction::triggered, this, &CViewLogHex::SelectAll);
    addActions({copy, selectAll});
    setContextMenuPolicy(Qt::ActionsContextMenu);

    UpdateMetrics();
}

void CViewLogHex::SetBytes(const QByteArray& bytes) {
    m_bytes = bytes;
    m_highlight = {};
    m_anchor = -1;
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void CViewLogHex::Clear() { SetBytes(QByteArray(1, ' ')); }

void CViewLogHex::SetHighlight(ByteRange range) {
    const qsizetype offset = std::clamp<qsizetype>(range.offset, 0, m_bytes.size());
    m_highlight = {offset, std::clamp<qsizetype>(range.length, 0, m_bytes.size() - offset)};
    if (!m_highlight.IsEmpty()) {
        // The end first, then the start: a range taller than the view shows its first row.
        ScrollToRow(hex_layout::RowOf(m_highlight.End() - 1));
        ScrollToRow(hex_layout::RowOf(m_highlight.offset));
    }
    viewport()->update();
}

void CViewLogHex::SelectAll() { SetHighlight({0, m_bytes.size()}); }

QString CViewLogHex::CopyText() const {
    if (!m_highlight.IsEmpty())
        return hex_layout::HexText(m_bytes, m_highlight);
    QStringList rows;
    for (qsizetype row = 0; row < hex_layout::RowCount(m_bytes.size()); ++row)
        rows.append(hex_layout::RowText(m_bytes, row).trimmed());
    return rows.join(QLatin1Char('\n'));
}

void CViewLogHex::Copy() const { QApplication::clipboard()->setText(CopyText()); }

int CViewLogHex::VisibleRows() const {
    return std::max(1, static_cast<int>((viewport()->height() - kMargin) / m_lineHeight));
}

void CViewLogHex::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.translate(kMargin - horizontalScrollBar()->value(), kMargin);
    const QPalette& colors = palette();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype last = std::min(first + VisibleRows() + 1, hex_layout::RowCount(m_bytes.size()));
    for (qsizetype row = first; row < last; ++row) {
        const qreal top = static_cast<qreal>(row - first) * m_lineHeight;
        const QString text = hex_layout::RowText(m_bytes, row);
        // Text runs start on the character grid, so a lit run lines up with the rest of its row.
        const auto drawRun = [&](int from, int to, QPalette::ColorRole role) {
            if (from >= to)
                return;
            painter.setPen(colors.color(role));
            painter.drawText(QPointF(from * m_charWidth, top + m_ascent), text.mid(from, to - from));
        };
        const auto columns = hex_layout::ColumnsInRow(m_highlight, row, m_bytes.size());
        if (!columns) {
            drawRun(0, static_cast<int>(text.size()), QPalette::Text);
            continue;
        }
        const int hexFrom = hex_layout::HexTextColumn(columns->first);
        const int hexTo = hex_layout::HexTextColumn(columns->second) + 2;
        const int charFrom = hex_layout::CharTextColumn(columns->first);
        const int charTo = hex_layout::CharTextColumn(columns->second) + 1;
        for (const auto& [from, to] : {std::pair{hexFrom, hexTo}, std::pair{charFrom, charTo}})
            painter.fillRect(QRectF(from * m_charWidth, top, (to - from) * m_charWidth, m_lineHeight), colors.highlight());
        drawRun(0, hexFrom, QPalette::Text);
        drawRun(hexFrom, hexTo, QPalette::HighlightedText);
        drawRun(hexTo, charFrom, QPalette::Text);
        drawRun(charFrom, charTo, QPalette::HighlightedText);
    }
}

void CViewLogHex::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CViewLogHex::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    m_anchor = ByteAtPoint(event->position().toPoint());
    m_dragging = false;
    SetHighlight(m_anchor < 0 ? ByteRange{} : ByteRange{m_anchor, 1});
    if (m_anchor >= 0)
        emit ByteClicked(m_anchor);
}

void CViewLogHex::mouseMoveEvent(QMouseEvent* event) {
    const qsizetype byte = ByteAtPoint(event->position().toPoint());
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0 || byte < 0)
        return;
    // Jitter over the clicked byte keeps the decode line's range the click lit up.
    m_dragging = m_dragging || byte != m_anchor;
    if (!m_dragging)
        return;
    const qsizetype first = std::min(m_anchor, byte);
    SetHighlight({first, std::max(m_anchor, byte) - first + 1});
}

void CViewLogHex::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateMetrics();
}

void CViewLogHex::UpdateMetrics() {
    const QFontMetricsF metrics(font());
    m_charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m_lineHeight = std::max<qreal>(1, std::ceil(metrics.height()));
    m_ascent = metrics.ascent();
    UpdateScrollBars();
}

void CViewLogHex::UpdateScrollBars() {
    const qsizetype rows = hex_layout::RowCount(m_bytes.size());
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<qsizetype>(0, rows - VisibleRows())));
    verticalScrollBar()->setPageStep(VisibleRows());
    const int width = static_cast<int>(std::ceil(hex_layout::kLineLength * m_charWidth)) + 2 * kMargin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(static_cast<int>(std::ceil(m_charWidth)));
}

void CViewLogHex::ScrollToRow(qsizetype row) {
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(static_cast<int>(row));
    else if (row >= bar->value() + VisibleRows())
        bar->setValue(static_cast<int>(row - VisibleRows() + 1));
}

QRect CViewLogHex::ByteRect(qsizetype offset) const {
    const qsizetype row = hex_layout::RowOf(offset) - verticalScrollBar()->value();
    const qreal left = kMargin - horizontalScrollBar()->value() +
                       hex_layout::HexTextColumn(hex_layout::ColumnOf(offset)) * m_charWidth;
    const qreal top = kMargin + static_cast<qreal>(row) * m_lineHeight;
    return QRectF(left, top, 2 * m_charWidth, m_lineHeight).toAlignedRect();
}

qsizetype CViewLogHex::ByteAtPoint(QPoint point) const {
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    const qreal y = point.y() - kMargin;
    if (x < 0 || y < 0)
        return -1;
    const qsizetype row = verticalScrollBar()->value() + static_cast<qsizetype>(y / m_lineHeight);
    return hex_layout::ByteAt(row, static_cast<int>(x / m_charWidth), m_bytes.size());
}
