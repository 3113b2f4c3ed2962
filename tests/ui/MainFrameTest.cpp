// The window's start-up, navigation, commands and close prompt, driven as a user would.
#include "tests/support/WidgetTestEnv.h"
#include "tests/support/TestClient.h"

#include "ui/DeliverDialog.h"
#include "ui/FilterDialog.h"
#include "ui/Icons.h"
#include "ui/LeftView.h"
#include "ui/MainFrame.h"
#include "ui/MobilePhone.h"
#include "ui/PelmoraApp.h"
#include "ui/PelmoraView.h"
#include "ui/ViewLog.h"
#include "ui/ViewServerInfo.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

const std::string kAllOnes(30, '1');

SimulatorOptions LoopbackOnFreePorts() {
    return {0, 0, QHostAddress(QHostAddress::LocalHost)};
}

// Calls answer with the modal window once the event loop of exec() runs.
void AnswerModal(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr) << "no modal window to answer";
        answer(modal);
    });
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

    // The tree: every row under its parent, "Console" open, nothing selected, servers running.
    const struct {
        int row, parent;
        const char* name;
        int icon;
    } nodes[] = {{0, -1, "Console", 145},         {1, 0, "SMPP Decoder", 147},  {2, 0, "Tarnwick", 144},
                 {3, 2, "Deliver short message", 146}, {4, 0, "Mobile Server", 144}, {5, 4, "Deliver short message", 146}};
    CLeftView* tree = frame.LeftView();
    for (const auto& n : nodes) {
        SCOPED_TRACE(n.name);
        ASSERT_NE(tree->Node(n.row), nullptr);
        EXPECT_EQ(tree->Node(n.row)->text(0), n.name);
        EXPECT_EQ(tree->Node(n.row)->parent(), tree->Node(n.parent));
        EXPECT_EQ(ImageOf(n.row), icons::NavigationIndex(n.icon));
    }
    EXPECT_TRUE(tree->Node(0)->isExpanded());
    EXPECT_TRUE(tree->selectedItems().isEmpty());
    EXPECT_EQ(tree->CurrentRow(), 0);
    EXPECT_EQ(frame.CurrentPane(), frame.OverviewView());

    // The overview list: the three components under "Console", in report style.
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
        {"Mobile Server", "The server can forward short message between SMSC and mobile phone simulator."}};
    ASSERT_EQ(model->rowCount(), 3);
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), rows[0][column]);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(model->item(i, column)->text(), rows[i + 1][column]);
    }
    EXPECT_FALSE(Command("Up")->isEnabled());
}

TEST_F(MainFrameTest, OnlyAStoredFilterOfExactlyThirtyCharactersIsUsed) {
    const struct {
        const char* name;
        std::string stored, used;
    } cases[] = {
        {"29 characters", std::string(29, '0'), kAllOnes},
        {"30 characters, used whatever they are", "0x1" + std::string(27, '0'), "0x1" + std::string(27, '0')},
        {"31 characters", std::string(31, '0'), kAllOnes},
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
    QAbstractItemView* view = frame.OverviewView()->ItemView();
    const QModelIndex decoder = frame.OverviewView()->Model()->index(0, 0);
    const QPoint at = view->visualRect(decoder).center();
    // A widget double-click in Qt Test is the second click alone; the first comes before it.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(frame.LeftView()->CurrentRow(), 1);
    EXPECT_EQ(frame.CurrentPane(), frame.ViewLog());
    EXPECT_EQ(frame.LeftView()->currentItem(), frame.LeftView()->Node(1));
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
}

TEST_F(MainFrameTest, ViewStylesActOnTheOverviewOnlyWhileItIsShown) {
    CMainFrame& frame = Start();
    CPelmoraView* overview = frame.OverviewView();
    const struct {
        const char* command;
        CPelmoraView::Style style;
        bool list, lineUp;
    } cases[] = {
        {"LargeIcon", CPelmoraView::Style::LargeIcon, true, true},
        {"SmallIcon", CPelmoraView::Style::SmallIcon, true, true},
        {"List", CPelmoraView::Style::List, true, false},
        {"Details", CPelmoraView::Style::Details, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Command(c.command)->trigger();
        EXPECT_EQ(overview->GetStyle(), c.style);
        EXPECT_TRUE(Command(c.command)->isChecked());
        EXPECT_EQ(qobject_cast<QListView*>(overview->ItemView()) != nullptr, c.list);
        EXPECT_EQ(Command("LineUp")->isEnabled(), c.lineUp);
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

TEST_F(MainFrameTest, APortInUseLeavesThatServerStoppedAndStartsTheOther) {
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::LocalHost, 0));
    SimulatorOptions options = LoopbackOnFreePorts();
    options.smppPort = occupier.serverPort();
    Start(options);
    EXPECT_TRUE(m_app->Simulator().Mobile().IsRunning());
    EXPECT_EQ(ImageOf(2), icons::NavigationIndex(143));
    EXPECT_EQ(ImageOf(4), icons::NavigationIndex(144));
    const QStandardItem* tarnwick = Frame().OverviewView()->Model()->item(1, 0);
    EXPECT_EQ(tarnwick->data(CPelmoraView::kImageRole).toInt(), icons::NavigationIndex(143));
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
    emit info->QuickDeliverRequested(mobile.GetConnectionId(0));
    EXPECT_EQ(destination, "13700000007");
}

} // namespace
