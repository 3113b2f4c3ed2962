// The "Faults" options page: the rule table, its buttons and the selected rule's fields.
#include "ui/FaultsPage.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

// By CFaultsPage::Column.
constexpr const char* kHeaders[] = {"Enabled", "Protocol", "Command", "System id", "Destination", "Status",
                                    "Delay (ms)", "Action", "Probability", "Rate/s"};
static_assert(std::size(kHeaders) == CFaultsPage::kColumns);

// How a rule without a command reads in the list and, shorter, in the narrow table.
constexpr const char* kEveryOperation = "(every message operation)";
constexpr const char* kEveryOperationShort = "(message ops)";

QString CommandText(const QString& command, const char* every = kEveryOperation) {
    return command.isEmpty() ? QString(every) : command;
}

} // namespace

CFaultsPage::CFaultsPage(CSimulator& simulator, QWidget* parent) : COptionsPage(parent), m_simulator(simulator) {
    setObjectName("FaultsPage");
    m_rules = CSettings().FaultRules();

    QLabel* tableLabel = CreateTable();
    QHBoxLayout* buttons = CreateButtons();
    CreateFields();
    LayOutFields();

    m_problem = new QLabel(this);
    m_problem->setObjectName("FaultsProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet("color: #b00000");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tableLabel);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_fields);
    layout->addWidget(m_problem);

    ConnectTableAndFields();
    FillTable();
    Select(m_rules.empty() ? -1 : 0);
    Check();
}

QLabel* CFaultsPage::CreateTable() {
    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels([] {
        QStringList l;
        for (const char* h : kHeaders)
            l << h;
        return l;
    }());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers); // edited in the fields below
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* tableLabel = new QLabel("&Fault rules (the first match wins):", this);
    tableLabel->setBuddy(m_table);
    return tableLabel;
}

QHBoxLayout* CFaultsPage::CreateButtons() {
    auto* add = new QPushButton("&Add", this);
    m_remove = new QPushButton("&Remove", this);
    m_up = new QPushButton("Move &up", this);
    m_down = new QPushButton("Move do&wn", this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, m_remove, m_up, m_down}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    connect(add, &QPushButton::clicked, this, &CFaultsPage::Add);
    connect(m_remove, &QPushButton::clicked, this, &CFaultsPage::Remove);
    connect(m_up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { Move(1); });
    return buttons;
}

void CFaultsPage::CreateFields() {
    m_fields = new QWidget(this);
    // An empty protocol is SMPP's: "smpp" shows it, and stores it empty as a new rule has it.
    m_protocol = new QComboBox(m_fields);
    for (const QString& name : fault_rules::ProtocolNames())
        m_protocol->addItem(name, name == fault_rules::ProtocolNames().front() ? QString() : name);
    m_command = new QComboBox(m_fields);
    for (const QString& name : fault_rules::CommandNames())
        m_command->addItem(CommandText(name), name);
    m_systemId = new QLineEdit(m_fields);
    m_systemId->setPlaceholderText("any");
    m_destination = new QLineEdit(m_fields);
    m_destination->setPlaceholderText("any");
    m_status = new QLineEdit(m_fields);
    m_status->setValidator(new QRegularExpressionValidator(QRegularExpression("0[xX][0-9A-Fa-f]{0,8}|[0-9]{0,10}"), m_status));
    m_delay = new QSpinBox(m_fields);
    m_delay->setRange(0, int(fault_rules::kMaxDelayMs));
    m_delay->setSuffix(" ms");
    m_action = new QComboBox(m_fields);
    for (const QString& name : fault_rules::ActionNames())
        m_action->addItem(name);
    m_probability = new QDoubleSpinBox(m_fields);
    m_probability->setRange(0, 1);
    m_probability->setDecimals(3);
    m_probability->setSingleStep(0.05);
    m_rate = new QSpinBox(m_fields);
    m_rate->setRange(0, fault_rules::kMaxRate);
    m_rate->setSpecialValueText("no limit");
    m_congestion = new QSpinBox(m_fields);
    m_congestion->setRange(-1, 100);
    m_congestion->setSpecialValueText("none");
    m_congestion->setSuffix(" %");
    m_congestion->setToolTip("congestion_state in the answer, to ESMEs bound at SMPP 5.0 only");
    m_enabled = new QCheckBox("Ena&bled", m_fields);
}

void CFaultsPage::LayOutFields() {
    // Two columns of label and field; every label is its field's buddy.
    const struct {
        const char* label;
        QWidget* field;
    } rows[] = {
        {"Pro&tocol:", m_protocol},  {"De&lay:", m_delay},
        {"Comma&nd:", m_command},    {"Act&ion:", m_action},
        {"S&ystem id:", m_systemId}, {"&Probability:", m_probability},
        {"&Destination:", m_destination}, {"Rat&e per second:", m_rate},
        {"&Status:", m_status},      {"Con&gestion (5.0):", m_congestion},
    };
    auto* grid = new QGridLayout(m_fields);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < int(std::size(rows)); ++i) {
        auto* label = new QLabel(rows[i].label, m_fields);
        label->setBuddy(rows[i].field);
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(rows[i].field, i / 2, (i % 2) * 2 + 1);
    }
    grid->addWidget(m_enabled, int(std::size(rows)) / 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void CFaultsPage::ConnectTableAndFields() {
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { LoadFields(Current()); });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        // The Enabled box of a row, clicked or toggled with the space bar.
        if (m_loading || item->column() != kEnabled)
            return;
        m_rules[size_t(item->row())].enabled = item->checkState() == Qt::Checked;
        if (item->row() == Current())
            LoadFields(item->row());
    });
    const auto edited = [this] { StoreFields(); };
    connect(m_protocol, &QComboBox::currentIndexChanged, this, edited);
    connect(m_command, &QComboBox::currentIndexChanged, this, edited);
    connect(m_action, &QComboBox::currentIndexChanged, this, edited);
    connect(m_systemId, &QLineEdit::textEdited, this, edited);
    connect(m_destination, &QLineEdit::textEdited, this, edited);
    connect(m_status, &QLineEdit::textEdited, this, edited);
    connect(m_delay, &QSpinBox::valueChanged, this, edited);
    connect(m_probability, &QDoubleSpinBox::valueChanged, this, edited);
    connect(m_rate, &QSpinBox::valueChanged, this, edited);
    connect(m_congestion, &QSpinBox::valueChanged, this, edited);
    connect(m_enabled, &QCheckBox::toggled, this, edited);
}

void CFaultsPage::FillTable() {
    m_table->setRowCount(int(m_rules.size()));
    for (int row = 0; row < int(m_rules.size()); ++row)
        ShowRow(row);
    m_table->resizeColumnsToContents();
    // Every column in view at once: the dialog grows to the table rather than hiding the action
    // and rate behind a scroll bar.
    m_table->setMinimumWidth(m_table->horizontalHeader()->length() + m_table->verticalHeader()->sizeHint().width() +
                             2 * m_table->frameWidth() + 2 * m_table->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

int CFaultsPage::Current() const {
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void CFaultsPage::Select(int row) {
    if (row < 0) {
        m_table->clearSelection();
        LoadFields(-1);
        return;
    }
    m_table->selectRow(row);
    m_table->setCurrentCell(row, kCommand);
    LoadFields(row);
}

void CFaultsPage::ShowRow(int row) {
    const FaultRule& r = m_rules[size_t(row)];
    const QString protocol = r.protocol.isEmpty() ? fault_rules::ProtocolNames().front() : r.protocol;
    const QString texts[] = {QString(), protocol, CommandText(r.command, kEveryOperationShort), r.systemId, r.destination,
                             fault_rules::StatusText(r.status), QString::number(r.delayMs),
                             fault_rules::ActionName(r.action), QString::number(r.probability),
                             r.ratePerSecond > 0 ? QString::number(r.ratePerSecond) : QString()};
    m_loading = true;
    for (int column = 0; column < kColumns; ++column) {
        QTableWidgetItem* item = m_table->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(column == kEnabled ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                                              : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_table->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
    m_table->item(row, kEnabled)->setCheckState(r.enabled ? Qt::Checked : Qt::Unchecked);
    m_loading = false;
}

void CFaultsPage::LoadFields(int row) {
    const bool any = row >= 0 && row < int(m_rules.size());
    m_fields->setEnabled(any);
    m_remove->setEnabled(any);
    m_up->setEnabled(any && row > 0);
    m_down->setEnabled(any && row + 1 < int(m_rules.size()));
    const FaultRule r = any ? m_rules[size_t(row)] : FaultRule{};
    m_loading = true;
    m_protocol->setCurrentIndex(std::max(0, m_protocol->findText(r.protocol)));
    m_command->setCurrentIndex(std::max(0, m_command->findData(r.command)));
    m_systemId->setText(r.systemId);
    m_destination->setText(r.destination);
    m_status->setText(fault_rules::StatusText(r.status));
    m_delay->setValue(int(r.delayMs));
    m_action->setCurrentIndex(int(r.action));
    m_probability->setValue(r.probability);
    m_rate->setValue(r.ratePerSecond);
    m_congestion->setValue(r.parameters.congestionState);
    m_enabled->setChecked(r.enabled);
    m_loading = false;
}

void CFaultsPage::StoreFields() {
    const int row = Current();
    if (m_loading || row < 0)
        return;
    FaultRule& r = m_rules[size_t(row)];
    r.protocol = m_protocol->currentData().toString();
    r.command = m_command->currentData().toString();
    r.systemId = m_systemId->text();
    r.destination = m_destination->text();
    bool ok = false;
    const qulonglong status = fault_rules::ParseStatus(m_status->text(), &ok);
    r.status = ok ? uint32_t(status) : 0;
    r.delayMs = m_delay->value();
    r.action = FaultAction(m_action->currentIndex());
    r.probability = m_probability->value();
    r.ratePerSecond = m_rate->value();
    r.parameters.congestionState = m_congestion->value();
    r.enabled = m_enabled->isChecked();
    ShowRow(row);
    Check();
}

void CFaultsPage::Add() {
    // A new rule goes below the selected one, or last, and matches every message operation.
    const int row = Current() < 0 ? int(m_rules.size()) : Current() + 1;
    m_rules.insert(m_rules.begin() + row, FaultRule{});
    m_table->insertRow(row);
    ShowRow(row);
    Select(row);
    m_protocol->setFocus();
    Check();
}

void CFaultsPage::Remove() {
    const int row = Current();
    if (row < 0)
        return;
    m_rules.erase(m_rules.begin() + row);
    m_table->removeRow(row);
    Select(std::min(row, int(m_rules.size()) - 1));
    Check();
}

void CFaultsPage::Move(int by) {
    const int row = Current();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= int(m_rules.size()))
        return;
    std::swap(m_rules[size_t(row)], m_rules[size_t(to)]);
    ShowRow(row);
    ShowRow(to);
    Select(to);
    Check();
}

void CFaultsPage::Check() {
    m_problem->setText(fault_rules::Validate(m_rules));
}

bool CFaultsPage::CanApply() {
    Check();
    return m_problem->text().isEmpty();
}

void CFaultsPage::Apply() {
    m_simulator.SaveFaultRules(m_rules);
}
