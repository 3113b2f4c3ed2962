// "Define filter": the tree it opens with, how a click carries through it, and what OK and Cancel store.
#include "tests/support/WidgetTestEnv.h"

#include "protocol/CaptureFilter.h"
#include "simulator/Simulator.h"
#include "ui/DeliveryPage.h"
#include "ui/FilterDialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kAllOnes(protocol::filter::kRows, '1');
const std::string kAllZeros(protocol::filter::kRows, '0');

// filter with the characters at the given indexes replaced by c.
std::string With(std::string filter, const std::vector<int>& indexes, char c) {
    for (const int i : indexes)
        filter[static_cast<size_t>(i)] = c;
    return filter;
}

class FilterDialogTest : public ::testing::Test {
protected:
    void SetUp() override { test_qt::ClearSettings(); }

    CFilterDialog& Open(const std::string& filter) {
        m_simulator.Log().SetFilter(filter);
        m_dialog = std::make_unique<CFilterDialog>(m_simulator);
        m_dialog->show();
        return *m_dialog;
    }
    void ClickCheckBox(int id) {
        QTreeWidget* tree = m_dialog->Tree();
        QTreeWidgetItem* node = m_dialog->Node(id);
        tree->scrollToItem(node);
        QStyleOptionViewItem option;
        option.initFrom(tree);
        option.rect = tree->visualItemRect(node);
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
    }
    void PressSpaceOn(int id) {
        m_dialog->Tree()->setCurrentItem(m_dialog->Node(id));
        QTest::keyClick(m_dialog->Tree(), Qt::Key_Space);
    }
    void Press(const char* button) {
        if (QPushButton* b = test_qt::Button(*m_dialog, button))
            QTest::mouseClick(b, Qt::LeftButton);
    }
    // The flags the stored filter means (it is kept by row name; see FilterTableTest).
    static std::string StoredFilter() { return protocol::filter::ReadStored(StoredText()); }
    static std::string StoredText() { return QSettings().value("Setup/Filter").toString().toStdString(); }

    CSimulator m_simulator;
    std::unique_ptr<CFilterDialog> m_dialog;
};

TEST_F(FilterDialogTest, OpensWithOneCheckedTreeOfTheFilterString) {
    QSettings().setValue("Setup/ShowUnknown", 0);
    const std::string mixed = With(kAllOnes, {1, 9, 29}, '0');
    CFilterDialog& dialog = Open(mixed);
    EXPECT_EQ(dialog.windowTitle(), "Define filter");
    EXPECT_FALSE(dialog.ShowUnknownBox()->isChecked());

    // "All protocols" over "SMPP protocol" (the registry's commands), "Mobile protocol", "UCP protocol" and
    // "CIMD2 protocol", all open.
    QTreeWidget* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* all = tree->topLevelItem(0);
    ASSERT_EQ(all->childCount(), 4);
    QTreeWidgetItem* smpp = all->child(0);
    ASSERT_EQ(smpp->childCount(), int(std::size(protocol::smpp::kCommands)));
    // Labels come from the filter table (tests/ui/FilterTableTest.cpp); here only where they hang.
    EXPECT_EQ(smpp->child(7)->text(0), "submit_sm");
    EXPECT_EQ(all->child(1)->text(0), "Mobile protocol");
    EXPECT_EQ(all->child(2)->text(0), "UCP protocol");
    EXPECT_EQ(all->child(3)->text(0), "CIMD2 protocol");
    EXPECT_TRUE(all->isExpanded() && smpp->isExpanded());
    for (int id = 0; id < protocol::filter::kRows; ++id)
        EXPECT_EQ(dialog.Node(id)->checkState(0) == Qt::Checked, mixed[size_t(id)] == '1') << id;
    EXPECT_EQ(dialog.Filter(), mixed);
}

TEST_F(FilterDialogTest, AMouseClickCarriesDownAndACheckCarriesUp) {
    const struct {
        const char* name;
        std::string before;
        int clicked;
        std::string after;
    } cases[] = {
        {"unchecking SMPP protocol clears its commands, All protocols stays", kAllOnes, 1,
         With(kAllZeros, {0, protocol::filter::kMobile, protocol::filter::kUcp, protocol::filter::kCimd}, '1')},
        {"checking submit_sm checks its parents and no other command", kAllZeros, 9, With(kAllZeros, {0, 1, 9}, '1')},
        {"checking All protocols checks everything", kAllZeros, 0, kAllOnes},
        {"unchecking a command leaves its parents", kAllOnes, 9, With(kAllOnes, {9}, '0')},
        {"checking Mobile protocol leaves the SMPP side", kAllZeros, 29, With(kAllZeros, {0, 29}, '1')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_qt::ClearSettings();
        Open(c.before);
        ClickCheckBox(c.clicked);
        EXPECT_EQ(m_dialog->Filter(), c.after);
        Press("&OK");
        EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
        EXPECT_EQ(StoredFilter(), c.after);
        EXPECT_EQ(m_simulator.Log().GetFilter(), c.after);
    }
}

TEST_F(FilterDialogTest, SpaceChangesOnlyItsOwnNode) {
    const struct {
        std::string before;
        int node;
        std::string after;
    } cases[] = {
        {kAllOnes, 1, With(kAllOnes, {1}, '0')},
        {kAllZeros, 9, With(kAllZeros, {9}, '1')},
        {kAllZeros, 0, With(kAllZeros, {0}, '1')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.node);
        Open(c.before);
        PressSpaceOn(c.node);
        EXPECT_EQ(m_dialog->Filter(), c.after);
    }
}

TEST_F(FilterDialogTest, ClearingShowUnknownAndOkStopsKeepingUnknownPdus) {
    Open(kAllOnes);
    ASSERT_TRUE(m_dialog->ShowUnknownBox()->isChecked()) << "default 1";
    QTest::mouseClick(m_dialog->ShowUnknownBox(), Qt::LeftButton);
    EXPECT_EQ(m_dialog->UnansweredBox()->value(), 5) << "seconds before a request counts as unanswered";
    m_dialog->UnansweredBox()->setValue(0);
    EXPECT_EQ(m_dialog->UnansweredBox()->value(), 1) << "a request is given at least a second";
    m_dialog->UnansweredBox()->setValue(12);
    Press("&OK");
    EXPECT_EQ(QSettings().value("Setup/ShowUnknown").toInt(), 0);
    EXPECT_FALSE(m_simulator.Log().GetShowUnknown());
    EXPECT_EQ(StoredText(), "off:");
    EXPECT_EQ(QSettings().value("Setup/UnansweredSeconds").toInt(), 12);
    EXPECT_EQ(m_simulator.Pairs().UnansweredAfterUs(), 12'000'000);
}

TEST_F(FilterDialogTest, CancelOrCloseAfterChangesWritesNothing) {
    const std::string stored = With(kAllOnes, {5}, '0');
    for (const bool viaCloseButton : {false, true}) {
        SCOPED_TRACE(viaCloseButton ? "window close button" : "Cancel");
        QSettings().setValue("Setup/Filter", QString::fromStdString(protocol::filter::WriteStored(stored)));
        Open(stored);
        ClickCheckBox(0);
        PressSpaceOn(7);
        QTest::mouseClick(m_dialog->ShowUnknownBox(), Qt::LeftButton);
        if (viaCloseButton)
            m_dialog->close();
        else
            Press("&Cancel");
        EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
        EXPECT_EQ(StoredFilter(), stored);
        EXPECT_FALSE(QSettings().contains("Setup/ShowUnknown"));
        EXPECT_EQ(m_simulator.Log().GetFilter(), stored);
        EXPECT_TRUE(m_simulator.Log().GetShowUnknown());
        EXPECT_FALSE(QSettings().contains("Setup/UnansweredSeconds"));
    }
}

TEST_F(FilterDialogTest, DeliveryPageStoresRoutingAndReceiptsOnOkOnly) {
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        Open(kAllOnes);
        ASSERT_EQ(m_dialog->Pages()->tabText(1), "Delivery");
        auto* page = qobject_cast<CDeliveryPage*>(m_dialog->Pages()->widget(1));
        ASSERT_NE(page, nullptr);
        m_dialog->Pages()->setCurrentIndex(1);
        EXPECT_TRUE(page->RoutingBox()->isChecked()) << "default: routing on";
        EXPECT_FALSE(page->ReceiptsBox()->isChecked()) << "default: receipts off";
        EXPECT_FALSE(page->ReceiptDelay()->isEnabled());
        EXPECT_EQ(page->ReceiptDelay()->value(), 1000);
        QTest::mouseClick(page->RoutingBox(), Qt::LeftButton);
        QTest::keyClick(page->ReceiptsBox(), Qt::Key_Space); // a second click this soon would be a double-click
        ASSERT_TRUE(page->ReceiptDelay()->isEnabled());
        page->ReceiptDelay()->setValue(250);
        Press(ok ? "&OK" : "&Cancel");
    }
    const QSettings settings;
    EXPECT_EQ(settings.value("Setup/Routing").toInt(), 0);
    EXPECT_EQ(settings.value("Setup/DeliveryReceipts").toInt(), 1);
    EXPECT_EQ(settings.value("Setup/ReceiptDelayMs").toInt(), 250);
    const DeliverySettings applied = m_simulator.Delivery();
    EXPECT_FALSE(applied.routing);
    EXPECT_TRUE(applied.receipts);
    EXPECT_EQ(applied.receiptDelayMs, 250);
}

} // namespace
