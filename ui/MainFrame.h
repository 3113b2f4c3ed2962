// The main window: menu bar, tool bar, status bar, and the navigation tree beside the page it selects.
#pragma once

#include <QHash>
#include <QSet>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CGeneratorDialog;
class CLeftView;
class CSimulator;
struct WindowLook;
class CPelmoraView;
class CUnsavedRecords;
class CViewLog;
class QAction;
class QActionGroup;
class QLabel;
class QSplitter;
class QStackedWidget;
namespace navigation {
struct NavigationItem;
}

// Owns every view: the navigation tree on the left and the seven pages of the pane registry, one
// per navigation row, of which one fills the right-hand pane. Holds the references through
// which the pages reach each other. UI thread only. Closing asks "Do you want to eixt!"; only
// Yes closes, saving the bars' layout under "CommandBars".
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Asked before the window closes; only QMessageBox::Yes lets it close.
    using ExitPrompt = std::function<QMessageBox::StandardButton(QWidget* parent)>;
    // "Open...": whether the file's PDUs join the capture or replace it.
    enum class OpenChoice { Add, Replace, Cancel };
    using OpenPrompt = std::function<OpenChoice(QWidget* parent, const QString& name, bool captureEmpty)>;

    CMainFrame(CSimulator& simulator, const WindowLook& look, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the navigation tree and fills the overview list, with the servers' state as it is now.
    void BuildNavigation();
    // Puts the page registered for row into the right-hand pane; an unregistered row does nothing.
    void SwitchPane(int row);
    // Selects row id in the tree, which switches the pane; -1 does nothing.
    void SelectRow(int id);
    // Opens "Define filter" modally.
    void OpenFilterDialog();
    // Tools > "Mobile phone": one more phone window, logging in to the mobile server.
    void OpenMobilePhone();
    // The traffic generator's dialog, non-modal, made at the first opening and kept.
    void OpenTrafficGenerator();

    // File > "Save As..." (always asks) and "Save" (asks until a file was saved, and whenever
    // that file has been opened since: Save never writes over an opened capture file): the
    // capture log as a pcap file. False when no file was chosen or it could not be written.
    bool SaveCapture(bool askForFile);
    // Tools > "Clear content" and the packet list's: empties the capture once MayDropCapture agrees.
    void ClearCapture();
    // Before the capture is emptied: with PDUs captured since the last save, asks "Save the N PDUs
    // captured since the last save?" under title. Save saves as File > Save does; true when the
    // capture may go (saved, discarded, or nothing unsaved), false to keep it (Cancel, or no save).
    bool MayDropCapture(const QString& title);
    // File > "Open...": asks for a capture file, then whether to add it to the capture or replace
    // the capture with it, and imports it.
    void OpenCapture();
    // Appends the PDUs of a pcap or pcapng file to the capture log (after emptying it, with
    // replace, once MayDropCapture agrees) a slice per event-loop turn behind a progress dialog
    // that can cancel, then sums up what was read and skipped.
    void ImportCapture(const QString& path, bool replace = false);
    // File > "Export PDUs...", "Export decode as text...", "Export as JSON...": a file of the PDUs the display
    // filter lists, or of every captured one, as the export dialog's choice says (CViewLog::DecodeText, Json).
    void ExportPdus();
    void ExportDecode();
    void ExportJson();
    // Help > "Help": a window of the help file introduce.txt, then every menu command and key and the display
    // filter's terms, read from the menus and the filter's grammar; the open one comes forward.
    void ShowHelp();
    // File > "Decode as...": the port overrides of the import.
    void OpenDecodeAsDialog();
    // Edit > "Decode hex...": a PDU typed as hex becomes a record, shown in the decoder page.
    void DecodeHex();

    CLeftView* LeftView() const { return m_leftView; }
    CPelmoraView* OverviewView() const { return m_overview; }
    CViewLog* ViewLog() const { return m_viewLog; }
    QWidget* Pane(int row) const { return m_panes.value(row); }
    QWidget* CurrentPane() const;

    void SetExitPrompt(ExitPrompt prompt) { m_exitPrompt = std::move(prompt); }
    void SetOpenPrompt(OpenPrompt prompt) { m_openPrompt = std::move(prompt); }
    // The status bar's "N of M PDUs".
    QLabel* PduCount() const { return m_pduCount; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr int kStatusMessageMs = 5000; // how long a command's outcome stays in the status bar

    void CreateViews();
    // The page of a navigation row, wired to the frame and to the pages before it.
    QWidget* CreatePage(const navigation::NavigationItem& row);
    QWidget* CreateServerInfoPage(const navigation::NavigationItem& row);
    QWidget* CreateDeliverPage(const navigation::NavigationItem& row);
    void CreateStatusBar();
    void CreateCommandBars();
    // Each menu's commands; a menu returns those of its commands the tool bar shows too.
    QList<QAction*> CreateFileMenu(QMenu* file);
    void CreateEditCommands(QMenu* edit);
    void CreateViewMenu(QMenu* view);
    void CreateViewStyleCommands();
    QList<QAction*> CreateToolsMenu(QMenu* tools);
    void FillToolBar(const QList<QAction*>& fileCommands, QAction* print, const QList<QAction*>& toolCommands);
    void RestoreBarLayout();
    void SaveBarLayout();
    void UpdateCommands();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void UpdateEditCommands();
    void ForwardEditCommand(const char* slot);
    void FocusOtherPane();
    // A capture file from a file dialog; empty when the user cancels.
    QString ChooseCaptureFile(bool forSaving);
    void FinishImport(bool cancelled);
    // Asks for a file and which PDUs it takes, then has write make it of their records; says in the status bar
    // what went where, or in a message box why it could not.
    using ExportWriter = std::function<bool(const std::vector<int32_t>& records, const QString& path, QString& error)>;
    void Export(const QString& title, const QString& nameFilter, const QString& suffix, const ExportWriter& write);

    CSimulator& m_simulator;
    const WindowLook& m_look;
    QSplitter* m_splitter = nullptr;
    QStackedWidget* m_right = nullptr;
    CLeftView* m_leftView = nullptr;
    CPelmoraView* m_overview = nullptr;
    CViewLog* m_viewLog = nullptr;
    QHash<int, QWidget*> m_panes; // navigation row -> its page

    QToolBar* m_toolBar = nullptr;
    QPointer<QWidget> m_editTarget; // where Undo, Cut, Copy and Paste go
    QAction* m_undo = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_paste = nullptr;
    QActionGroup* m_viewStyles = nullptr;
    QAction* m_lineUp = nullptr;
    QAction* m_up = nullptr;
    ExitPrompt m_exitPrompt;
    OpenPrompt m_openPrompt;
    std::unique_ptr<CUnsavedRecords> m_unsaved; // of the capture log, for MayDropCapture
    QLabel* m_pduCount = nullptr;
    QAction* m_follow = nullptr;
    CGeneratorDialog* m_generatorDialog = nullptr;

    QString m_savePath;      // where "Save" writes without asking
    QSet<QString> m_openedPaths; // files read into this capture: Save never writes over one of them
    QString m_captureFolder; // where the file dialogs open
    uint16_t m_decodeHexProtocol; // the protocol "Decode hex..." offers first: the last one used
    struct Import;
    std::unique_ptr<Import> m_import; // the import under way, if any
};
