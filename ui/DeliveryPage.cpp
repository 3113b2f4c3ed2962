// The delivery settings page.
#include "ui/DeliveryPage.h"

#include "simulator/Simulator.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kMaxReceiptDelayMs = 3'600'000; // an hour: longer than any test waits for a receipt
constexpr int kReceiptDelayStepMs = 100;

} // namespace

CDeliveryPage::CDeliveryPage(CSimulator& simulator, QWidget* parent) : COptionsPage(parent), m_simulator(simulator) {
    const DeliverySettings settings = simulator.Delivery();

    m_routing = new QCheckBox("&Route messages between mobile phones and ESMEs", this);
    m_routing->setChecked(settings.routing);
    m_receipts = new QCheckBox("Send delivery r&eceipts", this);
    m_receipts->setChecked(settings.receipts);
    m_delay = new QSpinBox(this);
    m_delay->setObjectName("ReceiptDelay");
    m_delay->setRange(0, kMaxReceiptDelayMs);
    m_delay->setSingleStep(kReceiptDelayStepMs);
    m_delay->setSuffix(" ms");
    m_delay->setValue(settings.receiptDelayMs);
    m_delay->setEnabled(settings.receipts);
    auto* delayLabel = new QLabel("Receipt de&lay:", this);
    delayLabel->setBuddy(m_delay);
    connect(m_receipts, &QCheckBox::toggled, m_delay, &QWidget::setEnabled);

    auto* delayRow = new QHBoxLayout;
    delayRow->addSpacing(20); // under the receipts box it belongs to
    delayRow->addWidget(delayLabel);
    delayRow->addWidget(m_delay);
    delayRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_routing);
    layout->addSpacing(8);
    layout->addWidget(m_receipts);
    layout->addLayout(delayRow);
    layout->addStretch(1);
}

void CDeliveryPage::Apply() {
    DeliverySettings settings;
    settings.routing = m_routing->isChecked();
    settings.receipts = m_receipts->isChecked();
    settings.receiptDelayMs = m_delay->value();
    m_simulator.SaveDelivery(settings);
}
