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
    // "Unbind" (SMPP only, see OfferUnbind) and "Disconnect": enabled while a row is selected,
    // Unbind only while it is bound.
    QAction* UnbindAction() const { return m_unbind; }
    QAction* DisconnectAction() const { return m_disconnect; }
    // Puts "Unbind" in the context menu and shows the "Bind type" column: for the SMPP server's list.
    void OfferUnbind();
    // The connection id of the selected row, 0 when none is selected.
    uint64_t SelectedConnectionId() const;

signals:
    void DeliverRequested();
    void QuickDeliverRequested(uint64_t connectionId);
    void ConnectionRequested(uint64_t connectionId);
    void UnbindRequested(uint64_t connectionId);
    void DisconnectRequested(uint64_t connectionId);

private:
    void SetUpList();
    void SetUpActions();
    void ShowContextMenu(const QPoint& position);
    void UpdateActions();

    COnlineClientModel* m_model = nullptr;
    QLabel* m_caption = nullptr;
    QToolButton* m_deliver = nullptr;
    QTableView* m_list = nullptr;
    QAction* m_quickDeliver = nullptr;
    QAction* m_showConnection = nullptr;
    QAction* m_unbind = nullptr;
    QAction* m_disconnect = nullptr;
    QMenu* m_menu = nullptr;
};
