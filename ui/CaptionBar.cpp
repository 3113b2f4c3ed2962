// The pages' caption bar.
#include "ui/CaptionBar.h"

#include "ui/Icons.h"

#include <QLabel>
#include <QToolButton>

namespace {

constexpr int kButtonSize = 16;
constexpr int kButtonTop = 2;
constexpr int kFirstButtonOffset = 21; // from the right edge
constexpr int kButtonStep = 22;

} // namespace

CCaptionBar::CCaptionBar(const QString& title, QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Mid);
    m_title = new QLabel(title, this);
    m_title->setIndent(4);
}

QToolButton* CCaptionBar::AddButton(int iconId, const QString& name) {
    auto* button = new QToolButton(this);
    button->setIcon(icons::Icon(iconId));
    button->setIconSize(QSize(kButtonSize, kButtonSize));
    button->setAutoRaise(true);
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setFocusPolicy(Qt::StrongFocus);
    m_buttons.push_back(button);
    return button;
}

void CCaptionBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_title->setGeometry(0, 0, width(), kHeight);
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(width() - kFirstButtonOffset - int(i) * kButtonStep, kButtonTop, kButtonSize,
                                  kButtonSize);
}
