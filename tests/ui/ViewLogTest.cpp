// The "SMPP Decoder" page: rows from the capture log, the shown record, highlights, clearing and hex geometry.
#include "tests/support/WidgetTestEnv.h"

#include "simulator/Simulator.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestClient.h"
#include "decoder/tables/FieldNames.h"
#include "ui/FieldColumnDialog.h"
#include "ui/FilterLine.h"
#include "ui/FindBar.h"
#include "ui/GoToDialog.h"
#include "ui/PacketFilterProxy.h"
#include "ui/PacketListModel.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"
#include "ui/ViewLogHex.h"
#include "ui/ViewLogParticular.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardItemModel>
#include <QTableView>
#include <QCompleter>
#include <QLabel>
#include <QTreeWidgetItem>
#include <QLineEdit>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QScrollBar>
#include <QSpinBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// Readable failure messages for texts of the list and the hex view.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint32_t kCaptureTime = 1'700'000'123; // 2023-11-14 22:15:23 UTC (ctest runs with TZ=UTC)

int64_t CaptureTime() { return int64_t(kCaptureTime) * 1000000 + 345'678; } // the record keeps the second

Bytes SubmitSm(uint32_t sequence, const char* destination = "67890", const std::string& text = "Hi",
               uint8_t esmClass = 0) {
    return SmppPdu(0x00000004, sequence,
                   Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr(destination).u8(esmClass).u8(0).u8(0)
                       .cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(uint8_t(text.size())).raw(text));
}

QByteArray AsQt(const Bytes& bytes) { return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())); }

// Lets the queued insertion of new rows run.
void NextTurn() { QCoreApplication::processEvents(); }

QString Cell(const QAbstractItemModel& model, int row, int column, int role = Qt::DisplayRole) {
    return model.data(model.index(row, column), role).toString();
}

void Click(QAbstractItemView& view, const QModelIndex& index) {
    view.scrollTo(index);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
}

class ViewLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.Reset();
        log.SetTimeSource(CaptureTime);
        view.resize(900, 700);
        view.show();
    }

    // Stores pdu as the log stores a PDU of that protocol from 127.0.0.1:port; returns the record.
    Bytes Add(uint16_t protocol, const Bytes& pdu, uint16_t port = 5018) {
        EXPECT_TRUE(log.AddPacket(protocol, kLoopback, port, pdu.data(), uint32_t(pdu.size()), 9));
        return test_bytes::CaptureRecord(protocol, pdu, kCaptureTime, kLoopback, port);
    }

    CViewLogBrief& Brief() { return *view.Brief(); }
    CViewLogParticular& Tree() { return *view.Particular(); }
    CViewLogHex& Hex() { return *view.Hex(); }
    const CPacketListModel& Model() { return *Brief().Model(); }

    // Each test's list starts from the default columns, whatever an earlier one left saved.
    const bool freshSettings = (test_qt::ClearSettings(), true);
    CPacketLog log;
    CPacketDecoder decoder;
    CPacketPairs pairs{log, decoder};
    CViewLog view{log, decoder, pairs};
};

TEST(ViewLogTraffic, SmppExchangeFromALoopbackClientListsWithItsColumns) {
    CSimulator simulator({0, 0, 0, 0, QHostAddress(QHostAddress::LocalHost)});
    CViewLog view(simulator.Log(), simulator.Decoder(), simulator.Pairs());
    simulator.Start();
    simulator.Log().SetTimeSource(CaptureTime);
    const uint16_t port = simulator.Smpp().ListeningPort();
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(port));
    const Bytes bind = SmppPdu(0x00000002, 1, Builder().cstr("esme").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
    esme.Send(Builder().raw(bind).raw(SubmitSm(2)).bytes());
    const QAbstractItemModel& model = *view.Brief()->Model();
    ASSERT_TRUE(test_net::WaitUntil([&] { return model.rowCount() == 4; }));

    const QString client = QString::number(esme.LocalPort());
    const QString server = QString::number(port);
    const QString response = QString::number(16 + 16 + 7); // header, "000000" and its NUL, capture header
    const QStringList expected[] = {
        {"1", "127.000.000.001", client, "SMPP:bind_transmitter", QString::number(16 + bind.size())},
        {"2", "127.000.000.001", server, "SMPP:bind_transmitter_resp", QString::number(16 + 16 + 5 + 5)}, // + interface version
        {"3", "127.000.000.001", client, "SMPP:submit_sm", QString::number(16 + SubmitSm(2).size())},
        {"4", "127.000.000.001", server, "SMPP:submit_sm_resp", response},
    };
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        for (int column = 0; column < 5; ++column)
            EXPECT_EQ(Cell(model, row, column), expected[row][column]) << column;
        EXPECT_EQ(Cell(model, row, CPacketListModel::kTime), "2023-11-14 22:15:23.345");
        EXPECT_FALSE(model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().isNull());
    }
    EXPECT_EQ(view.Brief()->SelectedIndex(), 0);
}

// A session whose answers come late, fail or never come: each row says so, its request and answer
// lead to each other, and the display filter narrows the list to what went wrong.
TEST(ViewLogTraffic, AnswersShowTheirStatusAndLatencyAndTheFilterNarrowsTheList) {
    CSimulator simulator({0, 0, 0, 0, QHostAddress(QHostAddress::LocalHost)});
    FaultRule throttled, dropped;
    throttled.destination = "^888";
    throttled.status = 0x58;
    dropped.destination = "^999";
    dropped.action = FaultAction::Drop;
    simulator.UseFaultRules({throttled, dropped});
    CViewLog view(simulator.Log(), simulator.Decoder(), simulator.Pairs());
    QSignalSpy counts(&view, &CViewLog::CountsChanged);
    view.resize(900, 700);
    view.show();
    simulator.Start();
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(simulator.Smpp().ListeningPort()));
    const Bytes bind = SmppPdu(0x00000009, 1, Builder().cstr("esme").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
    esme.Send(Builder().raw(bind).raw(SubmitSm(2)).raw(SubmitSm(3, "88800")).raw(SubmitSm(4, "99900")).bytes());
    const QAbstractItemModel& model = *view.Brief()->Model();
    ASSERT_TRUE(test_net::WaitUntil([&] { return model.rowCount() == 7; }));

    // Records: 0 bind, 1 its answer, 2 submit, 3 its answer, 4 throttled submit, 5 its answer, 6 dropped submit.
    const QString expected[7] = {"", "", "", "", "ESME_RTHROTTLED", "ESME_RTHROTTLED", ""};
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Cell(model, row, CPacketListModel::kStatus), expected[row]);
        EXPECT_TRUE(QRegularExpression(R"(^\d+\.\d{3}$)").match(Cell(model, row, CPacketListModel::kLatency)).hasMatch())
            << "milliseconds to the microsecond";
        EXPECT_EQ(model.data(model.index(row, 0), Qt::ForegroundRole).isValid(), row >= 4);
        EXPECT_EQ(model.data(model.index(row, CPacketListModel::kStatus), Qt::DecorationRole).isValid(), row >= 4);
    }
    EXPECT_EQ(Cell(model, 6, CPacketListModel::kStatus), "") << "an answer may still come";
    EXPECT_EQ(Cell(model, 1, CPacketListModel::kLatency), Cell(model, 0, CPacketListModel::kLatency));
    // A filter on time terms reads the rows again as time passes: the dropped submit turns unanswered.
    view.FilterLine()->setText("unanswered");
    QTest::keyClick(view.FilterLine(), Qt::Key_Return);
    EXPECT_EQ(view.Brief()->model()->rowCount(), 0);
    simulator.Pairs().SetClock([] { return int64_t(4'000'000'000) * 1'000'000; });
    EXPECT_TRUE(test_net::WaitUntil([&] { return view.Brief()->model()->rowCount() == 1; }));
    EXPECT_EQ(Cell(model, 6, CPacketListModel::kStatus), "no answer");
    EXPECT_FALSE(model.data(model.index(6, CPacketListModel::kStatus), Qt::DecorationRole).value<QIcon>().isNull());

    CViewLogBrief& brief = *view.Brief();
    for (const auto& [response, request] : {std::pair{5, 4}, std::pair{1, 0}}) { // 1: its request the first record
        brief.SelectRecord(response);
        ASSERT_TRUE(brief.GoToPartnerAction()->isEnabled()) << response;
        brief.GoToPartnerAction()->trigger();
        EXPECT_EQ(brief.SelectedIndex(), request);
    }
    brief.SelectRecord(6);
    EXPECT_FALSE(brief.GoToPartner());
    EXPECT_FALSE(brief.GoToPartnerAction()->isEnabled()) << "no answer to go to";

    const struct {
        const char* filter;
        int rows;
    } filters[] = {{"error", 3}, {"unanswered", 1}, {"submit_sm !error", 1}, {"", 7}};
    for (const auto& f : filters) {
        SCOPED_TRACE(f.filter);
        view.FilterLine()->setText(f.filter);
        QTest::keyClick(view.FilterLine(), Qt::Key_Return);
        EXPECT_EQ(brief.model()->rowCount(), f.rows);
        EXPECT_EQ(counts.last(), (QVariantList{f.rows, 7}));
    }
    // A term the filter does not know: the line says why, the rows stay.
    view.FilterLine()->setText("error bogus");
    QTest::keyClick(view.FilterLine(), Qt::Key_Return);
    EXPECT_TRUE(view.FilterLine()->toolTip().contains("bogus")) << view.FilterLine()->toolTip().toStdString();
    EXPECT_FALSE(view.FilterLine()->styleSheet().isEmpty());
    EXPECT_EQ(brief.model()->rowCount(), 7);
    QTest::keyClick(view.FilterLine(), Qt::Key_Escape);
    EXPECT_TRUE(view.FilterLine()->text().isEmpty());
    EXPECT_TRUE(view.FilterLine()->toolTip().isEmpty());

    // "Show this connection only" narrows to the ESME's connection, which carried all seven.
    brief.SelectRecord(2);
    brief.ConnectionAction()->trigger();
    EXPECT_EQ(view.FilterLine()->text(), QString("conn:%1").arg(simulator.Log().SummaryAt(2).connection));
    EXPECT_EQ(brief.model()->rowCount(), 7);
}

TEST_F(ViewLogTest, DescriptionNamesTheProtocolAndTheCommand) {
    struct Case {
        const char* name;
        uint16_t protocol;
        Bytes pdu;
        QString description;
        bool icon;
    };
    const Case cases[] = {
        {"SMPP response", 2, SmppPdu(0x80000004, 1, Builder().cstr("000000")), "SMPP:submit_sm_resp", true},
        {"SMPP command without a name", 2, SmppPdu(0x000000FF, 1), "SMPP:未知", true},
        {"TEST login", 8, test_bytes::Pdu12(0x00001001, 1), "TEST:登录请求", true},
        {"CMPP3 shares the CMPP names", 4, test_bytes::Pdu12(0x80000004, 1), "CMPP3:提交短信应答", true},
        {"protocol code 5", 5, SmppPdu(0x00000004, 1), "未知:未知", false},
        {"PDU too short for a command id", 2, {0, 0, 0, 4}, "SMPP:未知", true},
    };
    for (const Case& c : cases)
        Add(c.protocol, c.pdu);
    NextTurn();
    for (int row = 0; row < int(std::size(cases)); ++row) {
        SCOPED_TRACE(cases[row].name);
        EXPECT_EQ(Cell(Model(), row, CPacketListModel::kDescription), cases[row].description);
        EXPECT_EQ(!Model().data(Model().index(row, 0), Qt::DecorationRole).value<QIcon>().isNull(), cases[row].icon);
        EXPECT_FALSE(Model().data(Model().index(row, CPacketListModel::kDescription), Qt::DecorationRole).isValid());
    }
    // Seq centred, names from the left, the latencies' decimals lined up on the right.
    const auto alignment = [&](int column) {
        return Model().index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(CPacketListModel::kSeq), Qt::AlignHCenter);
    EXPECT_EQ(alignment(CPacketListModel::kDescription), Qt::AlignLeft);
    EXPECT_EQ(alignment(CPacketListModel::kLatency), Qt::AlignRight);
    for (const int column : {CPacketListModel::kSeq, CPacketListModel::kLatency}) // each title over its cells
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                  Model().index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>());
}

TEST_F(ViewLogTest, RowsArriveInOneInsertionPerTurn) {
    QAbstractItemModelTester tester(Brief().Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(Brief().Model(), &QAbstractItemModel::rowsInserted);
    for (uint32_t i = 0; i < 100; ++i)
        Add(2, SmppPdu(0x00000015, i));
    EXPECT_EQ(Model().rowCount(), 0) << "rows wait for the next turn";
    NextTurn();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 99);

    // A wipe inside a turn drops what was pending: only records stored after it become rows.
    Add(2, SmppPdu(0x00000015, 100));
    log.Reset();
    EXPECT_EQ(Model().rowCount(), 0) << "a wipe empties the list at once";
    for (uint32_t i = 0; i < 3; ++i)
        Add(2, SmppPdu(0x00000015, i));
    NextTurn();
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 0);
    EXPECT_EQ(inserted[1][2].toInt(), 2);
    EXPECT_EQ(Model().rowCount(), 3);

    // An answer in a later turn: its request's row is told that its Status and Latency changed.
    QSignalSpy changed(Brief().Model(), &QAbstractItemModel::dataChanged);
    const Bytes enquire = SmppPdu(0x00000015, 7), answer = SmppPdu(0x80000015, 7);
    ASSERT_TRUE(log.AddPacket(2, kLoopback, 40000, enquire.data(), uint32_t(enquire.size()), 9, {kLoopback, 5018}, 5));
    NextTurn();
    log.SetTimeSource([] { return CaptureTime() + 2'500; });
    ASSERT_TRUE(log.AddPacket(2, kLoopback, 5018, answer.data(), uint32_t(answer.size()), 9, {kLoopback, 40000}, 5, true));
    NextTurn();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>(), Model().index(3, CPacketListModel::kStatus));
    EXPECT_EQ(changed[0][1].value<QModelIndex>(), Model().index(3, CPacketListModel::kLatency));
    EXPECT_EQ(Cell(Model(), 3, CPacketListModel::kLatency), "2.500") << "in milliseconds";
}

// Counts the paints a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ViewLogTest, NewRowsRepaintTheListOnlyWhenTheyAreOnScreen) {
    Brief().SetFollowing(false);
    PaintCounter counter;
    Brief().viewport()->installEventFilter(&counter);
    // Rows are inserted on one turn; the list lays them out and paints on the turns after.
    const auto addRows = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            Add(2, SmppPdu(0x00000015, i));
        for (int turn = 0; turn < 3; ++turn)
            NextTurn();
    };
    addRows(1);
    EXPECT_GT(counter.paints, 0) << "a row in the visible part must show up";
    addRows(199);
    addRows(1); // the stretched last column settles once the vertical scroll bar has come
    counter.paints = 0;
    const int scrollEnd = Brief().verticalScrollBar()->maximum();
    addRows(1);
    EXPECT_EQ(counter.paints, 0) << "a row below the visible ones changes only the scroll bar";
    EXPECT_EQ(Brief().verticalScrollBar()->maximum(), scrollEnd + 1);
}

TEST_F(ViewLogTest, FirstRecordIsShownAtOnceAndLaterOnesOnlyAddRows) {
    const Bytes first = Add(2, SubmitSm(1));
    NextTurn();
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_EQ(Hex().Bytes(), AsQt(first));
    ASSERT_EQ(Tree().topLevelItemCount(), 3); // capture header, SMPP header, submit_sm body
    EXPECT_EQ(Tree().topLevelItem(0)->text(0), "TCP: ----- Network base info -----");
    EXPECT_TRUE(Tree().topLevelItem(2)->isExpanded());
    const size_t lines = Tree().Lines().size();

    Add(2, SmppPdu(0x80000004, 1, Builder().cstr("000000")));
    NextTurn();
    EXPECT_EQ(Model().rowCount(), 2);
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_EQ(Hex().Bytes(), AsQt(first));
    EXPECT_EQ(Tree().Lines().size(), lines);
}

TEST_F(ViewLogTest, KeyboardAndClicksShowAnotherRecordButNotTheShownOneAgain) {
    Add(2, SubmitSm(1));
    const Bytes second = Add(2, SmppPdu(0x00000015, 2));
    const Bytes third = Add(8, test_bytes::Pdu12(0x00001001, 3));
    NextTurn();

    // A highlighted line survives a click on the shown row: the record is not decoded again.
    Click(Tree(), Tree().indexFromItem(Tree().topLevelItem(1)));
    ASSERT_EQ(Hex().Highlight(), (ByteRange{16, 16}));
    Click(Brief(), Brief().model()->index(0, CPacketListModel::kDescription));
    EXPECT_EQ(Hex().Highlight(), (ByteRange{16, 16}));
    EXPECT_EQ(Tree().currentItem(), Tree().topLevelItem(1));

    Brief().setFocus();
    QTest::keyClick(&Brief(), Qt::Key_Down);
    EXPECT_EQ(Brief().SelectedIndex(), 1);
    EXPECT_EQ(Hex().Bytes(), AsQt(second));
    EXPECT_TRUE(Hex().Highlight().IsEmpty());

    Click(Brief(), Brief().model()->index(2, CPacketListModel::kSeq));
    EXPECT_EQ(Brief().SelectedIndex(), 2);
    EXPECT_EQ(Hex().Bytes(), AsQt(third));
}

TEST_F(ViewLogTest, SelectedDecodeLineHighlightsTheBytesItCovers) {
    Add(2, SubmitSm(1));
    NextTurn();
    struct Case {
        const char* name;
        int group;
        int child; // -1: the group line itself
        ByteRange range;
    };
    const Case cases[] = {
        {"capture header group", 0, -1, {0, 16}},
        {"packet length", 0, 0, {0, 4}},
        {"source port", 0, 3, {12, 2}},
        {"SMPP header group", 1, -1, {16, 16}},
        {"command id", 1, 1, {20, 4}},
        {"source_addr", 2, 3, {35, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTreeWidgetItem* group = Tree().topLevelItem(c.group);
        Click(Tree(), Tree().indexFromItem(c.child < 0 ? group : group->child(c.child)));
        EXPECT_EQ(Hex().Highlight(), c.range);
    }
    EXPECT_EQ(Hex().CopyText(), "31 32 33 34 35 00");
}

TEST_F(ViewLogTest, ClickedByteSelectsTheDecodeLineThatCoversIt) {
    // Its text opens with a concatenation header, whose lines lie inside short_message's bytes.
    const Bytes record = Add(2, SubmitSm(1, "67890", std::string("\x05\x00\x03\x01\x02\x01" "Hi", 8), 0x40));
    NextTurn();
    struct Case {
        const char* name;
        qsizetype byte;
        int group, child;
        ByteRange range;
    };
    const Case cases[] = {
        {"first byte of the record", 0, 0, 0, {0, 4}},
        {"second byte of the source port", 13, 0, 3, {12, 2}},
        {"inside the command id", 22, 1, 1, {20, 4}},
        {"first byte of the command id, as wide as the length before it", 20, 1, 1, {20, 4}},
        {"last byte of source_addr", 40, 2, 3, {35, 6}},
        {"the same line again", 36, 2, 3, {35, 6}},
        {"inside the header's element: the narrowest line", 61, 2, 19, {60, 5}},
        {"the text behind the header", 66, 2, 17, {59, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mouseClick(Hex().viewport(), Qt::LeftButton, {}, Hex().ByteRect(c.byte).center());
        EXPECT_EQ(Tree().currentItem(), Tree().topLevelItem(c.group)->child(c.child));
        EXPECT_EQ(Hex().Highlight(), c.range);
    }
    // A drag still marks bytes of its own, across lines and backwards; jitter on the pressed byte keeps its line's.
    QTest::mousePress(Hex().viewport(), Qt::LeftButton, {}, Hex().ByteRect(21).center());
    QTest::mouseMove(Hex().viewport(), Hex().ByteRect(21).center() + QPoint(1, 0));
    EXPECT_EQ(Hex().Highlight(), (ByteRange{20, 4}));
    QTest::mouseMove(Hex().viewport(), Hex().ByteRect(18).center());
    QTest::mouseRelease(Hex().viewport(), Qt::LeftButton, {}, Hex().ByteRect(18).center());
    EXPECT_EQ(Hex().Highlight(), (ByteRange{18, 4}));
    QTest::keyClick(&Hex(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&Hex(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(AsQt(record).toHex(' ').toUpper()));
}

TEST_F(ViewLogTest, ClearContentEmptiesEveryPaneAndTheNextRecordIsShown) {
    QSignalSpy filter(&view, &CViewLog::SetFilterRequested);
    EXPECT_FALSE(Brief().ClearAction()->isEnabled());
    Add(2, SubmitSm(1));
    NextTurn();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10), Brief().viewport()->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(Brief().viewport(), &rightClick);
    ASSERT_TRUE(Brief().ContextMenu()->isVisible());
    EXPECT_FALSE(Brief().ConnectionAction()->isEnabled()) << "no connection carried the record";
    Brief().ContextMenu()->hide();
    Brief().FilterAction()->trigger();
    EXPECT_EQ(filter.count(), 1);

    ASSERT_TRUE(Brief().ClearAction()->isEnabled());
    Brief().ClearAction()->trigger();
    EXPECT_EQ(log.GetCount(), 0);
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_EQ(Brief().SelectedIndex(), -1);
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
    EXPECT_TRUE(Tree().Lines().empty());
    EXPECT_EQ(Hex().Bytes(), QByteArray(1, ' '));
    EXPECT_EQ(Hex().CopyText(), "00000000  20");
    EXPECT_FALSE(Brief().ClearAction()->isEnabled());

    const Bytes next = Add(2, SmppPdu(0x00000015, 7));
    NextTurn();
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_EQ(Hex().Bytes(), AsQt(next));
    EXPECT_EQ(Tree().topLevelItemCount(), 2);
}

// The display filter narrows the rows without losing the shown one; following keeps the newest
// rows in view until the user picks another row, and picking the last row takes it up again.
TEST_F(ViewLogTest, FilterKeepsTheShownRowAndFollowingTracksTheUsersChoice) {
    for (uint32_t i = 0; i < 6; ++i)
        Add(2, i % 2 ? SmppPdu(0x00000015, i) : SubmitSm(i));
    NextTurn();
    QAbstractItemModel& rows = *Brief().model();
    Click(Brief(), rows.index(2, 0));
    ASSERT_EQ(Brief().SelectedIndex(), 2);
    EXPECT_FALSE(Brief().IsFollowing()) << "a row that is not the last one stops following";
    ASSERT_TRUE(view.ApplyFilter("submit_sm"));
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(Brief().selectionModel()->currentIndex().row(), 1) << "record 2 is the second submit_sm";
    EXPECT_EQ(Brief().SelectedIndex(), 2);
    Tree().setCurrentItem(Tree().topLevelItem(1)->child(3));
    ASSERT_FALSE(Hex().Highlight().IsEmpty());
    ASSERT_TRUE(view.ApplyFilter("enquire_link"));
    EXPECT_EQ(Brief().SelectedIndex(), -1) << "a record the filter hides is not shown";
    EXPECT_FALSE(Brief().selectionModel()->hasSelection());
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
    EXPECT_EQ(Hex().Bytes(), QByteArray(1, ' ')) << "the hex view as Clear leaves it";
    EXPECT_TRUE(Hex().Highlight().IsEmpty());
    ASSERT_TRUE(view.ApplyFilter("seq:1"));
    EXPECT_EQ(Brief().SelectedIndex(), -1) << "nor is another row chosen for it";
    view.ApplyFilter({});
    EXPECT_EQ(Brief().SelectedIndex(), 2) << "a filter that lists it again shows it, selected";
    EXPECT_EQ(Brief().selectionModel()->currentIndex().row(), 2);
    EXPECT_EQ(Hex().Bytes().size(), qsizetype(16 + SubmitSm(2).size()));
    // Go to request shows a record the filter hides all the same; a new row the filter lists leaves it shown.
    ASSERT_TRUE(view.ApplyFilter("submit_sm"));
    Brief().SelectRecord(1);
    Add(2, SubmitSm(50));
    NextTurn();
    EXPECT_EQ(Brief().SelectedIndex(), 1);
    view.ApplyFilter({});
    Brief().SelectRecord(2);

    QScrollBar& scroll = *Brief().verticalScrollBar();
    const auto addRows = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            Add(2, SmppPdu(0x00000015, 100 + i));
        for (int turn = 0; turn < 3; ++turn)
            NextTurn();
    };
    addRows(100);
    EXPECT_LT(scroll.value(), scroll.maximum()) << "not following: the list stays where it was";
    QSignalSpy following(&Brief(), &CViewLogBrief::FollowingChanged);
    Brief().SetFollowInterval(0); // catches up on the next turn
    Brief().SetFollowing(true);
    EXPECT_EQ(scroll.value(), scroll.maximum()) << "following starts at the newest row";
    addRows(100);
    EXPECT_EQ(scroll.value(), scroll.maximum());
    EXPECT_EQ(Brief().SelectedIndex(), 2) << "following moves the view, not the selection";
    Click(Brief(), rows.index(rows.rowCount() - 1, 0));
    EXPECT_TRUE(Brief().IsFollowing());
    scroll.setValue(0);
    EXPECT_FALSE(Brief().IsFollowing()) << "scrolling up stops following";
    scroll.setValue(scroll.maximum());
    EXPECT_TRUE(Brief().IsFollowing()) << "and scrolling to the bottom takes it up";
    EXPECT_GE(following.count(), 3);
    scroll.setValue(0); // the shown row, the newest, out of sight
    ASSERT_TRUE(view.ApplyFilter("enquire_link"));
    EXPECT_TRUE(Brief().viewport()->rect().contains(Brief().visualRect(Brief().currentIndex()))) << "brought in sight";
}

// Typing a filter only checks it: the line green or red, the reason and its column under it. Return applies a
// valid one; an invalid one changes nothing and says so; the count is always the rows shown.
TEST_F(ViewLogTest, TheFilterLineChecksAsYouTypeAndAppliesOnReturn) {
    for (uint32_t i = 0; i < 6; ++i)
        Add(2, SubmitSm(i, i % 3 ? "111" : "222"));
    NextTurn();
    QSignalSpy counts(&view, &CViewLog::CountsChanged);
    CFilterLine& line = *view.FilterLine();
    const QAbstractItemModel& rows = *Brief().model();
    const auto lastCount = [&] { return counts.isEmpty() ? -1 : counts.last().at(0).toInt(); };
    line.setFocus();
    struct Step {
        const char* keys;
        CFilterLine::Validity validity;
        const char* status;
    };
    const Step steps[] = {
        {"smpp.destination_addr ==", CFilterLine::Validity::Invalid, "column 25: \"==\" needs a value after it"},
        {" \"222\"", CFilterLine::Validity::Valid, "Return applies this filter."},
        {" &&", CFilterLine::Validity::Invalid, "column 34: a term is missing here"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.keys);
        QTest::keyClicks(&line, step.keys);
        EXPECT_EQ(line.GetValidity(), step.validity);
        EXPECT_EQ(view.FilterStatus()->text(), step.status);
        const bool red = view.FilterStatus()->palette().color(QPalette::WindowText) == QColor(0xc0, 0, 0);
        EXPECT_EQ(red, step.validity == CFilterLine::Validity::Invalid);
        EXPECT_EQ(rows.rowCount(), 6) << "typing applies nothing";
    }
    QTest::keyClick(&line, Qt::Key_Return);
    EXPECT_EQ(view.FilterStatus()->text(),
              "Not applied, column 34: a term is missing here. The list still shows every record.");
    for (int i = 0; i < 3; ++i) // " &&" taken back
        QTest::keyClick(&line, Qt::Key_Backspace);
    QTest::keyClick(&line, Qt::Key_Return);
    EXPECT_EQ(rows.rowCount(), 2);
    EXPECT_EQ(lastCount(), 2);
    EXPECT_EQ(view.FilterStatus()->text(), "");
    EXPECT_EQ(line.GetValidity(), CFilterLine::Validity::Valid) << "still green once applied";
    QTest::keyClick(&line, Qt::Key_Space);
    EXPECT_EQ(view.FilterStatus()->text(), "") << "the applied filter, give or take a blank: nothing for Return to do";
    QTest::keyClick(&line, Qt::Key_Backspace);

    QTest::keyClicks(&line, " &&");
    QTest::keyClick(&line, Qt::Key_Return);
    EXPECT_EQ(line.GetValidity(), CFilterLine::Validity::Invalid);
    EXPECT_EQ(view.FilterStatus()->text(), "Not applied, column 34: a term is missing here. "
                                           "The list still shows \"smpp.destination_addr == \"222\"\".");
    // The label's '&' would be a mnemonic: the filter's "&&" shows as typed (the tool tip holds the text as it is).
    ASSERT_TRUE(view.ApplyFilter("submit_sm && smpp.destination_addr == 222"));
    QTest::keyClicks(&line, " or");
    QTest::keyClick(&line, Qt::Key_Return);
    EXPECT_EQ(view.FilterStatus()->toolTip(), "Not applied, column 45: a term is missing here. "
                                              "The list still shows \"submit_sm && smpp.destination_addr == 222\".");
    EXPECT_EQ(view.FilterStatus()->text(), QString(view.FilterStatus()->toolTip()).replace("&", "&&"));
    EXPECT_EQ(rows.rowCount(), 2);
    EXPECT_EQ(lastCount(), rows.rowCount());
    QTest::keyClick(&line, Qt::Key_Escape);
    EXPECT_EQ(line.GetValidity(), CFilterLine::Validity::Empty);
    EXPECT_EQ(lastCount(), 6);
}

// The word being typed completes from the field names, in place, the rest of the line kept.
TEST_F(ViewLogTest, FieldNamesCompleteInTheFilterLine) {
    CFilterLine& line = *view.FilterLine();
    line.setFocus();
    QTest::keyClicks(&line, "submit_sm (smpp.destination_a");
    QCompleter& completer = *line.Completer();
    ASSERT_TRUE(completer.popup()->isVisible());
    EXPECT_EQ(completer.currentCompletion(), "smpp.destination_addr");
    QTest::keyClick(completer.popup(), Qt::Key_Down);
    QTest::keyClick(completer.popup(), Qt::Key_Return);
    EXPECT_EQ(line.text(), "submit_sm (smpp.destination_addr");
    EXPECT_FALSE(completer.popup()->isVisible());
    QTest::keyClicks(&line, " == 1) port:27");
    EXPECT_FALSE(completer.popup()->isVisible()) << "a term's value is not a field name";
    EXPECT_EQ(line.GetValidity(), CFilterLine::Validity::Valid);
    line.clear();
    QTest::keyClicks(&line, "smpp.source_a");
    EXPECT_TRUE(completer.popup()->isVisible()) << "the line's first word completes too";
    line.setText("!");
    QTest::keyClicks(&line, "smpp.source_a");
    EXPECT_TRUE(completer.popup()->isVisible()) << "and a word after a not";
}

// Find searches the decode of the listed rows from the shown one on, both ways, wrapping round.
TEST_F(ViewLogTest, FindSelectsTheNextRowWhoseDecodeHoldsTheText) {
    Add(2, SubmitSm(1, "111"));
    Add(2, SmppPdu(0x00000015, 2));
    Add(2, SubmitSm(3, "222"));
    Add(2, SubmitSm(4, "111"));
    Add(2, SubmitSm(5, "111"));
    NextTurn();
    view.OpenFind();
    CFindBar& bar = *view.FindBar();
    ASSERT_TRUE(bar.isVisible());
    EXPECT_FALSE(view.Find(true)) << "nothing typed, nothing found";
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    QTest::keyClicks(bar.Edit(), "DESTINATION_ADDR = 111");
    for (const int found : {3, 4, 0}) { // the last wrapped round; the keypad's Enter finds as Return does
        QTest::keyClick(bar.Edit(), found == 4 ? Qt::Key_Enter : Qt::Key_Return);
        EXPECT_EQ(Brief().SelectedIndex(), found);
    }
    QTest::keyClick(bar.Edit(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(Brief().SelectedIndex(), 4) << "Shift+Return finds backwards";
    QTest::mouseClick(bar.PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(Brief().SelectedIndex(), 3) << "and so does Previous";
    QTest::mouseClick(bar.NextButton(), Qt::LeftButton);
    EXPECT_EQ(Brief().SelectedIndex(), 4);
    bar.WrapBox()->setChecked(false);
    EXPECT_FALSE(view.Find(true));
    EXPECT_EQ(Brief().SelectedIndex(), 4);
    const QLabel& result = *bar.findChild<QLabel*>("FindResult");
    QTest::mouseClick(bar.PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(result.text().toStdString(), "") << "a find that finds takes back \"Not found\"";
    QTest::mouseClick(bar.NextButton(), Qt::LeftButton);
    // With the shown row hidden by the filter, Next starts at the top: the first listed row is tried first;
    // and each listed row is read for itself, not the record its place in the list numbers.
    for (const auto& [filter, found] : {std::pair{"!seq:5", 0}, std::pair{"!seq:1", 3}}) {
        view.FilterLine()->setText(filter);
        QTest::keyClick(view.FilterLine(), Qt::Key_Return);
        EXPECT_TRUE(view.Find(true));
        EXPECT_EQ(Brief().SelectedIndex(), found) << filter;
    }
    bar.Edit()->setText("333");
    EXPECT_FALSE(view.Find(false));
    EXPECT_EQ(result.text().toStdString(), "Not found");
    QTest::keyClick(bar.Edit(), Qt::Key_Backspace);
    EXPECT_EQ(result.text().toStdString(), "") << "said of the text before the edit";
    QTest::keyClick(bar.Edit(), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(Brief().hasFocus()) << "the list takes the focus back";
    view.OpenFind();
    QTest::mouseClick(bar.findChild<QToolButton*>(), Qt::LeftButton);
    EXPECT_TRUE(!bar.isVisible() && Brief().hasFocus()) << "and so does Close";

    // The decode tree's lines: the whole text as tool tip, the value alone to copy.
    Tree().setCurrentItem(Tree().topLevelItem(1)->child(3));
    EXPECT_EQ(Tree().currentItem()->toolTip(0), "SMPP: Sequence number = 4");
    Tree().CopyValue();
    EXPECT_EQ(QApplication::clipboard()->text(), "4");
    Tree().setCurrentItem(Tree().topLevelItem(1));
    Tree().CopyValue();
    EXPECT_EQ(QApplication::clipboard()->text(), Tree().topLevelItem(1)->text(0)) << "a group has no value: its text";
}

// Find also reads the list's cells, and shows the decode line that holds the text, its bytes lit up.
TEST_F(ViewLogTest, FindRevealsTheDecodeLineAndReadsTheCells) {
    Add(2, SubmitSm(1, "111"));
    Add(2, SmppPdu(0x80000004, 1, Builder().cstr("id"), 0x58), 2775);
    Add(2, SubmitSm(3, "222"));
    NextTurn();
    view.OpenFind();
    CFindBar& bar = *view.FindBar();
    struct Case {
        const char* text;
        int record;
        const char* line; // the current decode line afterwards; empty: none
    };
    const Case cases[] = {
        {"destination_addr = 222", 2, "SUB_SM: destination_addr = 222"},
        {"esme_rthrottled", 1, ""},     // the answer's "Status" cell: its decode names the status otherwise
        {"Throttling", 1, "SMPP: Command status = 0x00000058 (Throttling error (ESME has exceeded allowed message limits))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bar.Edit()->setText(c.text);
        QTest::keyClick(bar.Edit(), Qt::Key_Return);
        EXPECT_EQ(Brief().SelectedIndex(), c.record);
        const QTreeWidgetItem* current = Tree().currentItem();
        EXPECT_EQ(current ? current->text(0) : QString(), c.line);
        EXPECT_EQ(Hex().Highlight().IsEmpty(), !current);
    }
}

// The decode tree's menu makes a filter of the current line: prepared in the line, or applied at once.
TEST_F(ViewLogTest, ApplyAndPrepareAsFilterFromTheDecodeTree) {
    Add(2, SubmitSm(1, "111"));
    Add(2, SubmitSm(2, "222"));
    Add(2, SubmitSm(3, "111"));
    NextTurn();
    view.ShowRecord(2);
    const auto openMenu = [&] {
        // What the menu key sends.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), Tree().viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(Tree().viewport(), &event);
        return Tree().ContextMenu()->isVisible();
    };
    const auto menuKey = [&](Qt::Key key) {
        ASSERT_TRUE(openMenu());
        QTest::keyClick(Tree().ContextMenu(), key);
    };
    ASSERT_TRUE(Tree().SelectLineContaining("destination_addr"));
    Tree().setFocus();
    menuKey(Qt::Key_P);
    EXPECT_EQ(view.FilterLine()->text(), "smpp.destination_addr == \"111\"");
    EXPECT_EQ(view.FilterLine()->GetValidity(), CFilterLine::Validity::Valid);
    EXPECT_TRUE(view.FilterLine()->hasFocus()) << "ready to edit";
    EXPECT_EQ(Brief().model()->rowCount(), 3) << "prepared, not applied";
    menuKey(Qt::Key_A);
    EXPECT_EQ(Brief().model()->rowCount(), 2);
    EXPECT_EQ(Brief().SelectedIndex(), 2);
    menuKey(Qt::Key_C);
    ASSERT_EQ(Model().columnCount(), CPacketListModel::kFixedColumnCount + 1);
    EXPECT_EQ(Model().headerData(CPacketListModel::kFixedColumnCount, Qt::Horizontal).toString(), "smpp.destination_addr");
    EXPECT_EQ(Cell(Model(), 1, CPacketListModel::kFixedColumnCount), "222");
    // A column's cells read its own field after the column before it goes, and the records stored after a wipe.
    const int source = Brief().Model()->AddFieldColumn("smpp.source_addr");
    EXPECT_EQ(Cell(Model(), 0, source), "12345");
    Brief().Model()->RemoveFieldColumn(CPacketListModel::kFixedColumnCount);
    EXPECT_EQ(Cell(Model(), 0, CPacketListModel::kFixedColumnCount), "12345");
    Brief().Model()->AddFieldColumn("smpp.destination_addr");
    EXPECT_EQ(Cell(Model(), 0, source), "111");
    log.Reset();
    Add(2, SubmitSm(4, "444"));
    NextTurn();
    EXPECT_EQ(Cell(Model(), 0, source), "444");
    // A field's parts (the header's elements) carry its name too, but only the field itself fills its cell.
    const int text = Brief().Model()->AddFieldColumn("smpp.short_message");
    Add(2, SubmitSm(5, "555", std::string("\x05\x00\x03\x01\x02\x01" "Hi", 8), 0x40));
    NextTurn();
    EXPECT_EQ(Cell(Model(), 1, text), "Hi");
    view.ShowRecord(1);
    Tree().setCurrentItem(Tree().topLevelItem(2)->child(19)); // an element of its header: the short_message it is in
    menuKey(Qt::Key_P);
    EXPECT_EQ(view.FilterLine()->text(), "smpp.short_message == \"Hi\"");
    Brief().Model()->RemoveFieldColumn(text);
    Brief().Model()->RemoveFieldColumn(source);
    Brief().Model()->RemoveFieldColumn(CPacketListModel::kFixedColumnCount);
    test_qt::ClearSettings();
    Tree().setCurrentItem(nullptr);
    ASSERT_TRUE(openMenu());
    EXPECT_FALSE(Tree().ApplyAsFilterAction()->isEnabled()) << "no line, no filter";
    EXPECT_FALSE(Tree().PrepareAsFilterAction()->isEnabled());
    EXPECT_FALSE(Tree().ApplyAsColumnAction()->isEnabled());
    Tree().ContextMenu()->close();
    // A right-click picks the line it is on, and the menu acts on that line.
    QTreeWidgetItem* commandId = Tree().topLevelItem(1)->child(1);
    Tree().scrollToItem(commandId);
    const QPoint at = Tree().visualItemRect(commandId).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, Tree().viewport()->mapToGlobal(at));
    QApplication::sendEvent(Tree().viewport(), &click);
    EXPECT_EQ(Tree().currentItem(), commandId);
    EXPECT_TRUE(Tree().ApplyAsFilterAction()->isEnabled());
    Tree().ContextMenu()->close();
}

// The columns' menu shows, hides and moves columns and adds one for any field, whose cells read that field of their
// rows; the next view of the list comes up as the user left it, unless what was saved no longer fits.
TEST_F(ViewLogTest, ColumnsAreShownMovedAndAddedFromTheHeaderMenuAndRemembered) {
    Add(2, SubmitSm(1, "111"));
    Add(2, SmppPdu(0x80000004, 1, Builder().cstr("000001").bytes()));
    Add(8, test_bytes::Pdu12(0x00001001, 2, Builder().u32(0).raw(std::string("13900001111")).raw(Bytes(13, 0)).bytes()));
    Add(2, SmppPdu(0x00000021, 3, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(2).u8(1).u8(1).u8(1).cstr("111")
                                      .u8(1).u8(1).u8(1).cstr("222").u8(0).u8(0).u8(0).u8(0).u8(0).raw(Bytes(5, 0))));
    NextTurn();
    QHeaderView& header = *Brief().horizontalHeader();
    const auto menuOn = [&](int column) { // a right-click on the column's title
        const QPoint at(header.sectionViewportPosition(column) + 3, header.height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, header.viewport()->mapToGlobal(at));
        QApplication::sendEvent(header.viewport(), &event);
        QMenu* menu = Brief().ColumnMenu();
        EXPECT_TRUE(menu->isVisible());
        return menu;
    };
    const auto choose = [](QMenu* menu, const QString& text) { // the item reached with the arrows, then Return
        for (QAction* action : menu->actions())
            if (action->text() == text)
                menu->setActiveAction(action);
        ASSERT_EQ(menu->activeAction()->text(), text);
        QTest::keyClick(menu, Qt::Key_Return);
    };
    // Each field a column reads is a field the decoder has, and the column's tool tip names it.
    using Fields = std::pair<int, std::span<const std::string_view>>;
    for (const auto& [column, names] : {Fields{CPacketListModel::kDestination, field_names::kDestinationFields},
                                        Fields{CPacketListModel::kSourceAddress, field_names::kSourceFields}})
        for (const std::string_view name : names) {
            const QString field = QString::fromUtf8(name.data(), qsizetype(name.size()));
            EXPECT_TRUE(Model().KnownFields().contains(field)) << name;
            EXPECT_TRUE(Model().headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString().contains(field)) << name;
        }
    EXPECT_EQ(Model().headerData(CPacketListModel::kLatency, Qt::Horizontal, Qt::ToolTipRole),
              "Milliseconds from the request to its answer");
    const QString statusTip = Model().headerData(CPacketListModel::kStatus, Qt::Horizontal, Qt::ToolTipRole).toString();
    EXPECT_TRUE(statusTip.contains("\"no answer\"")) << statusTip.toStdString();
    EXPECT_TRUE(header.isSectionHidden(CPacketListModel::kDestination) && header.isSectionHidden(CPacketListModel::kSourceAddress));

    // Each change of the layout is remembered as it is made: a header restored from what was saved matches.
    const auto saved = [&] {
        QHeaderView next(Qt::Horizontal);
        next.setModel(Brief().Model());
        bool same = next.restoreState(CSettings().PacketListHeader());
        for (int column = 0; column < header.count(); ++column)
            same = same && next.visualIndex(column) == header.visualIndex(column) &&
                   next.sectionSize(column) == header.sectionSize(column); // 0 while hidden
        return same;
    };
    choose(menuOn(CPacketListModel::kDescription), "Destination");
    ASSERT_FALSE(header.isSectionHidden(CPacketListModel::kDestination));
    EXPECT_TRUE(saved());
    EXPECT_EQ(Cell(Model(), 0, CPacketListModel::kDestination), "111");
    EXPECT_EQ(Cell(Model(), 1, CPacketListModel::kDestination), "") << "an answer names no destination";
    EXPECT_EQ(Cell(Model(), 0, CPacketListModel::kSourceAddress), "12345");
    EXPECT_EQ(Cell(Model(), 3, CPacketListModel::kDestination), "111,222") << "a submit_multi's destinations, each";
    const int before = header.visualIndex(CPacketListModel::kDestination);
    QMenu* onDestination = menuOn(CPacketListModel::kDestination);
    EXPECT_EQ(onDestination->findChild<QAction*>("MoveColumnLeft")->text(), "Move \"Destination\" &left");
    QTest::keyClick(onDestination, Qt::Key_L);
    EXPECT_EQ(header.visualIndex(CPacketListModel::kDestination), before - 1);
    QTest::keyClick(menuOn(CPacketListModel::kDestination), Qt::Key_R);
    EXPECT_EQ(header.visualIndex(CPacketListModel::kDestination), before) << "Move right puts it back";
    QTest::keyClick(menuOn(CPacketListModel::kDestination), Qt::Key_L);
    EXPECT_EQ(header.visualIndex(CPacketListModel::kLatency), before);
    EXPECT_TRUE(saved());
    header.hideSection(CPacketListModel::kLen);
    QTest::keyClick(menuOn(CPacketListModel::kTime), Qt::Key_L);
    EXPECT_LT(header.visualIndex(CPacketListModel::kTime), header.visualIndex(CPacketListModel::kDescription))
        << "past the hidden Len: a move the eye sees";
    header.resizeSection(CPacketListModel::kDescription, 234);
    EXPECT_TRUE(saved());

    QMenu* seqMenu = menuOn(CPacketListModel::kSeq);
    for (const QAction* action : seqMenu->actions())
        EXPECT_TRUE(action->objectName() != "RemoveColumn" || !action->isEnabled()) << "a built-in column stays";
    QTest::keyClick(seqMenu, Qt::Key_A);
    auto* dialog = Brief().findChild<CFieldColumnDialog*>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    const struct {
        const char* typed;
        const char* message;
    } refused[] = {
        {"", "Type the name of a field, such as smpp.data_coding."},
        {"  ", "Type the name of a field, such as smpp.data_coding."},
        {"smpp.no_such_field", "No field is named \"smpp.no_such_field\"."},
    };
    for (const auto& bad : refused) {
        QTest::keyClick(dialog->FieldLine(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->FieldLine(), bad.typed);
        QTest::keyClick(dialog->FieldLine(), Qt::Key_Return);
        EXPECT_EQ(dialog->Message()->text(), bad.message);
        EXPECT_EQ(Model().columnCount(), CPacketListModel::kFixedColumnCount);
    }
    QTest::keyClick(dialog->FieldLine(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog->FieldLine(), "test.terminal_number");
    QTest::keyClick(dialog->FieldLine(), Qt::Key_Escape); // the completer's list
    QTest::keyClick(dialog->FieldLine(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    const int added = CPacketListModel::kFixedColumnCount;
    ASSERT_EQ(Model().columnCount(), added + 1);
    EXPECT_EQ(Model().headerData(added, Qt::Horizontal).toString(), "test.terminal_number");
    EXPECT_EQ(Cell(Model(), 2, added), "13900001111");
    NextTurn();
    const QRect cell = Brief().visualRect(Brief().model()->index(2, added));
    EXPECT_TRUE(Brief().viewport()->rect().contains(cell)) << "scrolled to, whole: " << cell.x() << "+" << cell.width()
                                                           << " in " << Brief().viewport()->width();
    EXPECT_EQ(Cell(Model(), 0, added), "");
    EXPECT_EQ(Brief().ShowFieldColumn("test.terminal_number") && Model().columnCount() == added + 1, true) << "one column a field";

    view.resize(400, 900);
    view.show();
    view.Splitter()->setSizes({100, 200, 300});
    QWidget* handle = view.Splitter()->handle(1); // dragged a little down: the panes as the user left them
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
    QTest::mouseMove(handle, handle->rect().center() + QPoint(0, 10));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->rect().center() + QPoint(0, 10));
    {
        CViewLog again(log, decoder, pairs);
        again.resize(400, 900);
        again.show();
        const QList<int> panes = again.Splitter()->sizes();
        EXPECT_TRUE(panes[0] < panes[1] && panes[1] < panes[2]) << "as saved, not 4:3:2: " << panes[0] << " " << panes[2];
        const QHeaderView& restored = *again.Brief()->horizontalHeader();
        ASSERT_EQ(restored.count(), added + 1);
        EXPECT_EQ(again.Brief()->Model()->headerData(added, Qt::Horizontal).toString(), "test.terminal_number");
        for (int column = 0; column <= added; ++column) {
            EXPECT_EQ(restored.visualIndex(column), header.visualIndex(column)) << column;
            EXPECT_EQ(restored.isSectionHidden(column), header.isSectionHidden(column)) << column;
        }
    }
    // The rows' own menu removes the column under the click, not the one at the click's height.
    const QPoint inAdded(Brief().columnViewportPosition(added) + 3, Brief().rowViewportPosition(0) + 3);
    QContextMenuEvent rowClick(QContextMenuEvent::Mouse, inAdded, Brief().viewport()->mapToGlobal(inAdded));
    QApplication::sendEvent(Brief().viewport(), &rowClick);
    QTest::keyClick(Brief().ContextMenu(), Qt::Key_M); // its own letter: "o" is Show this connection only's
    ASSERT_TRUE(Brief().ColumnMenu()->isVisible());
    QTest::keyClick(Brief().ColumnMenu(), Qt::Key_M);
    EXPECT_EQ(Model().columnCount(), added);
    EXPECT_TRUE(saved() && CSettings().PacketListFields().isEmpty());
    // The last column shown stays shown: a list without columns has no header to bring the others back by.
    for (int column = 0; column < added; ++column)
        header.setSectionHidden(column, column != CPacketListModel::kSeq);
    QMenu* lastShown = menuOn(CPacketListModel::kSeq);
    for (const QAction* action : lastShown->actions()) {
        if (!action->isCheckable())
            continue;
        EXPECT_EQ(action->isEnabled(), action->text() != "Seq") << action->text().toStdString();
    }
    QTest::keyClick(lastShown, Qt::Key_Escape);
    const struct {
        const char* why;
        QStringList fields;
        QByteArray header;
    } unfit[] = {
        {"a saved field the decoder lacks", {"smpp.gone_in_this_build"}, header.saveState()},
        {"a header layout that does not read", {}, QByteArray("not a header's state")},
    };
    for (const auto& saved : unfit) {
        SCOPED_TRACE(saved.why);
        CSettings().SetPacketListLayout(saved.fields, saved.header);
        CViewLog again(log, decoder, pairs);
        EXPECT_EQ(again.Brief()->Model()->columnCount(), added);
        EXPECT_TRUE(again.Brief()->horizontalHeader()->isSectionHidden(CPacketListModel::kDestination)) << "defaults";
    }
    test_qt::ClearSettings();
}

// "Seq" and "Status" are never cut short: the 100000th record's number and a long status fit beside their icons, as
// the delegate measures them; nor is any title.
TEST_F(ViewLogTest, SeqStatusAndTitlesFitTheirColumns) {
    Add(2, SubmitSm(1));
    NextTurn();
    QStandardItemModel sample(1, 2);
    const QIcon icon = Model().data(Model().index(0, CPacketListModel::kSeq), Qt::DecorationRole).value<QIcon>();
    sample.setItem(0, 0, new QStandardItem(icon, "100000"));
    sample.setItem(0, 1, new QStandardItem(icon, "ESME_RINVCMDID")); // a failed answer's Status beside the error's icon
    QTableView measure;
    measure.setFont(Brief().font());
    measure.setIconSize(Brief().iconSize());
    measure.setModel(&sample);
    measure.resizeColumnsToContents();
    EXPECT_LE(measure.columnWidth(0), Brief().columnWidth(CPacketListModel::kSeq));
    EXPECT_LE(measure.columnWidth(1), Brief().columnWidth(CPacketListModel::kStatus));
    // Nor is any title; the last shown column, Latency, stretches to the list's edge.
    const QHeaderView& header = *Brief().horizontalHeader();
    const int margins = 2 * Brief().style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    for (int column = 0; column < CPacketListModel::kLatency; ++column) {
        const QString title = Model().headerData(column, Qt::Horizontal).toString();
        EXPECT_LE(header.fontMetrics().horizontalAdvance(title) + margins, header.sectionSize(column)) << column;
    }
}

// The exports of the listed rows: as text, each record's cells under the shown columns' titles, its decode and the
// reassembly lines; as JSON, a line per record as tarnwick-decode --json writes it.
TEST_F(ViewLogTest, ExportsWriteTheRowsWithTheirColumnsDecodeAndReassembly) {
    const auto part = [](uint32_t sequence, uint8_t number, const char* text) {
        const Bytes udh = {5, 0, 3, 0x42, 2, number};
        return SmppPdu(0x00000004, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")
                                                 .u8(0x40).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0)
                                                 .u8(uint8_t(udh.size() + strlen(text))).raw(udh).raw(text).bytes());
    };
    const Bytes first = part(1, 1, "Hello, "), second = part(2, 2, "world");
    log.AddPacket(2, kLoopback, 40000, first.data(), uint32_t(first.size()), 9, {}, 7);
    const Bytes answer = SmppPdu(0x80000004, 1, Builder().cstr("").bytes(), 0x58);
    log.AddPacket(2, kLoopback, 5018, answer.data(), uint32_t(answer.size()), 10, {}, 7, true);
    log.AddPacket(2, kLoopback, 40000, second.data(), uint32_t(second.size()), 9, {}, 7);
    NextTurn();
    ASSERT_TRUE(view.ApplyFilter("submit_sm"));
    const std::vector<int32_t> shown = view.Records(true);
    ASSERT_EQ(shown, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(view.Records(false), (std::vector<int32_t>{0, 1, 2}));

    const std::string text = view.DecodeText(shown);
    const std::string len = std::to_string(16 + first.size());
    const std::string expectedStart =
        "Seq  Source IP        Source port  Description     Len  Time                     Status           Latency\n"
        "1    127.000.000.001  40000        SMPP:submit_sm  " + len + "   2023-11-14 22:15:23.345  ESME_RTHROTTLED  0.000\n"
        "TCP: ----- Network base info -----\n";
    EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart) << text;
    EXPECT_NE(text.find("\n\nSeq  Source IP"), std::string::npos) << "a blank line before the next record";
    EXPECT_NE(text.find("\nReassembled message (2 parts)\n  Hello, world\n  Part 1 of 2: row 1\n"), std::string::npos)
        << text;

    const QStringList lines = QString::fromStdString(view.Json(shown)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject record = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(record.value("seq").toInt(), shown[size_t(i)] + 1);
        EXPECT_EQ(record.value("command").toString(), "submit_sm");
        EXPECT_EQ(record.value("reassembled").toObject().value("text").toString(), i == 1 ? "Hello, world" : "");
    }
}

// Ctrl+G's dialog goes to a "Seq"; one the filter hides, or none, keeps the dialog open saying why.
TEST_F(ViewLogTest, GoToPacketBySeq) {
    for (uint32_t i = 0; i < 5; ++i)
        Add(2, i % 2 ? SmppPdu(0x00000015, i) : SubmitSm(i));
    NextTurn();
    ASSERT_TRUE(view.ApplyFilter("submit_sm"));
    view.OpenGoTo();
    auto* dialog = view.findChild<CGoToDialog*>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->SeqBox()->value(), Brief().SelectedIndex() + 1) << "it opens on the Seq shown";
    const struct {
        const char* seq;
        const char* message;
        int record;
    } steps[] = {
        {"2", "Seq 2 is hidden by the display filter.", 0},
        {"9", "Seq 2 is hidden by the display filter.", 0}, // the box holds 1 to 5: 9 is not typed, 2 stays
        {"5", "", 4},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.seq);
        QTest::keyClick(dialog->SeqBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->SeqBox(), step.seq);
        QTest::keyClick(dialog->SeqBox(), Qt::Key_Return);
        EXPECT_EQ(dialog->Message()->text(), step.message) << dialog->SeqBox()->text().toStdString();
        EXPECT_EQ(Brief().SelectedIndex(), step.record);
    }
    EXPECT_FALSE(dialog->isVisible());
    view.FilterLine()->setFocus();
    EXPECT_EQ(view.GoToPacket(1), "") << "the first row listed is no hidden one";
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_TRUE(Brief().hasFocus()) << "the arrows go on from the row gone to";
    EXPECT_EQ(view.GoToPacket(6), "No PDU has Seq 6.");
}

// The record that completes a concatenated message ends its decode with the whole text; a part's
// line leads to that part's record.
TEST_F(ViewLogTest, TheLastPartOfALongMessageShowsItWhole) {
    const auto part = [](uint32_t sequence, uint8_t number, const char* text) {
        const Bytes udh = {5, 0, 3, 0x42, 2, number};
        Builder body;
        body.cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0x40).u8(0).u8(0).cstr("").cstr("")
            .u8(0).u8(0).u8(0).u8(0).u8(uint8_t(udh.size() + strlen(text))).raw(udh).raw(text);
        return SmppPdu(0x00000004, sequence, body);
    };
    log.AddPacket(2, kLoopback, 40000, part(1, 1, "Hello = ").data(), uint32_t(part(1, 1, "Hello = ").size()), 9, {}, 7);
    log.AddPacket(2, kLoopback, 40000, part(2, 2, "world").data(), uint32_t(part(2, 2, "world").size()), 9, {}, 7);
    NextTurn();
    view.ShowRecord(1);
    QTreeWidgetItem* whole = Tree().topLevelItem(Tree().topLevelItemCount() - 1);
    ASSERT_EQ(whole->text(0), "Reassembled message (2 parts)");
    ASSERT_GE(whole->childCount(), 3);
    EXPECT_EQ(whole->child(0)->text(0), "Hello = world");
    Tree().setCurrentItem(Tree().topLevelItem(1)->child(0));
    ASSERT_FALSE(Hex().Highlight().IsEmpty());
    Tree().setCurrentItem(whole->child(0));
    EXPECT_TRUE(Hex().Highlight().IsEmpty()) << "a line without bytes of its own lights none up";
    Tree().CopyValue();
    EXPECT_EQ(QApplication::clipboard()->text(), "Hello = world") << "the text is its own value, whole";
    emit Tree().itemActivated(whole->child(1), 0);
    EXPECT_EQ(Brief().SelectedIndex(), 0);
}

// The wipe of a full log starts the list again at the record that found it full, shown at once as the
// first record ever stored is; what comes after is only added.
TEST_F(ViewLogTest, WipeOfAFullLogStartsTheListAgainAtTheRecordThatFoundItFull) {
    Add(2, SubmitSm(1));
    NextTurn();
    const Bytes big = SmppPdu(0x00000015, 2, Bytes(4000, 0x41));
    Bytes wiping;
    for (int added = 0; log.WipeCount() == 0; ++added) {
        ASSERT_LT(added, 100'000) << "the full log never wiped";
        wiping = Add(2, big);
    }
    NextTurn();
    EXPECT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_EQ(Hex().Bytes(), AsQt(wiping));

    Add(2, SmppPdu(0x00000015, 3));
    NextTurn();
    EXPECT_EQ(Model().rowCount(), 2);
    EXPECT_EQ(Brief().SelectedIndex(), 0);
    EXPECT_EQ(Hex().Bytes(), AsQt(wiping));
}

TEST(HexLayout, RowsColumnsAndTextPositions) {
    QByteArray bytes;
    for (int i = 0; i < 20; ++i)
        bytes.append(char(0x41 + i));
    bytes[1] = '\x01';
    bytes[2] = '\x7F'; // DEL is no more printable than 0x01; a blank is
    bytes[3] = ' ';
    using namespace hex_layout;
    EXPECT_EQ(RowCount(20), 2);
    EXPECT_EQ(RowCount(32), 2);
    EXPECT_EQ(RowText(bytes, 0),
              "00000000  41 01 7F 20 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  A.. EFGHIJKLMNOP");
    EXPECT_EQ(RowText(bytes, 1),
              "00000010  51 52 53 54                                      QRST");

    struct Hit {
        qsizetype row;
        int textColumn;
        qsizetype byte;
    };
    const Hit hits[] = {
        {1, 10, 16}, {1, 11, 16}, {0, 55, 15}, {1, 19, 19}, {0, 59, 0}, {1, 62, 19},
        {0, 9, -1},  // blank after the offset column
        {0, 12, -1}, // blank between two bytes
        {0, 58, -1}, // the second blank before the characters
        {1, 22, -1}, // past the last byte, digit side
        {1, 63, -1}, // past the last byte, character side
        {0, 75, -1}, // past the end of the line
    };
    for (const Hit& hit : hits)
        EXPECT_EQ(ByteAt(hit.row, hit.textColumn, bytes.size()), hit.byte) << hit.row << ":" << hit.textColumn;
    for (const qsizetype offset : {0, 15, 16, 19}) {
        EXPECT_EQ(ByteAt(RowOf(offset), HexTextColumn(ColumnOf(offset)), 20), offset);
        EXPECT_EQ(ByteAt(RowOf(offset), CharTextColumn(ColumnOf(offset)), 20), offset);
    }

    using Columns = std::optional<std::pair<int, int>>;
    EXPECT_EQ(ColumnsInRow({14, 4}, 0, 20), (Columns{{14, 15}}));
    EXPECT_EQ(ColumnsInRow({14, 4}, 1, 20), (Columns{{0, 1}}));
    EXPECT_EQ(ColumnsInRow({18, 10}, 1, 20), (Columns{{2, 3}})) << "cut at the last byte";
    EXPECT_EQ(ColumnsInRow({16, 4}, 0, 20), Columns{});
    EXPECT_EQ(ColumnsInRow({3, 0}, 0, 20), Columns{});
    EXPECT_EQ(HexText(bytes, {1, 3}), "01 7F 20");

    CViewLogHex hex;
    hex.SetBytes(bytes);
    hex.SetHighlight({10, 100});
    EXPECT_EQ(hex.Highlight(), (ByteRange{10, 10})) << "cut to the shown bytes";
    hex.SetBytes(bytes);
    EXPECT_TRUE(hex.Highlight().IsEmpty());
    EXPECT_EQ(hex.CopyText(), RowText(bytes, 0) + "\n" + RowText(bytes, 1).trimmed()) << "nothing marked: every row";
    hex.resize(600, 100); // a few rows high
    hex.show();
    hex.SetBytes(QByteArray(16 * 100, 'x'));
    hex.SetHighlight({16 * 50, 16 * 10});
    EXPECT_EQ(hex.verticalScrollBar()->value(), 50) << "a range taller than the view shows its first row";
    hex.SetHighlight({16 * 90, 1}); // below the view: scrolled just far enough to show it whole
    EXPECT_TRUE(hex.viewport()->rect().contains(hex.ByteRect(16 * 90)));
    hex.SetBytes(QByteArray(16 * 100, 'y'));
    EXPECT_EQ(hex.verticalScrollBar()->value(), 0) << "another record shows from its first row";
}

} // namespace
