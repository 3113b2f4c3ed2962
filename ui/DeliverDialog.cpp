// "Deliver short message": three groups of PDU fields, the destination and count, and the buttons.
#include "ui/DeliverDialog.h"

#include "ui/Icons.h"
#include "ui/TlvEditor.h"

#include "protocol/DataCoding.h"
#include "protocol/SmppValues.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include <map>
#include <span>
#include <string_view>

namespace {

using Fields = smpp::DeliverFields;
using Kind = DeliverEntry::Kind;

// The values a choice offers, by the registry's names: the same names the decoder shows the values by.
constexpr std::span<const protocol::NamedValue> kTonItems = protocol::smpp::kTypesOfNumber;
constexpr std::span<const protocol::NamedValue> kNpiItems = protocol::smpp::kNumberingPlans;

// A choice item: the value in eight binary digits, ": " and its name, as the list shows it.
QString ChoiceItem(uint32_t value, std::string_view name) {
    return QString("%1: %2").arg(value, 8, 2, QChar('0')).arg(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

// The data codings of their own (0 to 15), each by its name, the unnamed as reserved.
QStringList DataCodingItems() {
    QStringList items;
    for (uint32_t value = 0; value < protocol::data_coding::kPlainCodings; ++value) {
        const std::string_view name = protocol::NameOf(protocol::data_coding::kNames, value);
        items << ChoiceItem(value, name.empty() ? protocol::data_coding::kReserved : name);
    }
    return items;
}

// Initial selections: International, ISDN (E163/E164), SMSC Default Alphabet.
constexpr int kInitialTon = 1;
constexpr int kInitialNpi = 1;
constexpr int kInitialDataCoding = 0;

// Which commands carry a field.
constexpr uint8_t kDeliverSm = 1u << static_cast<int>(Kind::DeliverSm);
constexpr uint8_t kDataSm = 1u << static_cast<int>(Kind::DataSm);
constexpr uint8_t kAlert = 1u << static_cast<int>(Kind::AlertNotification);
constexpr uint8_t kAll = kDeliverSm | kDataSm | kAlert;

constexpr int kAddressChars = 0; // as long as the command's addresses allow
constexpr int kShortAddressChars = 20; // deliver_sm
constexpr int kLongAddressChars = 64;  // data_sm and alert_notification (esme_addr)

enum class Group { Address, Attributes };
enum class Control { Choice, Text, Number };

// One field of the dialog: where it sits (label column 0 or 2, its control beside it), what it edits.
struct FieldRow {
    const char* name;
    Group group;
    int row, column, span;
    Control control;
    uint8_t Fields::*octet;    // Choice and Number
    std::string Fields::*text; // Text
    int maxChars;
    uint8_t carriers;
    std::span<const protocol::NamedValue> items;
    int initial;
};

// In the order of the dialog, which is also the keyboard's order.
const FieldRow kFieldRows[] = {
    {"source_addr_ton", Group::Address, 0, 0, 1, Control::Choice, &Fields::sourceTon, nullptr, 0, kAll, kTonItems, kInitialTon},
    {"source_addr_npi", Group::Address, 0, 2, 1, Control::Choice, &Fields::sourceNpi, nullptr, 0, kAll, kNpiItems, kInitialNpi},
    {"source_addr", Group::Address, 1, 0, 3, Control::Text, nullptr, &Fields::sourceAddr, kAddressChars, kAll, {}, 0},
    {"dest_addr_ton", Group::Address, 2, 0, 1, Control::Choice, &Fields::destTon, nullptr, 0, kAll, kTonItems, kInitialTon},
    {"dest_addr_npi", Group::Address, 2, 2, 1, Control::Choice, &Fields::destNpi, nullptr, 0, kAll, kNpiItems, kInitialNpi},
    {"destination_addr", Group::Address, 3, 0, 3, Control::Text, nullptr, &Fields::destAddr, kAddressChars, kAll, {}, 0},
    {"service_type", Group::Attributes, 0, 0, 1, Control::Text, nullptr, &Fields::serviceType, 5, kDeliverSm | kDataSm, {}, 0},
    {"esm_class", Group::Attributes, 0, 2, 1, Control::Number, &Fields::esmClass, nullptr, 0, kDeliverSm | kDataSm, {}, 0},
    {"protocol_id", Group::Attributes, 1, 0, 1, Control::Number, &Fields::protocolId, nullptr, 0, kDeliverSm, {}, 0},
    {"priority_flag", Group::Attributes, 1, 2, 1, Control::Number, &Fields::priorityFlag, nullptr, 0, kDeliverSm, {}, 0},
    {"schedule_time", Group::Attributes, 2, 0, 1, Control::Text, nullptr, &Fields::scheduleDeliveryTime, 16, kDeliverSm, {}, 0},
    {"validity_period", Group::Attributes, 2, 2, 1, Control::Text, nullptr, &Fields::validityPeriod, 16, kDeliverSm, {}, 0},
    {"registered_delivery", Group::Attributes, 3, 0, 1, Control::Number, &Fields::registeredDelivery, nullptr, 0, kDeliverSm | kDataSm, {}, 0},
    {"default_msg_id", Group::Attributes, 3, 2, 1, Control::Number, &Fields::smDefaultMsgId, nullptr, 0, kDeliverSm, {}, 0},
    {"replace_flag", Group::Attributes, 4, 0, 1, Control::Number, &Fields::replaceIfPresent, nullptr, 0, kDeliverSm, {}, 0},
};
constexpr uint8_t kUserDataCarriers = kDeliverSm | kDataSm; // data_coding, short_message and "Browse..."

const char* const kDestinationName = "Dest system id";
const char* const kCountName = "Count";
constexpr int kMaxCount = 10000;
constexpr qsizetype kMaxFileOctets = 64 * 1024; // far more than one long message of 255 parts holds

// One octet typed in decimal (0 to 255) or in hex after "0x".
const QRegularExpression kOctetPattern("0[xX][0-9A-Fa-f]{1,2}|25[0-5]|2[0-4][0-9]|1[0-9]{2}|[1-9]?[0-9]");

// Dialog-unit sizes as the dialog's font measures them.
constexpr int kDialogWidthUnits = 421;
constexpr int kDialogHeightUnits = 335;
constexpr int kShortMessageHeightUnits = 32;

int HorizontalPixels(const QFontMetrics& metrics, int units) { return units * metrics.averageCharWidth() / 4; }
int VerticalPixels(const QFontMetrics& metrics, int units) { return units * metrics.height() / 8; }

bool Carries(uint8_t carriers, Kind kind) { return (carriers >> static_cast<int>(kind)) & 1u; }

// The value of a choice item: the binary number it opens with.
uint8_t ChoiceValue(const QString& item) { return static_cast<uint8_t>(item.left(8).toUInt(nullptr, 2)); }

QString WindowTitle(Kind kind) {
    switch (kind) {
    case Kind::DataSm: return "Deliver short message - DATA_SM";
    case Kind::AlertNotification: return "Deliver short message - ALERT_NOTIFICATION";
    case Kind::DeliverSm: break;
    }
    return "Deliver short message";
}

QLabel* Label(const QString& text, QWidget* control, QWidget* parent) {
    control->setObjectName(text);
    control->setAccessibleName(text);
    auto* label = new QLabel(text, parent);
    label->setBuddy(control);
    return label;
}

QGridLayout* GroupGrid(QGroupBox* group) {
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return grid;
}

} // namespace

CDeliverDialog::CDeliverDialog(QWidget* parent, DeliverEntry::Kind kind) : QDialog(parent), m_kind(kind)
{
    setWindowTitle(WindowTitle(kind));
    setWindowIcon(icons::Icon(icons::kDeliver));
    setModal(true);

    auto* address = new QGroupBox("Message address", this);
    auto* attributes = new QGroupBox("Message attributes", this);
    AddFieldRows(address, attributes);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(address);
    layout->addWidget(attributes);
    layout->addWidget(MakeUserData());
    m_tlvs = new CTlvEditor(this);
    layout->addWidget(m_tlvs);
    layout->addLayout(MakeTarget());
    layout->addStretch(1);
    layout->addLayout(MakeButtons());

    const QFontMetrics metrics = fontMetrics();
    resize(HorizontalPixels(metrics, kDialogWidthUnits), VerticalPixels(metrics, kDialogHeightUnits));
}

void CDeliverDialog::AddFieldRows(QGroupBox* address, QGroupBox* attributes)
{
    const std::map<Group, std::pair<QGroupBox*, QGridLayout*>> groups = {
        {Group::Address, {address, GroupGrid(address)}}, {Group::Attributes, {attributes, GroupGrid(attributes)}}};
    for (const FieldRow& field : kFieldRows) {
        const auto& [box, grid] = groups.at(field.group);
        QWidget* control = nullptr;
        if (field.control == Control::Choice) {
            auto* choice = new QComboBox(box);
            for (const protocol::NamedValue& item : field.items)
                choice->addItem(ChoiceItem(item.value, item.name));
            choice->setCurrentIndex(field.initial);
            control = choice;
        } else {
            auto* edit = new QLineEdit(box);
            if (field.control == Control::Number)
                edit->setValidator(new QRegularExpressionValidator(kOctetPattern, edit));
            const int addressChars = m_kind == Kind::DeliverSm ? kShortAddressChars : kLongAddressChars;
            if (field.control == Control::Text)
                edit->setMaxLength(field.maxChars == kAddressChars ? addressChars : field.maxChars);
            control = edit;
        }
        control->setEnabled(Carries(field.carriers, m_kind));
        grid->addWidget(Label(QString::fromLatin1(field.name), control, box), field.row, field.column);
        grid->addWidget(control, field.row, field.column + 1, 1, field.span);
    }
}

QGroupBox* CDeliverDialog::MakeUserData()
{
    auto* userData = new QGroupBox("User data", this);
    QGridLayout* u = GroupGrid(userData);
    auto* dataCoding = new QComboBox(userData);
    dataCoding->addItems(DataCodingItems());
    dataCoding->setCurrentIndex(kInitialDataCoding);
    u->addWidget(Label("data_coding", dataCoding, userData), 0, 0);
    u->addWidget(dataCoding, 0, 1);
    m_browse = new QPushButton("Browse...", userData);
    m_browse->setAutoDefault(false);
    u->addWidget(m_browse, 0, 3, Qt::AlignRight);
    m_shortMessage = new QLineEdit(userData);
    u->addWidget(Label("short_message", m_shortMessage, userData), 1, 0);
    u->addWidget(m_shortMessage, 1, 1, 1, 3);
    m_shortMessage->setFixedHeight(VerticalPixels(fontMetrics(), kShortMessageHeightUnits));
    m_split = new QComboBox(userData);
    m_split->setObjectName("Long messages");
    m_split->setAccessibleName("Long messages");
    for (const smpp::SplitOption option : smpp::kSplitOptions)
        m_split->addItem(QString::fromLatin1(smpp::LabelOf(option)), static_cast<int>(option));
    auto* splitLabel = new QLabel("&Long messages:", userData);
    splitLabel->setBuddy(m_split);
    u->addWidget(splitLabel, 2, 0);
    u->addWidget(m_split, 2, 1);
    for (QWidget* control : {static_cast<QWidget*>(dataCoding), static_cast<QWidget*>(m_shortMessage),
                             static_cast<QWidget*>(m_browse), static_cast<QWidget*>(m_split)})
        control->setEnabled(Carries(kUserDataCarriers, m_kind));
    connect(m_browse, &QPushButton::clicked, this, &CDeliverDialog::OnBrowse);
    return userData;
}

QHBoxLayout* CDeliverDialog::MakeTarget()
{
    m_destination = new QComboBox(this);
    m_destination->setEditable(true);
    m_destination->setInsertPolicy(QComboBox::NoInsert);
    m_destination->lineEdit()->setMaxLength(static_cast<int>(sizeof(DeliverEntry::destSystemId)) - 1);
    m_count = new QSpinBox(this);
    m_count->setRange(1, kMaxCount);
    m_count->setValue(1);
    auto* target = new QHBoxLayout;
    target->addWidget(Label(kDestinationName, m_destination, this));
    target->addWidget(m_destination, 1);
    target->addSpacing(12);
    target->addWidget(Label(kCountName, m_count, this));
    target->addWidget(m_count);
    connect(m_destination, &QComboBox::editTextChanged, this, &CDeliverDialog::UpdateTlvNote);
    return target;
}

QHBoxLayout* CDeliverDialog::MakeButtons()
{
    auto* send = new QPushButton("&Send", this);
    auto* addToList = new QPushButton("&Add to list", this);
    auto* cancel = new QPushButton("&Cancel", this);
    send->setDefault(true);
    addToList->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, &CDeliverDialog::OnSend);
    connect(addToList, &QPushButton::clicked, this, [this] {
        if (m_tlvs->Check())
            done(kAddToList);
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send);
    buttons->addWidget(addToList);
    buttons->addWidget(cancel);
    return buttons;
}

DeliverEntry CDeliverDialog::Entry() const
{
    DeliverEntry entry = DeliverEntry::Make(m_destination->currentText().toStdString(),
                                            m_shortMessage->isEnabled() ? m_shortMessage->text().toStdString() : "",
                                            m_count->value(), m_kind);
    Fields& fields = entry.fields;
    for (const FieldRow& field : kFieldRows) {
        if (!Carries(field.carriers, m_kind))
            continue;
        const QString name = QString::fromLatin1(field.name);
        if (field.control == Control::Choice)
            fields.*field.octet = ChoiceValue(findChild<QComboBox*>(name)->currentText());
        else if (field.control == Control::Number)
            fields.*field.octet = static_cast<uint8_t>(findChild<QLineEdit*>(name)->text().toUInt(nullptr, 0));
        else
            fields.*field.text = findChild<QLineEdit*>(name)->text().toStdString();
    }
    if (Carries(kUserDataCarriers, m_kind))
        fields.dataCoding = ChoiceValue(findChild<QComboBox*>("data_coding")->currentText());
    entry.split = static_cast<smpp::SplitOption>(m_split->currentData().toInt());
    fields.tlvs = m_tlvs->Tlvs().value_or(std::vector<smpp::Tlv>{});
    return entry;
}

void CDeliverDialog::SetEntry(const DeliverEntry& entry)
{
    const Fields& fields = entry.fields;
    const auto choose = [this](const QString& name, uint8_t value) {
        auto* box = findChild<QComboBox*>(name);
        for (int i = 0; i < box->count(); ++i)
            if (ChoiceValue(box->itemText(i)) == value)
                box->setCurrentIndex(i);
    };
    for (const FieldRow& field : kFieldRows) {
        const QString name = QString::fromLatin1(field.name);
        if (field.control == Control::Choice)
            choose(name, fields.*field.octet);
        else if (field.control == Control::Number)
            findChild<QLineEdit*>(name)->setText(QString::number(fields.*field.octet));
        else
            findChild<QLineEdit*>(name)->setText(QString::fromStdString(fields.*field.text));
    }
    choose("data_coding", fields.dataCoding);
    m_shortMessage->setText(QString::fromStdString(entry.text));
    m_split->setCurrentIndex(m_split->findData(static_cast<int>(entry.split)));
    m_destination->setEditText(entry.DestSystemIdText());
    m_count->setValue(entry.count);
    m_tlvs->SetTlvs(fields.tlvs);
}

void CDeliverDialog::LimitToPhoneFields()
{
    for (const FieldRow& field : kFieldRows)
        if (qstrcmp(field.name, "source_addr") != 0)
            findChild<QWidget*>(QString::fromLatin1(field.name))->setEnabled(false);
    m_tlvs->SetEditable(false);
}

QString CDeliverDialog::ShortMessage() const { return m_shortMessage->text(); }

void CDeliverDialog::SetShortMessage(const QString& text) { m_shortMessage->setText(text); }

void CDeliverDialog::SetDestinations(const std::vector<std::string>& names)
{
    const QString typed = m_destination->currentText();
    m_destination->clear();
    for (const std::string& name : names)
        m_destination->addItem(QString::fromStdString(name));
    m_destination->setEditText(typed.isEmpty() && !names.empty() ? m_destination->itemText(0) : typed);
}

void CDeliverDialog::FixDestination(const QString& name)
{
    m_destination->clear();
    m_destination->addItem(name);
    m_destination->setEditText(name);
    m_destination->setEnabled(false);
}

bool CDeliverDialog::LoadMessageFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.read(kMaxFileOctets);
    // A text file's own last line end is not part of the message.
    if (bytes.endsWith('\n'))
        bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
    m_shortMessage->setText(QString::fromUtf8(bytes));
    return true;
}

void CDeliverDialog::SetTakesNoTlvs(std::function<bool(const QString& name)> takesNoTlvs)
{
    m_takesNoTlvs = std::move(takesNoTlvs);
    UpdateTlvNote();
}

void CDeliverDialog::UpdateTlvNote()
{
    const QString name = m_destination->currentText();
    m_tlvs->SetNote(m_takesNoTlvs && !name.isEmpty() && m_takesNoTlvs(name)
                        ? QString("A session bound as %1 runs SMPP 3.3: it is sent no optional parameter.").arg(name)
                        : QString());
}

void CDeliverDialog::OnSend()
{
    if (m_tlvs->Check() && (!m_sendHandler || m_sendHandler(Entry())))
        accept();
}

void CDeliverDialog::OnBrowse()
{
    const QString path = m_filePicker ? m_filePicker(this)
                                      : QFileDialog::getOpenFileName(this, "Browse", {},
                                                                     "Text files (*.txt);;All files (*)");
    if (!path.isEmpty() && !LoadMessageFile(path))
        QMessageBox::warning(this, windowTitle(), QString("%1 could not be read.").arg(QDir::toNativeSeparators(path)));
}
