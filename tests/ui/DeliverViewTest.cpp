// The deliver composer: its list, Delete and Edit with their questions, the context menu, the caption
// buttons and the "Deliver short message" dialog's fresh start on every opening.
#include "tests/support/WidgetTestEnv.h"

#include "ui/DeliverDialog.h"
#include "ui/DeliverListModel.h"
#include "ui/DeliverView.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
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
    void Select(const std::vector<int>& rows)
    {
        QItemSelectionModel* selection = m_view->List()->selectionModel();
        selection->clearSelection();
        for (const int row : rows)
            selection->select(m_view->List()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString Cell(int row, int column) const { return m_view->List()->model()->index(row, column).data().toString(); }
    // Runs command, handing the dialog it opens to answer once the dialog's loop runs.
    void WithDialog(const std::function<void()>& command, const std::function<void(CDeliverDialog&)>& answer)
    {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CDeliverDialog*>(QApplication::activeModalWidget());
            answered = dialog != nullptr;
            if (dialog)
                answer(*dialog);
        });
        command();
        EXPECT_TRUE(answered);
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
    const Case cases[] = {
        {"plain", "hello"sv, "hello", "5"},
        {"stops at the NUL", "ab\0cdef"sv, "ab", "2"},
        {"characters, not octets", "h\xC3\xA9llo"sv, QString::fromUtf8("h\xC3\xA9llo"), "5"}, // six octets of UTF-8
        {"empty", ""sv, "", "0"},
        {"cut to the field", tooLong, QString(275, 'a'), "275"},
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
    const std::vector<QString> expected = {"Please select a item first.", "Please select a item of you prepaired delete",
                                           "Please select a item first.", "Please select a item of you prepaired delete"};
    EXPECT_EQ(m_asked, expected);
    for (const QMessageBox::StandardButtons buttons : m_buttons)
        EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(m_view->List()->model()->rowCount(), 1);
}

TEST_F(DeliverViewTest, ContextMenuGreysQuickDeliverWithoutSelection)
{
    const std::vector<QString> texts = {"&Add DELIVER_SM...", "Add DA&TA_SM...", "Add A&LERT_NOTIFICATION...", "",
                                        "&Edit...", "&Delete", "", "&Quick deliver short message"};
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
        ASSERT_EQ(actions.size(), 8);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(actions[i]->isSeparator(), texts[static_cast<size_t>(i)].isEmpty());
            EXPECT_EQ(actions[i]->text(), texts[static_cast<size_t>(i)]);
            EXPECT_EQ(actions[i]->isEnabled(), i == 7 ? c.quickEnabled : true);
        }
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
        {"source_addr_ton", 7, "00000001: International"},   {"source_addr_npi", 10, "00000001: ISDN (E163/E164) "},
        {"dest_addr_ton", 7, "00000001: International"},     {"dest_addr_npi", 10, "00000001: ISDN (E163/E164) "},
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
        EXPECT_EQ(dialog.findChild<QComboBox*>("dest_addr_npi")->itemText(2), "00000011: Data (X.121)");
        const QList<QLineEdit*> fields = dialog.findChildren<QLineEdit*>();
        EXPECT_EQ(fields.size(), 12);
        for (QLineEdit* field : fields)
            EXPECT_TRUE(field->text().isEmpty()) << field->objectName().toStdString();
        // Every label names its own field and hands the focus to it.
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        EXPECT_EQ(labels.size(), 17);
        for (QLabel* label : labels) {
            ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
            EXPECT_EQ(label->buddy()->objectName(), label->text());
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

TEST_F(DeliverViewTest, AddToListAppendsAndEditRewritesTheFirstSelectedEntry)
{
    const auto press = [](const char* text) {
        return [text](CDeliverDialog& dialog) {
            for (QPushButton* b : dialog.findChildren<QPushButton*>())
                if (b->text() == text)
                    return QTest::mouseClick(b, Qt::LeftButton);
            ADD_FAILURE() << "no button " << text;
        };
    };
    WithDialog([this] { m_view->AddDeliverSm(); }, [&](CDeliverDialog& dialog) {
        dialog.SetShortMessage("first");
        press("&Add to list")(dialog);
    });
    WithDialog([this] { m_view->AddDeliverSm(); }, press("&Send"));
    ASSERT_EQ(m_view->List()->model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 3), "first");

    AddEntries({"second"});
    Select({1, 0});
    WithDialog([this] { m_view->Edit(); }, [&](CDeliverDialog& dialog) {
        EXPECT_EQ(dialog.ShortMessage(), "first");
        dialog.SetShortMessage("edited");
        press("&Cancel")(dialog);
    });
    EXPECT_EQ(Cell(0, 3), "first");
    WithDialog([this] { m_view->Edit(); }, [&](CDeliverDialog& dialog) {
        dialog.SetShortMessage("edited");
        press("&Send")(dialog);
    });
    EXPECT_EQ(Cell(0, 3), "edited");
    EXPECT_EQ(Cell(1, 3), "second");
}

} // namespace
