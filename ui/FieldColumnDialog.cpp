// The "Add column" dialog of the packet list.
#include "ui/FieldColumnDialog.h"

#include "ui/AskDialog.h"
#include "ui/FilterLine.h"

#include <QLabel>

CFieldColumnDialog::CFieldColumnDialog(const QStringList& fieldNames, std::function<QString(const QString&)> add,
                                       QWidget* parent)
    : QDialog(parent), m_field(new CFilterLine(fieldNames, this)), m_message(new QLabel(this)), m_add(std::move(add)) {
    setObjectName("FieldColumnDialog");
    setWindowTitle("Add column");
    m_field->setObjectName("ColumnField");
    m_field->setPlaceholderText("smpp.data_coding");
    m_field->setMinimumWidth(m_field->fontMetrics().horizontalAdvance("smpp.tlv.message_payload") * 3 / 2);
    m_message->setObjectName("ColumnMessage");
    ask_dialog::LayOut(*this, QStringLiteral("&Field:"), m_field, m_message);
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
