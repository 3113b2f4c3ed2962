// The "Accounts" options page: the account table, its buttons and the selected account's fields.
#include "ui/AccountsPage.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <iterator>

namespace {

// By CAccountsPage::Column.
constexpr const char* kHeaders[] = {"System id", "Password", "Bind types", "Max binds", "Addresses", "Window",
                                    "Enquire link", "Receipt profile"};
constexpr const char* kProfileAsDelivery = "as on Delivery";
static_assert(std::size(kHeaders) == CAccountsPage::kColumns);
static_assert(std::size(accounts::kBindTypeNames) == 3);

QString Addresses(const Account& a) {
    QStringList list(a.allowedAddresses.begin(), a.allowedAddresses.end());
    return list.join(", ");
}

QString BindTypes(const Account& a) {
    if (a.bindTypes == Account::kEveryBindType)
        return "all";
    QStringList names;
    for (const accounts::BindTypeName& t : accounts::kBindTypeNames) {
        if (a.bindTypes & t.bit)
            names << t.name;
    }
    return names.join(", ");
}

QString Count(int32_t value, const char* none) { return value > 0 ? QString::number(value) : QString(none); }

} // namespace

CAccountsPage::CAccountsPage(CSimulator& simulator, QWidget* parent) : COptionsPage(parent), m_simulator(simulator) {
    setObjectName("AccountsPage");
    m_accounts = CSettings().Accounts();

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
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto* tableLabel = new QLabel("Accou&nts (with none, every bind is accepted):", this);
    tableLabel->setBuddy(m_table);

    auto* add = new QPushButton("&Add", this);
    m_remove = new QPushButton("&Remove", this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, m_remove}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    connect(add, &QPushButton::clicked, this, &CAccountsPage::Add);
    connect(m_remove, &QPushButton::clicked, this, &CAccountsPage::Remove);

    m_problem = new QLabel(this);
    m_problem->setObjectName("AccountsProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet("color: #b00000");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tableLabel);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    layout->addWidget(CreateFields());
    layout->addWidget(m_problem);

    m_table->setRowCount(int(m_accounts.size()));
    for (int row = 0; row < int(m_accounts.size()); ++row)
        ShowRow(row);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { LoadFields(Current()); });
    Select(m_accounts.empty() ? -1 : 0);
    Check();
}

QWidget* CAccountsPage::CreateFields() {
    m_fields = new QWidget(this);
    LayOutFields(CreateFieldControls());
    const auto edited = [this] { StoreFields(); };
    for (QLineEdit* e : {m_systemId, m_password, m_addresses})
        connect(e, &QLineEdit::textEdited, this, edited);
    for (QSpinBox* s : {m_maxBinds, m_window, m_enquireLink})
        connect(s, &QSpinBox::valueChanged, this, edited);
    for (QCheckBox* b : m_bindTypes)
        connect(b, &QCheckBox::toggled, this, edited);
    connect(m_receiptProfile, &QComboBox::currentIndexChanged, this, edited);
    return m_fields;
}

// The account's controls, each bounded as the account's JSON is; the bind types' boxes in a row.
QHBoxLayout* CAccountsPage::CreateFieldControls() {
    m_systemId = new QLineEdit(m_fields);
    m_systemId->setMaxLength(accounts::kMaxSystemIdChars);
    m_password = new QLineEdit(m_fields);
    m_password->setMaxLength(accounts::kMaxPasswordChars);
    m_password->setPlaceholderText("none");
    auto* types = new QHBoxLayout;
    types->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < std::size(m_bindTypes); ++i) {
        // Each box its own mnemonic, which toggles it: &transmitter, rece&iver, tran&sceiver.
        static constexpr int kMnemonicAt[] = {0, 4, 4};
        m_bindTypes[i] = new QCheckBox(QString(accounts::kBindTypeNames[i].name).insert(kMnemonicAt[i], u'&'), m_fields);
        types->addWidget(m_bindTypes[i]);
    }
    types->addStretch();
    m_maxBinds = new QSpinBox(m_fields);
    m_maxBinds->setRange(0, accounts::kMaxCount);
    m_maxBinds->setSpecialValueText("no limit");
    m_addresses = new QLineEdit(m_fields);
    m_addresses->setPlaceholderText("any, or e.g. 127.0.0.1, 10.0.0.0/8");
    m_window = new QSpinBox(m_fields);
    m_window->setRange(0, accounts::kMaxCount);
    m_window->setSpecialValueText("no cap");
    m_window->setToolTip("Requests of one connection whose answers a delay holds back; one more is answered "
                         "ESME_RMSGQFUL (0x14) at once");
    m_enquireLink = new QSpinBox(m_fields);
    m_enquireLink->setRange(-1, accounts::kMaxSeconds);
    m_enquireLink->setSuffix(" s");
    m_enquireLink->setSpecialValueText("as on Sessions");
    m_enquireLink->setToolTip("How often the SMSC sends enquire_link to this account's connections; 0 s: never");
    m_receiptProfile = new QComboBox(m_fields);
    m_receiptProfile->addItem(kProfileAsDelivery);
    for (const ReceiptProfile& profile : receipt_profiles::BuiltIns())
        m_receiptProfile->addItem(profile.name);

    return types;
}

void CAccountsPage::LayOutFields(QHBoxLayout* types) {
    // Two columns of label and field; every label is its field's buddy.
    const struct {
        const char* label;
        QWidget* field;
    } rows[] = {
        {"S&ystem id:", m_systemId},   {"&Max binds:", m_maxBinds},
        {"&Password:", m_password},    {"&Window:", m_window},
        {"Allowed a&ddresses:", m_addresses}, {"&Enquire link every:", m_enquireLink},
    };
    auto* grid = new QGridLayout(m_fields);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < int(std::size(rows)); ++i) {
        auto* label = new QLabel(rows[i].label, m_fields);
        label->setBuddy(rows[i].field);
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(rows[i].field, i / 2, (i % 2) * 2 + 1);
    }
    auto* typesLabel = new QLabel("Bind types:", m_fields);
    typesLabel->setBuddy(m_bindTypes[0]);
    grid->addWidget(typesLabel, 3, 0);
    grid->addLayout(types, 3, 1, 1, 3);
    auto* profileLabel = new QLabel("Receipt pro&file:", m_fields);
    profileLabel->setBuddy(m_receiptProfile);
    grid->addWidget(profileLabel, 4, 0);
    grid->addWidget(m_receiptProfile, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

int CAccountsPage::Current() const {
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void CAccountsPage::Select(int row) {
    if (row < 0) {
        m_table->clearSelection();
        LoadFields(-1);
        return;
    }
    m_table->selectRow(row);
    m_table->setCurrentCell(row, kSystemId);
    LoadFields(row);
}

void CAccountsPage::ShowRow(int row) {
    const Account& a = m_accounts[size_t(row)];
    const QString texts[] = {a.systemId,
                             a.password,
                             BindTypes(a),
                             Count(a.maxBinds, "no limit"),
                             a.allowedAddresses.empty() ? QString("any") : Addresses(a),
                             Count(a.window, "no cap"),
                             a.enquireLinkSeconds ? QString("%1 s").arg(*a.enquireLinkSeconds) : QString("as on Sessions"),
                             a.receiptProfile.isEmpty() ? QString(kProfileAsDelivery) : a.receiptProfile};
    for (int column = 0; column < kColumns; ++column) {
        QTableWidgetItem* item = m_table->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_table->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
}

void CAccountsPage::LoadFields(int row) {
    const bool any = row >= 0 && row < int(m_accounts.size());
    m_fields->setEnabled(any);
    m_remove->setEnabled(any);
    const Account a = any ? m_accounts[size_t(row)] : Account{};
    m_loading = true;
    m_systemId->setText(a.systemId);
    m_password->setText(a.password);
    for (size_t i = 0; i < std::size(m_bindTypes); ++i)
        m_bindTypes[i]->setChecked(a.bindTypes & accounts::kBindTypeNames[i].bit);
    m_maxBinds->setValue(a.maxBinds);
    m_addresses->setText(Addresses(a));
    m_window->setValue(a.window);
    m_enquireLink->setValue(a.enquireLinkSeconds.value_or(-1));
    m_receiptProfile->setCurrentIndex(std::max(0, m_receiptProfile->findText(a.receiptProfile)));
    m_loading = false;
}

void CAccountsPage::StoreFields() {
    const int row = Current();
    if (m_loading || row < 0)
        return;
    Account& a = m_accounts[size_t(row)];
    a.systemId = m_systemId->text();
    a.password = m_password->text();
    a.bindTypes = 0;
    for (size_t i = 0; i < std::size(m_bindTypes); ++i)
        a.bindTypes |= m_bindTypes[i]->isChecked() ? accounts::kBindTypeNames[i].bit : 0;
    a.maxBinds = m_maxBinds->value();
    const QStringList addresses = m_addresses->text().split(QRegularExpression("[,\\s]+"), Qt::SkipEmptyParts);
    a.allowedAddresses.assign(addresses.begin(), addresses.end());
    a.window = m_window->value();
    a.enquireLinkSeconds = m_enquireLink->value() < 0 ? std::nullopt : std::optional<int32_t>(m_enquireLink->value());
    a.receiptProfile = m_receiptProfile->currentIndex() > 0 ? m_receiptProfile->currentText() : QString();
    ShowRow(row);
    Check();
}

void CAccountsPage::Add() {
    // A new account goes below the selected one, or last, and waits for its system id.
    const int row = Current() < 0 ? int(m_accounts.size()) : Current() + 1;
    m_accounts.insert(m_accounts.begin() + row, Account{});
    m_table->insertRow(row);
    ShowRow(row);
    Select(row);
    m_systemId->setFocus();
    Check();
}

void CAccountsPage::Remove() {
    const int row = Current();
    if (row < 0)
        return;
    m_accounts.erase(m_accounts.begin() + row);
    m_table->removeRow(row);
    Select(std::min(row, int(m_accounts.size()) - 1));
    Check();
}

void CAccountsPage::Check() {
    QString problem = accounts::Validate(m_accounts);
    m_problem->setText(problem.isEmpty() ? receipt_profiles::CheckAccounts(m_accounts) : problem);
}

bool CAccountsPage::CanApply() {
    Check();
    return m_problem->text().isEmpty();
}

void CAccountsPage::Apply() { m_simulator.SaveAccounts(m_accounts); }
