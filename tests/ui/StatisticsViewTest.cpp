// The "Statistics" page under "Console": an ESME's session over loopback in its tables, summary and
// charts, reached and exported from the keyboard.
#include "tests/support/WidgetTestEnv.h"

#include "tests/support/Bytes.h"
#include "tests/support/TestClient.h"
#include "ui/LeftView.h"
#include "ui/MainFrame.h"
#include "ui/Navigation.h"
#include "ui/PelmoraApp.h"
#include "ui/StatisticsModel.h"
#include "ui/StatisticsView.h"

#include <QAbstractItemModelTester>
#include <QBarSet>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;

QStringList Rows(const QTableView* table) {
    QStringList rows;
    const QAbstractItemModel* model = table->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells.join(' ');
    }
    return rows;
}

class StatisticsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_qt::ClearSettings();
        m_app = std::make_unique<CPelmoraApp>(SimulatorOptions{0, 0, 0, 0, QHostAddress(QHostAddress::LocalHost)});
        m_app->InitInstance();
    }
    // Alt+key on the focused widget; a button so pressed clicks once it comes up.
    void Alt(char key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Page().ExportButton()->isDown(); }));
    }
    CStatisticsView& Page() {
        return *qobject_cast<CStatisticsView*>(m_app->MainFrame()->Pane(navigation::kStatisticsRow));
    }

    std::unique_ptr<CPelmoraApp> m_app;
};

TEST_F(StatisticsViewTest, ShowsTheSessionAndExportsBothTables) {
    CMainFrame& frame = *m_app->MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTreeWidgetItem* node = frame.LeftView()->Node(navigation::kStatisticsRow);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(0), "Statistics");
    EXPECT_EQ(node->parent(), frame.LeftView()->Node(navigation::kConsoleRow));
    frame.SelectRow(navigation::kStatisticsRow);
    ASSERT_EQ(frame.CurrentPane(), &Page());
    CStatisticsView& page = Page();
    QAbstractItemModelTester commandsTester(page.Commands()->model());
    QAbstractItemModelTester statusesTester(page.Statuses()->model());
    EXPECT_EQ(page.ExportButton()->text().remove('&'), "Export CSV...");

    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(m_app->Simulator().Smpp().ListeningPort()));
    esme.Send(SmppPdu(0x00000009, 1, Builder().cstr("esme").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr("")));
    ASSERT_TRUE(esme.NextPdu());
    const auto submit = Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(1).cstr("2").u8(0).u8(0).u8(0).cstr("")
                            .cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi").bytes();
    for (uint32_t sequence : {2u, 3u}) {
        esme.Send(SmppPdu(0x00000004, sequence, submit));
        ASSERT_TRUE(esme.NextPdu());
    }
    esme.Send(SmppPdu(0x00000777, 4));
    ASSERT_TRUE(esme.NextPdu());
    // A submit_sm opened from a capture file: in its own column, in no rate.
    const std::vector<uint8_t> opened = SmppPdu(0x00000004, 9, submit);
    ASSERT_TRUE(m_app->Simulator().Log().AddCaptured(2, 0, 0x0A000001, 40000, {0x0A000002, 2775}, opened.data(),
                                                     uint32_t(opened.size()), CPacketLog::NewConnectionId()));

    // The page redraws by itself, once a second; the test's clock turns faster.
    const QList<QTimer*> timers = page.findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
    const auto clock = std::find_if(timers.begin(), timers.end(), [](QTimer* t) { return t->isActive(); });
    ASSERT_NE(clock, timers.end());
    EXPECT_EQ((*clock)->interval(), 1000);
    (*clock)->setInterval(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.Summary()->text().contains("Opened from capture files: 1 PDUs"); }));
    EXPECT_EQ(Rows(page.Commands()), (QStringList{"SMPP bind_transceiver 1 0 0", "SMPP bind_transceiver_resp 0 1 0",
                                                  "SMPP submit_sm 2 0 1", "SMPP submit_sm_resp 0 2 0",
                                                  "SMPP 0x00000777 1 0 0", "SMPP generic_nack 0 1 0"}));
    EXPECT_EQ(Rows(page.Statuses()), (QStringList{"SMPP ESME_ROK 0 3 0", "SMPP ESME_RINVCMDID 0 1 0"}));
    // The titles and tool tips say which way a count's PDUs went, and what each table's names are.
    const auto header = [](const QTableView* table, int column, int role = Qt::ToolTipRole) {
        return table->model()->headerData(column, Qt::Horizontal, role).toString();
    };
    EXPECT_EQ(header(page.Commands(), CStatisticsModel::kName, Qt::DisplayRole), "Command");
    EXPECT_EQ(header(page.Statuses(), CStatisticsModel::kName, Qt::DisplayRole), "Status");
    EXPECT_EQ(header(page.Commands(), CStatisticsModel::kIn), "Received by the simulator");
    EXPECT_EQ(header(page.Statuses(), CStatisticsModel::kOut), "Sent by the simulator");
    EXPECT_EQ(header(page.Commands(), CStatisticsModel::kName), "The command");
    EXPECT_EQ(header(page.Statuses(), CStatisticsModel::kName), "The command_status of answers");
    const std::string summary = page.Summary()->text().toStdString();
    EXPECT_NE(summary.find("Tarnwick's answers: p50 "), std::string::npos) << summary;
    EXPECT_NE(summary.find("(4 answers).\nResponse latency of the ESMEs' answers: "), std::string::npos) << summary;
    EXPECT_NE(summary.find(" (0 answers).\nQueues: "), std::string::npos) << "the ESME answered nothing: " << summary;
    EXPECT_NE(summary.find("Opened from capture files: 1 PDUs"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Unanswered requests: 0."), std::string::npos) << "Tarnwick asked nothing: " << summary;
    EXPECT_NE(summary.find(" 0.2 (10 s), 0.0 (60 s)."), std::string::npos) << "two submit_sm: " << summary;
    ASSERT_EQ(page.RateSeries()->count(), 300);
    EXPECT_EQ(page.RateSeries()->at(299).x(), 0) << "the newest second is 0 seconds ago";
    double submits = 0;
    for (int second = 0; second < 300; ++second)
        submits += page.RateSeries()->at(second).y();
    EXPECT_EQ(submits, 2);
    double answers = 0;
    for (int bucket = 0; bucket < page.LatencyBars(CStatistics::Answerer::Tarnwick)->count(); ++bucket)
        answers += page.LatencyBars(CStatistics::Answerer::Tarnwick)->at(bucket);
    EXPECT_EQ(answers, 4);

    // Each refresh tells the views of every count column, the last included.
    QSignalSpy changed(page.Commands()->model(), &QAbstractItemModel::dataChanged);
    page.Refresh();
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last().at(1).toModelIndex().column(), page.Commands()->model()->columnCount() - 1);

    // The labels lead to their tables; Export CSV... writes what the tables show.
    page.Statuses()->setFocus();
    Alt('c');
    EXPECT_EQ(QApplication::focusWidget(), page.Commands());
    Alt('s');
    EXPECT_EQ(QApplication::focusWidget(), page.Statuses());
    QTemporaryDir dir;
    const QString path = dir.filePath("statistics.csv");
    QFile old(path); // chosen over a longer file of an earlier export: replaced, not added to
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4096, 'x')) == 4096);
    old.close();
    page.SetFileChooser([&](QWidget*) { return path; });
    Alt('x');
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "kind,protocol,name,in,out,opened\n"
                                            "command,SMPP,bind_transceiver,1,0,0\n"
                                            "command,SMPP,bind_transceiver_resp,0,1,0\n"
                                            "command,SMPP,submit_sm,2,0,1\n"
                                            "command,SMPP,submit_sm_resp,0,2,0\n"
                                            "command,SMPP,0x00000777,1,0,0\n"
                                            "command,SMPP,generic_nack,0,1,0\n"
                                            "status,SMPP,ESME_ROK,0,3,0\n"
                                            "status,SMPP,ESME_RINVCMDID,0,1,0\n");

    // A reset empties the tables at the next refresh.
    m_app->Simulator().Statistics().Reset();
    page.Refresh();
    EXPECT_EQ(Rows(page.Commands()), QStringList());
    EXPECT_EQ(Rows(page.Statuses()), QStringList());
}

} // namespace
