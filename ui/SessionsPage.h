// The "Sessions" page of the options dialog: what the SMSC times on every SMPP session.
#pragma once

#include "ui/OptionsPage.h"

class CSimulator;
class QGridLayout;
class QSpinBox;

// Shows the session timers and how deliver_sm is tried again, as they apply now; Apply stores them and hands them to the running SMPP
// server. An account's own enquire_link interval ("Accounts") goes before this page's. UI thread only.
class CSessionsPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CSessionsPage(CSimulator& simulator, QWidget* parent = nullptr);

    void Apply() override;

    QSpinBox* EnquireLink() const { return m_enquireLink; }
    QSpinBox* ResponseTimeout() const { return m_response; }
    QSpinBox* BindTimeout() const { return m_bind; }
    QSpinBox* Inactivity() const { return m_inactivity; }
    QSpinBox* RetryBackoff() const { return m_backoff; }
    QSpinBox* DeliverTries() const { return m_tries; }
    QSpinBox* DeliverWindow() const { return m_window; }

private:
    // The timers' rows from the grid's first, and the row after them.
    int AddTimerRows(QGridLayout* grid);
    void AddRetryRows(QGridLayout* grid, int row);

    CSimulator& m_simulator;
    QSpinBox* m_enquireLink = nullptr;
    QSpinBox* m_response = nullptr;
    QSpinBox* m_bind = nullptr;
    QSpinBox* m_inactivity = nullptr;
    QSpinBox* m_backoff = nullptr;
    QSpinBox* m_tries = nullptr;
    QSpinBox* m_window = nullptr;
};
