// The main window's command bars: the menus, the tool bar and the commands they share.
#include "ui/MainFrame.h"

#include "simulator/Simulator.h"
#include "ui/DecodeHexDialog.h"
#include "ui/Icons.h"
#include "ui/LeftView.h"
#include "ui/Navigation.h"
#include "ui/PelmoraView.h"
#include "ui/UnsavedRecords.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewLogParticular.h"

#include <QActionGroup>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

namespace {

QAction* Command(QObject* parent, const QString& text, const char* name, const QList<QKeySequence>& keys = {},
                 const QString& statusTip = {}) {
    auto* action = new QAction(text, parent);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setStatusTip(statusTip);
    return action;
}

enum class UnsavedChoice { Save, Discard, Cancel };

UnsavedChoice AskToSave(QWidget* parent, const QString& title, int32_t unsaved) {
    QMessageBox box(QMessageBox::Question, title,
                    QString("Save the %1 PDUs captured since the last save?").arg(unsaved),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setObjectName("SaveUnsavedPrompt");
    box.setInformativeText("Discard lets them go unsaved; Cancel keeps the capture as it is.");
    box.setStyleSheet("QLabel#qt_msgbox_informativelabel { min-width: 400px; }"); // one line, not two
    // Letters to press, so every answer has its key; Escape is Cancel.
    box.button(QMessageBox::Save)->setText("&Save");
    box.button(QMessageBox::Discard)->setText("&Discard");
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return UnsavedChoice::Save;
    case QMessageBox::Discard: return UnsavedChoice::Discard;
    default: return UnsavedChoice::Cancel;
    }
}

} // namespace

void CMainFrame::CreateCommandBars() {
    QMenuBar* menu = menuBar();
    menu->setObjectName("Menu");
    menu->setAccessibleName("Menu");

    const QList<QAction*> fileCommands = CreateFileMenu(menu->addMenu("&File"));
    CreateEditCommands(menu->addMenu("&Edit"));
    CreateViewMenu(menu->addMenu("&View"));
    const QList<QAction*> toolCommands = CreateToolsMenu(menu->addMenu("&Tools"));

    QMenu* help = menu->addMenu("&Help");
    QAction* showHelp = help->addAction("&Help", this, &CMainFrame::ShowHelp);
    showHelp->setObjectName("Help");
    showHelp->setShortcut(QKeySequence::HelpContents);
    showHelp->setStatusTip("What Tarnwick does, every menu command and key, and the display filter's terms");

    QAction* print = Command(this, "&Print...", "Print", {QKeySequence(Qt::CTRL | Qt::Key_P)});
    print->setIcon(icons::CommandIcon("print"));
    print->setEnabled(false); // the overview list draws nothing for printing

    m_up = Command(this, "Up", "Up");
    m_up->setIcon(icons::CommandIcon("up"));
    m_up->setToolTip("Up");
    connect(m_up, &QAction::triggered, this, [this] {
        if (const navigation::NavigationItem* row = navigation::Row(m_leftView->CurrentRow()))
            SelectRow(row->parentId);
    });

    FillToolBar(fileCommands, print, toolCommands);

    QAction* nextPane = Command(this, "Next Pane", "NextPane", {QKeySequence(Qt::Key_F6)});
    QAction* previousPane = Command(this, "Previous Pane", "PreviousPane", {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    for (QAction* pane : {nextPane, previousPane}) {
        connect(pane, &QAction::triggered, this, &CMainFrame::FocusOtherPane);
        addAction(pane);
    }
    // Print lives on the tool bar only; its accelerator works even when the bar is hidden.
    addAction(print);
}

QList<QAction*> CMainFrame::CreateFileMenu(QMenu* file) {
    QAction* newFile = Command(this, "&New", "New", {QKeySequence(Qt::CTRL | Qt::Key_N)});
    QAction* open = Command(this, "&Open...", "Open", {QKeySequence(Qt::CTRL | Qt::Key_O)});
    QAction* save = Command(this, "&Save", "Save", {QKeySequence(Qt::CTRL | Qt::Key_S)});
    QAction* saveAs = Command(this, "Save &As...", "SaveAs");
    QAction* decodeAs = Command(this, "&Decode as...", "DecodeAs", {}, "Choose the protocol of a port in capture files");
    QAction* exportPdus = Command(this, "Export &PDUs...", "ExportPdus", {},
                                  "Write the listed PDUs, or every captured one, to a pcap file");
    QAction* exportDecode = Command(this, "&Export decode as text...", "ExportDecode", {},
                                    "Write the listed PDUs with their columns and decode to a text file");
    QAction* exportJson = Command(this, "Export as &JSON...", "ExportJson", {},
                                  "Write the listed PDUs as tarnwick-decode --json does");
    connect(exportPdus, &QAction::triggered, this, &CMainFrame::ExportPdus);
    connect(exportDecode, &QAction::triggered, this, &CMainFrame::ExportDecode);
    connect(exportJson, &QAction::triggered, this, &CMainFrame::ExportJson);
    // The capture is no document: New has nothing to start, and no file is kept as recent.
    QAction* recent = Command(this, "Recent File", "RecentFile");
    for (QAction* disabled : {newFile, recent})
        disabled->setEnabled(false);
    open->setStatusTip("Read the PDUs of a pcap or pcapng file into the capture");
    save->setStatusTip("Save the capture as a pcap file");
    saveAs->setStatusTip("Save the capture as a pcap file under a new name");
    connect(open, &QAction::triggered, this, &CMainFrame::OpenCapture);
    connect(save, &QAction::triggered, this, [this] { SaveCapture(false); });
    connect(saveAs, &QAction::triggered, this, [this] { SaveCapture(true); });
    connect(decodeAs, &QAction::triggered, this, &CMainFrame::OpenDecodeAsDialog);
    newFile->setIcon(icons::CommandIcon("new"));
    open->setIcon(icons::CommandIcon("open"));
    save->setIcon(icons::CommandIcon("save"));
    file->addActions({newFile, open, save, saveAs});
    file->addSeparator();
    file->addActions({decodeAs, exportPdus, exportDecode, exportJson});
    file->addSeparator();
    file->addAction(recent);
    file->addSeparator();
    QAction* exit = file->addAction("E&xit", this, &QWidget::close);
    exit->setObjectName("Exit");
    return {newFile, open, save};
}

void CMainFrame::CreateEditCommands(QMenu* edit) {
    m_undo = Command(this, "&Undo", "Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    m_cut = Command(this, "Cu&t", "Cut", {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    m_copy = Command(this, "&Copy", "Copy", {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    m_paste = Command(this, "&Paste", "Paste", {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    m_cut->setIcon(icons::CommandIcon("cut"));
    m_copy->setIcon(icons::CommandIcon("copy"));
    m_paste->setIcon(icons::CommandIcon("paste"));
    const std::pair<QAction*, const char*> commands[] = {
        {m_undo, "undo"}, {m_cut, "cut"}, {m_copy, "copy"}, {m_paste, "paste"}};
    for (const auto& [action, slot] : commands)
        connect(action, &QAction::triggered, this, [this, slot = slot] { ForwardEditCommand(slot); });
    edit->addAction(m_undo);
    edit->addSeparator();
    edit->addActions({m_cut, m_copy, m_paste});
    edit->addSeparator();
    QAction* decodeHex = Command(this, "Decode &hex...", "DecodeHex", {}, "Decode a PDU typed as hex");
    connect(decodeHex, &QAction::triggered, this, &CMainFrame::DecodeHex);
    edit->addAction(decodeHex);
    edit->addSeparator();
    // The decoder page's commands: each brings the page forward first.
    const auto onDecoderPage = [this](auto command) {
        return [this, command] {
            SelectRow(navigation::kDecoderRow);
            command();
        };
    };
    QAction* find = Command(this, "&Find...", "Find", {QKeySequence(Qt::CTRL | Qt::Key_F)},
                            "Find a text in the listed PDUs and their decode");
    connect(find, &QAction::triggered, this, onDecoderPage([this] { m_viewLog->OpenFind(); }));
    QAction* goTo = Command(this, "Go t&o packet...", "GoToPacket", {QKeySequence(Qt::CTRL | Qt::Key_G)},
                            "Show the PDU of a \"Seq\" number");
    connect(goTo, &QAction::triggered, this, onDecoderPage([this] { m_viewLog->OpenGoTo(); }));
    QAction* copyValue = Command(this, "Copy &value", "CopyValue", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
                                 "Copy the value of the selected decode line");
    connect(copyValue, &QAction::triggered, this, [this] { m_viewLog->Particular()->CopyValue(); });
    // The packet list's own command, so that its menu and this one share the state and the key.
    QAction* partner = m_viewLog->Brief()->GoToPartnerAction();
    partner->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    partner->setStatusTip("Show the request a response answers, or the answer of a request");
    edit->addActions({find, goTo, copyValue, partner});
}

void CMainFrame::CreateViewMenu(QMenu* view) {
    m_toolBar = new QToolBar("Standard", this);
    m_toolBar->setObjectName("Standard");
    m_toolBar->setIconSize(QSize(16, 16));
    QAction* toolBarShown = m_toolBar->toggleViewAction();
    toolBarShown->setText("&Toolbar");
    toolBarShown->setObjectName("Toolbar");
    QAction* statusBarShown = view->addAction("&Status Bar", statusBar(), &QWidget::setVisible);
    statusBarShown->setObjectName("StatusBarShown");
    statusBarShown->setCheckable(true);
    statusBarShown->setChecked(true);
    view->insertAction(statusBarShown, toolBarShown);
    CreateViewStyleCommands();
    view->addSeparator();
    view->addAction(m_lineUp);
    view->addSeparator();
    m_follow = Command(this, "&Follow capture", "FollowCapture", {QKeySequence(Qt::Key_F8)},
                       "Keep the newest PDU in view as the capture grows");
    m_follow->setCheckable(true);
    CViewLogBrief* brief = m_viewLog->Brief();
    m_follow->setChecked(brief->IsFollowing());
    connect(m_follow, &QAction::triggered, this, [this, brief](bool on) {
        SelectRow(navigation::kDecoderRow);
        brief->SetFollowing(on);
    });
    connect(brief, &CViewLogBrief::FollowingChanged, m_follow, &QAction::setChecked);
    view->addAction(m_follow);
}

void CMainFrame::CreateViewStyleCommands() {
    m_viewStyles = new QActionGroup(this);
    m_viewStyles->setExclusive(true);
    const struct {
        const char* text;
        const char* name;
        CPelmoraView::Style style;
        const char* icon;
    } styles[] = {
        {"Large icon", "LargeIcon", CPelmoraView::Style::LargeIcon, "large-icons"},
        {"Small icon", "SmallIcon", CPelmoraView::Style::SmallIcon, "small-icons"},
        {"List", "List", CPelmoraView::Style::List, "list"},
        {"Details", "Details", CPelmoraView::Style::Details, "details"},
    };
    for (const auto& s : styles) {
        QAction* action = Command(m_viewStyles, s.text, s.name);
        action->setCheckable(true);
        action->setIcon(icons::CommandIcon(s.icon));
        action->setData(static_cast<int>(s.style));
        m_viewStyles->addAction(action);
    }
    connect(m_viewStyles, &QActionGroup::triggered, this, [this](QAction* action) {
        m_overview->SetStyle(static_cast<CPelmoraView::Style>(action->data().toInt()));
        UpdateCommands();
    });
    m_lineUp = Command(this, "Line &up", "LineUp");
    connect(m_lineUp, &QAction::triggered, this, [this] { m_overview->LineUp(); });
}

QList<QAction*> CMainFrame::CreateToolsMenu(QMenu* tools) {
    QAction* clear = Command(this, "&Clear content", "ClearContent", {}, "Clear content of parser.");
    clear->setIcon(icons::Icon(navigation::kDecoderIcon));
    connect(clear, &QAction::triggered, this, &CMainFrame::ClearCapture);
    QAction* phone = Command(this, "&Mobile phone", "MobilePhone", {}, "Start mini mobile phone simulator");
    connect(phone, &QAction::triggered, this, &CMainFrame::OpenMobilePhone);
    QAction* option = Command(this, "&Option...", "Option", {}, "Setup filter");
    connect(option, &QAction::triggered, this, &CMainFrame::OpenFilterDialog);
    QAction* generator = Command(this, "&Traffic generator...", "TrafficGenerator", {},
                                 "Load an ESME's receive path with deliver_sm at a set rate");
    connect(generator, &QAction::triggered, this, &CMainFrame::OpenTrafficGenerator);
    tools->addActions({clear, phone, generator, option});
    QAction* setupFilter = Command(this, "Setup filter", "SetupFilter", {}, "Setup filter");
    setupFilter->setIcon(icons::Icon(icons::kFilter));
    connect(setupFilter, &QAction::triggered, this, &CMainFrame::OpenFilterDialog);
    return {clear, setupFilter};
}

void CMainFrame::FillToolBar(const QList<QAction*>& fileCommands, QAction* print, const QList<QAction*>& toolCommands) {
    m_toolBar->addActions(fileCommands);
    m_toolBar->addSeparator();
    m_toolBar->addActions({m_cut, m_copy, m_paste});
    m_toolBar->addSeparator();
    m_toolBar->addAction(print);
    m_toolBar->addSeparator();
    m_toolBar->addActions(m_viewStyles->actions());
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_up);
    m_toolBar->addSeparator();
    m_toolBar->addActions(toolCommands);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::ClearCapture() {
    if (MayDropCapture("Clear content"))
        m_viewLog->Clear();
}

bool CMainFrame::MayDropCapture(const QString& title) {
    const int32_t unsaved = m_unsaved->Count();
    if (unsaved == 0)
        return true;
    switch (AskToSave(this, title, unsaved)) {
    case UnsavedChoice::Save: return SaveCapture(false);
    case UnsavedChoice::Discard: return true;
    case UnsavedChoice::Cancel: break;
    }
    return false;
}

void CMainFrame::DecodeHex() {
    CDecodeHexDialog dialog(m_decodeHexProtocol, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_decodeHexProtocol = dialog.Protocol();
    CPacketLog& log = m_simulator.Log();
    const QByteArray& pdu = dialog.Pdu();
    // A full log is wiped whole, as live capture does, and the PDU goes into the fresh one.
    if (!log.AddTyped(dialog.Protocol(), reinterpret_cast<const uint8_t*>(pdu.constData()),
                      static_cast<uint32_t>(pdu.size())))
        return;
    SelectRow(navigation::kDecoderRow);
    m_viewLog->ShowRecord(log.GetCount() - 1);
}
