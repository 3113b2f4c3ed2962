// The caption bar across the top of a page: its title at the left, small icon buttons at the right.
#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QToolButton;

// 22 pixels high, shaded, the title indented at the left; each button added is 16x16, 2 pixels
// from the top, the first at width - 21 and each next one 22 pixels further left. The buttons
// take the focus, so the keyboard reaches them; their names are their tooltips and accessible
// names. UI thread only.
class CCaptionBar : public QWidget {
public:
    static constexpr int kHeight = 22;

    explicit CCaptionBar(const QString& title, QWidget* parent = nullptr);

    QToolButton* AddButton(int iconId, const QString& name);
    QLabel* Title() const { return m_title; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_title = nullptr;
    std::vector<QToolButton*> m_buttons;
};
