// The "Add column" dialog of the packet list.
#include "ui/FieldColumnDialog.h"

#include "ui/FilterLine.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

CFieldColumnDialog::CFieldColumnDialog(const QStringList& fieldNames, std::function<QString(const QString&)> add,
                                       QWidget* parent)
    : QDialog(parent), m_field(new CFilterLine(fieldNames, this)), m_message(new QLabel(this)), m_add(std::move(add)) {
    setObjectName("FieldColumnDialog");
    setWindowTitle("Add column");
    m_field->setObjectName("ColumnField");
    m_field->setPlaceholderText("smpp.data_coding");
    m_field->setMinimumWidth(m_field->fontMetrics().horizontalAdvance("smpp.tlv.message_payload") * 3 / 2);
    m_message->setObjectName("ColumnMessage");
    m_message->setTextFormat(Qt::PlainText);
    m_message->setStyleSheet(QStringLiteral("color: #c00000;"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Field:"), m_field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    m_field->setFocus();
}

void CFieldColumnDialog::accept() {
    const QString why = m_add(m_field->text().trimmed());
    if (!why.isEmpty()) {
        m_message->setText(why);
        m_field->selectAll();
        return;
    }
    m_message->clear();
    QDialog::accept();
}
