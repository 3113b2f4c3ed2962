// The decoder page's find bar: a text searched for in the decode of the listed rows.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Find:" with its text, "Next", "Previous" and "Wrap"; Return finds the next, Shift+Return the
// previous, Escape closes the bar. Says "Not found" when a search found nothing. UI thread only.
class CFindBar : public QWidget {
    Q_OBJECT
public:
    explicit CFindBar(QWidget* parent = nullptr);

    // Shows the bar with its text selected, ready for typing.
    void Open();
    void Close();
    QString Text() const;
    bool Wraps() const;
    // What the last search came to; empty clears it.
    void SetResult(const QString& result);

    QLineEdit* Edit() const { return m_edit; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* PreviousButton() const { return m_previous; }
    QCheckBox* WrapBox() const { return m_wrap; }

signals:
    void FindRequested(bool forward);
    // Escape or "Close": the bar is hidden; the page gives the focus back to the list.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QPushButton* m_next;
    QPushButton* m_previous;
    QCheckBox* m_wrap;
    QLabel* m_result;
};
