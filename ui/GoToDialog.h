// "Go to packet": a PDU of the list by the number its "Seq" column shows.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QSpinBox;

// "Seq:" with a number from 1 to the last, OK and Cancel. OK (or Return) asks the page to go there; the page's
// answer, when it cannot (the display filter hides that PDU), shows under the number and the dialog stays open.
// UI thread only.
class CGoToDialog : public QDialog {
    Q_OBJECT
public:
    // goTo: goes to the PDU of that Seq and returns nothing, or says why it cannot.
    CGoToDialog(int last, int current, std::function<QString(int)> goTo, QWidget* parent = nullptr);

    QSpinBox* SeqBox() const { return m_seq; }
    QLabel* Message() const { return m_message; }

    void accept() override;

private:
    QSpinBox* m_seq;
    QLabel* m_message;
    std::function<QString(int)> m_goTo;
};
