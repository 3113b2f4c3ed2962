// The "SMPP Decoder" page.
#include "ui/ViewLog.h"

#include "capture/PacketLog.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewLogHex.h"
#include "ui/ViewLogParticular.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace {

constexpr int kBriefHeight = 200;
constexpr int kParticularHeight = 250;

} // namespace

CViewLog::CViewLog(CPacketLog& log, const CPacketDecoder& decoder, QWidget* parent) : QWidget(parent) {
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_brief = new CViewLogBrief(log, decoder, m_splitter);
    m_particular = new CViewLogParticular(decoder, m_splitter);
    m_hex = new CViewLogHex(m_splitter);
    m_splitter->setChildrenCollapsible(true);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setSizes({kBriefHeight, kParticularHeight, QWIDGETSIZE_MAX});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    connect(m_brief, &CViewLogBrief::PacketShown, this, [this, &log](int index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        if (!record)
            return;
        m_particular->ShowRecord(record, length);
        m_hex->SetBytes(QByteArray(reinterpret_cast<const char*>(record), static_cast<qsizetype>(length)));
    });
    connect(m_particular, &CViewLogParticular::RangeSelected, m_hex, &CViewLogHex::SetHighlight);
    connect(m_hex, &CViewLogHex::ByteClicked, m_particular, &CViewLogParticular::SelectLineCovering);
    connect(m_brief, &CViewLogBrief::ClearRequested, this, &CViewLog::Clear);
    connect(m_brief, &CViewLogBrief::SetFilterRequested, this, &CViewLog::SetFilterRequested);
}

CViewLog::~CViewLog() = default;

void CViewLog::ShowRecord(int index) { m_brief->SelectRecord(index); }

void CViewLog::Clear() {
    m_brief->Clear();
    m_hex->Clear();
    m_particular->Clear();
}
