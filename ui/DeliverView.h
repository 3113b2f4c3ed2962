// The deliver composer page: the deliver list under its caption bar, and the "Deliver short message" dialog.
#pragma once

#include <QMessageBox>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class CDeliverListModel;
class QLabel;
class QMenu;
class QTableView;
class CCaptionBar;
class QToolButton;

// One page per server (protocol 2 for the SMPP server, 8 for the mobile server). Owns its deliver list
// through its list model; the list is not saved between runs. Asks its questions through a prompt that
// tests may replace. Tells the main frame through its signals. UI thread only.
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
    void AddEntry(std::string_view destSystemId, std::string_view shortMessage, int32_t count);
    const CDeliverListModel& Model() const { return *m_model; }
    QTableView* List() const { return m_list; }

    // The context menu's commands.
    void AddDeliverSm();
    void Edit();
    void Delete();
    // The context menu as it stands for the current selection; the caller owns it.
    std::unique_ptr<QMenu> CreateContextMenu();

signals:
    void ShowDecoderRequested();       // the caption bar's decoder button (icon 147): the main frame selects "SMPP Decoder"
    void DeliverRequested();           // the caption bar's deliver button (icon 164); what it sends is a later issue's
    void QuickDeliverRequested();      // "&Quick deliver short message" with rows selected; likewise a later issue's

protected:
    // Delete, Insert and Enter on the list run Delete, "&Add DELIVER_SM..." and Edit.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Indexes of the selected entries, in list order.
    std::vector<int> SelectedEntries() const;
    void ShowContextMenu(const QPoint& position);

    uint16_t m_protocol = 0;
    Prompt m_prompt;
    CDeliverListModel* m_model = nullptr;
    CCaptionBar* m_caption = nullptr;
    QToolButton* m_deliverButton = nullptr;
    QToolButton* m_decoderButton = nullptr;
    QTableView* m_list = nullptr;
};
