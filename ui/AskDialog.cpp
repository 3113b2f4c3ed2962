// One-value dialogs: Go to packet, Add column.
#include "ui/AskDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

void ask_dialog::LayOut(QDialog& dialog, const QString& label, QWidget* field, QLabel* message) {
    message->setTextFormat(Qt::PlainText);
    message->setStyleSheet(QStringLiteral("color: #c00000;"));
    auto* form = new QFormLayout;
    form->addRow(label, field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(message);
    layout->addWidget(buttons);
}
