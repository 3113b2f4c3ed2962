// "Accounts": the options page on which the user lists the ESME accounts binds are checked against.
#pragma once

#include "smpp/Accounts.h"
#include "ui/OptionsPage.h"

#include <vector>

class CSimulator;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// A table of the accounts with the buttons that add and remove them, and the fields of the
// selected account below. Opens with the stored accounts; OK stores them and hands them to the
// running SMPP server; an account the server would refuse keeps the dialog open and is named,
// with its field, under the table. UI thread only.
class CAccountsPage : public COptionsPage {
    Q_OBJECT
public:
    enum Column { kSystemId, kPassword, kBindTypes, kMaxBinds, kAddresses, kWindow, kEnquireLink, kReceiptProfile,
                  kColumns };

    explicit CAccountsPage(CSimulator& simulator, QWidget* parent = nullptr);

    const std::vector<Account>& Accounts() const { return m_accounts; }
    QTableWidget* Table() const { return m_table; }
    QLabel* Problem() const { return m_problem; }
    QComboBox* ReceiptProfileBox() const { return m_receiptProfile; }

    void Apply() override;
    bool CanApply() override;

private:
    QWidget* CreateFields();
    QHBoxLayout* CreateFieldControls();
    void LayOutFields(QHBoxLayout* types);
    void ShowRow(int row);
    void LoadFields(int row);
    void StoreFields();
    void Add();
    void Remove();
    void Select(int row);
    void Check();
    int Current() const;

    CSimulator& m_simulator;
    std::vector<Account> m_accounts;
    QTableWidget* m_table = nullptr;
    QPushButton* m_remove = nullptr;
    QWidget* m_fields = nullptr;
    QLineEdit* m_systemId = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_bindTypes[3] = {}; // by accounts::kBindTypeNames
    QSpinBox* m_maxBinds = nullptr;
    QLineEdit* m_addresses = nullptr;
    QSpinBox* m_window = nullptr;
    QSpinBox* m_enquireLink = nullptr; // -1: as the "Sessions" page says
    QComboBox* m_receiptProfile = nullptr; // first: as the "Delivery" page says
    QLabel* m_problem = nullptr;
    bool m_loading = false;
};
