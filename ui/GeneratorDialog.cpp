#include "ui/GeneratorDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRefreshMs = 200;

template <typename Control>
Control* Named(Control* control, const char* name) {
    control->setObjectName(name);
    return control;
}

QString StateText(const GeneratorProgress& p) {
    switch (p.state) {
    case GeneratorProgress::State::Idle: return "Idle";
    case GeneratorProgress::State::Waiting: return "Waiting for " + QString::fromStdString(p.systemId) + " to bind";
    case GeneratorProgress::State::Running: return "Running";
    case GeneratorProgress::State::Done: return "Done";
    case GeneratorProgress::State::Stopped: return "Stopped: " + QString::fromStdString(p.reason);
    }
    return {};
}

} // namespace

CGeneratorDialog::CGeneratorDialog(CTrafficGenerator& generator, QWidget* parent)
    : QDialog(parent), m_generator(generator) {
    setWindowTitle("Traffic generator");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(MakeJobForm());
    layout->addWidget(MakeProgressBox());
    layout->addWidget(MakeButtons());

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CGeneratorDialog::Refresh);
    m_timer->start(kRefreshMs);
    Refresh();
}

// The job's fields, as a job file names them.
QFormLayout* CGeneratorDialog::MakeJobForm() {
    const GeneratorJob defaults;
    m_systemId = Named(new QComboBox(this), "systemId");
    m_systemId->setEditable(true);
    m_amount = Named(new QSpinBox(this), "count");
    m_amount->setRange(1, 1'000'000'000);
    m_amount->setValue(1000);
    m_end = Named(new QComboBox(this), "end"); // made after the amount: Tab goes from it to its unit
    m_end->addItems({"Messages", "Seconds"});
    m_rate = Named(new QSpinBox(this), "rate");
    m_rate->setRange(1, GeneratorJob::kMaxRate);
    m_rate->setValue(defaults.rate);
    m_rate->setSuffix(" /s");
    m_kind = Named(new QComboBox(this), "kind");
    m_kind->addItems({"Messages (deliver_sm)", "Delivery receipts"});
    m_source = Named(new QLineEdit(QString::fromStdString(defaults.source), this), "source");
    m_source->setMaxLength(GeneratorJob::kMaxAddressChars);
    m_destination = Named(new QLineEdit(QString::fromStdString(defaults.destination), this), "destination");
    m_destination->setToolTip("{n} becomes the message's number, from 1");
    m_text = Named(new QLineEdit(QString::fromStdString(defaults.text), this), "text");
    m_text->setMaxLength(GeneratorJob::kMaxTextOctets);
    m_text->setToolTip("{n} becomes the message's number, from 1");

    auto* job = new QFormLayout;
    const auto row = [&](const char* label, QWidget* field) {
        auto* buddy = new QLabel(label, this);
        buddy->setBuddy(field);
        job->addRow(buddy, field);
    };
    row("S&ystem id:", m_systemId);
    auto* amount = new QHBoxLayout;
    amount->addWidget(m_amount, 1);
    amount->addWidget(m_end);
    auto* amountLabel = new QLabel("&Send:", this);
    amountLabel->setBuddy(m_amount);
    job->addRow(amountLabel, amount);
    m_end->setAccessibleName("Ends after"); // the amount's unit, the next field after it
    row("&Rate:", m_rate);
    row("&Kind:", m_kind);
    row("Sour&ce address:", m_source);
    row("&Destination address:", m_destination);
    row("Te&xt:", m_text);
    return job;
}

QGroupBox* CGeneratorDialog::MakeProgressBox() {
    auto* progress = new QFormLayout;
    m_sent = Named(new QLabel(this), "sent");
    m_answered = Named(new QLabel(this), "answered");
    m_errors = Named(new QLabel(this), "errors");
    m_currentRate = Named(new QLabel(this), "currentRate");
    m_state = Named(new QLabel(this), "state");
    m_state->setWordWrap(true);
    progress->addRow("Sent:", m_sent);
    progress->addRow("Answered:", m_answered);
    progress->addRow("Errors:", m_errors);
    progress->addRow("Rate:", m_currentRate);
    progress->addRow("State:", m_state);
    auto* progressBox = new QGroupBox("Progress", this);
    progressBox->setLayout(progress);
    return progressBox;
}

QDialogButtonBox* CGeneratorDialog::MakeButtons() {
    auto* buttons = new QDialogButtonBox(this);
    m_start = buttons->addButton("S&tart", QDialogButtonBox::ActionRole);
    m_stop = buttons->addButton("Sto&p", QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    connect(m_start, &QPushButton::clicked, this, &CGeneratorDialog::OnStart);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        m_generator.Stop();
        Refresh();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    return buttons;
}

GeneratorJob CGeneratorDialog::Job() const {
    GeneratorJob job;
    job.systemId = m_systemId->currentText().trimmed().toStdString();
    if (m_end->currentIndex() == 0)
        job.count = m_amount->value();
    else
        job.seconds = m_amount->value();
    job.rate = m_rate->value();
    job.kind = m_kind->currentIndex() == 0 ? GeneratorJob::Kind::Mo : GeneratorJob::Kind::Receipts;
    job.source = m_source->text().toStdString();
    job.destination = m_destination->text().toStdString();
    job.text = m_text->text().toStdString();
    return job;
}

void CGeneratorDialog::SetReceivers(const QStringList& names) {
    const QString typed = m_systemId->currentText();
    m_systemId->clear();
    m_systemId->addItems(names);
    m_systemId->setCurrentText(typed.isEmpty() && !names.isEmpty() ? names.first() : typed);
}

void CGeneratorDialog::OnStart() {
    const GeneratorJob job = Job();
    switch (m_generator.Start(job)) {
    case CTrafficGenerator::StartResult::Bad:
        m_refusal = QString::fromStdString(job.Check());
        break;
    case CTrafficGenerator::StartResult::NoReceiver:
        m_refusal = "No receiver or transceiver is bound as " + QString::fromStdString(job.systemId);
        break;
    default:
        m_refusal.clear();
        break;
    }
    Refresh();
}

void CGeneratorDialog::Refresh() {
    const GeneratorProgress& p = m_generator.Progress();
    m_sent->setText(p.total > 0 ? QString("%1 of %2").arg(p.sent).arg(p.total) : QString::number(p.sent));
    m_answered->setText(QString::number(p.answered));
    m_errors->setText(QString::number(p.errors));
    m_currentRate->setText(QString("%1 /s").arg(p.rate, 0, 'f', 0));
    m_state->setText(m_refusal.isEmpty() ? StateText(p) : m_refusal);
    const bool active = m_generator.IsActive();
    m_start->setEnabled(!active);
    m_stop->setEnabled(active);
}
