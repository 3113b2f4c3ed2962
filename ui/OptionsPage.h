// One page of the options dialog beside "Define filter": it reads its settings when built and
// writes them only when the dialog is accepted.
#pragma once

#include <QWidget>

class COptionsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Called on OK, before the dialog closes; Cancel never calls it.
    virtual void Apply() = 0;
    // Asked on OK before any page applies: false keeps the dialog open on this page, which
    // shows why.
    virtual bool CanApply() { return true; }
};
