// The decode tree of the shown record.
#include "ui/ViewLogParticular.h"

#include "analysis/FilterExpression.h"
#include "ui/Icons.h"
#include "ui/KeepSelection.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {

constexpr int kLineRole = Qt::UserRole;       // node data: the position of its line, -1 for a reassembly line
constexpr int kRecordRole = Qt::UserRole + 1; // node data: the record a reassembly line names

} // namespace

CViewLogParticular::CViewLogParticular(const CPacketDecoder& decoder, QWidget* parent)
    : QTreeWidget(parent),
      m_decoder(decoder),
      m_menu(new QMenu(this)),
      m_applyAsFilter(m_menu->addAction(QStringLiteral("&Apply as filter"))),
      m_prepareAsFilter(m_menu->addAction(QStringLiteral("&Prepare as filter"))),
      m_applyAsColumn(m_menu->addAction(QStringLiteral("Apply as &column"))) {
    m_applyAsFilter->setObjectName("ApplyAsFilter");
    m_prepareAsFilter->setObjectName("PrepareAsFilter");
    connect(m_applyAsFilter, &QAction::triggered, this, [this] { emit FilterRequested(CurrentExpression(), true); });
    connect(m_prepareAsFilter, &QAction::triggered, this, [this] { emit FilterRequested(CurrentExpression(), false); });
    m_applyAsColumn->setObjectName("ApplyAsColumn");
    connect(m_applyAsColumn, &QAction::triggered, this, [this] {
        if (const DecodeLine* field = CurrentField())
            emit ColumnRequested(QString::fromUtf8(field->field.data(), qsizetype(field->field.size())));
    });

    setAccessibleName(QStringLiteral("Decode tree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setIconSize(QSize(16, 16));
    // The selected line stays marked while the user looks at its bytes in the hex view.
    KeepSelectionShownWithoutFocus(this);
    connect(this, &QTreeWidget::currentItemChanged, this, &CViewLogParticular::OnCurrentItemChanged);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (const QVariant record = item->data(0, kRecordRole); record.isValid())
            emit RecordRequested(record.toInt());
    });
}

void CViewLogParticular::ShowRecord(const uint8_t* record, uint32_t length,
                                    const std::vector<ReassemblyLine>& reassembly) {
    m_lines.clear();
    m_decoder.Decode(record, static_cast<int32_t>(length)); // an error line is shown like any other
    m_lines = m_decoder.Lines();

    setUpdatesEnabled(false);
    clear();
    QList<QTreeWidgetItem*> topLevel;
    QTreeWidgetItem* group = nullptr;
    for (size_t j = 0; j < m_lines.size(); ++j) {
        const DecodeLine& line = m_lines[j];
        const QString text = QString::fromStdString(line.text);
        auto* item = new QTreeWidgetItem({text});
        item->setToolTip(0, text);
        item->setIcon(0, icons::DecodeIcon(CPacketDecoder::IconIndex(line.iconId)));
        item->setData(0, kLineRole, static_cast<int>(j));
        if (line.isGroup) {
            group = item;
            topLevel.append(item);
        } else if (group) {
            group->addChild(item);
        } else {
            topLevel.append(item);
        }
    }
    if (!reassembly.empty()) {
        auto* whole = new QTreeWidgetItem({QString::fromStdString(reassembly.front().text)});
        whole->setData(0, kLineRole, -1);
        for (size_t k = 1; k < reassembly.size(); ++k) {
            const QString text = QString::fromStdString(reassembly[k].text);
            auto* item = new QTreeWidgetItem(whole, {text});
            item->setToolTip(0, text);
            item->setData(0, kLineRole, -1);
            if (reassembly[k].record >= 0)
                item->setData(0, kRecordRole, reassembly[k].record);
        }
        topLevel.append(whole);
    }
    addTopLevelItems(topLevel);
    for (QTreeWidgetItem* item : topLevel)
        item->setExpanded(true);
    setUpdatesEnabled(true);
}

void CViewLogParticular::Clear() {
    clear();
    m_lines.clear();
}

ByteRange CViewLogParticular::LineRange(int j) const {
    if (j < 0 || j >= static_cast<int>(m_lines.size()))
        return {};
    const DecodeLine& line = m_lines[static_cast<size_t>(j)];
    qsizetype length = std::max(line.width, 0);
    if (line.isGroup) {
        for (size_t k = static_cast<size_t>(j) + 1; k < m_lines.size() && !m_lines[k].isGroup; ++k)
            length += std::max(m_lines[k].width, 0);
    }
    return {line.offset, length};
}

int CViewLogParticular::LineCovering(qsizetype offset) const {
    int best = -1;
    qsizetype bestLength = 0;
    for (int j = 0; j < static_cast<int>(m_lines.size()); ++j) {
        const ByteRange range = LineRange(j);
        if (range.IsEmpty() || offset < range.offset || offset >= range.End())
            continue;
        // A field beats the group around it, and a narrower field beats a wider one.
        const bool field = !m_lines[static_cast<size_t>(j)].isGroup;
        const bool bestIsField = best >= 0 && !m_lines[static_cast<size_t>(best)].isGroup;
        if (best < 0 || (field && !bestIsField) || (field == bestIsField && range.length < bestLength)) {
            best = j;
            bestLength = range.length;
        }
    }
    return best;
}

void CViewLogParticular::SelectLineCovering(qsizetype offset) {
    const int j = LineCovering(offset);
    if (j < 0)
        return;
    QTreeWidgetItemIterator it(this);
    while (*it && (*it)->data(0, kLineRole).toInt() != j)
        ++it;
    if (!*it)
        return;
    scrollToItem(*it);
    if (*it == currentItem())
        emit RangeSelected(LineRange(j)); // the click narrowed the highlight; show the line's bytes again
    else
        setCurrentItem(*it);
}

QString CViewLogParticular::CurrentValue() const {
    const QTreeWidgetItem* item = currentItem();
    if (!item)
        return {};
    const int line = item->data(0, kLineRole).toInt();
    // A line of the reassembled message is its own value: the whole text, even one that holds " = ".
    if (line < 0 || size_t(line) >= m_lines.size())
        return item->text(0);
    // The value as the field shows it; a line that shows none (a group) copies its whole text.
    std::string_view value = m_lines[size_t(line)].Show();
    if (value.empty())
        value = m_lines[size_t(line)].text;
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

void CViewLogParticular::CopyValue() {
    if (currentItem())
        QApplication::clipboard()->setText(CurrentValue());
}

void CViewLogParticular::contextMenuEvent(QContextMenuEvent* event) {
    // A click picks the line it is on; the menu key keeps the current one.
    if (event->reason() == QContextMenuEvent::Mouse)
        if (QTreeWidgetItem* item = itemAt(event->pos()))
            setCurrentItem(item);
    const bool field = !CurrentExpression().isEmpty();
    m_applyAsFilter->setEnabled(field);
    m_prepareAsFilter->setEnabled(field);
    m_applyAsColumn->setEnabled(CurrentField() != nullptr);
    const QRect line = currentItem() ? visualItemRect(currentItem()) : QRect();
    const QPoint at = event->reason() == QContextMenuEvent::Mouse || line.isEmpty() ? event->pos() : line.bottomLeft();
    m_menu->popup(viewport()->mapToGlobal(at));
}

const DecodeLine* CViewLogParticular::CurrentField() const {
    const int j = currentItem() ? currentItem()->data(0, kLineRole).toInt() : -1;
    if (j < 0 || j >= static_cast<int>(m_lines.size()))
        return nullptr;
    // A part of a field (a header element, a receipt field) stands for the field it is part of.
    const DecodeLine& line = m_lines[static_cast<size_t>(j)];
    const DecodeLine& field = line.parent >= 0 ? m_lines[static_cast<size_t>(line.parent)] : line;
    return field.field.empty() || field.field == kTrailingOctetsField ? nullptr : &field;
}

QString CViewLogParticular::CurrentExpression() const {
    const DecodeLine* field = CurrentField();
    return field ? QString::fromStdString(display_filter::ExpressionFor(*field)) : QString();
}

bool CViewLogParticular::SelectLineContaining(const QString& folded) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (!(*it)->text(0).toCaseFolded().contains(folded))
            continue;
        setCurrentItem(*it);
        scrollToItem(*it);
        return true;
    }
    return false;
}

void CViewLogParticular::OnCurrentItemChanged(QTreeWidgetItem* current) {
    // A line without bytes of its own (a reassembled message's) or none at all lights nothing up.
    const int j = current ? current->data(0, kLineRole).toInt() : -1;
    emit RangeSelected(j >= 0 && j < static_cast<int>(m_lines.size()) ? LineRange(j) : ByteRange{});
}
