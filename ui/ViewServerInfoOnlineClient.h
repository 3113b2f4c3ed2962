// The upper pane of a server information page: the "Online ESME(s)" list.
#pragma once

#include <QWidget>

#include <cstdint>

class COnlineClientModel;
class CSocketServer;
class QAction;
class QLabel;
class QMenu;
class QTableView;
class QToolButton;

// A 22-pixel caption bar with the deliver button at its right, above a report list of the
// server's connections. The list reads the model; the pane keeps no rows of its own.
class CViewServerInfoOnlineClient : public QWidget {
    Q_OBJECT
public:
    explicit CViewServerInfoOnlineClient(const CSocketServer& server, QWidget* parent = nullptr);

    COnlineClientModel* Model() const { return m_model; }
    QTableView* List() const { return m_list; }
    QToolButton* DeliverButton() const { return m_deliver; }
    // "Quick deliver &short message": enabled while a row is selected.
    QAction* QuickDeliverAction() const { return m_quickDeliver; }
    // "Show this connection only": the decoder page lists the selected connection's PDUs.
    QAction* ShowConnectionAction() const { return m_showConnection; }
    QMenu* ContextMenu() const { return m_menu; }
    // The connection id of the selected row, 0 when none is selected.
    uint64_t SelectedConnectionId() const;

signals:
    void DeliverRequested();
    void QuickDeliverRequested(uint64_t connectionId);
    void ConnectionRequested(uint64_t connectionId);

private:
    void ShowContextMenu(const QPoint& position);
    void UpdateActions();

    COnlineClientModel* m_model = nullptr;
    QLabel* m_caption = nullptr;
    QToolButton* m_deliver = nullptr;
    QTableView* m_list = nullptr;
    QAction* m_quickDeliver = nullptr;
    QAction* m_showConnection = nullptr;
    QMenu* m_menu = nullptr;
};
