// Lists and trees whose selection stays marked while the user works elsewhere.
#pragma once

#include <QPalette>
#include <QWidget>

// Draws the view's selection in the active colours also while it does not have the focus, so
// the row or line the other panes show stays marked.
inline void KeepSelectionShownWithoutFocus(QWidget* view) {
    QPalette colors = view->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colors.setColor(QPalette::Inactive, role, colors.color(QPalette::Active, role));
    view->setPalette(colors);
}
