// "Deliver short message": three groups of deliver_sm fields and the buttons along the bottom.
#include "ui/DeliverDialog.h"

#include "ui/Icons.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace {

// Choice items: the value in eight binary digits, ": " and its name, as the list shows them.
const std::initializer_list<const char*> kTonItems = {
    "00000000: Unknown",          "00000001: International", "00000010: National", "00000011: Network Specific",
    "00000100: Subscriber Number", "00000101: Alphanumeric",  "00000110: Abbreviated"};
const std::initializer_list<const char*> kNpiItems = {
    "00000000: Unknown ",         "00000001: ISDN (E163/E164) ", "00000011: Data (X.121)", // index 2 is value 3
    "00000100: Telex (F.69)",     "00000110: Land Mobile(E.212)", "00001000: National",
    "00001001: Private ",         "00001010: ERMES ",             "00001110: Internet (IP) ",
    "00010010: WAP Client Id"};
const std::initializer_list<const char*> kDataCodingItems = {
    "00000000: SMSC Default Alphabet",
    "00000001: IA5 (CCITT T.50)/ASCII (ANSI X3.4)",
    "00000010: Octet unspecified (8-bit binary)",
    "00000011: Latin 1(ISO-8859-1)",
    "00000100: Octet unspecified (8-bit binary) ",
    "00000101: JIS (X 0208-1990)",
    "00000110: Cyrllic (ISO-8859-5)",
    "00000111: Latin/Hebrew (ISO-8859-8)",
    "00001000: UCS2 (ISO/IEC-10646)",
    "00001001: Pictogram Encoding",
    "00001010: ISO-2022-JP (Music Codes)",
    "00001011: reserved",
    "00001100: reserved",
    "00001101: Extended Kanji JIS(X 0212-1990)",
    "00001110: KS C 5601",
    "00001111: reserved"};

// Initial selections: International, ISDN (E163/E164), SMSC Default Alphabet.
constexpr int kInitialTon = 1;
constexpr int kInitialNpi = 1;
constexpr int kInitialDataCoding = 0;

// Dialog-unit sizes as the dialog's font measures them.
constexpr int kDialogWidthUnits = 421;
constexpr int kDialogHeightUnits = 335;
constexpr int kShortMessageHeightUnits = 32;

int HorizontalPixels(const QFontMetrics& metrics, int units) { return units * metrics.averageCharWidth() / 4; }
int VerticalPixels(const QFontMetrics& metrics, int units) { return units * metrics.height() / 8; }

// Builds labelled fields into one group's grid: a label in column 0 or 2, its control beside it, and
// full-width fields spanning columns 1 to 3.
class GroupBuilder {
public:
    GroupBuilder(QGroupBox* group) : m_group(group), m_grid(new QGridLayout(group))
    {
        m_grid->setColumnStretch(1, 1);
        m_grid->setColumnStretch(3, 1);
    }

    QComboBox* Choice(int row, int column, const char* name, std::initializer_list<const char*> items, int initial)
    {
        auto* box = new QComboBox(m_group);
        for (const char* item : items)
            box->addItem(QString::fromLatin1(item));
        box->setCurrentIndex(initial);
        Place(row, column, name, box, 1);
        return box;
    }
    QLineEdit* Text(int row, int column, const char* name, int span = 1)
    {
        auto* edit = new QLineEdit(m_group);
        Place(row, column, name, edit, span);
        return edit;
    }
    void Widget(int row, int column, QWidget* widget) { m_grid->addWidget(widget, row, column + 1); }

private:
    void Place(int row, int column, const char* name, QWidget* control, int span)
    {
        control->setObjectName(QString::fromLatin1(name));
        auto* label = new QLabel(QString::fromLatin1(name), m_group);
        label->setBuddy(control);
        control->setAccessibleName(label->text());
        m_grid->addWidget(label, row, column);
        m_grid->addWidget(control, row, column + 1, 1, span);
    }

    QGroupBox* m_group;
    QGridLayout* m_grid;
};

} // namespace

CDeliverDialog::CDeliverDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Deliver short message");
    setWindowIcon(icons::Icon(icons::kDeliver));
    setModal(true);

    auto* address = new QGroupBox("Message address", this);
    GroupBuilder a(address);
    a.Choice(0, 0, "source_addr_ton", kTonItems, kInitialTon);
    a.Choice(0, 2, "source_addr_npi", kNpiItems, kInitialNpi);
    a.Text(1, 0, "source_addr", 3);
    a.Choice(2, 0, "dest_addr_ton", kTonItems, kInitialTon);
    a.Choice(2, 2, "dest_addr_npi", kNpiItems, kInitialNpi);
    a.Text(3, 0, "destination_addr", 3);

    auto* attributes = new QGroupBox("Message attributes", this);
    GroupBuilder m(attributes);
    m.Text(0, 0, "service_type");
    m.Text(0, 2, "esm_class");
    m.Text(1, 0, "protocol_id");
    m.Text(1, 2, "priority_flag");
    m.Text(2, 0, "schedule_time");
    m.Text(2, 2, "validity_period");
    m.Text(3, 0, "registered_delivery");
    m.Text(3, 2, "default_msg_id");
    m.Text(4, 0, "replace_flag");

    auto* userData = new QGroupBox("User data", this);
    GroupBuilder u(userData);
    u.Choice(0, 0, "data_coding", kDataCodingItems, kInitialDataCoding);
    auto* browse = new QPushButton("Browse...", userData);
    browse->setAutoDefault(false);
    u.Widget(0, 2, browse);
    m_shortMessage = u.Text(1, 0, "short_message", 3);
    m_shortMessage->setFixedHeight(VerticalPixels(fontMetrics(), kShortMessageHeightUnits));

    auto* send = new QPushButton("&Send", this);
    auto* addToList = new QPushButton("&Add to list", this);
    auto* cancel = new QPushButton("&Cancel", this);
    send->setDefault(true);
    addToList->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, &QDialog::accept);
    connect(addToList, &QPushButton::clicked, this, [this] { done(kAddToList); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send);
    buttons->addWidget(addToList);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(address);
    layout->addWidget(attributes);
    layout->addWidget(userData);
    layout->addStretch(1);
    layout->addLayout(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(HorizontalPixels(metrics, kDialogWidthUnits), VerticalPixels(metrics, kDialogHeightUnits));
}

QString CDeliverDialog::ShortMessage() const { return m_shortMessage->text(); }

void CDeliverDialog::SetShortMessage(const QString& text) { m_shortMessage->setText(text); }
