// "Decode as": which protocol a capture file's TCP port carries when its usual one is not it.
#pragma once

#include "capture/Pcap.h"

#include <QDialog>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// Modal. Lists the port overrides, one row per port; "Add" puts the port and protocol of the
// fields above the list in (replacing the port's row if there is one), "Remove" takes the
// selected row out; Return in the port field adds too. OK stores the list; Cancel writes
// nothing. UI thread only.
class CDecodeAsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDecodeAsDialog(QWidget* parent = nullptr);

    const pcap::DecodeAsTable& Table() const { return m_table; }

    QSpinBox* PortBox() const { return m_port; }
    QComboBox* ProtocolBox() const { return m_protocol; }
    QTreeWidget* List() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The port and protocol fields with their Add button, laid out in a row.
    QGridLayout* CreateEntryRow();
    // The list of overrides and its Remove button; returns the list's label.
    QLabel* CreateOverrideList();
    void AddOverride();
    void RemoveOverride();
    void Fill(uint16_t selectPort);

    pcap::DecodeAsTable m_table;
    QSpinBox* m_port = nullptr;
    QComboBox* m_protocol = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
};
