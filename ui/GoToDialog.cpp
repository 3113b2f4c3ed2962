// The "Go to packet" dialog.
#include "ui/GoToDialog.h"

#include "ui/AskDialog.h"

#include <QLabel>
#include <QSpinBox>

#include <algorithm>

CGoToDialog::CGoToDialog(int last, int current, std::function<QString(int)> goTo, QWidget* parent)
    : QDialog(parent), m_seq(new QSpinBox(this)), m_message(new QLabel(this)), m_goTo(std::move(goTo)) {
    setObjectName("GoToDialog");
    setWindowTitle("Go to packet");
    m_seq->setObjectName("GoToSeq");
    m_seq->setRange(1, std::max(last, 1));
    m_seq->setValue(std::clamp(current, 1, std::max(last, 1)));
    m_seq->setAccelerated(true);
    m_message->setObjectName("GoToMessage");
    ask_dialog::LayOut(*this, QStringLiteral("&Seq (1 to %1):").arg(std::max(last, 1)), m_seq, m_message);
    m_seq->selectAll();
    m_seq->setFocus();
}

void CGoToDialog::accept() {
    const QString why = m_goTo(m_seq->value());
    if (!why.isEmpty()) {
        m_message->setText(why);
        m_seq->selectAll();
        return;
    }
    m_message->clear();
    QDialog::accept();
}
