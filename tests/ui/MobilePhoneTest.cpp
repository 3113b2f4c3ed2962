// The phone window as a TEST client of a real mobile server over loopback: log in, a DELIVER shown
// and answered, a SUBMIT sent, log out.
#include "tests/support/WidgetTestEnv.h"

#include "mobile/MobileServer.h"
#include "tests/support/TestClient.h"
#include "ui/MobilePhone.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using test_net::WaitUntil;
using test_qt::Button;

class Listener : public CMobileMessageListener {
public:
    void OnTerminalSubmitted(const CConnection&, const test_protocol::TerminalMessage& message) override { submitted.push_back(message); }
    void OnDeliverAnswered(int32_t result, uint64_t tag) override { answers.emplace_back(result, tag); }

    std::vector<test_protocol::TerminalMessage> submitted;
    std::vector<std::pair<int32_t, uint64_t>> answers;
};

TEST(MobilePhone, LogsInAnswersADeliverSendsASubmitAndLogsOut) {
    CMobileServer server;
    Listener listener;
    server.SetMessageListener(&listener);
    server.SetListenAddress(QHostAddress::LocalHost);
    ASSERT_TRUE(server.Start(0, 10, 3600));

    auto* phone = new CMobilePhone(server.ListeningPort());
    phone->show();
    QPointer<CMobilePhone> alive(phone);
    EXPECT_FALSE(Button(*phone, "Log &in")->isEnabled()) << "no number yet";
    QTest::keyClicks(phone->NumberField(), "13900000001");
    QTest::keyClick(phone->NumberField(), Qt::Key_Return); // as Log in does
    ASSERT_TRUE(WaitUntil([&] { return phone->GetState() == CMobilePhone::State::LoggedIn; }));
    EXPECT_EQ(server.LoggedInTerminals(), std::vector<std::string>{"13900000001"});
    EXPECT_EQ(phone->StatusLine()->text(), "Logged in as 13900000001");
    EXPECT_EQ(phone->windowTitle(), "Mobile phone - 13900000001");

    // GBK text, as a routed ESME message arrives; "\xC4\xE3\xBA\xC3" is GBK for U+4F60 U+597D.
    ASSERT_EQ(server.DeliverToTerminal("13900000001", "10086", 15, {'h', 'i', ' ', 0xC4, 0xE3, 0xBA, 0xC3}, 1, 77), 1);
    ASSERT_TRUE(WaitUntil([&] { return !listener.answers.empty(); }));
    EXPECT_EQ(listener.answers, (std::vector<std::pair<int32_t, uint64_t>>{{0, 77}}));
    ASSERT_EQ(phone->Inbox()->topLevelItemCount(), 1);
    EXPECT_EQ(phone->Inbox()->topLevelItem(0)->text(CMobilePhone::kFrom), "10086");
    EXPECT_EQ(phone->Inbox()->topLevelItem(0)->text(CMobilePhone::kMessage), QString::fromUtf8("hi \u4F60\u597D"));
    EXPECT_EQ(phone->StatusLine()->text(), "Logged in as 13900000001 - message from 10086");

    // A long message's parts (each header holding 0x00, IE 0x00 of the 8-bit reference) make one row, once all came.
    int arrived = 0;
    for (const uint8_t number : {2, 1, 3}) {
        std::vector<uint8_t> part{5, 0, 3, 0x42, 3, number};
        const std::string text = number == 1 ? "Three " : number == 2 ? "parts, " : "one \xC4\xE3\xBA\xC3";
        part.insert(part.end(), text.begin(), text.end());
        ASSERT_EQ(server.DeliverToTerminal("13900000001", "10086", 15, part), 1);
        ++arrived;
        ASSERT_TRUE(WaitUntil([&] { return listener.answers.size() == 1u + size_t(arrived); })) << "every part answered";
        if (arrived < 3) {
            EXPECT_TRUE(phone->StatusLine()->text().endsWith(QString("part %1 of 3 of a long message from 10086").arg(arrived)));
        }
        EXPECT_EQ(phone->Inbox()->topLevelItemCount(), arrived < 3 ? 1 : 2);
    }
    EXPECT_EQ(phone->Inbox()->topLevelItem(1)->text(CMobilePhone::kMessage), QString::fromUtf8("Three parts, one 你好"));

    EXPECT_FALSE(Button(*phone, "&Send")->isEnabled()) << "no destination yet";
    // A terminal number fills its field but for the end mark.
    QTest::keyClicks(phone->DestinationField(), QString(test_protocol::kTerminalNumberWidth, '1'));
    EXPECT_EQ(phone->DestinationField()->text().size(), test_protocol::kTerminalNumberWidth - 1);
    phone->DestinationField()->clear();
    QTest::keyClicks(phone->DestinationField(), "10086");
    EXPECT_TRUE(Button(*phone, "&Send")->isEnabled());
    QTest::keyClicks(phone->TextField(), "ok");
    QTest::keyClick(phone->TextField(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !listener.submitted.empty(); }));
    EXPECT_EQ(listener.submitted[0].destTerminal, "10086");
    EXPECT_EQ(listener.submitted[0].srcTerminal, "13900000001");
    EXPECT_EQ(listener.submitted[0].msgId, "0000000001");
    EXPECT_EQ(listener.submitted[0].content, (std::vector<uint8_t>{'o', 'k'})) << "GBK, the one format a SUBMIT carries";
    EXPECT_TRUE(phone->TextField()->text().isEmpty());
    EXPECT_EQ(phone->StatusLine()->text(), "Logged in as 13900000001 - sent to 10086");

    // What GBK cannot write stays in the field, said on the status line; nothing goes.
    phone->TextField()->setText(QString::fromUtf8("\U0001F600"));
    QTest::keyClick(phone->TextField(), Qt::Key_Return);
    EXPECT_EQ(phone->StatusLine()->text(), QString::fromUtf8("Logged in as 13900000001 - not sent: '\U0001F600' (U+1F600) is not in GBK"));
    EXPECT_EQ(phone->TextField()->text(), QString::fromUtf8("\U0001F600"));
    phone->TextField()->setText(QString(161, 'x'));
    QTest::keyClick(phone->TextField(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return listener.submitted.size() == 3; }));
    EXPECT_EQ(listener.submitted[1].content.size(), 6u + 134u);
    EXPECT_EQ(listener.submitted[2].content.size(), 6u + 27u);
    // Alt+L and Down choose the 16-bit reference, whose header takes one octet more; Send sends as Return does.
    phone->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(phone));
    QTest::keyClick(phone->TextField(), Qt::Key_L, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    phone->TextField()->setText(QString(161, 'x'));
    QTest::mouseClick(Button(*phone, "&Send"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return listener.submitted.size() == 5; }));
    EXPECT_EQ(listener.submitted[3].content.size(), 7u + 133u);
    EXPECT_EQ(listener.submitted[4].content.size(), 7u + 28u);
    EXPECT_EQ(phone->StatusLine()->text(), "Logged in as 13900000001 - sent to 10086 in 2 parts");

    // Another number, logged in without logging out first; the field stops where the server's number does.
    ASSERT_TRUE(Button(*phone, "Log &in")->isEnabled());
    phone->NumberField()->clear();
    QTest::keyClicks(phone->NumberField(), "1390000000200000000000");
    const std::string number = phone->NumberField()->text().toStdString();
    EXPECT_EQ(number.size(), size_t(test_protocol::kMaxTerminalNumberChars));
    QTest::mouseClick(Button(*phone, "Log &in"), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return phone->windowTitle() == QString::fromStdString("Mobile phone - " + number); }));
    EXPECT_EQ(server.LoggedInTerminals(), std::vector<std::string>{number});

    QTest::mouseClick(Button(*phone, "Log &out"), Qt::LeftButton);
    EXPECT_EQ(phone->GetState(), CMobilePhone::State::LoggedOut);
    EXPECT_EQ(phone->windowTitle().toStdString(), "Mobile phone");
    EXPECT_TRUE(WaitUntil([&] { return server.GetConnectionCount() == 0; },
                          CSocketServer::kClosePauseMs + test_net::kWaitMs));
    phone->close();
    EXPECT_TRUE(WaitUntil([&] { return alive.isNull(); })) << "a closed phone deletes itself";
}

// A login the server never answers can be given up: Log out stays at hand while the phone waits.
TEST(MobilePhone, LogOutAbandonsALoginLeftUnanswered) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    auto phone = std::make_unique<CMobilePhone>(silent.serverPort());
    phone->show();
    QTest::keyClicks(phone->NumberField(), "13900000001");
    QTest::mouseClick(Button(*phone, "Log &in"), Qt::LeftButton);
    EXPECT_NE(phone->GetState(), CMobilePhone::State::LoggedOut);
    EXPECT_TRUE(Button(*phone, "Log &out")->isEnabled()) << "connecting";
    ASSERT_TRUE(WaitUntil([&] { return phone->GetState() == CMobilePhone::State::LoggingIn; }));
    EXPECT_TRUE(Button(*phone, "Log &out")->isEnabled()) << "logging in";
    EXPECT_FALSE(Button(*phone, "Log &in")->isEnabled()) << "one login at a time";
    QTest::mouseClick(Button(*phone, "Log &out"), Qt::LeftButton);
    EXPECT_EQ(phone->GetState(), CMobilePhone::State::LoggedOut);
}

} // namespace
