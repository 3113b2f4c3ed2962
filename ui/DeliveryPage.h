// The "Delivery" page of the options dialog: routing between the two servers and delivery receipts.
#pragma once

#include "ui/OptionsPage.h"

class CSimulator;
class QCheckBox;
class QSpinBox;

// Shows the delivery settings that apply now; Apply stores them and hands them to the running servers.
// The receipt delay is editable only while receipts are on. UI thread only.
class CDeliveryPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CDeliveryPage(CSimulator& simulator, QWidget* parent = nullptr);

    void Apply() override;

    QCheckBox* RoutingBox() const { return m_routing; }
    QCheckBox* ReceiptsBox() const { return m_receipts; }
    QSpinBox* ReceiptDelay() const { return m_delay; }

private:
    CSimulator& m_simulator;
    QCheckBox* m_routing = nullptr;
    QCheckBox* m_receipts = nullptr;
    QSpinBox* m_delay = nullptr;
};
