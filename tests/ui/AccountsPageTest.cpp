// "Accounts", "Sessions" and "Delivery": editing from the keyboard, a bad entry keeping the dialog open, and
// what OK stores and hands to the servers.
#include "tests/support/WidgetTestEnv.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "ui/AccountsPage.h"
#include "ui/DeliveryPage.h"
#include "ui/FilterDialog.h"
#include "ui/SessionsPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

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
    EXPECT_FALSE(page.findChild<QLineEdit*>()->isEnabled()) << "no account to edit";
    EXPECT_FALSE(test_qt::Button(page, "&Remove")->isEnabled());
    Alt('a'); // a new account, its system id focused
    EXPECT_EQ(page.Problem()->text(), "Account 1, \"systemId\": missing");
    Type("esme");
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kEnquireLink)->text(), "as on Sessions") << "a new account's own";
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kMaxBinds)->text(), "no limit");
    Alt('p');
    Type("pw");
    EXPECT_EQ(page.Problem()->text(), "") << "\"as on Delivery\" is said by leaving the profile out";
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
    Type("1000000"); // as high as a stored account may go
    Alt('e');
    Type("0"); // never, not "as on Sessions" (-1)
    Alt('t'); // transmitter off
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kBindTypes)->text(), "receiver, transceiver");
    Alt('f');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End); // the last built-in receipt profile
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kReceiptProfile)->text(), "hex ids in text");
    Alt('a'); // an account too many, with no system id, below the selected one, taken away again
    EXPECT_EQ(page.Table()->item(0, CAccountsPage::kSystemId)->text(), "esme");
    Alt('w');
    EXPECT_EQ(qobject_cast<QSpinBox*>(QApplication::focusWidget())->text(), "no cap") << "the new account's own";
    Alt('r');
    EXPECT_EQ(page.Table()->rowCount(), 1);
    EXPECT_EQ(page.Problem()->text(), "");
    QStringList row;
    for (int column = 0; column < CAccountsPage::kColumns; ++column)
        row << page.Table()->item(0, column)->text();
    EXPECT_EQ(row.join('|'),
              "esme|pw|receiver, transceiver|no limit|127.0.0.1, 10.0.0.0/8|1000000|0 s|hex ids in text");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const char* stored = R"([{"allowedAddresses":["127.0.0.1","10.0.0.0/8"],"bindTypes":["receiver","transceiver"],)"
                         R"("enquireLinkSeconds":0,"password":"pw","receiptProfile":"hex ids in text","systemId":"esme","window":1000000}])";
    EXPECT_EQ(QSettings().value("Setup/Accounts").toString().toStdString(), stored);
    EXPECT_EQ(m_simulator.Smpp().Accounts(), page.Accounts());
    EXPECT_EQ(m_simulator.Ucp().Accounts(), page.Accounts()) << "the text servers check logins too";
    EXPECT_EQ(m_simulator.Cimd().Accounts(), page.Accounts());
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
    Alt('r');
    Type("0");
    EXPECT_EQ(page.ResponseTimeout()->value(), 10) << "a response time-out cannot be off";
    Type("15");
    Alt('k');
    Type("250");
    Alt('t');
    Type("3");
    Alt('w');
    Type("7");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const SessionSettings expected{30, 15, 20, 0};
    EXPECT_EQ(CSettings().Sessions(), expected);
    EXPECT_EQ(m_simulator.Smpp().Sessions(), expected);
    EXPECT_EQ(m_simulator.Ucp().ResultTimeoutMs(), 15'000) << "the text servers wait as long for a result";
    EXPECT_EQ(m_simulator.Cimd().ResultTimeoutMs(), 15'000);
    EXPECT_EQ(m_simulator.Smpp().IdleTimeout(), 0);
    EXPECT_EQ(CSettings().Retry().backoffMs, 250);
    EXPECT_EQ(m_simulator.Smpp().Retry().maxTries, 3);
    EXPECT_EQ(CSettings().Retry().window, 7) << "read back as the next start reads it";
    // Each box's ends are values the settings reader takes back, none one it refuses for its default.
    CSessionsPage ends(m_simulator);
    for (const bool top : {false, true}) {
        SCOPED_TRACE(top ? "maximum" : "minimum");
        for (QSpinBox* box : ends.findChildren<QSpinBox*>())
            box->setValue(top ? box->maximum() : box->minimum());
        ends.Apply();
        EXPECT_EQ(CSettings().Sessions(), (SessionSettings{ends.EnquireLink()->value(), ends.ResponseTimeout()->value(),
                                                          ends.BindTimeout()->value(), ends.Inactivity()->value()}));
        const RetryPolicy retry = CSettings().Retry();
        EXPECT_EQ(std::tuple(retry.backoffMs, retry.maxTries, retry.window),
                  std::tuple(ends.RetryBackoff()->value(), ends.DeliverTries()->value(),
                             ends.DeliverWindow()->value()));
    }
}

// The receipt profile and the echo by keyboard alone: "Custom" opens the profile's fields, a bad weight
// keeps the dialog open naming it, and OK stores and applies both; a built-in is stored by its name.
TEST_F(SessionPagesTest, DeliveryPageSetsTheReceiptProfileAndTheEcho) {
    CDeliveryPage& page = Open<CDeliveryPage>("Delivery");
    EXPECT_FALSE(page.findChild<QSpinBox*>("ReceiptDelay")->isEnabled()) << "no receipts, no delay";
    Alt('r'); // routing off
    EXPECT_EQ(page.ProfileBox()->currentText(), "Default");
    EXPECT_FALSE(page.CarrierBox()->isEnabled()) << "a built-in is shown, not edited";
    Alt('p');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(page.ProfileBox()->currentText(), "Custom");
    EXPECT_TRUE(page.CarrierBox()->isEnabled());
    EXPECT_EQ(page.TextEdit()->text(), ReceiptProfile().text) << "Custom starts from what was shown";
    Alt('w');
    Type("DELIVRD 90, LOST 10");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(page.Problem()->text(), "states: DELIVRD, UNDELIV, EXPIRED, REJECTD, SCHEDLD or SKIPPED expected, not \"LOST\"");

    Alt('w');
    Type("UNDELIV 10, DELIVRD 90");
    Alt('x');
    Type("{state} {id}");
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    ASSERT_TRUE(m_dialog->isVisible()) << "a template naming no field is no profile";
    EXPECT_TRUE(page.Problem()->text().contains("unknown field {state};")) << page.Problem()->text().toStdString();
    Alt('x');
    Type("{stat} {id}");
    Alt('n'); // network_error_code on
    Alt('f');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End); // the id read as hex, written in decimal
    Alt('a');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End); // data_sm
    Alt('e'); // receipts on, at once: the delay's range starts at 0
    Alt('l');
    Type("0");
    Alt('h');
    Type(" 777 ");
    Alt('v');
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    const char* stored = R"({"carrier":"data_sm","idForm":"decimal","name":"Custom","states":{"DELIVRD":90,"UNDELIV":10},)"
                         R"("text":"{stat} {id}","tlvs":["receipted_message_id","message_state","network_error_code"]})";
    EXPECT_EQ(QSettings().value("Setup/ReceiptProfile").toString().toStdString(), stored);
    EXPECT_EQ(receipt_profiles::ToJson(m_simulator.Receipts()).toStdString(), stored);
    EXPECT_EQ(m_simulator.Echo(), (EchoSettings{"777", true})) << "the blanks around a number are no part of it";
    EXPECT_EQ(CSettings().Delivery().receiptDelayMs, 0);
    EXPECT_FALSE(CSettings().Delivery().routing);
    EXPECT_TRUE(CSettings().Delivery().receipts);
    EXPECT_EQ(QSettings().value("Setup/EchoDestination").toString(), "777");

    CDeliveryPage& again = Open<CDeliveryPage>("Delivery");
    EXPECT_EQ(again.ProfileBox()->currentText(), "Custom");
    EXPECT_EQ(again.WeightsEdit()->text(), "DELIVRD 90, UNDELIV 10");
    Alt('p');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(again.ProfileBox()->currentText(), "TLV only");
    EXPECT_EQ(again.TextEdit()->text(), "");
    EXPECT_TRUE(again.TlvBox(2)->isChecked());
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    EXPECT_EQ(QSettings().value("Setup/ReceiptProfile").toString(), "TLV only");
    EXPECT_EQ(m_simulator.Receipts(), *receipt_profiles::BuiltIn("TLV only"));
    // A built-in is stored by its name only while it is that built-in: one changed keeps its changes.
    ReceiptProfile changed = *receipt_profiles::BuiltIn("TLV only");
    changed.text = "{stat}";
    CSettings().SetReceipts(changed);
    EXPECT_EQ(CSettings().Receipts().text, changed.text);
}

} // namespace
