// The window's start-up, navigation, commands and close prompt, driven as a user would.
#include "tests/support/WidgetTestEnv.h"
#include "tests/support/TestClient.h"
#include "ui/OnlineClientModel.h"
#include "ui/OutView.h"
#include "ui/ViewServerInfoOnlineClient.h"

#include "simulator/Settings.h"
#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/Import.h"
#include "ui/DecodeAsDialog.h"
#include "ui/DecodeHexDialog.h"
#include "ui/DeliverDialog.h"
#include "ui/ExportDialog.h"
#include "ui/FilterDialog.h"
#include "ui/FindBar.h"
#include "ui/GeneratorDialog.h"
#include "ui/GoToDialog.h"
#include "ui/Icons.h"
#include "ui/LeftView.h"
#include "ui/MainFrame.h"
#include "ui/MobilePhone.h"
#include "ui/Navigation.h"
#include "ui/PelmoraApp.h"
#include "ui/PelmoraView.h"
#include "ui/UnsavedRecords.h"
#include "ui/ViewLog.h"
#include "ui/PacketFilterProxy.h"
#include "ui/PacketListModel.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewServerInfo.h"
#include "analysis/FilterExpression.h"
#include "capture/Pcap.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QJsonDocument>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTreeWidget>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

const std::string kAllOnes(protocol::filter::kRows, '1');

SimulatorOptions LoopbackOnFreePorts() {
    return {0, 0, 0, 0, QHostAddress(QHostAddress::LocalHost)};
}

// Calls answer with the modal window once the event loop of exec() runs.
void AnswerModal(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr) << "no modal window to answer";
        answer(modal);
    });
}

// Answers the next file dialog with path, then the modal window that follows it with next.
void ChooseFile(const QString& path, std::function<void(QWidget*)> next = {}) {
    AnswerModal([path, next](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // the file dialog's own accept checks the name
        if (next)
            AnswerModal(next);
    });
}

// The sum-up an import shows once it has read its file; null if none came.
QMessageBox* ImportSummary(const CMainFrame& frame) {
    QMessageBox* summary = nullptr;
    const bool came = QTest::qWaitFor([&] {
        return (summary = frame.findChild<QMessageBox*>("ImportSummary")) != nullptr;
    });
    return came ? summary : nullptr;
}

// Fails, and closes it, if a modal window is open on the next turn.
void ExpectNoModal(const char* why) {
    QTimer::singleShot(0, [why] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << why << ": " << modal->windowTitle().toStdString();
            modal->close();
        }
    });
}

// Answers Open's question with Replace.
void Replace(QWidget* modal) {
    for (QAbstractButton* button : static_cast<QMessageBox*>(modal)->buttons())
        if (button->text() == "&Replace")
            button->click();
}

Bytes Record(const CPacketLog& log, int index) {
    uint32_t length = 0;
    const uint8_t* record = log.PacketAt(index, &length);
    return record ? Bytes(record, record + length) : Bytes();
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { test_qt::ClearSettings(); }

    CMainFrame& Start(const SimulatorOptions& options = LoopbackOnFreePorts()) {
        m_app = std::make_unique<CPelmoraApp>(options);
        m_app->InitInstance();
        return *m_app->MainFrame();
    }
    CMainFrame& Frame() { return *m_app->MainFrame(); }
    QAction* Command(const char* name) {
        QAction* action = Frame().findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    int ImageOf(int row) { return Frame().LeftView()->Node(row)->data(0, CLeftView::kImageRole).toInt(); }

    std::unique_ptr<CPelmoraApp> m_app;
};

TEST_F(MainFrameTest, FirstRunStartsBothServersAndShowsTheOverviewInDetails) {
    CMainFrame& frame = Start();
    CSimulator& simulator = m_app->Simulator();
    EXPECT_EQ(frame.windowTitle(), "Tarnwick");
    EXPECT_TRUE(simulator.Smpp().IsRunning() && simulator.Mobile().IsRunning());
    EXPECT_EQ(simulator.Log().GetFilter(), kAllOnes);
    EXPECT_TRUE(simulator.Log().GetShowUnknown());
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Ready");

    // The tree: every row of the navigation table under its parent, "Console" open, nothing selected,
    // servers running.
    CLeftView* tree = frame.LeftView();
    for (const navigation::NavigationItem& row : navigation::kTable) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(tree->Node(row.id), nullptr);
        EXPECT_EQ(tree->Node(row.id)->text(0), row.name);
        EXPECT_EQ(tree->Node(row.id)->parent(), tree->Node(row.parentId));
        EXPECT_EQ(ImageOf(row.id), navigation::ImageIndexOf(row, true));
        EXPECT_EQ(tree->Node(row.id)->icon(0).pixmap(16, QIcon::Selected).toImage(), // the next image while selected
                  m_app->Look().smallNavigation[ImageOf(row.id) + 1].pixmap(16).toImage());
    }
    EXPECT_TRUE(tree->Node(0)->isExpanded());
    EXPECT_TRUE(tree->selectedItems().isEmpty());
    EXPECT_EQ(tree->CurrentRow(), 0);
    EXPECT_EQ(frame.CurrentPane(), frame.OverviewView());

    // The overview list: the six pages under "Console", in report style.
    CPelmoraView* overview = frame.OverviewView();
    auto* report = qobject_cast<QTreeView*>(overview->ItemView());
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(Command("Details")->isChecked());
    EXPECT_EQ(report->header()->sectionSize(0), 150);
    EXPECT_EQ(report->header()->sectionSize(1), 300);
    const QStandardItemModel* model = overview->Model();
    const QStringList rows[] = {
        {"Name", "Description"},
        {"SMPP Decoder", "The Decoder is a powerful tool that you can use to display SMPP 3.4 packet for detailed analysis."},
        {"Tarnwick", "The Tarnwick is a service for near-to-live testing of your SMPP applications without need of access "
                     "to real SMSC."},
        {"Mobile Server", "The server can forward short message between SMSC and mobile phone simulator."},
        {"Statistics", "Counts of this run's PDUs per command and status, the submit_sm rate and the response latency."},
        {"UCP Server", "The UCP/EMI server: large accounts log in, submit, and are sent their messages and delivery "
                       "notifications."},
        {"CIMD2 Server", "The CIMD2 server: clients log in, submit, and are sent their messages and status reports."}};
    ASSERT_EQ(model->rowCount(), 6);
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), rows[0][column]);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(model->item(i, column)->text(), rows[i + 1][column]);
    }
    EXPECT_FALSE(Command("Up")->isEnabled());

    QStringList tools;
    for (const QAction* action : frame.findChild<QToolBar*>("Standard")->actions())
        tools << (action->isSeparator() ? "|" : action->objectName());
    EXPECT_EQ(tools.join(' '), "New Open Save | Cut Copy Paste | Print | LargeIcon SmallIcon List Details | Up | "
                               "ClearContent SetupFilter");
    // The View menu's bars start shown and ticked: one trigger hides each.
    const std::pair<const char*, QWidget*> bars[] = {{"Toolbar", frame.findChild<QToolBar*>("Standard")},
                                                     {"StatusBarShown", frame.statusBar()}};
    for (const auto& [name, bar] : bars) {
        ASSERT_NE(bar, nullptr) << name;
        EXPECT_TRUE(Command(name)->isChecked() && bar->isVisibleTo(&frame)) << name;
        Command(name)->trigger();
        EXPECT_FALSE(bar->isVisibleTo(&frame)) << name;
    }
}

// The stored filter names the rows switched off; a 30-character string of earlier versions is read as it meant,
// and what neither form is leaves every row on.
TEST_F(MainFrameTest, TheStoredFilterIsReadByRowName) {
    const std::string submitOff = kAllOnes.substr(0, 9) + "0" + kAllOnes.substr(10);
    const std::string earlier = std::string(9, '1') + "0" + std::string(20, '1'); // the 30 rows before SMPP 5.0's
    const struct {
        const char* name;
        std::string stored, used;
    } cases[] = {
        {"29 characters", std::string(29, '0'), kAllOnes},
        {"30 characters of the earlier layout", earlier, submitOff},
        {"30 characters that are no flags", "0x1" + std::string(27, '0'), kAllOnes},
        {"31 characters", std::string(31, '0'), kAllOnes},
        {"by name", "off:submit_sm", submitOff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_qt::ClearSettings();
        QSettings().setValue("Setup/Filter", QString::fromStdString(c.stored));
        Start();
        EXPECT_EQ(m_app->Simulator().Log().GetFilter(), c.used);
        EXPECT_EQ(QSettings().value("Setup/Filter").toString().toStdString(), c.stored) << "never written back";
        m_app.reset();
    }
}

TEST_F(MainFrameTest, UpSelectsTheParentRowAndIsDisabledOnConsole) {
    CMainFrame& frame = Start();
    const struct {
        int from, to;
    } cases[] = {{5, 4}, {3, 2}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        frame.SelectRow(c.from);
        ASSERT_TRUE(Command("Up")->isEnabled());
        Command("Up")->trigger();
        EXPECT_EQ(frame.LeftView()->CurrentRow(), c.to);
        EXPECT_EQ(frame.CurrentPane(), frame.Pane(c.to));
    }
    EXPECT_FALSE(Command("Up")->isEnabled());
    frame.SelectRow(-1);
    EXPECT_EQ(frame.LeftView()->CurrentRow(), 0);
}

TEST_F(MainFrameTest, DoubleClickInTheOverviewOpensThatPage) {
    CMainFrame& frame = Start();
    // Either cell of a row opens its page: its name, or its description in the Details style.
    const struct {
        int row, column, page;
    } cases[] = {{0, 0, 1}, {1, 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        frame.SelectRow(0);
        QAbstractItemView* view = frame.OverviewView()->ItemView();
        const QPoint at = view->visualRect(frame.OverviewView()->Model()->index(c.row, c.column)).center();
        // A widget double-click in Qt Test is the second click alone; the first comes before it.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(frame.LeftView()->CurrentRow(), c.page);
        EXPECT_EQ(frame.CurrentPane(), frame.Pane(c.page));
        EXPECT_EQ(frame.LeftView()->currentItem(), frame.LeftView()->Node(c.page));
    }
}

TEST_F(MainFrameTest, F6MovesBetweenThePanesAndCopyTakesTheCurrentItem) {
    CMainFrame& frame = Start();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.LeftView()->setFocus();
    QAbstractItemView* overview = frame.OverviewView()->ItemView();
    QTest::keyClick(frame.LeftView(), Qt::Key_F6);
    ASSERT_EQ(QApplication::focusWidget(), overview);
    QTest::keyClick(overview, Qt::Key_F6, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), frame.LeftView());
    QTest::keyClick(frame.LeftView(), Qt::Key_F6);

    overview->setCurrentIndex(frame.OverviewView()->Model()->index(2, 0));
    frame.menuBar()->setFocus(); // as Alt does, on the way to Edit > Copy
    EXPECT_TRUE(Command("Copy")->isEnabled());
    EXPECT_FALSE(Command("Paste")->isEnabled()) << "nothing to paste into";
    Command("Copy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Mobile Server");
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(overview, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Mobile Server");

    // A console can be copied from, not written in: Undo, Cut and Paste stay greyed there.
    frame.SelectRow(2);
    auto* server = qobject_cast<CViewServerInfo*>(frame.CurrentPane());
    ASSERT_NE(server, nullptr);
    server->Console()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), server->Console());
    EXPECT_EQ((std::array{Command("Undo")->isEnabled(), Command("Cut")->isEnabled(), Command("Paste")->isEnabled(),
                          Command("Copy")->isEnabled()}),
              (std::array{false, false, false, true}));

    // A line that takes text gets each command for itself.
    frame.SelectRow(navigation::kDecoderRow);
    QLineEdit* line = frame.ViewLog()->FilterLine();
    line->setFocus();
    QGuiApplication::clipboard()->setText("submit_sm");
    Command("Paste")->trigger();
    EXPECT_EQ(line->text().toStdString(), "submit_sm");
    line->selectAll();
    Command("Cut")->trigger();
    EXPECT_EQ(line->text().toStdString(), "");
    Command("Undo")->trigger();
    EXPECT_EQ(line->text().toStdString(), "submit_sm");
}

TEST_F(MainFrameTest, ViewStylesActOnTheOverviewOnlyWhileItIsShown) {
    CMainFrame& frame = Start();
    CPelmoraView* overview = frame.OverviewView();
    const struct {
        const char* command;
        CPelmoraView::Style style;
        bool list, lineUp, largeIcons;
    } cases[] = {
        {"LargeIcon", CPelmoraView::Style::LargeIcon, true, true, true},
        {"SmallIcon", CPelmoraView::Style::SmallIcon, true, true, false},
        {"List", CPelmoraView::Style::List, true, false, false},
        {"Details", CPelmoraView::Style::Details, false, false, false},
    };
    const QStandardItem* decoder = overview->Model()->item(0, 0);
    const int image = decoder->data(CPelmoraView::kImageRole).toInt();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Command(c.command)->trigger();
        EXPECT_EQ(overview->GetStyle(), c.style);
        EXPECT_TRUE(Command(c.command)->isChecked());
        EXPECT_EQ(qobject_cast<QListView*>(overview->ItemView()) != nullptr, c.list);
        if (const auto* list = qobject_cast<QListView*>(overview->ItemView())) { // large icons side by side
            EXPECT_EQ(list->viewMode(), c.largeIcons ? QListView::IconMode : QListView::ListMode);
            EXPECT_EQ(list->iconSize(), c.largeIcons ? QSize(32, 32) : QSize(16, 16));
            EXPECT_EQ(list->flow(), c.lineUp ? QListView::LeftToRight : QListView::TopToBottom);
        }
        EXPECT_EQ(Command("LineUp")->isEnabled(), c.lineUp);
        const QList<QIcon>& icons = c.largeIcons ? m_app->Look().largeNavigation : m_app->Look().smallNavigation;
        EXPECT_EQ(decoder->icon().cacheKey(), icons.value(image).cacheKey());
        EXPECT_EQ(icons.value(image).availableSizes().value(0), c.largeIcons ? QSize(32, 32) : QSize(16, 16));
    }
    for (int row = 1; row < 6; ++row) {
        SCOPED_TRACE(row);
        frame.SelectRow(row);
        EXPECT_EQ(frame.CurrentPane(), frame.Pane(row));
        for (const auto& c : cases)
            EXPECT_FALSE(Command(c.command)->isEnabled()) << c.command;
    }
    frame.SelectRow(0);
    EXPECT_TRUE(Command("Details")->isEnabled());
}

// A failed or unanswered row's red stands out from the list's base: dark on a light one, light on a dark one.
TEST(ErrorColour, ContrastsWithTheBase) {
    QPalette palette;
    for (const QColor base : {QColor(Qt::white), QColor(Qt::black)}) {
        palette.setColor(QPalette::Base, base);
        EXPECT_EQ(icons::ErrorColour(palette).lightness() < 128, base.lightness() >= 128) << base.name().toStdString();
    }
}

TEST_F(MainFrameTest, APortInUseLeavesThatServerStoppedAndStartsTheOther) {
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::LocalHost, 0));
    SimulatorOptions options = LoopbackOnFreePorts();
    options.smppPort = occupier.serverPort();
    Start(options);
    EXPECT_TRUE(m_app->Simulator().Mobile().IsRunning());
    EXPECT_EQ(ImageOf(2), icons::NavigationIndex(navigation::kServerStoppedIcon));
    EXPECT_EQ(ImageOf(4), icons::NavigationIndex(navigation::kServerRunningIcon));
    const QStandardItem* tarnwick = Frame().OverviewView()->Model()->item(1, 0);
    EXPECT_EQ(tarnwick->data(CPelmoraView::kImageRole).toInt(), icons::NavigationIndex(navigation::kServerStoppedIcon));
}

TEST_F(MainFrameTest, OnlyYesToTheClosePromptClosesTheWindow) {
    CMainFrame& frame = Start();
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(m_app->Simulator().Smpp().ListeningPort()));
    ASSERT_TRUE(test_net::WaitUntil([&] { return m_app->Simulator().Smpp().GetConnectionCount() == 1; }));

    // The real prompt, answered No.
    QString asked;
    AnswerModal([&asked](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        asked = box->text();
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box->button(QMessageBox::No)->click();
    });
    Command("Exit")->trigger();
    EXPECT_EQ(asked, "Do you want to eixt!");
    EXPECT_TRUE(frame.isVisible());

    for (QMessageBox::StandardButton answer : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer);
        frame.SetExitPrompt([answer](QWidget*) { return answer; });
        frame.close();
        QCoreApplication::processEvents();
        EXPECT_EQ(frame.isVisible(), answer != QMessageBox::Yes);
        EXPECT_TRUE(esme.IsConnected());
        EXPECT_EQ(m_app->Simulator().Smpp().GetConnectionCount(), 1);
    }
    EXPECT_TRUE(QSettings().contains("CommandBars/State")) << "the bars' layout is saved on the way out";
}

TEST_F(MainFrameTest, EveryWayToTheFilterOpensDefineFilter) {
    CMainFrame& frame = Start();
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Tools > Option...", [this] { Command("Option")->trigger(); }},
        {"Setup filter on the tool bar", [this] { Command("SetupFilter")->trigger(); }},
        {"Set Filter in the packet list", [&frame] { emit frame.ViewLog()->SetFilterRequested(); }},
    };
    for (const auto& [name, open] : ways) {
        SCOPED_TRACE(name);
        QString title;
        AnswerModal([&title](QWidget* modal) {
            title = modal->windowTitle();
            ASSERT_NE(qobject_cast<CFilterDialog*>(modal), nullptr);
            static_cast<QDialog*>(modal)->reject();
        });
        open();
        EXPECT_EQ(title, "Define filter");
    }
    EXPECT_FALSE(QSettings().contains("Setup/Filter"));
}

TEST_F(MainFrameTest, SaveAsThenOpenGivesTheSameRecordsBackInTheDecoderPage) {
    CMainFrame& frame = Start();
    CPacketLog& log = m_app->Simulator().Log();
    const uint32_t client = 0x0A000105, server = 0x0A000001; // 10.0.1.5:40001 talking to 10.0.0.1:2775
    const Bytes bind = SmppPdu(0x00000002, 1, Builder().cstr("esme").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
    const Bytes bindResp = SmppPdu(0x80000002, 1, Builder().cstr("SMSC"));
    ASSERT_TRUE(log.AddPacket(2, client, 40001, bind.data(), uint32_t(bind.size()), 2, {server, 2775}));
    ASSERT_TRUE(log.AddPacket(2, server, 2775, bindResp.data(), uint32_t(bindResp.size()), 2, {client, 40001}));
    const std::vector<Bytes> saved = {Record(log, 0), Record(log, 1)};
    EXPECT_TRUE(Command("Open")->isEnabled() && Command("Save")->isEnabled() && Command("SaveAs")->isEnabled());

    QTemporaryDir folder;
    ChooseFile(folder.filePath("exchange")); // the dialog adds the extension
    Command("SaveAs")->trigger();
    const QString path = folder.filePath("exchange.pcap");
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_TRUE(QFile::remove(path));
    ExpectNoModal("Save asks again");
    Command("Save")->trigger();
    QCoreApplication::processEvents(); // the check runs here when Save asked nothing
    ASSERT_TRUE(QFile::exists(path)) << "Save writes where Save As did";

    // Open asks whether to add or replace; Replace is the default of an empty capture, Add of one
    // that holds PDUs.
    const auto open = [&](const char* answer, const char* expectedDefault) {
        ChooseFile(path, [answer, expectedDefault](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->defaultButton()->text(), expectedDefault);
            for (QAbstractButton* button : box->buttons())
                if (button->text() == answer)
                    button->click();
        });
        Command("Open")->trigger();
        QMessageBox* summary = ImportSummary(frame);
        ASSERT_NE(summary, nullptr);
        EXPECT_TRUE(summary->informativeText().contains("2 PDUs added")) << summary->informativeText().toStdString();
        EXPECT_EQ(summary->buttons().size(), 1) << "nothing skipped: no Decode as";
        EXPECT_EQ(summary->icon(), QMessageBox::Information);
        summary->close();
        delete summary;
    };
    Command("ClearContent")->trigger();
    ASSERT_EQ(log.GetCount(), 0);
    open("&Add", "&Replace");
    ASSERT_EQ(log.GetCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Record(log, i), saved[i]) << i;
    EXPECT_EQ(frame.CurrentPane(), frame.ViewLog());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.ViewLog()->Brief()->SelectedIndex() == 0; }));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_R, Qt::ControlModifier); // Edit > Go to partner: the bind's answer
    EXPECT_EQ(frame.ViewLog()->Brief()->SelectedIndex(), 1);
    open("&Replace", "&Add");
    ASSERT_EQ(log.GetCount(), 2) << "the capture replaced, not doubled";
    open("&Add", "&Add");
    ASSERT_EQ(log.GetCount(), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.ViewLog()->Brief()->SelectedIndex() == 2; }))
        << "the file's first PDU is shown, behind those the capture held";
    open("&Replace", "&Add");

    // Save never writes over the file that was opened: it asks, and says why.
    const qint64 openedSize = QFileInfo(path).size();
    ASSERT_TRUE(log.AddPacket(2, client, 40001, bind.data(), uint32_t(bind.size()), 2, {server, 2775}));
    ChooseFile(folder.filePath("after-open"));
    Command("Save")->trigger();
    EXPECT_TRUE(frame.statusBar()->currentMessage().contains("3 PDUs saved")) << frame.statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath("after-open.pcap")));
    EXPECT_EQ(QFileInfo(path).size(), openedSize);

    // A file that is not a capture says so and leaves the log as it was.
    QFile notCapture(folder.filePath("notes.pcap"));
    ASSERT_TRUE(notCapture.open(QIODevice::WriteOnly) && notCapture.write("hello") == 5);
    notCapture.close();
    QString warning;
    ChooseFile(notCapture.fileName(), [&warning](QWidget* prompt) {
        AnswerModal([&warning](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                warning = box->text();
            modal->close();
        });
        static_cast<QMessageBox*>(prompt)->defaultButton()->click();
    });
    Command("Open")->trigger();
    EXPECT_TRUE(warning.contains("notes.pcap could not be opened")) << warning.toStdString();
    EXPECT_EQ(log.GetCount(), 3);
}

TEST(UnsavedRecords, CountsTheLivePdusSinceTheLastSaveThatAreStillThere) {
    CPacketLog log;
    ASSERT_TRUE(log.Reset());
    CUnsavedRecords unsaved(log);
    const Bytes enquire = SmppPdu(0x00000015, 1);
    const auto live = [&] { return log.AddPacket(2, 0x7F000001, 40000, enquire.data(), uint32_t(enquire.size()), 22); };
    ASSERT_TRUE(live() && live());
    ASSERT_TRUE(log.AddTyped(2, enquire.data(), uint32_t(enquire.size()))); // never written to a file
    // Read from a capture file: in that file already.
    ASSERT_TRUE(log.AddCaptured(2, 0, 0x0A000001, 2775, {}, enquire.data(), uint32_t(enquire.size())));
    EXPECT_EQ(unsaved.Count(), 2);
    unsaved.MarkSaved();
    ASSERT_TRUE(live());
    EXPECT_EQ(unsaved.Count(), 1);
    // A wiped log has nothing left to save but the PDU that found it full, the first of the fresh one.
    for (const int64_t wipes = log.WipeCount(); log.WipeCount() == wipes;)
        ASSERT_TRUE(live());
    EXPECT_EQ(unsaved.Count(), 1);
}

// A window over a capture log, with a capture file of one PDU to open and a place to save to.
class UnsavedCaptureTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        frame = &Start();
        std::string error;
        ASSERT_TRUE(Live() && pcap::ExportLog(Log(), opened.toStdString(), error)) << error;
        frame->ViewLog()->Clear();
    }
    CPacketLog& Log() { return m_app->Simulator().Log(); }
    // A PDU captured from a connection, as the servers capture them.
    bool Live() {
        return Log().AddPacket(2, 0x0A000105, 40001, enquire.data(), uint32_t(enquire.size()), 22, {0x0A000001, 2775});
    }
    bool Typed() { return Log().AddTyped(2, enquire.data(), uint32_t(enquire.size())); }
    // Waits for the sum-up of an import and closes it.
    void CloseImportSummary() {
        QMessageBox* summary = ImportSummary(*frame);
        ASSERT_NE(summary, nullptr);
        delete summary;
    }

    CMainFrame* frame = nullptr;
    QTemporaryDir folder;
    const QString opened = folder.filePath("opened.pcap");
    const QString saved = folder.filePath("saved.pcap");
    const QString unwritable = folder.filePath("opened.pcap/saved.pcap"); // a file where its folder should be
    const Bytes enquire = SmppPdu(0x00000015, 1);
};

// Answers the question before unsaved PDUs go with a key (with Alt, but Escape), keeping its text
// and title, then calls then, once the question is gone, for what comes after it.
std::function<void(QWidget*)> AnswerByKey(Qt::Key key, QString& question, QString& title, std::function<void()> then) {
    return [key, &question, &title, then](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        question = box->text();
        title = box->windowTitle();
        box->activateWindow(); // the letters are shortcuts of the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, key, key == Qt::Key_Escape || key == Qt::Key_Return ? Qt::NoModifier : Qt::AltModifier);
        // A button's letter presses it a moment later, as a click the eye can see.
        ASSERT_TRUE(QTest::qWaitFor([box] { return !box->isVisible(); }));
        if (then)
            then();
    };
}

// "Clear content" (the menu's and the packet list's) and Open > Replace ask before they drop PDUs
// captured since the last save, the question answered from the keyboard; Save saves as File > Save
// does, and a save that does not happen keeps the capture.
TEST_F(UnsavedCaptureTest, ClearAndReplaceAskToSaveWhatWasCapturedSinceTheLastSave) {
    enum class Way { ClearMenu, ClearList, Replace };
    enum class File { NotAsked, Chosen, Refused, Unwritable };
    const struct {
        const char* name;
        Way way;
        Qt::Key key;
        File file; // the file dialog a Save opens
        bool dropped;
    } cases[] = {
        {"Escape cancels", Way::ClearMenu, Qt::Key_Escape, File::NotAsked, false},
        {"Alt+D discards", Way::ClearList, Qt::Key_D, File::NotAsked, true},
        {"Alt+S, but no file", Way::ClearList, Qt::Key_S, File::Refused, false},
        {"Alt+S to a file that cannot be written: said, and kept", Way::ClearMenu, Qt::Key_S, File::Unwritable, false},
        {"Alt+S saves to the file chosen", Way::ClearMenu, Qt::Key_S, File::Chosen, true},
        {"Alt+S saves where Save did", Way::Replace, Qt::Key_S, File::NotAsked, true},
        {"Escape keeps the capture and reads nothing", Way::Replace, Qt::Key_Escape, File::NotAsked, false},
        {"Return saves where Save did, the answer that loses nothing", Way::ClearList, Qt::Key_Return, File::NotAsked, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frame->ViewLog()->Clear();
        QFile::remove(saved);
        ASSERT_TRUE(Live() && Live() && Live() && Typed());
        std::string error;
        const QString reference = folder.filePath("reference.pcap");
        ASSERT_TRUE(pcap::ExportLog(Log(), reference.toStdString(), error)) << error;

        QString question, title, warning;
        const auto answer = AnswerByKey(c.key, question, title, [&] {
            if (c.file == File::Chosen)
                ChooseFile(saved);
            else if (c.file == File::Unwritable)
                ChooseFile(unwritable, [&warning](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    warning = box ? box->text() : QString("not a message box");
                    static_cast<QDialog*>(modal)->reject();
                });
            else if (c.file == File::Refused)
                AnswerModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
        });
        if (c.way == Way::Replace) {
            ChooseFile(opened, [&](QWidget* modal) {
                Replace(modal);
                AnswerModal(answer);
            });
            Command("Open")->trigger();
        } else {
            QAction* clear = c.way == Way::ClearMenu ? Command("ClearContent") : frame->ViewLog()->Brief()->ClearAction();
            ASSERT_TRUE(QTest::qWaitFor([clear] { return clear->isEnabled(); })) << "the rows are listed";
            AnswerModal(answer);
            clear->trigger();
        }
        EXPECT_EQ(question, "Save the 3 PDUs captured since the last save?");
        EXPECT_EQ(title, c.way == Way::Replace ? "Open" : "Clear content");
        EXPECT_EQ(warning.startsWith("The capture could not be saved as " + unwritable + ":"), c.file == File::Unwritable)
            << warning.toStdString();
        ASSERT_EQ(QFile::exists(saved), c.dropped && c.key != Qt::Key_D);
        if (QFile::exists(saved)) {
            QFile file(saved), expected(reference);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll() == expected.readAll()) << "saved as File > Save saves";
        }
        if (c.way == Way::Replace && c.dropped)
            CloseImportSummary();
        EXPECT_EQ(Log().GetCount(), !c.dropped ? 4 : c.way == Way::Replace ? 1 : 0);
    }
}

// Save, asked for before Open > Replace, never writes over the file about to be read: it asks for another.
TEST_F(UnsavedCaptureTest, ASaveBeforeReplaceNeverWritesOverTheFileToBeRead) {
    ASSERT_TRUE(Live());
    ChooseFile(saved);
    Command("Save")->trigger();
    const qint64 savedSize = QFileInfo(saved).size();
    ASSERT_TRUE(Live());
    const QString other = folder.filePath("other.pcap");
    ChooseFile(saved, [&](QWidget* modal) {
        Replace(modal);
        AnswerModal([&](QWidget* prompt) {
            static_cast<QMessageBox*>(prompt)->button(QMessageBox::Save)->click();
            ChooseFile(other);
        });
    });
    Command("Open")->trigger();
    CloseImportSummary();
    EXPECT_EQ(QFileInfo(saved).size(), savedSize);
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(Log().GetCount(), 1) << "what the file held";
}

// Nothing is asked of a capture that holds only what a file gave it, what was typed in, or what
// was saved since.
TEST_F(UnsavedCaptureTest, NothingIsAskedOfPdusNoSaveWouldWriteOrThatAreSaved) {
    frame->ImportCapture(opened);
    CloseImportSummary();
    ASSERT_EQ(Log().GetCount(), 1);
    const auto clearUnasked = [this](const char* why) {
        ExpectNoModal(why);
        Command("ClearContent")->trigger();
        QCoreApplication::processEvents(); // the check runs here when nothing was asked
        EXPECT_EQ(Log().GetCount(), 0) << why;
    };
    clearUnasked("only PDUs read from a file");
    ASSERT_TRUE(Typed());
    clearUnasked("only a typed PDU");
    ASSERT_TRUE(Live());
    ChooseFile(saved);
    Command("Save")->trigger();
    clearUnasked("saved since");
}

TEST_F(MainFrameTest, DecodeHexAppendsTheTypedPduAndRefusesWhatIsNotHex) {
    CMainFrame& frame = Start();
    CPacketLog& log = m_app->Simulator().Log();
    log.SetFilter(std::string(protocol::filter::kRows, '0')); // typed PDUs are not the servers' traffic: no filter applies
    const Bytes pdu = test_bytes::Pdu12(0x00000008, 1); // CMPP active_test
    ASSERT_TRUE(log.AddTyped(1, pdu.data(), uint32_t(pdu.size()))); // the typed PDU goes in after it
    QString refusal;
    AnswerModal([&refusal](QWidget* modal) {
        auto* dialog = qobject_cast<CDecodeHexDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->activateWindow(); // shortcuts go to the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        dialog->ProtocolBox()->setCurrentIndex(dialog->ProtocolBox()->findText("CMPP"));
        QTest::keyClicks(dialog->HexBox(), "00 00 00 0C 00 00 00 08 0G 00 00 01");
        QTest::keyClick(dialog->HexBox(), Qt::Key_Return, Qt::ControlModifier);
        ASSERT_TRUE(dialog->isVisible()) << "bad hex keeps the dialog open";
        refusal = dialog->ErrorLabel()->text();
        EXPECT_TRUE(dialog->ErrorLabel()->isVisible());
        EXPECT_EQ(dialog->HexBox()->textCursor().position(), 25) << "the cursor just before the 'G'";
        // One byte more than a record holds, pasted as one line, goes in as lines of 16 bytes: laid out
        // wrapped, the line would hold the window for minutes and the test would time out.
        dialog->HexBox()->clear();
        QGuiApplication::clipboard()->setText(QString("00").repeated(CPacketLog::kAreaSize - CPacketLog::kHeaderSize + 1));
        QTest::keyClick(dialog->HexBox(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(dialog->HexBox()->document()->firstBlock().text(), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        QTest::keyClick(dialog->HexBox(), Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(dialog->ErrorLabel()->text(), "The PDU is 1048561 bytes long; the capture log keeps PDUs of at most "
                                                "1048560 bytes.");
        dialog->HexBox()->clear();
        EXPECT_FALSE(dialog->ErrorLabel()->isVisible()) << "the message was about the old text";
        QTest::keyClicks(dialog->HexBox(), "0x00,0x00,0x00,0x0C 00000008");
        QTest::keyClick(dialog->HexBox(), Qt::Key_Return); // a new line, not the end
        QTest::keyClicks(dialog->HexBox(), "00:00:00:01");
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    Command("DecodeHex")->trigger();
    EXPECT_EQ(refusal, "'G' at position 26 is not a hex digit.");
    ASSERT_EQ(log.GetCount(), 2);
    const Bytes record = Record(log, 1);
    EXPECT_EQ(Bytes(record.begin() + 16, record.end()), pdu);
    EXPECT_EQ(record[14], 1) << "protocol code of CMPP";
    EXPECT_EQ(frame.CurrentPane(), frame.ViewLog());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.ViewLog()->Brief()->SelectedIndex() == 1; }));
    // No connection carried it: a capture file gets no frame of it.
    QTemporaryDir folder;
    std::string error;
    ASSERT_TRUE(pcap::ExportLog(log, folder.filePath("typed.pcap").toStdString(), error)) << error;
    EXPECT_EQ(QFileInfo(folder.filePath("typed.pcap")).size(), 24) << "the file header alone";
    QString protocol;
    AnswerModal([&protocol](QWidget* modal) {
        auto* dialog = qobject_cast<CDecodeHexDialog*>(modal);
        protocol = dialog ? dialog->ProtocolBox()->currentText() : QString("not the dialog");
        static_cast<QDialog*>(modal)->reject();
    });
    Command("DecodeHex")->trigger();
    EXPECT_EQ(protocol.toStdString(), "CMPP") << "the protocol last decoded";
}

// F1 shows introduce.txt, then every menu command with the keys that reach it and every other command's keys,
// and the display filter's terms, each read from its home; F1 again brings that window forward. The status bar
// counts the listed PDUs; F8 turns following on and off.
TEST_F(MainFrameTest, HelpFollowAndTheCountOfListedPdus) {
    QTemporaryDir folder;
    QFile help(folder.filePath("introduce.txt"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly) && help.write("Tarnwick introduces itself.\n") > 0);
    help.close();
    const QString working = QDir::currentPath();
    QDir::setCurrent(folder.path());
    CMainFrame& frame = Start();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_F1);
    auto* text = frame.findChild<QPlainTextEdit*>("HelpText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly() && text->window()->isVisible());
    const QString shown = text->toPlainText();
    EXPECT_TRUE(shown.startsWith("Tarnwick introduces itself.\n\nMenus and keys\n")) << shown.left(80).toStdString();
    for (const char* line : {R"(\n  File > Export PDUs\.\.\. +Alt\+F, P\n)", R"(\n  Edit > Find\.\.\. +Alt\+E, F; Ctrl\+F\n)",
                             R"(\n  Next Pane +F6\n)"})
        EXPECT_TRUE(shown.contains(QRegularExpression(line))) << line;
    for (const QAction* action : frame.findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts())
            EXPECT_TRUE(action->text().isEmpty() || shown.contains(key.toString(QKeySequence::NativeText)))
                << action->text().toStdString();
    // A letter that two commands of one menu share reaches only the first: each menu's letters differ.
    for (const QAction* top : frame.menuBar()->actions()) {
        QStringList letters;
        for (const QAction* action : top->menu()->actions())
            if (const QKeySequence letter = QKeySequence::mnemonic(action->text()); !letter.isEmpty()) {
                EXPECT_FALSE(letters.contains(letter.toString())) << action->text().toStdString();
                letters.append(letter.toString());
            }
    }
    for (const display_filter::HelpLine& term : display_filter::Help())
        EXPECT_TRUE(shown.contains(QString::fromUtf8(term.written.data(), qsizetype(term.written.size()))));
    QTest::keyClick(&frame, Qt::Key_F1);
    EXPECT_EQ(frame.findChildren<QPlainTextEdit*>("HelpText").size(), 1) << "the open window comes forward";
    QPointer<QWidget> closed = text->window();
    closed->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
    QTemporaryDir empty;
    QDir::setCurrent(empty.path());
    Command("Help")->trigger();
    QDir::setCurrent(working);
    ASSERT_EQ(frame.findChildren<QPlainTextEdit*>("HelpText").size(), 1);
    EXPECT_TRUE(frame.findChild<QPlainTextEdit*>("HelpText")->toPlainText().startsWith(
        "The help file introduce.txt was not found; the keys and the display filter follow.\n\nMenus and keys\n"));
    frame.findChild<QPlainTextEdit*>("HelpText")->window()->close();

    CPacketLog& log = m_app->Simulator().Log();
    const Bytes enquire = SmppPdu(0x00000015, 1);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 40000, enquire.data(), uint32_t(enquire.size()), 22));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.PduCount()->text() == "3 of 3 PDUs"; }));
    frame.ViewLog()->ApplyFilter("submit_sm");
    EXPECT_EQ(frame.PduCount()->text(), "0 of 3 PDUs");

    QAction* follow = Command("FollowCapture");
    EXPECT_EQ(follow->shortcut(), QKeySequence(Qt::Key_F8));
    const bool was = frame.ViewLog()->Brief()->IsFollowing();
    follow->trigger();
    EXPECT_NE(frame.ViewLog()->Brief()->IsFollowing(), was);
    frame.ViewLog()->Brief()->SetFollowing(was);
    EXPECT_EQ(follow->isChecked(), was) << "the menu shows what the list does";

    // Ctrl+F and Ctrl+G from another page bring the decoder page forward, each with its own bar or dialog.
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_G}) {
        SCOPED_TRACE(key);
        frame.SelectRow(navigation::kStatisticsRow);
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, key, Qt::ControlModifier);
        EXPECT_EQ(frame.CurrentPane(), frame.ViewLog());
        auto* goTo = frame.ViewLog()->findChild<CGoToDialog*>();
        EXPECT_EQ(frame.ViewLog()->FindBar()->isVisible(), key == Qt::Key_F);
        EXPECT_EQ(goTo && goTo->isVisible(), key == Qt::Key_G);
        frame.ViewLog()->FindBar()->Close();
        delete goTo;
    }
}

// The File menu's exports, reached by their letters: the PDUs the filter lists or every captured one, as the
// dialog's choice says, as pcap, as text and as JSON.
TEST_F(MainFrameTest, ExportsWriteTheDisplayedOrEveryPduByTheDialogsChoice) {
    CMainFrame& frame = Start();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    CPacketLog& log = m_app->Simulator().Log();
    const Bytes submit = SmppPdu(0x00000004, 1, test_bytes::SmppMessageBody("123", "456", 0, 0, Builder().raw("Hi")));
    const Bytes enquire = SmppPdu(0x00000015, 2);
    for (const Bytes* pdu : {&submit, &enquire, &submit})
        ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 40000, pdu->data(), uint32_t(pdu->size()), 9, {0x7F000001, 2775}, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.ViewLog()->Brief()->Model()->rowCount() == 3; }));
    frame.ViewLog()->ApplyFilter("submit_sm");

    QTemporaryDir folder;
    const auto pcapRecords = [](const QString& path) {
        CPacketLog read;
        read.Reset();
        pcap::CPcapImporter importer;
        std::string error;
        EXPECT_TRUE(importer.Open(path.toStdString(), {}, error)) << error;
        test_import::StepToEnd(importer, read);
        importer.Finish(read, false);
        return read.GetCount();
    };
    const auto textRecords = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return int(QString::fromUtf8(file.readAll()).count(QRegularExpression("^Seq  ", QRegularExpression::MultilineOption)));
    };
    const auto jsonRecords = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        int records = 0;
        for (const QByteArray& line : file.readAll().split('\n'))
            records += QJsonDocument::fromJson(line).isObject() ? 1 : 0;
        return records;
    };
    const struct {
        Qt::Key key; // the command's letter in the File menu
        const char* file;
        bool displayedOnly;
        std::function<int(const QString&)> records;
        int expected;
    } cases[] = {
        {Qt::Key_P, "shown.pcap", true, pcapRecords, 2},
        {Qt::Key_P, "all.pcap", false, pcapRecords, 3},
        {Qt::Key_E, "shown.txt", true, textRecords, 2},
        {Qt::Key_E, "all.txt", false, textRecords, 3},
        {Qt::Key_J, "shown.json", true, jsonRecords, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = folder.filePath(c.file);
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_F, Qt::AltModifier);
        QMenu* file = frame.menuBar()->actions().constFirst()->menu();
        ASSERT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }));
        AnswerModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CExportDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->DisplayedButton()->isChecked()) << "the displayed PDUs unless told";
            EXPECT_EQ(dialog->AllButton()->text(), "&All 3 captured PDUs");
            EXPECT_EQ(dialog->DisplayedButton()->text(), "The 2 PDUs &displayed");
            dialog->activateWindow(); // offscreen, the frame stays the active window otherwise
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }));
            QTest::keyClick(dialog->focusWidget(), c.displayedOnly ? Qt::Key_D : Qt::Key_A, Qt::AltModifier);
            // A mnemonic clicks its button as the mouse would: checked on the release, a moment later.
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->DisplayedOnly() == c.displayedOnly; }));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::keyClick(file, c.key);
        EXPECT_EQ(c.records(path), c.expected);
        EXPECT_TRUE(frame.statusBar()->currentMessage().startsWith(QString("%1 PDUs written").arg(c.expected)));
    }
    // A folder that is not there: the user is told, and nothing claims the PDUs written.
    frame.statusBar()->clearMessage();
    QString warning;
    ChooseFile(folder.filePath("missing/decode.txt"), [&warning](QWidget* box) {
        warning = static_cast<QMessageBox*>(box)->text();
        box->close();
    });
    Command("ExportDecode")->trigger();
    EXPECT_TRUE(warning.contains("could not be written")) << warning.toStdString();
    EXPECT_FALSE(frame.statusBar()->currentMessage().contains("written")) << "claimed written";
}

// At its first size the window lists every column the packet list shows before the user changes any, whole.
TEST_F(MainFrameTest, TheDefaultWindowShowsEveryDefaultColumnWhole) {
    CMainFrame& frame = Start();
    frame.show();
    frame.SelectRow(navigation::kDecoderRow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(frame.size(), QSize(960, 640));
    CViewLogBrief& brief = *frame.ViewLog()->Brief();
    const QHeaderView& header = *brief.horizontalHeader();
    int shown = 0;
    for (int column = 0; column < header.count(); ++column) {
        if (header.isSectionHidden(column))
            continue;
        ++shown;
        EXPECT_LE(header.sectionViewportPosition(column) + header.sectionSize(column), brief.viewport()->width())
            << brief.model()->headerData(column, Qt::Horizontal).toString().toStdString();
    }
    EXPECT_EQ(shown, CPacketListModel::kLatency + 1);
    EXPECT_EQ(brief.horizontalScrollBar()->maximum(), 0);
}

TEST(HexText, EachRefusalInTheDialogsWords) {
    const struct {
        const char* text;
        QByteArray bytes; // empty: refused
        const char* message;
    } cases[] = {
        {"00 0a\tFF\n7f", QByteArray::fromHex("000aff7f"), ""},
        {"001", {}, "'001' at position 1 is not whole bytes: every byte takes two hex digits."},
        {"00 x1", {}, "'x' at position 4 is not a hex digit."},
        {"0x", {}, "'0x' at position 1 is not whole bytes: every byte takes two hex digits."},
        {" \n", {}, "Type or paste the PDU as hex digits, for example 00 00 00 10 00 00 00 15."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        hex_text::ParseError error;
        const std::optional<QByteArray> bytes = hex_text::Parse(QString::fromUtf8(c.text), &error);
        EXPECT_EQ(bytes.value_or(QByteArray()), c.bytes);
        EXPECT_EQ(error.message.toStdString(), c.message);
    }
}

TEST_F(MainFrameTest, DecodeAsStoresItsPortsOnOkOnly) {
    CMainFrame& frame = Start();
    QSettings().setValue("Setup/DecodeAs", "9000=sgip;bad;7000=nothing");
    AnswerModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CDecodeAsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->List()->topLevelItemCount(), 1) << "unreadable entries are left out";
        EXPECT_EQ(dialog->List()->topLevelItem(0)->text(1), "SGIP");
        const auto add = [dialog](const char* port, const char* protocol) {
            dialog->PortBox()->selectAll();
            QTest::keyClicks(dialog->PortBox(), port);
            dialog->ProtocolBox()->setCurrentIndex(dialog->ProtocolBox()->findText(protocol));
            QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        };
        add("65535", "CMPP3"); // the last port there is
        dialog->PortBox()->selectAll();
        QTest::keyClicks(dialog->PortBox(), "2775");
        dialog->ProtocolBox()->setCurrentIndex(dialog->ProtocolBox()->findText("TEST"));
        QTest::keyClick(dialog->PortBox(), Qt::Key_Return); // adds; the dialog stays
        ASSERT_TRUE(dialog->isVisible());
        ASSERT_EQ(dialog->List()->topLevelItemCount(), 3);
        EXPECT_EQ(dialog->List()->topLevelItem(0)->text(1), "TEST") << "rows in port order";
        EXPECT_EQ(dialog->List()->currentItem(), dialog->List()->topLevelItem(0)) << "the row just added";
        EXPECT_TRUE(dialog->RemoveButton()->isEnabled());
        add("2775", "SMGP3"); // the same port again changes its protocol
        dialog->List()->setCurrentItem(dialog->List()->topLevelItem(1)); // 9000
        EXPECT_EQ(dialog->PortBox()->value(), 9000) << "the fields show the row picked";
        EXPECT_EQ(dialog->ProtocolBox()->currentText(), "SGIP");
        QTest::mouseClick(dialog->RemoveButton(), Qt::LeftButton);
        EXPECT_FALSE(dialog->RemoveButton()->isEnabled());
        dialog->accept();
    });
    Command("DecodeAs")->trigger();
    EXPECT_EQ(QSettings().value("Setup/DecodeAs").toString(), "2775=smgp3;65535=cmpp3");
    EXPECT_EQ(CSettings().DecodeAs(), (pcap::DecodeAsTable{{2775, 9}, {65535, 4}}));

    AnswerModal([](QWidget* modal) {
        auto* dialog = static_cast<CDecodeAsDialog*>(modal);
        QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        dialog->reject();
    });
    Command("DecodeAs")->trigger();
    EXPECT_EQ(QSettings().value("Setup/DecodeAs").toString(), "2775=smgp3;65535=cmpp3") << "Cancel writes nothing";

    // An Open that skipped a stream on a port no protocol is known on offers, in its sum-up, to name it.
    CPacketLog& log = m_app->Simulator().Log();
    const Bytes active = test_bytes::Pdu12(0x00000008, 1); // CMPP active_test on port 9999
    ASSERT_TRUE(log.AddCaptured(1, 0, 0x0A000105, 40001, {0x0A000001, 9999}, active.data(), uint32_t(active.size())));
    QTemporaryDir folder;
    std::string error;
    ASSERT_TRUE(pcap::ExportLog(log, folder.filePath("unknown.pcap").toStdString(), error)) << error;
    ASSERT_TRUE(log.Reset());
    frame.ImportCapture(folder.filePath("unknown.pcap"));
    QMessageBox* summary = ImportSummary(frame);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->icon(), QMessageBox::Warning);
    QPushButton* decodeAs = test_qt::Button(*summary, "&Decode as...");
    ASSERT_NE(decodeAs, nullptr) << summary->informativeText().toStdString();
    bool asked = false;
    decodeAs->click(); // the dialog opens on the next turn, the answer after it
    AnswerModal([&asked](QWidget* modal) {
        asked = qobject_cast<CDecodeAsDialog*>(modal) != nullptr;
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked; }));

    // A file cut short inside its last frame is read as far as it goes, and said with a warning too.
    ASSERT_TRUE(log.Reset());
    const Bytes enquire = test_bytes::SmppPdu(0x00000015, 2);
    ASSERT_TRUE(log.AddCaptured(2, 0, 0x0A000105, 40001, {0x0A000001, 2775}, enquire.data(), uint32_t(enquire.size())));
    QFile cut(folder.filePath("cut.pcap"));
    ASSERT_TRUE(pcap::ExportLog(log, cut.fileName().toStdString(), error)) << error;
    ASSERT_TRUE(cut.resize(cut.size() - 4));
    ASSERT_TRUE(log.Reset());
    frame.ImportCapture(cut.fileName());
    QMessageBox* cutShort = ImportSummary(frame);
    ASSERT_NE(cutShort, nullptr);
    EXPECT_EQ(cutShort->icon(), QMessageBox::Warning) << cutShort->informativeText().toStdString();
}

TEST_F(MainFrameTest, MobilePhoneOpensPhonesAndTheOnlineListComposesForItsConnection) {
    CMainFrame& frame = Start();
    QAction* phone = Command("MobilePhone");
    ASSERT_TRUE(phone->isEnabled());
    phone->trigger();
    phone->trigger();
    const QList<CMobilePhone*> phones = frame.findChildren<CMobilePhone*>();
    ASSERT_EQ(phones.size(), 2) << "several phones at once";
    phones[0]->NumberField()->setText("13700000007");
    phones[0]->LogIn();
    CMobileServer& mobile = m_app->Simulator().Mobile();
    ASSERT_TRUE(test_net::WaitUntil([&] { return mobile.LoggedInTerminals().size() == 1; }));

    // The mobile page's online list asks for a message to that one phone.
    constexpr int kMobileServerRow = 4; // "Mobile Server" in the navigation table
    auto* info = qobject_cast<CViewServerInfo*>(frame.Pane(kMobileServerRow));
    ASSERT_NE(info, nullptr);
    QString destination;
    AnswerModal([&destination](QWidget* modal) {
        auto* dialog = qobject_cast<CDeliverDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        destination = dialog->Entry().DestSystemIdText();
        dialog->reject();
    });
    emit info->QuickDeliverRequested(test_net::NthConnection(mobile, 0)->Id());
    EXPECT_EQ(destination, "13700000007");
}

// The UCP and the CIMD2 server have a page each: its start line in its console, its sessions in its online list.
TEST_F(MainFrameTest, TheTextServerPagesShowTheirConsoleAndTheirSessions) {
    CMainFrame& frame = Start();
    const struct {
        uint16_t protocol;
        CSocketServer& server;
        const char* startLine;
    } pages[] = {{protocol::kUcp, m_app->Simulator().Ucp(), "UCP server start ok! (port = "},
                 {protocol::kCimd2, m_app->Simulator().Cimd(), "CIMD2 server start ok! (port = "}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.startLine);
        const int row = int(std::find_if(navigation::kTable.begin(), navigation::kTable.end(), [&](const auto& r) {
                                return r.protocol == page.protocol;
                            }) - navigation::kTable.begin());
        auto* info = qobject_cast<CViewServerInfo*>(frame.Pane(row));
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(info->Console()->toPlainText().startsWith(page.startLine +
                                                              QString::number(page.server.ListeningPort()) + ")"));
        test_net::TestClient client;
        ASSERT_TRUE(client.Connect(page.server.ListeningPort()));
        EXPECT_TRUE(test_net::WaitUntil([&] { return info->OnlineList()->Model()->rowCount() == 1; }));
    }
}

// The online list's "Show this connection only" narrows the decoder page to it; "Traffic generator..." offers the
// bound ESMEs, the first unless a name was typed, and its job runs to Done or is stopped.
TEST_F(MainFrameTest, TheOnlineListNarrowsTheDecoderAndTheGeneratorOffersTheBoundEsmes) {
    CMainFrame& frame = Start();
    CSmppServer& smpp = m_app->Simulator().Smpp();
    test_net::TestClient clients[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(clients[i].Connect(smpp.ListeningPort()));
        clients[i].Send(SmppPdu(i ? protocol::smpp::kBindTransceiver : protocol::smpp::kBindReceiver, 1,
                                Builder().cstr(i ? "rx2" : "rx1").cstr("pw").cstr("").u8(0x34).u8(1).u8(1).cstr("")));
        ASSERT_TRUE(clients[i].NextPdu().has_value());
    }
    auto* decoder = qobject_cast<CViewLog*>(frame.Pane(navigation::kDecoderRow));
    ASSERT_TRUE(test_net::WaitUntil([&] { return decoder->Brief()->Proxy()->rowCount() == 4; }));
    CViewServerInfoOnlineClient& online = *qobject_cast<CViewServerInfo*>(frame.Pane(2))->OnlineList();
    online.List()->selectRow(1);
    online.findChild<QAction*>("ShowConnection")->trigger();
    EXPECT_EQ(frame.LeftView()->CurrentRow(), navigation::kDecoderRow);
    EXPECT_TRUE(test_net::WaitUntil([&] { return decoder->Brief()->Proxy()->rowCount() == 2; }));

    Command("TrafficGenerator")->trigger();
    auto* dialog = frame.findChild<CGeneratorDialog*>();
    ASSERT_TRUE(dialog && QTest::qWaitFor([dialog] { return QGuiApplication::focusWindow() == dialog->windowHandle(); }));
    auto* systemId = dialog->findChild<QComboBox*>("systemId");
    ASSERT_EQ(systemId->count(), 2);
    EXPECT_EQ(systemId->itemText(1), "rx2");
    EXPECT_EQ(systemId->currentText(), "rx1");
    QLabel* state = dialog->findChild<QLabel*>("state");
    dialog->findChild<QSpinBox*>("rate")->setValue(1); // far from filling the window before Stop
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->text() == "Running"; })); // a mnemonic clicks a moment later
    EXPECT_FALSE(test_qt::Button(*dialog, "S&tart")->isEnabled()) << "one job at a time";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->text() == "Stopped: stopped by the user"; }));

    systemId->setCurrentText("rx2");
    dialog->findChild<QSpinBox*>("count")->setValue(1);
    Command("TrafficGenerator")->trigger();
    EXPECT_EQ(systemId->currentText(), "rx2") << "a typed name stays";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    const std::optional<Bytes> deliver = clients[1].NextPdu();
    ASSERT_TRUE(deliver.has_value());
    const uint32_t sequence = uint32_t((*deliver)[12]) << 24 | (*deliver)[13] << 16 | (*deliver)[14] << 8 | (*deliver)[15];
    clients[1].Send(SmppPdu(protocol::smpp::kDeliverSmResp, sequence, Builder().cstr("")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->text() == "Done"; }));
    EXPECT_EQ(dialog->findChild<QLabel*>("sent")->text(), "1 of 1");
    EXPECT_EQ(dialog->findChild<QLabel*>("answered")->text(), "1");
    EXPECT_EQ(dialog->findChild<QLabel*>("errors")->text(), "0");
}

} // namespace
