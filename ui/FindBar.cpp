// The find bar.
#include "ui/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

CFindBar::CFindBar(QWidget* parent)
    : QWidget(parent),
      m_edit(new QLineEdit(this)),
      m_next(new QPushButton("&Next", this)),
      m_previous(new QPushButton("&Previous", this)),
      m_wrap(new QCheckBox("&Wrap", this)),
      m_result(new QLabel(this)) {
    setObjectName("FindBar");
    auto* label = new QLabel("F&ind:", this);
    label->setBuddy(m_edit);
    m_edit->setObjectName("FindText");
    m_edit->setClearButtonEnabled(true);
    m_wrap->setChecked(true);
    m_result->setObjectName("FindResult");
    auto* close = new QToolButton(this);
    close->setText("Close");
    close->setAccessibleName("Close the find bar");
    close->setAutoRaise(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_next);
    layout->addWidget(m_previous);
    layout->addWidget(m_wrap);
    layout->addWidget(m_result);
    layout->addStretch();
    layout->addWidget(close);

    m_edit->installEventFilter(this);
    connect(m_next, &QPushButton::clicked, this, [this] { emit FindRequested(true); });
    connect(m_previous, &QPushButton::clicked, this, [this] { emit FindRequested(false); });
    connect(m_edit, &QLineEdit::textChanged, this, [this] { SetResult({}); });
    connect(close, &QToolButton::clicked, this, &CFindBar::Close);
}

void CFindBar::Open() {
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void CFindBar::Close() {
    hide();
    emit Closed();
}

QString CFindBar::Text() const { return m_edit->text(); }

bool CFindBar::Wraps() const { return m_wrap->isChecked(); }

void CFindBar::SetResult(const QString& result) { m_result->setText(result); }

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the line edit, which would take Shift+Return as Return.
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit FindRequested(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
