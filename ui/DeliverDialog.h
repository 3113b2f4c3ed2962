// "Deliver short message": one deliver_sm composed field by field.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

// Modal; every opening builds a fresh dialog, so it starts from the initial choices (International /
// ISDN for both addresses, SMSC Default Alphabet) with empty text fields. Each control's object name is
// its deliver_sm field name ("source_addr_ton", "short_message", ...) and each label is its control's
// buddy. "&Send" closes as accepted, "&Add to list" with kAddToList, "&Cancel" as rejected. UI thread only.
class CDeliverDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kAddToList = 2; // the result code of "&Add to list"

    explicit CDeliverDialog(QWidget* parent = nullptr);

    QString ShortMessage() const;
    void SetShortMessage(const QString& text);

private:
    QLineEdit* m_shortMessage = nullptr;
};
