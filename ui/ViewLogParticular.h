// The decode tree: the lines the decoder makes of the shown record, grouped under their headers.
#pragma once

#include "analysis/Concatenations.h"
#include "decoder/PacketDecoder.h"
#include "ui/ViewLogHex.h"

#include <QTreeWidget>

class QAction;
class QMenu;

#include <cstdint>
#include <vector>

// Shows one record as decode lines: group lines at the top level, every other line under the
// latest group. Owns a copy of the lines it shows and a decoder of its own, copied from the
// program's, so that decoding here never disturbs what others read from that one. Tells which
// bytes the selected line covers. Every line's whole text is its tool tip, for a value wider than
// the pane. UI thread only.
class CViewLogParticular : public QTreeWidget {
    Q_OBJECT
public:
    explicit CViewLogParticular(const CPacketDecoder& decoder, QWidget* parent = nullptr);

    // Decodes the whole record (capture header included) and shows every line the walk produced,
    // an error line included, with the top-level nodes expanded; then the lines of the concatenated
    // message the record belongs to, if any, as one more group (a part's line leads to its record).
    void ShowRecord(const uint8_t* record, uint32_t length, const std::vector<ReassemblyLine>& reassembly = {});
    // Deletes every node and the copy of the lines.
    void Clear();

    const std::vector<DecodeLine>& Lines() const { return m_lines; }
    // Bytes line j covers: its own width, and for a group also the width of each line under it.
    // Empty for a j outside the lines.
    ByteRange LineRange(int j) const;
    // The line that covers byte offset: the narrowest field line holding it, else the group whose
    // range holds it; -1 when no line does (a byte past a decode that stopped early).
    int LineCovering(qsizetype offset) const;
    // Makes the line covering offset the current one, so its bytes light up in the hex view.
    void SelectLineCovering(qsizetype offset);
    // Makes the first line (top down, the reassembled message's included) whose text holds `folded` (case-folded)
    // the current one and scrolls to it; false when no line does.
    bool SelectLineContaining(const QString& folded);
    // The current line's value (after " = "), or its whole text when it has none; empty without a current line.
    QString CurrentValue() const;
    // "Copy value": CurrentValue to the clipboard.
    void CopyValue();

    // The context menu's "Apply as filter" and "Prepare as filter": the current line's field == its value;
    // greyed for a line of no field (a reassembled message's, the octets not decoded).
    QAction* ApplyAsFilterAction() const { return m_applyAsFilter; }
    QAction* PrepareAsFilterAction() const { return m_prepareAsFilter; }
    // "Apply as column": a packet list column for the current line's field.
    QAction* ApplyAsColumnAction() const { return m_applyAsColumn; }
    QMenu* ContextMenu() const { return m_menu; }

signals:
    // "Apply as filter" (apply true) or "Prepare as filter" on a line: the filter that asks for its field's value.
    void FilterRequested(const QString& expression, bool apply);
    // "Apply as column" on a line: the list adds a column for its field.
    void ColumnRequested(const QString& field);
    // The current line changed to one covering range; empty for a line without bytes of its own, or none.
    void RangeSelected(ByteRange range);
    // A line naming another record was activated (a part of a concatenated message).
    void RecordRequested(int record);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnCurrentItemChanged(QTreeWidgetItem* current);

    // The field the current line shows (a part of a field: that field), null for a line of none.
    const DecodeLine* CurrentField() const;
    // The display filter the current line makes; empty for none.
    QString CurrentExpression() const;

    CPacketDecoder m_decoder;
    std::vector<DecodeLine> m_lines;
    QMenu* m_menu;
    QAction* m_applyAsFilter;
    QAction* m_prepareAsFilter;
    QAction* m_applyAsColumn;
};
