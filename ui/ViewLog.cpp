// The "SMPP Decoder" page.
#include "ui/ViewLog.h"

#include "analysis/Concatenations.h"
#include "analysis/RecordJson.h"
#include "capture/PacketLog.h"
#include "decoder/Listing.h"
#include "simulator/Settings.h"
#include "ui/FilterLine.h"
#include "ui/FindBar.h"
#include "ui/GoToDialog.h"
#include "ui/PacketFilterProxy.h"
#include "ui/PacketListModel.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewLogHex.h"
#include "ui/ViewLogParticular.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The list gets the most of the page's height, the tree the next and the hex dump the rest.
constexpr int kPaneStretch[] = {4, 3, 2};
constexpr int kPaneUnit = 60;
constexpr int kCountsMs = 200;

} // namespace

CViewLog::CViewLog(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs, QWidget* parent)
    : QWidget(parent),
      m_log(log),
      m_concatenations(std::make_unique<CConcatenations>(log, decoder)),
      m_findDecoder(std::make_unique<CPacketDecoder>(decoder)) {
    // First, so that Tab goes from the filter line to the list below it.
    QLayout* filterRow = MakeFilterRow(decoder);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName("DecoderPanes");
    m_brief = new CViewLogBrief(log, decoder, pairs, m_splitter);
    m_particular = new CViewLogParticular(decoder, m_splitter);
    m_hex = new CViewLogHex(m_splitter);
    m_splitter->setChildrenCollapsible(true);
    for (int pane = 0; pane < 3; ++pane)
        m_splitter->setStretchFactor(pane, kPaneStretch[pane]);
    if (!m_splitter->restoreState(CSettings().DecoderSplitter()))
        m_splitter->setSizes({kPaneStretch[0] * kPaneUnit, kPaneStretch[1] * kPaneUnit, kPaneStretch[2] * kPaneUnit});
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this] { CSettings().SetDecoderSplitter(m_splitter->saveState()); });

    m_findBar = new CFindBar(this);
    m_findBar->hide();
    connect(m_findBar, &CFindBar::FindRequested, this, &CViewLog::Find);
    connect(m_findBar, &CFindBar::Closed, m_brief, [this] { m_brief->setFocus(Qt::OtherFocusReason); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(filterRow);
    layout->addWidget(m_filterStatus);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_findBar);

    // F6 into the page lands on the packet list; Tab still reaches the filter line above it.
    setFocusProxy(m_brief);
    connect(m_brief, &CViewLogBrief::PacketShown, this, &CViewLog::ShowLoaded);
    connect(m_particular, &CViewLogParticular::RangeSelected, m_hex, &CViewLogHex::SetHighlight);
    connect(m_particular, &CViewLogParticular::RecordRequested, this, &CViewLog::ShowRecord);
    connect(m_particular, &CViewLogParticular::FilterRequested, this, &CViewLog::TakeFilter);
    connect(m_particular, &CViewLogParticular::ColumnRequested, m_brief, &CViewLogBrief::ShowFieldColumn);
    connect(m_hex, &CViewLogHex::ByteClicked, m_particular, &CViewLogParticular::SelectLineCovering);
    connect(m_brief, &CViewLogBrief::ClearRequested, this, [this] {
        if (!m_clearGuard || m_clearGuard())
            Clear();
    });
    connect(m_brief, &CViewLogBrief::SetFilterRequested, this, &CViewLog::SetFilterRequested);
    connect(m_brief, &CViewLogBrief::ConnectionRequested, this, &CViewLog::ShowConnection);
    m_countsClock = new QTimer(this);
    m_countsClock->setSingleShot(true);
    m_countsClock->setInterval(kCountsMs);
    connect(m_countsClock, &QTimer::timeout, this, &CViewLog::EmitCounts);
    CPacketFilterProxy* proxy = m_brief->Proxy();
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(proxy, signal, this, &CViewLog::EmitCountsSoon);
    connect(proxy, &QAbstractItemModel::modelReset, this, &CViewLog::EmitCounts);
    connect(proxy, &QAbstractItemModel::layoutChanged, this, &CViewLog::EmitCounts);
}

CViewLog::~CViewLog() = default;

QLayout* CViewLog::MakeFilterRow(const CPacketDecoder& decoder) {
    QStringList fieldNames;
    for (const decode_listing::FieldEntry& field : decode_listing::Fields(decoder.Table()))
        fieldNames.append(QString::fromStdString(field.name));
    m_filterLine = new CFilterLine(fieldNames, this);
    m_filterLine->setObjectName("DisplayFilter");
    m_filterLine->setClearButtonEnabled(true);
    m_filterLine->setPlaceholderText("submit_sm port:2775 && (error || smpp.command_status == ESME_RTHROTTLED)");
    auto* filterLabel = new QLabel("&Display filter:", this);
    filterLabel->setBuddy(m_filterLine);
    auto* clearFilter = new QAction(m_filterLine);
    clearFilter->setShortcut(QKeySequence(Qt::Key_Escape));
    clearFilter->setShortcutContext(Qt::WidgetShortcut);
    m_filterLine->addAction(clearFilter);
    connect(clearFilter, &QAction::triggered, this, [this] { ApplyFilter({}); });
    connect(m_filterLine, &QLineEdit::returnPressed, this, [this] { ApplyFilter(m_filterLine->text()); });
    connect(m_filterLine, &QLineEdit::textEdited, this, &CViewLog::CheckFilter);
    m_filterStatus = new QLabel(this);
    m_filterStatus->setObjectName("FilterStatus");
    m_filterStatus->setBuddy(m_filterLine);
    m_filterStatus->setTextFormat(Qt::PlainText);
    m_filterStatus->setContentsMargins(4, 0, 4, 2);
    // One line always: the panes below do not jump as the reason comes and goes, and a long reason is cut at the
    // page's edge (whole in the tool tip) rather than widen the window.
    m_filterStatus->setMinimumHeight(m_filterStatus->fontMetrics().height() + 2);
    m_filterStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(4, 2, 4, 2);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filterLine, 1);
    return filterRow;
}

void CViewLog::TakeFilter(const QString& expression, bool apply) {
    if (apply) {
        ApplyFilter(expression);
        return;
    }
    m_filterLine->setText(expression);
    m_filterLine->setFocus(Qt::OtherFocusReason);
    CheckFilter(expression);
}

void CViewLog::ShowRecord(int index) { m_brief->SelectRecord(index); }

void CViewLog::ShowLoaded(int index) {
    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(index, &length);
    if (!record) {
        m_particular->Clear();
        m_hex->Clear();
        return;
    }
    m_particular->ShowRecord(record, length, m_concatenations->LinesFor(index));
    m_hex->SetBytes(QByteArray(reinterpret_cast<const char*>(record), static_cast<qsizetype>(length)));
}

void CViewLog::Clear() {
    m_brief->Clear();
    m_hex->Clear();
    m_particular->Clear();
}

bool CViewLog::ApplyFilter(const QString& text) {
    m_filterLine->setText(text);
    QString error;
    if (!m_brief->ApplyFilter(text.trimmed(), error)) {
        // The rows and the count stay the last applied filter's; the line says so rather than leave them mismatched.
        const QString shown = m_brief->Proxy()->FilterText();
        ShowFilterState(CFilterLine::Validity::Invalid,
                        QStringLiteral("Not applied, %1. The list still shows %2.")
                            .arg(error, shown.isEmpty() ? QStringLiteral("every record") : QStringLiteral("\"%1\"").arg(shown)));
        m_filterLine->setToolTip(error);
        return false;
    }
    ShowFilterState(text.trimmed().isEmpty() ? CFilterLine::Validity::Empty : CFilterLine::Validity::Valid, {});
    EmitCounts();
    return true;
}

void CViewLog::CheckFilter(const QString& text) {
    const QString filter = text.trimmed();
    QString error;
    if (!m_brief->Proxy()->CheckFilterText(filter, error)) {
        ShowFilterState(CFilterLine::Validity::Invalid, error);
        m_filterLine->setToolTip(error);
        return;
    }
    const bool applied = filter == m_brief->Proxy()->FilterText();
    ShowFilterState(filter.isEmpty() ? CFilterLine::Validity::Empty : CFilterLine::Validity::Valid,
                    applied ? QString() : QStringLiteral("Return applies this filter."));
}

void CViewLog::ShowFilterState(CFilterLine::Validity validity, const QString& message) {
    m_filterLine->SetValidity(validity);
    m_filterLine->setToolTip({});
    // A label with a buddy reads '&' as a mnemonic: "&&" in a filter must show as it is.
    m_filterStatus->setText(QString(message).replace('&', QStringLiteral("&&")));
    m_filterStatus->setToolTip(message);
    QPalette palette = m_filterStatus->palette();
    palette.setColor(QPalette::WindowText, validity == CFilterLine::Validity::Invalid ? QColor(0xc0, 0, 0) : QColor(0x30, 0x30, 0x30));
    m_filterStatus->setPalette(palette);
}

void CViewLog::ShowConnection(uint64_t connection) { ApplyFilter(QStringLiteral("conn:%1").arg(connection)); }

void CViewLog::OpenFind() { m_findBar->Open(); }

void CViewLog::OpenGoTo() {
    auto* dialog = new CGoToDialog(m_brief->Model()->rowCount(), m_brief->SelectedIndex() + 1,
                                   [this](int seq) { return GoToPacket(seq); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

QString CViewLog::GoToPacket(int seq) {
    const int record = seq - 1; // "Seq" counts the capture's records from 1
    if (record < 0 || record >= m_brief->Model()->rowCount())
        return QStringLiteral("No PDU has Seq %1.").arg(seq);
    if (m_brief->Proxy()->RowOf(record) < 0)
        return QStringLiteral("Seq %1 is hidden by the display filter.").arg(seq);
    m_brief->SelectRecord(record);
    m_brief->setFocus(Qt::OtherFocusReason);
    return {};
}

// Whether a listed row holds the text, case-folded: in a cell of the list or a line of its decode.
bool CViewLog::RowHolds(int row, const QString& wanted) const {
    const CPacketFilterProxy& proxy = *m_brief->Proxy();
    for (int column = 0; column < proxy.columnCount(); ++column)
        if (proxy.index(row, column).data().toString().toCaseFolded().contains(wanted))
            return true;
    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(proxy.RecordAt(row), &length);
    if (!record)
        return false;
    m_findDecoder->Decode(record, static_cast<int32_t>(length));
    for (const DecodeLine& line : m_findDecoder->Lines())
        if (QString::fromStdString(line.text).toCaseFolded().contains(wanted))
            return true;
    return false;
}

bool CViewLog::Find(bool forward) {
    const QString text = m_findBar->Text();
    const CPacketFilterProxy& proxy = *m_brief->Proxy();
    const int rows = proxy.rowCount();
    if (text.isEmpty() || rows == 0)
        return false;
    const QString wanted = text.toCaseFolded();
    const int start = proxy.RowOf(m_brief->SelectedIndex());
    const int step = forward ? 1 : -1;
    int row = start < 0 ? (forward ? -1 : rows) : start;
    for (int tried = 0; tried < rows; ++tried) {
        row += step;
        if (row < 0 || row >= rows) {
            if (!m_findBar->Wraps())
                break;
            row = forward ? 0 : rows - 1;
        }
        if (RowHolds(row, wanted)) {
            m_brief->SelectRecord(proxy.RecordAt(row));
            // The decode line that holds the text, shown and lit up in the hex view; a cell alone selects none.
            if (!m_particular->SelectLineContaining(wanted))
                m_particular->setCurrentItem(nullptr);
            m_findBar->SetResult({});
            return true;
        }
    }
    m_findBar->SetResult("Not found");
    return false;
}

std::vector<int32_t> CViewLog::Records(bool displayedOnly) const {
    const CPacketFilterProxy& proxy = *m_brief->Proxy();
    const int rows = displayedOnly ? proxy.rowCount() : m_brief->Model()->rowCount();
    std::vector<int32_t> records(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row)
        records[static_cast<size_t>(row)] = displayedOnly ? proxy.RecordAt(row) : row;
    return records;
}

namespace {

// Texts side by side, each padded to the width of its column, with the blanks at the end of the line cut.
std::string Aligned(const QStringList& texts, const std::vector<qsizetype>& widths) {
    QString line;
    for (qsizetype i = 0; i < texts.size(); ++i)
        line += (i ? QStringLiteral("  ") : QString()) + texts[i].leftJustified(widths[size_t(i)]);
    while (line.endsWith(u' '))
        line.chop(1);
    return line.toStdString() + "\n";
}

} // namespace

std::string CViewLog::DecodeText(const std::vector<int32_t>& records) const {
    const CPacketListModel& model = *m_brief->Model();
    const QHeaderView& header = *m_brief->horizontalHeader();
    std::vector<int> columns; // the list's shown columns, in its order
    for (int visual = 0; visual < header.count(); ++visual)
        if (const int column = header.logicalIndex(visual); !header.isSectionHidden(column))
            columns.push_back(column);
    std::string text;
    for (const int32_t index : records) {
        uint32_t length = 0;
        const uint8_t* record = m_log.PacketAt(index, &length);
        if (!record)
            continue;
        QStringList titles, cells;
        std::vector<qsizetype> widths;
        for (const int column : columns) {
            titles.append(model.headerData(column, Qt::Horizontal).toString());
            cells.append(model.data(model.index(index, column)).toString());
            widths.push_back(std::max(titles.back().size(), cells.back().size()));
        }
        m_findDecoder->Decode(record, static_cast<int32_t>(length));
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for an overlapping copy.
        if (!text.empty())
            text += '\n';
        text += Aligned(titles, widths);
        text += Aligned(cells, widths);
        text += decode_listing::Lines(m_findDecoder->Lines(), false);
        text += ReassemblyListing(m_concatenations->LinesFor(index), false);
    }
    return text;
}

std::string CViewLog::Json(const std::vector<int32_t>& records) const {
    std::string json;
    for (const int32_t index : records)
        record_json::AppendLogRecord(json, *m_findDecoder, *m_concatenations, index);
    return json;
}

void CViewLog::EmitCounts() {
    m_countsClock->stop();
    emit CountsChanged(m_brief->Proxy()->rowCount(), m_brief->Model()->rowCount());
}

void CViewLog::EmitCountsSoon() {
    if (!m_countsClock->isActive())
        m_countsClock->start();
}
