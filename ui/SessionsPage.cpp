// The session timers page.
#include "ui/SessionsPage.h"

#include "simulator/Simulator.h"

#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

CSessionsPage::CSessionsPage(CSimulator& simulator, QWidget* parent) : COptionsPage(parent), m_simulator(simulator) {
    setObjectName("SessionsPage");
    auto* grid = new QGridLayout;
    AddRetryRows(grid, AddTimerRows(grid));
    grid->setColumnStretch(2, 1);
    auto* note = new QLabel("An account on the \"Accounts\" page may set its own enquire_link interval.", this);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(note);
    layout->addStretch(1);
}

int CSessionsPage::AddTimerRows(QGridLayout* grid) {
    const SessionSettings settings = m_simulator.Smpp().Sessions();
    const struct {
        QSpinBox** box;
        const char* name;
        const char* label;
        int32_t value;
        int least;
        const char* tip;
    } rows[] = {
        {&m_enquireLink, "EnquireLinkSeconds", "SMSC's &enquire_link every:", settings.enquireLinkSeconds, 0,
         "The SMSC sends enquire_link to every bound ESME this often"},
        {&m_response, "ResponseTimeoutSeconds", "&Response time-out:", settings.responseTimeoutSeconds, 1,
         "An ESME that does not answer the SMSC's enquire_link or unbind within this is disconnected; a deliver_sm "
         "it does not answer within this is tried again"},
        {&m_bind, "BindTimeoutSeconds", "&Bind time-out:", settings.bindTimeoutSeconds, 0,
         "A connection that has not bound this long after connecting is closed"},
        {&m_inactivity, "InactivitySeconds", "&Inactivity time-out:", settings.inactivitySeconds, 0,
         "A connection that sends nothing for this long is closed"},
    };
    int row = 0;
    for (const auto& r : rows) {
        auto* box = *r.box = new QSpinBox(this);
        box->setObjectName(r.name);
        box->setRange(r.least, accounts::kMaxSeconds);
        box->setSuffix(" s");
        if (r.least == 0)
            box->setSpecialValueText("off");
        box->setValue(r.value);
        box->setToolTip(r.tip);
        auto* label = new QLabel(r.label, this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row++, 1);
    }
    return row;
}

// How a deliver_sm the ESME cannot take now is tried again, in the grid's rows from row on.
void CSessionsPage::AddRetryRows(QGridLayout* grid, int row) {
    const RetryPolicy retry = m_simulator.Smpp().Retry();
    m_backoff = new QSpinBox(this);
    m_backoff->setObjectName("RetryBackoffMs");
    m_backoff->setRange(0, RetryPolicy::kMaxBackoffMs);
    m_backoff->setSingleStep(500);
    m_backoff->setSuffix(" ms");
    m_backoff->setValue(retry.backoffMs);
    m_backoff->setToolTip("A deliver_sm answered ESME_RMSGQFUL, ESME_RTHROTTLED or ESME_RX_T_APPN, or not answered, "
                          "is sent again after this, doubled before each further try");
    m_tries = new QSpinBox(this);
    m_tries->setObjectName("DeliverTries");
    m_tries->setRange(1, RetryPolicy::kMaxTries);
    m_tries->setValue(retry.maxTries);
    m_tries->setToolTip("How many times a deliver_sm is sent in all before it ends undeliverable");
    m_window = new QSpinBox(this);
    m_window->setObjectName("DeliverWindow");
    m_window->setRange(1, RetryPolicy::kMaxWindow);
    m_window->setValue(retry.window);
    m_window->setToolTip("How many deliver_sm and other PDUs the SMSC starts may wait for their answer on one connection; "
                         "the rest wait their turn in order. An account's window goes first");
    const struct {
        QSpinBox* box;
        const char* label;
    } retryRows[] = {{m_backoff, "deliver_sm bac&k-off:"}, {m_tries, "deliver_sm &tries:"}, {m_window, "deliver_sm &window:"}};
    for (const auto& [box, text] : retryRows) {
        auto* label = new QLabel(text, this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row++, 1);
    }
}

void CSessionsPage::Apply() {
    m_simulator.SaveSessions({m_enquireLink->value(), m_response->value(), m_bind->value(), m_inactivity->value()});
    RetryPolicy retry = m_simulator.Smpp().Retry();
    retry.backoffMs = m_backoff->value();
    retry.maxTries = m_tries->value();
    retry.window = m_window->value();
    m_simulator.SaveRetry(retry);
}
