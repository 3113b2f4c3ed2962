// "Faults": the options page on which the user lists the fault rules of the SMPP, UCP and CIMD2 servers.
#pragma once

#include "smpp/FaultRules.h"
#include "ui/OptionsPage.h"

#include <vector>

class CSimulator;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// A table of the rules, first match first, with an "Enabled" check box in each row, the buttons
// that add, remove and move them, and the fields of the selected rule below. Opens with the
// stored rules; OK stores them and hands them to the running servers; a rule the servers
// would refuse (a bad regular expression) keeps the dialog open and is named under the table.
// UI thread only.
class CFaultsPage : public COptionsPage {
    Q_OBJECT
public:
    enum Column { kEnabled, kProtocol, kCommand, kSystemId, kDestination, kStatus, kDelay, kAction, kProbability, kRate, kColumns };

    explicit CFaultsPage(CSimulator& simulator, QWidget* parent = nullptr);

    const std::vector<FaultRule>& Rules() const { return m_rules; }
    QTableWidget* Table() const { return m_table; }
    QLabel* Problem() const { return m_problem; }

    void Apply() override;
    bool CanApply() override;

private:
    // The parts of the page, top to bottom; each helper builds one.
    QLabel* CreateTable();
    QHBoxLayout* CreateButtons();
    void CreateFields();
    void LayOutFields();
    void ConnectTableAndFields();
    // Shows the rules as they were opened, every column wide enough to read.
    void FillTable();
    void ShowRow(int row);
    void LoadFields(int row);
    void StoreFields();
    void Add();
    void Remove();
    void Move(int by);
    void Select(int row);
    void Check();
    int Current() const;

    CSimulator& m_simulator;
    std::vector<FaultRule> m_rules;
    QTableWidget* m_table = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QWidget* m_fields = nullptr;
    QComboBox* m_protocol = nullptr;
    QComboBox* m_command = nullptr;
    QLineEdit* m_systemId = nullptr;
    QLineEdit* m_destination = nullptr;
    QLineEdit* m_status = nullptr;
    QSpinBox* m_delay = nullptr;
    QComboBox* m_action = nullptr;
    QDoubleSpinBox* m_probability = nullptr;
    QSpinBox* m_rate = nullptr;
    QSpinBox* m_congestion = nullptr; // congestion_state for sessions at 5.0; -1: none
    QCheckBox* m_enabled = nullptr;
    QLabel* m_problem = nullptr;
    bool m_loading = false;
};
