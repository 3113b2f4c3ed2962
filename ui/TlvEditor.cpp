// The optional-parameter rows of the composer and their one reader.
#include "ui/TlvEditor.h"

#include "protocol/SmppTlvs.h"
#include "smpp/JsonFields.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { kName, kValue };
constexpr int kVisibleRows = 3;

// Every parameter of SMPP 3.4 and 5.0 by the name a row shows.
QStringList Names() {
    QStringList names;
    for (const protocol::smpp::Tlv& tlv : protocol::smpp::kTlvs)
        if (protocol::smpp::IsStandard(tlv))
            names << CTlvEditor::RowName(tlv.tag);
    return names;
}

// The parameter column is edited in a list of the names that completes what is typed in place (Tab takes the
// completion) and takes any other text, a tag in hex or decimal.
class CNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* names = new QComboBox(parent);
        names->setEditable(true);
        names->setInsertPolicy(QComboBox::NoInsert);
        names->addItems(Names());
        names->completer()->setCaseSensitivity(Qt::CaseInsensitive);
        names->completer()->setCompletionMode(QCompleter::InlineCompletion);
        return names;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QComboBox*>(editor)->setEditText(index.data().toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        // A name typed in another case, or completed from a prefix so typed, is the registry's own.
        const auto* names = static_cast<QComboBox*>(editor);
        const QString typed = names->currentText().trimmed();
        const int known = names->findText(typed, Qt::MatchFixedString);
        model->setData(index, known >= 0 ? names->itemText(known) : typed);
    }
};

QString CellText(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text().trimmed() : QString();
}

} // namespace

CTlvEditor::CTlvEditor(QWidget* parent) : QGroupBox(QString("&") + kField, parent) {
    m_table = new QTableWidget(0, 2, this);
    m_table->setObjectName(kField);
    m_table->setAccessibleName(kField);
    m_table->setHorizontalHeaderLabels({"Parameter", "Value (hex)"});
    m_table->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(kValue, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setItemDelegateForColumn(kName, new CNameDelegate(m_table));
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->setTabKeyNavigation(true);
    const int rowHeight = m_table->verticalHeader()->defaultSectionSize();
    m_table->setFixedHeight(m_table->horizontalHeader()->sizeHint().height() + kVisibleRows * rowHeight +
                            2 * m_table->frameWidth() + 2);

    m_add = new QPushButton("Add &parameter", this);
    m_remove = new QPushButton("&Remove parameter", this);
    for (QPushButton* button : {m_add, m_remove})
        button->setAutoDefault(false);
    connect(m_add, &QPushButton::clicked, this, &CTlvEditor::AddRow);
    connect(m_remove, &QPushButton::clicked, this, &CTlvEditor::RemoveRow);
    m_problem = new QLabel(this);
    m_problem->setObjectName("Optional parameters problem");
    m_problem->setStyleSheet("color: #b00020");
    m_note = new QLabel(this);
    m_note->setObjectName("Optional parameters note");
    for (QLabel* line : {m_problem, m_note}) {
        line->setWordWrap(true);
        line->hide();
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_table, 0, 0);
    grid->addLayout(buttons, 0, 1);
    grid->addWidget(m_problem, 1, 0, 1, 2);
    grid->addWidget(m_note, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
}

QString CTlvEditor::RowName(uint16_t tag) {
    const protocol::smpp::Tlv* tlv = protocol::smpp::FindTlv(tag);
    if (!tlv || !protocol::smpp::IsStandard(*tlv))
        return QString("0x%1").arg(tag, 4, 16, QChar('0'));
    const QString name = QString::fromUtf8(tlv->name.data(), qsizetype(tlv->name.size()));
    return protocol::smpp::SinceSmpp50(tag) ? name + kFiftyMark : name;
}

std::optional<std::vector<smpp::Tlv>> CTlvEditor::Tlvs(QString* error, int* badRow) const {
    const QJsonObject none;
    CJsonFields fields(none);
    std::vector<smpp::Tlv> tlvs;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QString name = CellText(m_table, row, kName);
        const QString value = CellText(m_table, row, kValue);
        if (name.isEmpty() && value.isEmpty())
            continue;
        if (name.endsWith(kFiftyMark))
            name.chop(qsizetype(qstrlen(kFiftyMark)));
        if (std::optional<smpp::Tlv> tlv = fields.Tlv(kField, name, value)) {
            tlvs.push_back(std::move(*tlv));
            continue;
        }
        if (error)
            *error = fields.Error();
        if (badRow)
            *badRow = row;
        return std::nullopt;
    }
    return tlvs;
}

bool CTlvEditor::Check() {
    QString error;
    int row = -1;
    const bool good = Tlvs(&error, &row).has_value();
    m_problem->setText(error);
    m_problem->setVisible(!good);
    if (!good) {
        m_table->setFocus();
        m_table->setCurrentCell(row, kName);
    }
    return good;
}

QString CTlvEditor::Problem() const { return m_problem->isHidden() ? QString() : m_problem->text(); }

void CTlvEditor::SetTlvs(const std::vector<smpp::Tlv>& tlvs) {
    m_table->setRowCount(0);
    for (const smpp::Tlv& tlv : tlvs) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        const QByteArray value(reinterpret_cast<const char*>(tlv.value.data()), qsizetype(tlv.value.size()));
        m_table->setItem(row, kName, new QTableWidgetItem(RowName(tlv.tag)));
        m_table->setItem(row, kValue, new QTableWidgetItem(QString::fromLatin1(value.toHex())));
    }
}

void CTlvEditor::SetNote(const QString& note) {
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

QString CTlvEditor::Note() const { return m_note->isHidden() ? QString() : m_note->text(); }

void CTlvEditor::SetEditable(bool editable) {
    for (QWidget* control : {static_cast<QWidget*>(m_table), static_cast<QWidget*>(m_add), static_cast<QWidget*>(m_remove)})
        control->setEnabled(editable);
}

void CTlvEditor::AddRow() {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, kName, new QTableWidgetItem);
    m_table->setItem(row, kValue, new QTableWidgetItem);
    m_table->setFocus();
    m_table->setCurrentCell(row, kName);
    m_table->editItem(m_table->item(row, kName));
}

void CTlvEditor::RemoveRow() {
    const int row = m_table->currentRow();
    if (row >= 0)
        m_table->removeRow(row);
    m_table->setFocus();
}
