// The main window's views, command bars and commands.
#include "ui/MainFrame.h"
#include "ui/GeneratorDialog.h"

#include "capture/Pcap.h"
#include "decoder/Protocols.h"
#include "simulator/DeliverSender.h"
#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "ui/DecodeAsDialog.h"
#include "ui/DeliverView.h"
#include "ui/FilterDialog.h"
#include "ui/HelpText.h"
#include "ui/Icons.h"
#include "ui/LeftView.h"
#include "ui/MobilePhone.h"
#include "ui/Navigation.h"
#include "ui/PelmoraView.h"
#include "ui/StatisticsView.h"
#include "ui/UnsavedRecords.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewServerInfo.h"
#include "ui/WindowLook.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// As wide as the tree's rows at start-up need, so that the page beside it shows every column of the packet list.
constexpr int kNavigationWidth = 160;
constexpr const char* kIdleText = "Ready";
constexpr const char* kHelpFile = "introduce.txt";
constexpr uint16_t kSmpp = navigation::kSmppProtocol;

// Import pacing: frames read per event-loop turn, few enough that the window answers at once
// between slices; the progress bar's resolution; how long an import runs before its dialog shows.
constexpr int kFramesPerSlice = 500;
constexpr int kProgressSteps = 1000;
constexpr int kProgressDelayMs = 300;
constexpr const char* kSaveFilter = "Packet capture (*.pcap)";
constexpr const char* kOpenFilters = "Packet captures (*.pcap *.pcapng *.cap);;All files (*)";

QMessageBox::StandardButton AskBeforeExit(QWidget* parent) {
    return QMessageBox::question(parent, "Tarnwick", "Do you want to eixt!",
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
}

CMainFrame::OpenChoice AskAddOrReplace(QWidget* parent, const QString& name, bool captureEmpty) {
    QMessageBox box(QMessageBox::Question, "Open", QString("Add the PDUs of %1 to the capture, or replace the capture with them?").arg(name),
                    QMessageBox::Cancel, parent);
    QPushButton* add = box.addButton("&Add", QMessageBox::AcceptRole);
    QPushButton* replace = box.addButton("&Replace", QMessageBox::DestructiveRole);
    box.setDefaultButton(captureEmpty ? replace : add);
    box.exec();
    if (box.clickedButton() == add)
        return CMainFrame::OpenChoice::Add;
    if (box.clickedButton() == replace)
        return CMainFrame::OpenChoice::Replace;
    return CMainFrame::OpenChoice::Cancel;
}

// The same file however it was named.
QString CanonicalPath(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

// The server a page belongs to, as the page names it to assistive tools.
QString ServerName(uint16_t protocol) {
    const auto row = std::find_if(navigation::kTable.begin(), navigation::kTable.end(), [protocol](const auto& r) {
        return r.page == navigation::Page::ServerInfo && r.protocol == protocol;
    });
    return row == navigation::kTable.end() ? QString() : QString(row->name);
}

// The server of a server page's protocol.
CSocketServer& ServerOf(CSimulator& simulator, uint16_t protocol) {
    if (protocol == kSmpp)
        return simulator.Smpp();
    if (protocol == protocol::kUcp)
        return simulator.Ucp();
    return protocol == protocol::kCimd2 ? static_cast<CSocketServer&>(simulator.Cimd()) : simulator.Mobile();
}

// The page's widget that should take the focus when F6 moves into it.
QWidget* FocusTarget(QWidget* page) {
    if (page->focusProxy() || (page->focusPolicy() & Qt::TabFocus))
        return page;
    for (QWidget* child : page->findChildren<QWidget*>())
        if (child->isVisibleTo(page) && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus))
            return child;
    return page;
}

bool HasSlot(const QWidget* widget, const char* slot) {
    return widget && widget->metaObject()->indexOfMethod(slot) >= 0;
}

// The help file in the working directory first, then beside the program and where it is installed.
QString FindHelpFile() {
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const QString& path : {QDir::current().absoluteFilePath(kHelpFile), programDir + "/" + kHelpFile,
                                programDir + "/../share/tarnwick/" + kHelpFile})
        if (QFileInfo::exists(path))
            return QFileInfo(path).absoluteFilePath();
    return {};
}

} // namespace

// The file an import reads and the dialog that shows how far it got.
struct CMainFrame::Import {
    pcap::CPcapImporter importer;
    QString name;
    int32_t firstRecord = 0; // the log's count when the import began
    QProgressDialog* progress = nullptr; // owns the timer that drives the slices
    QTimer* timer = nullptr;
};

CMainFrame::CMainFrame(CSimulator& simulator, const WindowLook& look, QWidget* parent)
    : QMainWindow(parent),
      m_simulator(simulator),
      m_look(look),
      m_exitPrompt(AskBeforeExit),
      m_openPrompt(AskAddOrReplace),
      m_unsaved(std::make_unique<CUnsavedRecords>(simulator.Log())),
      m_decodeHexProtocol(kSmpp) {
    setObjectName("MainFrame");
    setWindowIcon(icons::ApplicationIcon());
    CreateViews();
    CreateStatusBar();
    CreateCommandBars();
    RestoreBarLayout();
    m_overview->SetStyle(CPelmoraView::Style::Details);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::OnFocusChanged);
    UpdateCommands();
    UpdateEditCommands();
}

CMainFrame::~CMainFrame() {
    // Destroying the children moves the focus, and this frame is no longer whole by then.
    disconnect(qApp, &QApplication::focusChanged, this, &CMainFrame::OnFocusChanged);
    if (m_import)
        m_import->timer->stop();
}

void CMainFrame::CreateViews() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName("Splitter");
    m_splitter->setChildrenCollapsible(false);
    m_leftView = new CLeftView(m_look.smallNavigation, m_splitter);
    m_right = new QStackedWidget(m_splitter);
    m_right->setObjectName("RightPane");

    for (const navigation::NavigationItem& row : navigation::kTable) {
        QWidget* page = CreatePage(row);
        m_right->addWidget(page);
        m_panes.insert(row.id, page);
    }
    m_right->setCurrentWidget(m_overview);

    m_splitter->addWidget(m_leftView);
    m_splitter->addWidget(m_right);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kNavigationWidth, 700});
    setCentralWidget(m_splitter);
    resize(960, 640);

    connect(m_leftView, &CLeftView::RowSelected, this, &CMainFrame::SwitchPane);
    connect(m_overview, &CPelmoraView::RowActivated, this, &CMainFrame::SelectRow);
}

QWidget* CMainFrame::CreatePage(const navigation::NavigationItem& row) {
    switch (row.page) {
    case navigation::Page::Overview:
        return m_overview = new CPelmoraView(m_look.largeNavigation, m_look.smallNavigation);
    case navigation::Page::Decoder:
        m_viewLog = new CViewLog(m_simulator.Log(), m_simulator.Decoder(), m_simulator.Pairs());
        connect(m_viewLog, &CViewLog::SetFilterRequested, this, &CMainFrame::OpenFilterDialog);
        m_viewLog->SetClearGuard([this] { return MayDropCapture("Clear content"); });
        connect(m_viewLog, &CViewLog::CountsChanged, this, [this](int shown, int total) {
            m_pduCount->setText(QString("%1 of %2 PDUs").arg(shown).arg(total));
        });
        return m_viewLog;
    case navigation::Page::ServerInfo:
        return CreateServerInfoPage(row);
    case navigation::Page::Deliver:
        return CreateDeliverPage(row);
    case navigation::Page::Statistics: {
        auto* statistics = new CStatisticsView(m_simulator.Statistics());
        statistics->setAccessibleName(row.name);
        return statistics;
    }
    }
    return nullptr;
}

QWidget* CMainFrame::CreateServerInfoPage(const navigation::NavigationItem& row) {
    // Built before the servers start, so that their start lines reach the consoles.
    auto* info = new CViewServerInfo(ServerOf(m_simulator, row.protocol), row.protocol, m_look.consoleFont);
    info->setAccessibleName(ServerName(row.protocol) + " information");
    const int deliverRow = navigation::DeliverRowOf(row.id);
    if (deliverRow >= 0) // the UCP and CIMD2 servers have no composer of their own
        connect(info, &CViewServerInfo::DeliverRequested, this, [this, deliverRow] { SelectRow(deliverRow); });
    connect(info, &CViewServerInfo::UnbindRequested, this, [this](uint64_t id) { m_simulator.Unbind(id); });
    connect(info, &CViewServerInfo::ConnectionRequested, this, [this](uint64_t connection) {
        SelectRow(navigation::kDecoderRow);
        m_viewLog->ShowConnection(connection);
    });
    return info;
}

QWidget* CMainFrame::CreateDeliverPage(const navigation::NavigationItem& row) {
    auto* composer = new CDeliverView;
    composer->SetMode(row.protocol);
    composer->setAccessibleName(ServerName(row.protocol) + ": deliver short message");
    connect(composer, &CDeliverView::ShowDecoderRequested, this, [this] { SelectRow(navigation::kDecoderRow); });
    if (row.protocol == kSmpp)
        composer->SetSender(MakeSmppSender(m_simulator.Smpp()));
    else
        composer->SetSender(MakeMobileSender(m_simulator.Mobile()));
    // The server's information page comes first in the table: its online list composes through here.
    if (auto* info = qobject_cast<CViewServerInfo*>(m_panes.value(row.parentId)))
        connect(info, &CViewServerInfo::QuickDeliverRequested, composer, &CDeliverView::QuickDeliverTo);
    return composer;
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    m_pduCount = new QLabel("0 of 0 PDUs", bar);
    m_pduCount->setObjectName("PduCount");
    bar->addPermanentWidget(m_pduCount);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        // The lock states cannot be read on every platform, so the indicators stay greyed.
        auto* label = new QLabel(indicator, bar);
        label->setObjectName(indicator);
        label->setEnabled(false);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance("SCRL") + 12);
        bar->addPermanentWidget(label);
    }
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        if (message.isEmpty())
            bar->showMessage(kIdleText);
    });
    bar->showMessage(kIdleText);
}

void CMainFrame::RestoreBarLayout() {
    const CSettings settings;
    restoreGeometry(settings.BarGeometry());
    restoreState(settings.BarState());
}

void CMainFrame::SaveBarLayout() {
    CSettings().SetBarLayout(saveGeometry(), saveState());
}

void CMainFrame::BuildNavigation() {
    const auto serverRunning = [this](uint16_t protocol) { return ServerOf(m_simulator, protocol).IsRunning(); };
    m_leftView->Build(serverRunning);
    m_overview->Fill(serverRunning);
    UpdateCommands();
}

QWidget* CMainFrame::CurrentPane() const {
    return m_right->currentWidget();
}

void CMainFrame::SwitchPane(int row) {
    QWidget* page = m_panes.value(row);
    if (page && page != m_right->currentWidget())
        m_right->setCurrentWidget(page);
    UpdateCommands();
}

void CMainFrame::SelectRow(int id) {
    if (id >= 0)
        m_leftView->SelectRow(id);
}

void CMainFrame::OpenFilterDialog() {
    CFilterDialog dialog(m_simulator, this);
    dialog.exec();
}

void CMainFrame::OpenMobilePhone() {
    // A child window of the frame, so it closes with the program; it deletes itself when closed earlier.
    auto* phone = new CMobilePhone(m_simulator.Mobile().ListeningPort(), this);
    phone->show();
}

void CMainFrame::OpenTrafficGenerator() {
    if (!m_generatorDialog)
        m_generatorDialog = new CGeneratorDialog(m_simulator.Generator(), this);
    QStringList receivers;
    for (const std::string& name : m_simulator.Smpp().BoundSystemIds())
        receivers << QString::fromStdString(name);
    m_generatorDialog->SetReceivers(receivers);
    m_generatorDialog->show();
    m_generatorDialog->raise();
    m_generatorDialog->activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_exitPrompt(this) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    SaveBarLayout();
    event->accept();
}

void CMainFrame::UpdateCommands() {
    const bool overviewShown = CurrentPane() == m_overview;
    for (QAction* action : m_viewStyles->actions()) {
        action->setEnabled(overviewShown);
        action->setChecked(static_cast<CPelmoraView::Style>(action->data().toInt()) == m_overview->GetStyle());
    }
    m_lineUp->setEnabled(overviewShown && m_overview->CanLineUp());
    m_up->setEnabled(m_leftView->CurrentRow() != navigation::kConsoleRow);
}

void CMainFrame::OnFocusChanged(QWidget* /*old*/, QWidget* now) {
    // Opening a menu from the keyboard hands the focus to the menu bar; the edit commands still
    // mean the widget the user was working in, which gets the focus back when the menu closes.
    if (qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now))
        return;
    m_editTarget = now;
    UpdateEditCommands();
}

void CMainFrame::UpdateEditCommands() {
    QWidget* focus = m_editTarget;
    const bool editable = HasSlot(focus, "paste()") && !focus->property("readOnly").toBool();
    m_undo->setEnabled(editable && HasSlot(focus, "undo()"));
    m_cut->setEnabled(editable && HasSlot(focus, "cut()"));
    m_paste->setEnabled(editable);
    m_copy->setEnabled(HasSlot(focus, "copy()") || qobject_cast<QAbstractItemView*>(focus));
}

void CMainFrame::ForwardEditCommand(const char* slot) {
    QWidget* focus = m_editTarget;
    if (!focus)
        return;
    if (HasSlot(focus, (QByteArray(slot) + "()").constData())) {
        QMetaObject::invokeMethod(focus, slot);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(focus); view && qstrcmp(slot, "copy") == 0) {
        // What an item view copies by itself: its current item's text. Sending it the copy keys
        // instead would come back here through this very shortcut.
        QGuiApplication::clipboard()->setText(view->currentIndex().data(Qt::DisplayRole).toString());
    }
}

void CMainFrame::FocusOtherPane() {
    QWidget* focus = QApplication::focusWidget();
    const bool inTree = focus && (focus == m_leftView || m_leftView->isAncestorOf(focus));
    if (inTree)
        FocusTarget(CurrentPane())->setFocus(Qt::TabFocusReason);
    else
        m_leftView->setFocus(Qt::TabFocusReason);
}

void CMainFrame::ShowHelp() {
    if (auto* open = findChild<QWidget*>("HelpWindow"); open && open->isVisible()) { // a closed one is on its way out
        open->raise();
        open->activateWindow();
        return;
    }
    // The introduction is the help file's; the keys and the filter's terms are read from where they live.
    QString introduction;
    const QString path = FindHelpFile();
    QFile file(path);
    if (path.isEmpty())
        introduction = QString("The help file %1 was not found; the keys and the display filter follow.").arg(kHelpFile);
    else if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        introduction = QString("%1 could not be read.").arg(QDir::toNativeSeparators(path));
    else
        introduction = QString::fromUtf8(file.readAll());
    auto* window = new QWidget(this, Qt::Window);
    window->setObjectName("HelpWindow");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle("Tarnwick Help");
    auto* text = new QPlainTextEdit(window);
    text->setObjectName("HelpText");
    text->setAccessibleName("Help text");
    text->setReadOnly(true);
    // Its columns line up only in a font of one width.
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(help_text::Compose(introduction, *menuBar(), findChildren<QAction*>()));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    window->resize(820, 600);
    window->show();
}

QString CMainFrame::ChooseCaptureFile(bool forSaving) {
    QFileDialog dialog(this, forSaving ? "Save As" : "Open", m_captureFolder);
    dialog.setObjectName("CaptureFileDialog");
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(forSaving ? kSaveFilter : kOpenFilters);
    if (forSaving)
        dialog.setDefaultSuffix("pcap");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    m_captureFolder = QFileInfo(path).absolutePath();
    return path;
}

bool CMainFrame::SaveCapture(bool askForFile) {
    const bool overOpened = !m_savePath.isEmpty() && m_openedPaths.contains(CanonicalPath(m_savePath));
    if (!askForFile && overOpened)
        statusBar()->showMessage(QString("%1 was opened into this capture; Save does not write over it")
                                     .arg(QDir::toNativeSeparators(m_savePath)),
                                 kStatusMessageMs);
    const QString path = askForFile || m_savePath.isEmpty() || overOpened ? ChooseCaptureFile(true) : m_savePath;
    if (path.isEmpty())
        return false;
    const CPacketLog& log = m_simulator.Log();
    std::string error;
    if (!pcap::ExportLog(log, QFile::encodeName(path).toStdString(), error)) {
        QMessageBox::warning(this, "Save", QString("The capture could not be saved as %1:\n%2")
                                               .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
        return false;
    }
    m_unsaved->MarkSaved();
    m_savePath = path;
    m_openedPaths.remove(CanonicalPath(path)); // it holds this capture now
    statusBar()->showMessage(
        QString("%1 PDUs saved to %2").arg(log.GetCount()).arg(QDir::toNativeSeparators(path)), kStatusMessageMs);
    return true;
}

void CMainFrame::OpenCapture() {
    if (m_import)
        return; // one import at a time; its dialog keeps the window busy anyway
    const QString path = ChooseCaptureFile(false);
    if (path.isEmpty())
        return;
    const OpenChoice choice = m_openPrompt(this, QFileInfo(path).fileName(), m_simulator.Log().GetCount() == 0);
    if (choice != OpenChoice::Cancel)
        ImportCapture(path, choice == OpenChoice::Replace);
}

void CMainFrame::ImportCapture(const QString& path, bool replace) {
    if (m_import)
        return;
    auto import = std::make_unique<Import>();
    std::string error;
    if (!import->importer.Open(QFile::encodeName(path).toStdString(), CSettings().DecodeAs(), error)) {
        QMessageBox::warning(this, "Open", QString("%1 could not be opened:\n%2")
                                               .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
        return;
    }
    // Counted as opened from here on, so that a Save asked for below never writes over the file
    // about to be read.
    const QString opened = CanonicalPath(path);
    const bool openedBefore = m_openedPaths.contains(opened);
    m_openedPaths.insert(opened);
    if (replace && !MayDropCapture("Open")) {
        if (!openedBefore)
            m_openedPaths.remove(opened);
        return;
    }
    if (replace)
        m_viewLog->Clear();
    import->name = QFileInfo(path).fileName();
    import->firstRecord = m_simulator.Log().GetCount();
    import->progress = new QProgressDialog(QString("Reading %1...").arg(import->name), "&Cancel", 0, kProgressSteps, this);
    import->progress->setObjectName("ImportProgress");
    import->progress->setMinimumWidth(360);
    import->progress->setWindowTitle("Open");
    import->progress->setWindowModality(Qt::WindowModal);
    import->progress->setMinimumDuration(kProgressDelayMs);
    import->progress->setAutoClose(false);
    import->progress->setAutoReset(false);
    import->progress->setValue(0);
    // A zero-interval timer reads a slice whenever the event loop has nothing else to do.
    import->timer = new QTimer(import->progress);
    import->timer->setInterval(0);
    connect(import->timer, &QTimer::timeout, this, [this] {
        Import& running = *m_import;
        if (running.progress->wasCanceled())
            return FinishImport(true);
        const bool more = running.importer.Step(m_simulator.Log(), kFramesPerSlice);
        running.progress->setValue(static_cast<int>(running.importer.Progress() * kProgressSteps));
        if (!more && m_import)
            FinishImport(false);
    });
    m_import = std::move(import);
    m_import->timer->start();
}

void CMainFrame::FinishImport(bool cancelled) {
    const std::unique_ptr<Import> import = std::move(m_import);
    import->timer->stop();
    import->progress->hide();
    import->progress->deleteLater(); // the timer whose slot runs now goes with it
    CPacketLog& log = m_simulator.Log();
    const pcap::ImportSummary& summary = import->importer.Finish(log, cancelled);

    if (summary.pdus > 0) {
        // After a wipe the records that are left start at 0; otherwise the file's first one is
        // where the log stood when the import began.
        const bool wiped = summary.keptNewestOnly || uint64_t(log.GetCount()) < import->firstRecord + summary.pdus;
        SelectRow(navigation::kDecoderRow);
        m_viewLog->ShowRecord(wiped ? 0 : import->firstRecord);
    }
    QStringList lines;
    for (const std::string& line : summary.messages)
        lines.append(QString::fromStdString(line));
    const bool clean = !summary.skippedFrames && !summary.badPdus && !summary.gaps && !summary.truncatedFile;
    auto* box = new QMessageBox(clean ? QMessageBox::Information : QMessageBox::Warning, "Open",
                                QString(summary.cancelled ? "Stopped reading %1." : "Read %1.").arg(import->name),
                                QMessageBox::Ok, this);
    box->setObjectName("ImportSummary");
    // Wide enough that each line of the summary stays one line.
    box->setStyleSheet("QLabel#qt_msgbox_informativelabel { min-width: 420px; }");
    box->setInformativeText(lines.join(u'\n'));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (summary.skippedFrames > 0) {
        // Streams on a port of no known protocol are among the skipped frames; naming their
        // protocol is the way to read them on the next Open.
        QPushButton* decodeAs = box->addButton("&Decode as...", QMessageBox::ActionRole);
        connect(decodeAs, &QPushButton::clicked, this, &CMainFrame::OpenDecodeAsDialog, Qt::QueuedConnection);
    }
    box->open(); // not exec: the window goes on while the user reads it
}

void CMainFrame::OpenDecodeAsDialog() {
    CDecodeAsDialog dialog(this);
    dialog.exec();
}
