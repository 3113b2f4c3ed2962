// "Accounts" and "Sessions": editing from the keyboard, a bad account keeping the dialog open, and
// what OK stores and hands to the SMPP server.
#include "tests/support/WidgetTestEnv.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "ui/AccountsPage.h"
#include "ui/FilterDialog.h"
#include "ui/SessionsPage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class SessionPagesTest : public ::testing::Test {
protected:
    void SetUp() override { test_qt::ClearSettings(); }

    template <typename Page>
    Page& Open(const char* title) {
        m_dialog = std::make_unique<CFilterDialog>(m_simulator);
        m_dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        auto* page = m_dialog->findChild<Page*>();
        m_dialog->Pages()->setCurrentWidget(page);
        EXPECT_EQ(m_dialog->Pages()->tabText(m_dialog->Pages()->currentIndex()), title);
        return *page;
    }
    // Alt+key, as a user reaches a field by its mnemonic; a button so pressed clicks a moment later.
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

    CSimulator m_simulator;
    std::unique_ptr<CFilterDialog> m_dialog;
};

TEST_F(SessionPagesTest, ABadAccountKeepsTheDialogOpenNamingItAndItsField) {
    CAccountsPage& page = Open<CAccountsPage>("Accounts");
    EXPECT_EQ(page.Table()->rowCount(), 0);
    Alt('a'); // a new account, its system id focused
    EXPECT_EQ(page.Problem()->text(), "Account 1, \"systemId\": missing");
    Type("esme");
    Alt('p');
    Type("pw");
    Alt('d');
    Type("127.0.0.1, 10.0.0.300");
    EXPECT_EQ(page.Problem()->text(),
              "Account 1 (esme), \"allowedAddresses\": \"10.0.0.300\" is not an IPv4 address or CIDR block");
    m_dialog->Pages()->setCurrentIndex(0);
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->Pages()->currentWidget(), &page) << "the page that stops OK is shown";

    Alt('d');
    Type("127.0.0.1, 10.0.0.0/8");
    Alt('w');
    Type("5");
    Alt('t'); // transmitter off
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kBindTypes)->text(), "receiver, transceiver");
    EXPECT_EQ(page.Problem()->text(), "");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const char* stored = R"([{"allowedAddresses":["127.0.0.1","10.0.0.0/8"],"bindTypes":["receiver","transceiver"],)"
                         R"("password":"pw","systemId":"esme","window":5}])";
    EXPECT_EQ(QSettings().value("Setup/Accounts").toString().toStdString(), stored);
    EXPECT_EQ(m_simulator.Smpp().Accounts(), page.Accounts());
    EXPECT_EQ(m_simulator.AccountsJson().toStdString(), stored);
}

TEST_F(SessionPagesTest, SessionTimersAreStoredAndApplied) {
    CSessionsPage& page = Open<CSessionsPage>("Sessions");
    EXPECT_EQ(page.EnquireLink()->text(), "off");
    EXPECT_EQ(page.Inactivity()->value(), 3600);
    Alt('e');
    Type("30");
    Alt('b');
    Type("20");
    Alt('i');
    Type("0");
    Alt('k');
    Type("250");
    Alt('t');
    Type("3");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const SessionSettings expected{30, 10, 20, 0};
    EXPECT_EQ(CSettings().Sessions(), expected);
    EXPECT_EQ(m_simulator.Smpp().Sessions(), expected);
    EXPECT_EQ(m_simulator.Smpp().IdleTimeout(), 0);
    EXPECT_EQ(CSettings().Retry().backoffMs, 250);
    EXPECT_EQ(m_simulator.Smpp().Retry().maxTries, 3);
}

} // namespace
