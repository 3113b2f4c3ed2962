// "Faults": the rules it opens with, editing them from the keyboard, and what OK stores and applies.
#include "tests/support/WidgetTestEnv.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "ui/FaultsPage.h"
#include "ui/FilterDialog.h"

#include <QLabel>
#include <QAbstractButton>
#include <QCheckBox>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

class FaultsPageTest : public ::testing::Test {
protected:
    void SetUp() override { test_qt::ClearSettings(); }

    CFaultsPage& Open() {
        m_dialog = std::make_unique<CFilterDialog>(m_simulator);
        m_dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        auto* page = m_dialog->findChild<CFaultsPage*>();
        m_dialog->Pages()->setCurrentWidget(page);
        EXPECT_EQ(m_dialog->Pages()->tabText(m_dialog->Pages()->currentIndex()), "Faults");
        return *page;
    }
    // Alt+key, as a user reaches a button or a field by its mnemonic. A button so pressed
    // comes up, and clicks, a moment later.
    void Alt(char key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        const auto buttons = m_dialog->findChildren<QAbstractButton*>();
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return std::none_of(buttons.begin(), buttons.end(), [](QAbstractButton* b) { return b->isDown(); });
        }));
    }
    void Type(const QString& text) {
        QWidget* field = QApplication::focusWidget();
        ASSERT_TRUE(field);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }
    static QString Stored() { return QSettings().value("Setup/FaultRules").toString(); }
    QStringList Column(int column) const {
        QStringList texts;
        QTableWidget* table = m_dialog->findChild<CFaultsPage*>()->Table();
        for (int row = 0; row < table->rowCount(); ++row)
            texts << table->item(row, column)->text();
        return texts;
    }

    CSimulator m_simulator;
    std::unique_ptr<CFilterDialog> m_dialog;
};

TEST_F(FaultsPageTest, EditsRulesFromTheKeyboardAndOkStoresAndAppliesThem) {
    QSettings().setValue("Setup/FaultRules", R"([{"command":"enquire_link","action":"drop"}])");
    CFaultsPage& page = Open();
    EXPECT_EQ(Column(CFaultsPage::kCommand), QStringList{"enquire_link"});

    Alt('a'); // a new rule below the selected one
    Alt('n');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // "bind"
    Alt('y');
    Type("^bad");
    Alt('s');
    Type("0x0D");
    Alt('g');
    Type("100"); // told as congestion_state at 5.0, the most there is
    Alt('l');
    Type("250");
    Alt('p');
    Type("0.5");
    Alt('e');
    Type("20");
    Alt('a'); // and a third, for the UCP server, its protocol field focused
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // "ucp"
    Alt('d');
    Type("^44");
    Alt('i');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // "drop"
    Alt('u');
    EXPECT_EQ(Column(CFaultsPage::kCommand), (QStringList{"enquire_link", "(message ops)", "bind"}));
    Alt('b'); // Enabled off
    EXPECT_EQ(page.Table()->item(1, CFaultsPage::kEnabled)->checkState(), Qt::Unchecked);
    page.Table()->selectRow(0);
    Alt('r');
    EXPECT_EQ(Column(CFaultsPage::kSystemId), (QStringList{"", "^bad"}));
    EXPECT_EQ(Column(CFaultsPage::kProtocol), (QStringList{"ucp", "smpp"}));
    EXPECT_TRUE(page.Table()->selectionModel()->isRowSelected(0, {}) && test_qt::Button(page, "&Remove")->isEnabled())
        << "the rule that took the removed one's place is selected";
    EXPECT_FALSE(test_qt::Button(page, "Move &up")->isEnabled()) << "the first rule goes no higher";
    Alt('w'); // down a row, and up again
    EXPECT_EQ(Column(CFaultsPage::kProtocol), (QStringList{"smpp", "ucp"}));
    Alt('u');
    page.Table()->selectRow(1);
    EXPECT_FALSE(test_qt::Button(page, "Move do&wn")->isEnabled()) << "the last rule goes no lower";
    page.Table()->setCurrentCell(1, CFaultsPage::kEnabled); // the row's own box, toggled with the space bar
    QTest::keyClick(page.Table(), Qt::Key_Space);
    EXPECT_FALSE(page.findChild<QCheckBox*>()->isChecked()) << "the fields follow";

    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const std::string stored =
        R"([{"action":"drop","destination":"^44","enabled":false,"protocol":"ucp"},)"
        R"({"command":"bind","congestionState":100,"delayMs":250,"enabled":false,"probability":0.5,"ratePerSecond":20,)"
        R"("status":"0x0000000D","systemId":"^bad"}])";
    EXPECT_EQ(Stored().toStdString(), stored);
    EXPECT_EQ(m_simulator.Smpp().Faults().Rules(), page.Rules());
    EXPECT_EQ(CSettings().FaultRules(), page.Rules());
}

TEST_F(FaultsPageTest, BadRegularExpressionKeepsTheDialogOpenAndCancelStoresNothing) {
    CFaultsPage& page = Open();
    EXPECT_EQ(page.Table()->rowCount(), 0);
    Alt('a');
    Alt('y');
    Type("(esme");
    EXPECT_EQ(page.Problem()->text(),
              "Rule 1, \"systemId\": bad regular expression (missing closing parenthesis at offset 5)");
    m_dialog->Pages()->setCurrentIndex(0);
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->Pages()->currentWidget(), &page) << "the page that stops OK is shown";
    Type("esme");
    EXPECT_EQ(page.Problem()->text(), "");
    m_dialog->reject();
    EXPECT_EQ(Stored().toStdString(), "");
    EXPECT_TRUE(m_simulator.Smpp().Faults().IsEmpty());
}

} // namespace
