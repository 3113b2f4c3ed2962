// "Define filter": which PDUs the capture log keeps, as a tree of check boxes.
#pragma once

#include <QDialog>
#include <QList>

#include <string>

class CFilterTree;
class COptionsPage;
class CSimulator;
class QCheckBox;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// Modal; built for each opening from the capture log's filter string and "Setup"/"ShowUnknown".
// A mouse click on a check box carries its new state to every node below, and a check to every
// node above; a box toggled from the keyboard changes its own node only. OK stores both choices
// and hands them to the capture log; Cancel writes nothing. The tree is the first page of a tab
// widget; the other option pages sit beside it and apply on the same OK. UI thread only.
class CFilterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFilterDialog(CSimulator& simulator, QWidget* parent = nullptr);

    // One character per filter table row: '1' checked, '0' not.
    std::string Filter() const;
    QTreeWidget* Tree() const;
    QTreeWidgetItem* Node(int id) const;
    QCheckBox* ShowUnknownBox() const { return m_showUnknown; }
    // How long a request waits for its answer before the packet list says "no answer".
    QSpinBox* UnansweredBox() const { return m_unanswered; }
    QTabWidget* Pages() const { return m_pages; }

    // The dialog takes ownership; the page's Apply runs on OK.
    void AddPage(COptionsPage* page, const QString& title);

    void accept() override;

private:
    void BuildTree(const std::string& filter);
    void OnItemChanged(QTreeWidgetItem* item, int column);

    CSimulator& m_simulator;
    CFilterTree* m_tree = nullptr;
    QList<QTreeWidgetItem*> m_nodes; // by filter index
    QCheckBox* m_showUnknown = nullptr;
    QSpinBox* m_unanswered = nullptr;
    QTabWidget* m_pages = nullptr;
    QList<COptionsPage*> m_extraPages;
    bool m_propagating = false;
};
