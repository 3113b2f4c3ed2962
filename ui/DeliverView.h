// The deliver composer page: the deliver list under its caption bar, and the "Deliver short message" dialog.
#pragma once

#include "ui/DeliverListModel.h"

#include <QMessageBox>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class CDeliverDialog;
class CDeliverSender;
class QLabel;
class QMenu;
class QTableView;
class CCaptionBar;
class QToolButton;

// One page per server (protocol 2 for the SMPP server, 8 for the mobile server). Owns its deliver list
// through its list model (not saved between runs) and its sender, through which entries reach the
// server's clients. Asks its questions and reports what could not be sent through a prompt that tests may
// replace. UI thread only.
class CDeliverView : public QWidget {
    Q_OBJECT
public:
    // Shows text with the given buttons and returns the one chosen.
    using Prompt = std::function<QMessageBox::StandardButton(QWidget* parent, const QString& text,
                                                             QMessageBox::StandardButtons buttons)>;

    explicit CDeliverView(QWidget* parent = nullptr);
    ~CDeliverView() override;

    void SetMode(uint16_t protocol); // 2: SMPP server's composer, 8: mobile server's; called once before the page is shown
    uint16_t Mode() const;

    void SetPrompt(Prompt prompt);
    // Without a sender nothing can be sent, and every send reports its destination as unbound.
    void SetSender(std::unique_ptr<CDeliverSender> sender);
    void AddEntry(std::string_view destSystemId, std::string_view shortMessage, int32_t count);
    void AddEntry(const DeliverEntry& entry);
    const CDeliverListModel& Model() const { return *m_model; }
    QTableView* List() const { return m_list; }

    // The context menu's commands. The Add commands compose a new entry of their command.
    void AddDeliverSm();
    void AddDataSm();
    void AddAlertNotification();
    // Opens the first selected entry; "&Add to list" replaces it, "&Send" sends the dialog's values.
    void Edit();
    void Delete();
    // "&Quick deliver short message" and the deliver button: sends the selected entries, every entry when
    // none is selected, and reports the destinations nothing went to.
    void QuickDeliver();
    // Composes a message for exactly one connection of the server (the online list's quick deliver).
    void QuickDeliverTo(uint64_t connectionId);
    // The context menu as it stands for the current selection; the caller owns it.
    std::unique_ptr<QMenu> CreateContextMenu();
    // The SMPP 5.0 broadcast commands: offered greyed, for an ESME never receives them.
    static void AddBroadcastMenu(QMenu& menu);

signals:
    void ShowDecoderRequested();       // the caption bar's decoder button (icon 147): the main frame selects "SMPP Decoder"
    void DeliverRequested();           // the caption bar's deliver button (icon 164), after QuickDeliver has run

protected:
    // Delete, Insert and Enter on the list run Delete, "&Add DELIVER_SM..." and Edit.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Indexes of the selected entries, in list order.
    std::vector<int> SelectedEntries() const;
    void ShowContextMenu(const QPoint& position);
    void Compose(DeliverEntry::Kind kind);
    // Lets the dialog's "&Send" reach the server: to connectionId, or by the entry's destination when 0.
    void PrepareDialog(CDeliverDialog& dialog, uint64_t connectionId = 0);
    // Sends one entry; false (after saying so) when nothing went out.
    bool SendEntry(const DeliverEntry& entry, uint64_t connectionId, QWidget* parent);
    QString Unbound(const QString& name) const;

    uint16_t m_protocol = 0;
    Prompt m_prompt;
    std::unique_ptr<CDeliverSender> m_sender;
    CDeliverListModel* m_model = nullptr;
    CCaptionBar* m_caption = nullptr;
    QToolButton* m_deliverButton = nullptr;
    QToolButton* m_decoderButton = nullptr;
    QTableView* m_list = nullptr;
};
