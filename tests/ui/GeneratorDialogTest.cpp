// "Traffic generator": its fields reached by their mnemonics make the job, and a refused Start says why.
#include "tests/support/WidgetTestEnv.h"

#include "simulator/Simulator.h"
#include "ui/GeneratorDialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(GeneratorDialog, FieldsByTheKeyboardMakeTheJobAndARefusedStartSaysWhy) {
    test_qt::ClearSettings();
    CSimulator simulator{SimulatorOptions{0, 0, 0, 0, QHostAddress::LocalHost}};
    CGeneratorDialog dialog(simulator.Generator());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.Job().count, 1000) << "the amount a new job starts from";
    const GeneratorJob defaults, shown = dialog.Job(); // the rest as a job file leaves them out
    EXPECT_EQ(std::tuple(shown.rate, shown.source, shown.destination, shown.text),
              std::tuple(defaults.rate, defaults.source, defaults.destination, defaults.text));
    const QPushButton& stop = *test_qt::Button(dialog, "Sto&p");
    EXPECT_FALSE(stop.isEnabled()) << "nothing runs yet";
    const auto alt = [](char key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); };
    const auto type = [](const QString& text) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
    };
    alt('y');
    type("nobody");
    alt('s');
    type("20");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // the amount's unit
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    alt('r');
    type("500");
    alt('k');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    alt('c');
    type(QString(GeneratorJob::kMaxAddressChars + 1, '5')); // cut to what a job takes
    alt('d');
    type("86{n}");
    alt('x');
    type("Hi {n}");
    const GeneratorJob job = dialog.Job();
    EXPECT_EQ(job.systemId, "nobody");
    EXPECT_EQ(job.count, 0);
    EXPECT_EQ(job.seconds, 20);
    EXPECT_EQ(job.rate, 500);
    EXPECT_EQ(job.kind, GeneratorJob::Kind::Receipts);
    EXPECT_EQ(job.source, std::string(GeneratorJob::kMaxAddressChars, '5'));
    EXPECT_EQ(job.destination, "86{n}");
    EXPECT_EQ(job.text, "Hi {n}");

    alt('t');
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return dialog.findChild<QLabel*>("state")->text() == "No receiver or transceiver is bound as nobody";
    }));
    alt('d');
    type("{n}{n}");
    alt('t');
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.findChild<QLabel*>("state")->text().startsWith("destination: "); }));
    EXPECT_FALSE(simulator.Generator().IsActive());
    EXPECT_FALSE(stop.isEnabled());
}

} // namespace
