// "Deliver short message": one deliver_sm, data_sm or alert_notification composed field by field.
#pragma once

#include "ui/DeliverListModel.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class CTlvEditor;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Modal; every opening builds a fresh dialog, so it starts from the initial choices (International /
// ISDN for both addresses, SMSC Default Alphabet) with empty text fields and a count of 1. Each control's
// object name is its field's name ("source_addr_ton", "short_message", "Dest system id", "Count", ...) and
// each label is its control's buddy. Fields the entry's command does not carry are disabled.
// "&Send" hands the entry to the send handler and closes as accepted once it is sent (the handler reports
// why when it is not); "&Add to list" closes with kAddToList, "&Cancel" as rejected. Either stays open while an
// optional parameter does not read, its fault shown under the parameters. UI thread only.
class CDeliverDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kAddToList = 2; // the result code of "&Add to list"

    // Sends the entry; false keeps the dialog open.
    using SendHandler = std::function<bool(const DeliverEntry& entry)>;
    // Asks for the file whose text becomes the short message; empty when the user cancelled.
    using FilePicker = std::function<QString(QWidget* parent)>;

    explicit CDeliverDialog(QWidget* parent = nullptr, DeliverEntry::Kind kind = DeliverEntry::Kind::DeliverSm);

    DeliverEntry::Kind Kind() const { return m_kind; }
    // Every field of the dialog as an entry of its kind.
    DeliverEntry Entry() const;
    void SetEntry(const DeliverEntry& entry);

    QString ShortMessage() const;
    void SetShortMessage(const QString& text);

    // The names offered under "Dest system id"; the field stays editable.
    void SetDestinations(const std::vector<std::string>& names);
    // Composing a DELIVER for phones: only source_addr (the sender's number), data_coding and the message
    // stay editable.
    void LimitToPhoneFields();
    // Composing for one connection: its name is the destination and cannot be changed.
    void FixDestination(const QString& name);
    // Tells whether a session bound under a name runs SMPP 3.3, which is sent no optional parameter: the dialog
    // then says so under the parameters while that name is the destination.
    void SetTakesNoTlvs(std::function<bool(const QString& name)> takesNoTlvs);
    CTlvEditor* Tlvs() const { return m_tlvs; }

    void SetSendHandler(SendHandler handler) { m_sendHandler = std::move(handler); }
    void SetFilePicker(FilePicker picker) { m_filePicker = std::move(picker); }
    // Puts the text of a file (its first 64 KiB) into short_message; false when it cannot be read.
    bool LoadMessageFile(const QString& path);

private:
    // The parts of the dialog, top to bottom; each keeps the controls the dialog reads later.
    void AddFieldRows(QGroupBox* address, QGroupBox* attributes);
    QGroupBox* MakeUserData();
    QHBoxLayout* MakeTarget();
    QHBoxLayout* MakeButtons();
    void OnSend();
    void OnBrowse();
    void UpdateTlvNote();

    DeliverEntry::Kind m_kind;
    SendHandler m_sendHandler;
    FilePicker m_filePicker;
    QLineEdit* m_shortMessage = nullptr;
    QComboBox* m_destination = nullptr;
    QComboBox* m_split = nullptr; // "Long messages:", how a text over one short message is cut
    QSpinBox* m_count = nullptr;
    QPushButton* m_browse = nullptr;
    CTlvEditor* m_tlvs = nullptr;
    std::function<bool(const QString& name)> m_takesNoTlvs;
};
