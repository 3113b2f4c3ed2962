// The deliver composer: its list, Delete and Edit with their questions, the context menu, the caption
// buttons, the "Deliver short message" dialog's fresh start on every opening, and sending to ESMEs and
// phones over loopback.
#include "tests/support/WidgetTestEnv.h"

#include "decoder/PacketDecoder.h"
#include "decoder/tables/TableIds.h"
#include "mobile/MobileServer.h"
#include "simulator/DeliverSender.h"
#include "smpp/SmppPdu.h"
#include "smpp/SmppServer.h"
#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/TestClient.h"
#include "ui/DeliverDialog.h"
#include "ui/DeliverListModel.h"
#include "ui/DeliverView.h"
#include "ui/TlvEditor.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace std::string_view_literals;

namespace {

using test_bytes::Builder;
using test_net::TestClient;
using test_net::WaitUntil;
using Bytes = std::vector<uint8_t>;

class DeliverViewTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }

    // A fresh page with an empty deliver list whose questions are answered with m_answer and recorded.
    void Reset()
    {
        m_view = std::make_unique<CDeliverView>();
        m_view->SetMode(2);
        m_view->resize(600, 300);
        m_view->SetPrompt([this](QWidget*, const QString& text, QMessageBox::StandardButtons buttons) {
            m_asked.push_back(text);
            m_buttons.push_back(buttons);
            return m_answer;
        });
        m_view->show();
        m_asked.clear();
        m_buttons.clear();
    }
    void AddEntries(const std::vector<std::string>& messages)
    {
        for (const std::string& message : messages)
            m_view->AddEntry("esme", message, 1);
    }
    // Ctrl+click on each row, as a user picks several entries.
    void Select(const std::vector<int>& rows)
    {
        QTableView* list = m_view->List();
        list->selectionModel()->clearSelection();
        for (const int row : rows)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualRect(list->model()->index(row, 0)).center());
    }
    QString Cell(int row, int column) const { return m_view->List()->model()->index(row, column).data().toString(); }
    // Runs command, handing the dialog it opens to answer once the dialog's loop runs.
    void WithDialog(const std::function<void()>& command, const std::function<void(CDeliverDialog&)>& answer)
    {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CDeliverDialog*>(QApplication::activeModalWidget());
            answered = dialog != nullptr;
            if (!dialog)
                return;
            answer(*dialog);
            if (dialog->isVisible()) { // an answer cut short by a failed assertion: the test ends, not hangs
                ADD_FAILURE() << "the dialog was left open";
                dialog->reject();
            }
        });
        command();
        EXPECT_TRUE(answered);
    }

    static void Press(QDialog& dialog, const char* text)
    {
        if (QPushButton* button = test_qt::Button(dialog, text))
            QTest::mouseClick(button, Qt::LeftButton);
    }

    std::unique_ptr<CDeliverView> m_view;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    std::vector<QString> m_asked;
    std::vector<QMessageBox::StandardButtons> m_buttons;
};

TEST_F(DeliverViewTest, ListShowsColumnsAndCountsCharactersUpToTheNul)
{
    const QAbstractItemModel* model = m_view->List()->model();
    const char* const titles[] = {"Seq", "Count", "Dest system id", "Short Message", "Len"};
    const int widths[] = {50, 80, 100, 250, 50};
    const Qt::Alignment alignments[] = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft,
                                        Qt::AlignLeft};
    ASSERT_EQ(model->columnCount(), 5);
    m_view->AddEntry("esme1", "x", -7);
    for (int c = 0; c < 5; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
        EXPECT_EQ(m_view->List()->columnWidth(c), widths[c]);
        EXPECT_EQ(model->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
                  alignments[c]);
    }
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(0, 1), "-7");
    EXPECT_EQ(Cell(0, 2), "esme1");

    struct Case {
        const char* name;
        std::string_view bytes;
        QString shown;
        const char* len;
    };
    const std::string tooLong(400, 'a');
    const std::string splitAtTheEnd = std::string(274, 'a') + "\xC3\xA9";
    const Case cases[] = {
        {"plain", "hello"sv, "hello", "5"},
        {"stops at the NUL", "ab\0cdef"sv, "ab", "2"},
        {"characters, not octets", "h\xC3\xA9llo"sv, QString::fromUtf8("h\xC3\xA9llo"), "5"}, // six octets of UTF-8
        {"an emoji is one character", "\xF0\x9F\x98\x80!"sv, QString::fromUtf8("\xF0\x9F\x98\x80!"), "2"}, // two UTF-16 units
        {"empty", ""sv, "", "0"},
        {"cut to the field", tooLong, QString(275, 'a'), "275"},
        {"never inside a character", splitAtTheEnd, QString(274, 'a'), "274"}, // the cut would halve the last e-acute
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_view->AddEntry("esme", c.bytes, 0);
        const int row = model->rowCount() - 1;
        EXPECT_EQ(Cell(row, 3), c.shown);
        EXPECT_EQ(Cell(row, 4), c.len);
    }
}

TEST_F(DeliverViewTest, DeleteAsksByCountAndRenumbers)
{
    struct Case {
        const char* name;
        std::vector<int> selected;
        QMessageBox::StandardButton answer;
        const char* question;
        QMessageBox::StandardButtons buttons;
        std::vector<QString> remaining; // short messages left, in list order
    };
    const QMessageBox::StandardButtons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const Case cases[] = {
        {"none selected", {}, QMessageBox::Ok, "Please select a item of you prepaired delete", QMessageBox::Ok,
         {"m0", "m1", "m2", "m3", "m4"}},
        {"one", {2}, QMessageBox::Ok, "Do you want to delete selected item ?", okCancel, {"m0", "m1", "m3", "m4"}},
        {"three", {0, 2, 4}, QMessageBox::Ok, "Do you want to delete selected 3 items?", okCancel, {"m1", "m3"}},
        {"cancelled", {1, 3}, QMessageBox::Cancel, "Do you want to delete selected 2 items?", okCancel,
         {"m0", "m1", "m2", "m3", "m4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        AddEntries({"m0", "m1", "m2", "m3", "m4"});
        Select(c.selected);
        m_answer = c.answer;
        m_view->Delete();
        ASSERT_EQ(m_asked.size(), 1u);
        EXPECT_EQ(m_asked[0], c.question);
        EXPECT_EQ(m_buttons[0], c.buttons);
        ASSERT_EQ(m_view->List()->model()->rowCount(), static_cast<int>(c.remaining.size()));
        for (int row = 0; row < static_cast<int>(c.remaining.size()); ++row) {
            EXPECT_EQ(Cell(row, 0), QString::number(row + 1));
            EXPECT_EQ(Cell(row, 3), c.remaining[static_cast<size_t>(row)]);
        }
    }
}

TEST_F(DeliverViewTest, EmptySelectionAnswersEditAndDeleteWithOneOkBox)
{
    m_view->Edit();
    m_view->Delete();
    AddEntries({"m0"});
    // The keyboard reaches both commands from the list.
    m_view->List()->setFocus();
    QTest::keyClick(m_view->List(), Qt::Key_Return);
    QTest::keyClick(m_view->List(), Qt::Key_Delete);
    QTest::keyClick(m_view->List(), Qt::Key_Enter, Qt::KeypadModifier); // and the keypad's keys
    QTest::keyClick(m_view->List(), Qt::Key_Delete, Qt::KeypadModifier);
    const QString edit = "Please select a item first.", del = "Please select a item of you prepaired delete";
    const std::vector<QString> expected = {edit, del, edit, del, edit, del};
    EXPECT_EQ(m_asked, expected);
    for (const QMessageBox::StandardButtons buttons : m_buttons)
        EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(m_view->List()->model()->rowCount(), 1);
}

TEST_F(DeliverViewTest, ContextMenuGreysQuickDeliverWithoutSelection)
{
    const std::vector<QString> texts = {"&Add DELIVER_SM...", "Add DA&TA_SM...", "Add A&LERT_NOTIFICATION...",
                                        "SMPP 5.0 &broadcast", "", "&Edit...", "&Delete", "", "&Quick deliver short message"};
    AddEntries({"m0", "m1"});
    const struct {
        const char* name;
        std::vector<int> selected;
        bool quickEnabled;
    } cases[] = {{"none", {}, false}, {"one", {1}, true}, {"two", {0, 1}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Select(c.selected);
        const std::unique_ptr<QMenu> menu = m_view->CreateContextMenu();
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 9);
        for (int i = 0; i < 9; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(actions[i]->isSeparator(), texts[static_cast<size_t>(i)].isEmpty());
            EXPECT_EQ(actions[i]->text(), texts[static_cast<size_t>(i)]);
            EXPECT_EQ(actions[i]->isEnabled(), i == 8 ? c.quickEnabled : true);
        }
        // The broadcast commands are there for the reading, each greyed and saying why.
        QStringList broadcast;
        for (const QAction* action : actions[3]->menu()->actions()) {
            EXPECT_FALSE(action->isEnabled());
            EXPECT_TRUE(action->toolTip().contains("never receives")) << action->toolTip().toStdString();
            broadcast << action->text();
        }
        EXPECT_EQ(broadcast, QStringList({"Add BROADCAST_SM...", "Add QUERY_BROADCAST_SM...", "Add CANCEL_BROADCAST_SM..."}));
    }
}

// Every way to the composer opens the command's own: Insert and the menu's Add commands theirs, Edit (from the menu
// or a double-click on the row) the entry's. Its addresses are as long as the command's fields hold, and only
// the fields the command carries (of twelve) take text: an alert_notification carries no user data.
TEST_F(DeliverViewTest, EveryWayToTheComposerOpensTheCommandsOwn)
{
    using Kind = DeliverEntry::Kind;
    m_view->AddEntry(DeliverEntry::Make("esme", "data", 1, Kind::DataSm));
    m_view->AddEntry(DeliverEntry::Make("esme", "", 1, Kind::AlertNotification));
    const std::unique_ptr<QMenu> menu = m_view->CreateContextMenu();
    QTableView* list = m_view->List();
    const QString data = "Deliver short message - DATA_SM", alert = "Deliver short message - ALERT_NOTIFICATION";
    const struct {
        const char* name;
        std::function<void()> open;
        QString title;
        int addressOctets;
        int fields = 2; // the addresses
    } cases[] = {
        {"Insert", [&] { QTest::keyClick(list, Qt::Key_Insert); }, "Deliver short message", smpp::kShortAddressOctets,
         12},
        {"Add DATA_SM", [&] { menu->actions()[1]->trigger(); }, data, smpp::kLongAddressOctets, 6},
        {"Add ALERT_NOTIFICATION", [&] { menu->actions()[2]->trigger(); }, alert, smpp::kLongAddressOctets},
        {"double-click on a data_sm", [&] { // in Qt Test the second click alone, the first before it
             const QPoint at = list->visualRect(list->model()->index(0, 3)).center();
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
         }, data, smpp::kLongAddressOctets, 6},
        {"Edit an alert_notification", [&] {
             Select({1});
             menu->actions()[5]->trigger();
         }, alert, smpp::kLongAddressOctets},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WithDialog(c.open, [&](CDeliverDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), c.title);
            EXPECT_EQ(dialog.findChild<QLineEdit*>("source_addr")->maxLength(), c.addressOctets - 1);
            EXPECT_EQ(dialog.findChild<QLineEdit*>("short_message")->isEnabled(), c.title != alert);
            int enabled = 0;
            for (const QLineEdit* field : dialog.findChildren<QLineEdit*>())
                enabled += qobject_cast<QGroupBox*>(field->parentWidget()) && field->isEnabled();
            EXPECT_EQ(enabled, c.fields);
            // Each field holds what its octets do but the closing NUL.
            for (const auto& [field, chars] :
                 {std::pair{"service_type", 5}, {"schedule_time", 16}, {"validity_period", 16}})
                EXPECT_EQ(dialog.findChild<QLineEdit*>(field)->maxLength(), chars) << field;
            dialog.reject();
        });
    }
}

TEST_F(DeliverViewTest, CaptionButtonsSitAtTheRightAndEmitTheirSignals)
{
    QSignalSpy decoder(m_view.get(), &CDeliverView::ShowDecoderRequested);
    QSignalSpy deliver(m_view.get(), &CDeliverView::DeliverRequested);
    const struct {
        const char* name;
        int x;
        QSignalSpy* spy;
        QSignalSpy* other;
    } cases[] = {{"Deliver", 600 - 21, &deliver, &decoder}, {"SMPP Decoder", 600 - 43, &decoder, &deliver}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QToolButton* button = nullptr;
        for (QToolButton* b : m_view->findChildren<QToolButton*>())
            if (b->accessibleName() == c.name)
                button = b;
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry(), QRect(c.x, 2, 16, 16));
        const qsizetype others = c.other->size();
        QTest::mouseClick(button, Qt::LeftButton);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(c.spy->size(), 2);
        EXPECT_EQ(c.other->size(), others);
    }
    EXPECT_EQ(m_view->List()->geometry(), QRect(0, 22, 600, 300 - 22));
}

TEST_F(DeliverViewTest, DialogOpensWithTheInitialChoicesEveryTime)
{
    const struct {
        const char* field;
        int count;
        const char* initial;
    } choices[] = {
        {"source_addr_ton", 7, "00000001: International"},   {"source_addr_npi", 10, "00000001: ISDN - E163/E164"},
        {"dest_addr_ton", 7, "00000001: International"},     {"dest_addr_npi", 10, "00000001: ISDN - E163/E164"},
        {"data_coding", 16, "00000000: SMSC Default Alphabet"},
    };
    const auto check = [&](CDeliverDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Deliver short message");
        for (const auto& c : choices) {
            SCOPED_TRACE(c.field);
            auto* box = dialog.findChild<QComboBox*>(c.field);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->count(), c.count);
            EXPECT_EQ(box->currentText(), c.initial);
        }
        EXPECT_EQ(dialog.findChild<QComboBox*>("dest_addr_npi")->itemText(2), "00000011: Data - X.121");
        int fields = 0;
        for (QLineEdit* field : dialog.findChildren<QLineEdit*>()) {
            if (!qobject_cast<QGroupBox*>(field->parentWidget()))
                continue; // the editors inside "Dest system id" and "Count"
            ++fields;
            EXPECT_TRUE(field->text().isEmpty()) << field->objectName().toStdString();
        }
        EXPECT_EQ(fields, 12);
        // A one-octet field takes 0 to 255, in decimal or after "0x", and nothing it would have to cut.
        const QValidator* octet = dialog.findChild<QLineEdit*>("protocol_id")->validator();
        for (const auto& [typed, taken] : {std::pair{"255", true}, {"0xFF", true}, {"199", true}, {"256", false},
                                           {"259", false}, {"0x100", false}}) {
            QString text = typed;
            int at = 0;
            EXPECT_EQ(octet->validate(text, at) == QValidator::Acceptable, taken) << typed;
        }
        EXPECT_EQ(dialog.findChild<QComboBox*>("Dest system id")->currentText(), "");
        EXPECT_EQ(dialog.findChild<QSpinBox*>("Count")->value(), 1);
        EXPECT_EQ(dialog.findChild<QSpinBox*>("Count")->minimum(), 1) << "an entry sends at least once";
        // Every label names its own field and hands the focus to it; the lines that say a fault are hidden.
        QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        labels.removeIf([](const QLabel* label) { return label->isHidden(); });
        EXPECT_EQ(labels.size(), 20);
        for (QLabel* label : labels) {
            ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
            EXPECT_EQ(label->buddy()->objectName(), QString(label->text()).remove('&').remove(':'));
        }
    };
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        check(dialog);
        for (QComboBox* box : dialog.findChildren<QComboBox*>())
            box->setCurrentIndex(box->count() - 1);
        for (QLineEdit* field : dialog.findChildren<QLineEdit*>())
            field->setText("typed");
        dialog.reject();
    });
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        check(dialog);
        dialog.reject();
    });
    EXPECT_EQ(m_view->List()->model()->rowCount(), 0);
}

TEST_F(DeliverViewTest, EveryChoiceNamesItsValueAsTheDecoderNamesWhatItSends)
{
    // A composed PDU decodes under the name it was chosen by: a plan the composer numbers otherwise than
    // the decoder would read back as "reserved".
    const CPacketDecoder decoder;
    const std::pair<const char*, int32_t> lists[] = {
        {"source_addr_ton", decode_ids::kTypesOfNumber},
        {"dest_addr_npi", decode_ids::kNumberingPlans},
        {"data_coding", decode_ids::kDataCodings},
    };
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        for (const auto& [field, category] : lists) {
            auto* box = dialog.findChild<QComboBox*>(field);
            ASSERT_NE(box, nullptr) << field;
            for (int i = 0; i < box->count(); ++i) {
                const QString item = box->itemText(i);
                SCOPED_TRACE(item.toStdString());
                bool ok = false;
                const int value = item.left(8).toInt(&ok, 2);
                ASSERT_TRUE(ok && item.mid(8, 2) == ": ");
                EXPECT_EQ(item.mid(10).toStdString(), decoder.LookupValueName(category, value));
            }
        }
        EXPECT_EQ(dialog.findChild<QComboBox*>("dest_addr_npi")->itemText(9), "00010010: WAP Client Id");
        EXPECT_EQ(dialog.findChild<QComboBox*>("data_coding")->itemText(15), "00001111: GB2312");
        dialog.reject();
    });
}

TEST_F(DeliverViewTest, AddToListKeepsEveryFieldAndEditReplacesTheFirstSelectedEntry)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("message.txt");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("from a file\r\n"); // written on Windows: its line end is no part of the message
    }
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        QString warning;
        QTimer::singleShot(0, [&warning] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "an unreadable file is said";
            warning = box->text();
            box->close();
        });
        dialog.SetFilePicker([&](QWidget*) { return dir.filePath("missing.txt"); });
        Press(dialog, "Browse...");
        EXPECT_TRUE(warning.endsWith("missing.txt could not be read.")) << warning.toStdString();
        QFile bare(dir.filePath("bare.txt")); // a file without a line end loses nothing
        ASSERT_TRUE(bare.open(QIODevice::WriteOnly) && bare.write("no line end") == 11);
        bare.close();
        dialog.SetFilePicker([&](QWidget*) { return bare.fileName(); });
        Press(dialog, "Browse...");
        EXPECT_EQ(dialog.ShortMessage(), "no line end");
        dialog.SetFilePicker([&](QWidget*) { return file; });
        Press(dialog, "Browse...");
        EXPECT_EQ(dialog.ShortMessage(), "from a file");
        dialog.findChild<QLineEdit*>("source_addr")->setText("10086");
        dialog.findChild<QLineEdit*>("esm_class")->setText("0x40");
        dialog.findChild<QComboBox*>("data_coding")->setCurrentIndex(8);
        dialog.findChild<QComboBox*>("Long messages")->setCurrentText("SAR parameters");
        dialog.findChild<QComboBox*>("Dest system id")->setEditText("esme1");
        dialog.findChild<QSpinBox*>("Count")->setValue(10000); // the most one entry may ask for
        dialog.Tlvs()->SetTlvs({{0x0428, {0x32}}, {0x1401, {0xAB, 0x01}}, {0x0005, {}}});
        QTableWidgetItem* value = dialog.findChild<QTableWidget*>("Optional parameters")->item(1, 1);
        value->setText("AB0"); // as Send, Add to list keeps the dialog open on a value that does not read
        Press(dialog, "&Add to list");
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.Tlvs()->Problem(), "Optional parameters: the value of tag '0x1401' is no hex text");
        value->setText("AB01");
        Press(dialog, "&Add to list");
    });
    // Without a bound ESME "&Send" says so and keeps the dialog open.
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        dialog.findChild<QComboBox*>("Dest system id")->setEditText("nobody");
        Press(dialog, "&Send");
        EXPECT_TRUE(dialog.isVisible());
        Press(dialog, "&Cancel");
    });
    EXPECT_EQ(m_asked, std::vector<QString>{"No bound ESME has system id nobody"});
    ASSERT_EQ(m_view->List()->model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "10000");
    EXPECT_EQ(Cell(0, 2), "esme1");
    EXPECT_EQ(Cell(0, 3), "from a file");

    AddEntries({"second"});
    Select({1, 0});
    WithDialog([this] { m_view->Edit(); }, [&](CDeliverDialog& dialog) {
        const DeliverEntry entry = dialog.Entry();
        EXPECT_EQ(entry.fields.sourceAddr, "10086");
        EXPECT_EQ(entry.fields.esmClass, 0x40);
        EXPECT_EQ(entry.fields.dataCoding, 8);
        EXPECT_EQ(entry.split, smpp::SplitOption::Sar);
        EXPECT_EQ(entry.fields.tlvs, (std::vector<smpp::Tlv>{{0x0428, {0x32}}, {0x1401, {0xAB, 0x01}}, {0x0005, {}}}));
        EXPECT_EQ(entry.count, 10000);
        dialog.SetShortMessage("edited");
        Press(dialog, "&Cancel");
    });
    EXPECT_EQ(Cell(0, 3), "from a file");
    WithDialog([this] { m_view->Edit(); }, [&](CDeliverDialog& dialog) {
        dialog.SetShortMessage("edited");
        Press(dialog, "&Add to list");
    });
    EXPECT_EQ(Cell(0, 3), "edited");
    EXPECT_EQ(Cell(0, 2), "esme1");
    EXPECT_EQ(Cell(1, 3), "second");
    EXPECT_EQ(m_view->List()->model()->rowCount(), 2);
}

// The composer sending to real ESMEs bound over loopback.
class DeliverSendTest : public DeliverViewTest {
protected:
    void SetUp() override
    {
        DeliverViewTest::SetUp();
        m_smpp.SetListenAddress(QHostAddress::LocalHost);
        ASSERT_TRUE(m_smpp.Start(0, 10, 3600));
        m_view->SetSender(MakeSmppSender(m_smpp));
    }
    std::unique_ptr<TestClient> Bind(uint32_t command, const std::string& systemId, uint8_t version = 0x34)
    {
        auto client = std::make_unique<TestClient>();
        EXPECT_TRUE(client->Connect(m_smpp.ListeningPort()));
        client->Send(test_bytes::SmppPdu(command, 1, Builder().cstr(systemId).cstr("pw").cstr("").u8(version).u8(1).u8(1).cstr("")));
        EXPECT_TRUE(client->NextPdu().has_value()) << "bind answered";
        return client;
    }
    // The short messages of the deliver_sm PDUs a client has received so far, in order.
    static std::vector<std::string> Delivered(TestClient& client)
    {
        std::vector<std::string> texts;
        while (const auto pdu = client.NextPdu(0)) {
            EXPECT_EQ(ReadBe32(pdu->data() + 4), smpp::kDeliverSm);
            size_t at = 16;
            const auto skipText = [&] { at = std::find(pdu->begin() + at, pdu->end(), 0) - pdu->begin() + 1; };
            skipText();                          // service_type
            at += 2, skipText(), at += 2;        // source ton, npi, addr; dest ton, npi
            skipText(), at += 3;                 // destination_addr, esm_class, protocol_id, priority_flag
            skipText(), skipText(), at += 4;     // schedule, validity, registered, replace, coding, default id
            const size_t length = (*pdu)[at];
            texts.emplace_back(pdu->begin() + at + 1, pdu->begin() + at + 1 + length);
        }
        return texts;
    }
    // Waits for count more deliver_sm PDUs and returns their short messages.
    static std::vector<std::string> Collect(TestClient& client, size_t count)
    {
        std::vector<std::string> texts;
        WaitUntil([&] {
            for (std::string& text : Delivered(client))
                texts.push_back(std::move(text));
            return texts.size() >= count;
        });
        return texts;
    }

public:
    static uint32_t ReadBe32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

protected:
    CSmppServer m_smpp;
};

TEST_F(DeliverSendTest, SendGoesCountTimesToTheReceiversOfTheSystemIdOnly)
{
    auto receiver = Bind(smpp::kBindReceiver, "esme1");
    auto transmitter = Bind(smpp::kBindTransmitter, "tx");
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        auto* destination = dialog.findChild<QComboBox*>("Dest system id");
        ASSERT_EQ(destination->count(), 2);
        EXPECT_EQ(destination->itemText(0), "esme1");
        EXPECT_EQ(destination->itemText(1), "tx");
        dialog.findChild<QLineEdit*>("source_addr")->setText("10086");
        dialog.findChild<QLineEdit*>("destination_addr")->setText("13800000000");
        dialog.SetShortMessage("hello");
        dialog.findChild<QSpinBox*>("Count")->setValue(3);
        Press(dialog, "&Send");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    // Built from the field values: header, then the body field by field.
    const std::vector<uint8_t> first = test_bytes::SmppPdu(
        smpp::kDeliverSm, 1,
        Builder().cstr("").u8(1).u8(1).cstr("10086").u8(1).u8(1).cstr("13800000000").u8(0).u8(0).u8(0).cstr("").cstr("")
            .u8(0).u8(0).u8(0).u8(0).u8(5).raw("hello"));
    ASSERT_TRUE(receiver->WaitForBytes(3 * first.size()));
    EXPECT_EQ(std::vector<uint8_t>(receiver->Received().begin(), receiver->Received().begin() + first.size()), first);
    EXPECT_EQ(Delivered(*receiver), (std::vector<std::string>{"hello", "hello", "hello"}));

    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        dialog.findChild<QComboBox*>("Dest system id")->setEditText("tx");
        Press(dialog, "&Send");
        EXPECT_TRUE(dialog.isVisible());
        Press(dialog, "&Cancel");
    });
    EXPECT_EQ(m_asked, std::vector<QString>{"tx is bound as a transmitter only: deliver_sm needs a receiver or a transceiver"});
    EXPECT_TRUE(transmitter->Received().empty());

    // A character the GSM alphabet lacks keeps the dialog open; a long text goes in the parts asked for.
    m_asked.clear();
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        dialog.SetShortMessage(QString::fromUtf8("ab\u0416"));
        Press(dialog, "&Send");
        EXPECT_TRUE(dialog.isVisible());
        auto* split = dialog.findChild<QComboBox*>("Long messages");
        EXPECT_EQ(split->currentText(), "UDH, 8-bit reference");
        split->setCurrentText("SAR parameters");
        dialog.SetShortMessage(QString(161, 'a'));
        EXPECT_EQ(dialog.Entry().text, std::string(161, 'a'));
        EXPECT_EQ(dialog.Entry().ShortMessage(), std::string(161, 'a'));
        Press(dialog, "&Send");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    EXPECT_EQ(m_asked, std::vector<QString>{"short_message: '\u0416' (U+0416) is not in the GSM 7-bit alphabet"});
    EXPECT_EQ(Collect(*receiver, 2), (std::vector<std::string>{std::string(160, 'a'), "a"}));

    // The DATA_SM composer takes what data_sm carries, a receipt asked for among it.
    WithDialog([this] { m_view->AddDataSm(); }, [&](CDeliverDialog& dialog) {
        dialog.findChild<QLineEdit*>("registered_delivery")->setText("1");
        dialog.SetShortMessage("hi");
        Press(dialog, "&Send");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    const std::optional<Bytes> dataSm = receiver->NextPdu();
    ASSERT_TRUE(dataSm && dataSm->size() > 16);
    EXPECT_EQ(Bytes(dataSm->begin() + 4, dataSm->begin() + 8), Builder().u32(smpp::kDataSm).bytes());
    EXPECT_EQ(Bytes(dataSm->begin() + 16, dataSm->end()), Builder().cstr("").u8(1).u8(1).cstr("").u8(1).u8(1).cstr("")
        .u8(0).u8(1).u8(0).u16(0x0424).u16(2).raw("hi").bytes());
    EXPECT_EQ(m_view->List()->model()->rowCount(), 0) << "what Send sent is not kept in the list";
}

// Optional parameters typed from the keyboard: a name completes ("(5.0)" marks SMPP 5.0's), a tag without a name goes
// in hex, Alt+R takes a row away, a value that is no hex keeps the dialog open naming its parameter. They go as typed to a session of 5.0; a
// session of 3.3 is sent none, as the dialog says.
TEST_F(DeliverSendTest, OptionalParametersGoAsTypedAndNoneToASessionOf33)
{
    auto modern = Bind(smpp::kBindReceiver, "new", 0x50);
    auto old = Bind(smpp::kBindReceiver, "old", 0x33);
    // Alt+P adds a row (its button clicks a moment later) and edits its parameter; Tab takes the completion.
    const auto type = [](QDialog& dialog, const char* name, const char* value) {
        auto* table = dialog.findChild<QTableWidget*>("Optional parameters");
        const int rows = table->rowCount();
        QTest::keyClick(QApplication::focusWidget(), 'p', Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            QWidget* focus = QApplication::focusWidget();
            return table->rowCount() > rows && qobject_cast<QComboBox*>(focus) && table->isAncestorOf(focus);
        }));
        QTest::keyClicks(QApplication::focusWidget(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), value);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    };
    const auto note = [](CDeliverDialog& dialog) { return dialog.Tlvs()->Note().toStdString(); };
    const Bytes body = Builder().cstr("").u8(1).u8(1).cstr("").u8(1).u8(1).cstr("").u8(0).u8(0).u8(0).cstr("").cstr("")
        .u8(0).u8(0).u8(0).u8(0).u8(2).raw("hi");
    for (const char* name : {"new", "old"}) {
        WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
            dialog.findChild<QComboBox*>("Dest system id")->setEditText(name);
            dialog.SetShortMessage("hi");
            auto* table = dialog.findChild<QTableWidget*>("Optional parameters");
            QTest::keyClick(QApplication::focusWidget(), 'o', Qt::AltModifier);
            EXPECT_EQ(QApplication::focusWidget(), table);
            type(dialog, "source_p", "0B"); // Tab past the last cell edits the first again
            QTest::keyClick(QApplication::focusWidget(), 'r', Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor([&] { return table->rowCount() == 0; }));
            type(dialog, "CONGES", "32");
            type(dialog, "0x1401", "a b");
            ASSERT_EQ(table->rowCount(), 2);
            EXPECT_EQ(table->item(0, 0)->text(), "congestion_state (5.0)");
            Press(dialog, "&Send");
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.Tlvs()->Problem(), "Optional parameters: the value of tag '0x1401' is no hex text");
            EXPECT_EQ(table->currentRow(), 1);
            table->item(1, 1)->setText("ABcd");
            EXPECT_EQ(note(dialog), std::string(name) == "old"
                                        ? "A session bound as old runs SMPP 3.3: it is sent no optional parameter."
                                        : "");
            Press(dialog, "&Send");
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        });
    }
    const Bytes tlvs = Builder().u16(0x0428).u16(1).u8(0x32).u16(0x1401).u16(2).u8(0xAB).u8(0xCD);
    EXPECT_EQ(modern->NextPdu(), test_bytes::SmppPdu(smpp::kDeliverSm, 1, Builder().raw(body).raw(tlvs)));
    EXPECT_EQ(old->NextPdu(), test_bytes::SmppPdu(smpp::kDeliverSm, 1, body));
    EXPECT_TRUE(m_asked.empty());
}

TEST_F(DeliverSendTest, QuickDeliverSendsTheSelectionOrEverythingAndTheOnlineListOneConnection)
{
    auto a = Bind(smpp::kBindTransceiver, "esme1");
    auto b = Bind(smpp::kBindReceiver, "esme1");
    m_view->AddEntry("esme1", "one", 1);
    m_view->AddEntry("nobody", "two", 1);
    m_view->AddEntry("esme1", "three", 2);
    m_view->AddEntry("esme1", "\u0416", 1); // refused, and named in the same report
    m_view->AddEntry("nobody", "four", 1);    // named once for both its entries

    QToolButton* deliver = nullptr;
    for (QToolButton* button : m_view->findChildren<QToolButton*>())
        if (button->accessibleName() == "Deliver")
            deliver = button;
    ASSERT_NE(deliver, nullptr);
    QTest::mouseClick(deliver, Qt::LeftButton);
    const std::vector<std::string> all = {"one", "three", "three"};
    EXPECT_EQ(Collect(*a, 3), all);
    EXPECT_EQ(Collect(*b, 3), all);
    EXPECT_EQ(m_asked, std::vector<QString>{"No bound ESME has system id nobody\nEntry 4, short_message: '\u0416' (U+0416) "
                                            "is not in the GSM 7-bit alphabet"});

    Select({0});
    m_view->List()->setFocus();
    QTest::keyClick(m_view->List(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Collect(*a, 1), std::vector<std::string>{"one"});
    EXPECT_EQ(Collect(*b, 1), std::vector<std::string>{"one"});

    const uint64_t onlyB = test_net::NthConnection(m_smpp, m_smpp.GetConnectionCount() - 1)->Id();
    WithDialog([&] { m_view->QuickDeliverTo(onlyB); }, [&](CDeliverDialog& dialog) {
        auto* destination = dialog.findChild<QComboBox*>("Dest system id");
        EXPECT_FALSE(destination->isEnabled());
        EXPECT_EQ(destination->currentText(), "esme1");
        dialog.SetShortMessage("just b");
        Press(dialog, "&Send");
    });
    EXPECT_EQ(Collect(*b, 1), std::vector<std::string>{"just b"});
    EXPECT_TRUE(a->Received().empty());
}

TEST_F(DeliverViewTest, MobilePageDeliversToThePhonesLoggedInUnderTheNumber)
{
    CMobileServer mobile;
    mobile.SetListenAddress(QHostAddress::LocalHost);
    ASSERT_TRUE(mobile.Start(0, 10, 3600));
    TestClient phone;
    ASSERT_TRUE(phone.Connect(mobile.ListeningPort()));
    phone.Send(test_bytes::Pdu12(test_protocol::kLogin, 1, Builder().u32(0).text("13800000000", 24)));
    ASSERT_TRUE(phone.NextPdu().has_value());
    m_view->SetMode(8);
    m_view->SetSender(MakeMobileSender(mobile));

    // A TEST DELIVER carries who it is from and the text: the composer greys every other field.
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        EXPECT_TRUE(dialog.findChild<QWidget*>("source_addr")->isEnabled());
        for (const char* field : {"destination_addr", "esm_class", "registered_delivery"})
            EXPECT_FALSE(dialog.findChild<QWidget*>(field)->isEnabled()) << field;
        EXPECT_FALSE(dialog.findChild<QTableWidget*>("Optional parameters")->isEnabled()) << "nor optional parameters";
        EXPECT_FALSE(test_qt::Button(dialog, "Add &parameter")->isEnabled());
        Press(dialog, "&Cancel");
    });
    const std::unique_ptr<QMenu> menu = m_view->CreateContextMenu();
    EXPECT_FALSE(menu->actions()[1]->isEnabled()) << "TEST has no data_sm";
    EXPECT_FALSE(menu->actions()[2]->isEnabled()) << "nor alert_notification";

    DeliverEntry entry = DeliverEntry::Make("13800000000", "hi", 1);
    entry.fields.sourceAddr = "10086";
    entry.fields.dataCoding = 8;
    m_view->AddEntry(entry);
    // A count of 0 still sends once; Latin-1, which TEST does not share, goes as the phone's own text (format 0).
    DeliverEntry latin1 = DeliverEntry::Make("13800000000", std::string(300, 'x'), 0);
    latin1.fields.dataCoding = 3;
    m_view->AddEntry(latin1);
    m_view->QuickDeliver();
    const auto deliver = phone.NextPdu();
    ASSERT_TRUE(deliver.has_value());
    ASSERT_EQ(deliver->size(), 76u);
    const std::vector<uint8_t> msgId(deliver->begin() + 60, deliver->begin() + 70); // the server's counter
    const uint32_t sequence = DeliverSendTest::ReadBe32(deliver->data() + 8); // the server's too
    EXPECT_EQ(*deliver, test_bytes::Pdu12(test_protocol::kDeliver, sequence,
                                          Builder().text("13800000000", 24).text("10086", 24).raw(msgId).u8(4).u8(8)
                                              .u8(0).u8('h').u8(0).u8('i')));
    // A TEST DELIVER's msg_length is one octet: a longer text is cut at 255.
    const auto cut = phone.NextPdu();
    ASSERT_TRUE(cut && cut->size() > 70);
    EXPECT_EQ((*cut)[70], 255);
    EXPECT_EQ((*cut)[71], 0);
    EXPECT_EQ(cut->size(), 72u + 255u);
    EXPECT_TRUE(m_asked.empty());
}

} // namespace
