// The overview list: the main components under "Console", in one of four list styles.
#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

#include <functional>

class QAbstractItemView;
class QListView;
class QStackedLayout;
class QStandardItemModel;
class QTreeView;

// Shows every navigation row whose parent is "Console", with its name, description and icon.
// The report ("Details") style is a tree view with two columns, the other styles a list view,
// both over one model. A double-click asks for the item's navigation row; a right-click does
// nothing. Reads the navigation icon lists, which outlive it. UI thread only.
class CPelmoraView : public QWidget {
    Q_OBJECT
public:
    enum class Style { LargeIcon, SmallIcon, List, Details };
    static constexpr int kRowRole = Qt::UserRole;       // the item's navigation row
    static constexpr int kImageRole = Qt::UserRole + 1; // its image index in the navigation icon list

    using ServerRunning = std::function<bool(uint16_t protocol)>;

    CPelmoraView(const QList<QIcon>& largeIcons, const QList<QIcon>& smallIcons, QWidget* parent = nullptr);

    void Fill(const ServerRunning& serverRunning);
    void SetStyle(Style style);
    Style GetStyle() const { return m_style; }
    // "Line up": arranges the icons on the grid; only the icon styles have anything to arrange.
    void LineUp();
    bool CanLineUp() const { return m_style == Style::LargeIcon || m_style == Style::SmallIcon; }

    // The view that shows the items in the current style.
    QAbstractItemView* ItemView() const;
    const QStandardItemModel* Model() const { return m_model; }

signals:
    void RowActivated(int row);

private:
    void ApplyIcons();

    const QList<QIcon>& m_largeIcons;
    const QList<QIcon>& m_smallIcons;
    QStandardItemModel* m_model = nullptr;
    QStackedLayout* m_layout = nullptr;
    QListView* m_list = nullptr;
    QTreeView* m_report = nullptr;
    Style m_style = Style::Details;
};
