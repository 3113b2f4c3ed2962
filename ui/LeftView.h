// The navigation tree on the left of the main window.
#pragma once

#include <QIcon>
#include <QList>
#include <QTreeWidget>

#include <functional>

// One node per navigation row, under the node of its parent row. Selecting a node (by the user
// or by SelectRow) is the one path that switches the right-hand pane: it emits RowSelected.
// Reads the small navigation icons, which outlive it. UI thread only.
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kRowRole = Qt::UserRole;      // the node's navigation row
    static constexpr int kImageRole = Qt::UserRole + 1; // its image index in the navigation icon list

    using ServerRunning = std::function<bool(uint16_t protocol)>;

    explicit CLeftView(const QList<QIcon>& smallIcons, QWidget* parent = nullptr);

    // Rebuilds every node from the navigation table; server rows show the running icon when
    // serverRunning says so for their protocol. Expands "Console"; selects nothing.
    void Build(const ServerRunning& serverRunning);
    // Selects the node of row id, which switches the pane; -1 (or an unknown id) does nothing.
    void SelectRow(int id);
    // The row last selected, 0 until a node is selected.
    int CurrentRow() const { return m_currentRow; }
    QTreeWidgetItem* Node(int id) const;

signals:
    void RowSelected(int row);

private:
    void OnSelectionChanged();

    const QList<QIcon>& m_icons;
    QList<QTreeWidgetItem*> m_nodes;
    int m_currentRow = 0;
};
