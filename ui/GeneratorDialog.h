// "Traffic generator": the generator's job field by field, Start and Stop, and its live progress.
#pragma once

#include "simulator/TrafficGenerator.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

// Non-modal; one per frame, kept while the program runs so that the fields keep what was typed.
// Each label is its field's buddy; each control's object name is its field's JSON name ("systemId",
// "count", ...). "S&tart" runs the job (the reason it cannot shows as its state), "Sto&p" stops
// it; progress (sent, answered, errors, rate, state) is read from the generator every 200 ms.
class CGeneratorDialog : public QDialog {
    Q_OBJECT
public:
    CGeneratorDialog(CTrafficGenerator& generator, QWidget* parent = nullptr);

    // Every field as a job.
    GeneratorJob Job() const;
    // The receivers offered under "System id"; the field stays editable.
    void SetReceivers(const QStringList& names);
    // Reads the generator's progress into the labels and the buttons.
    void Refresh();

private:
    // The dialog's parts, top to bottom.
    QFormLayout* MakeJobForm();
    QGroupBox* MakeProgressBox();
    QDialogButtonBox* MakeButtons();
    void OnStart();

    CTrafficGenerator& m_generator;
    QComboBox* m_systemId;
    QComboBox* m_end;   // "Messages" or "Seconds"
    QSpinBox* m_amount; // of m_end
    QSpinBox* m_rate;
    QComboBox* m_kind;
    QLineEdit* m_source;
    QLineEdit* m_destination;
    QLineEdit* m_text;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_sent;
    QLabel* m_answered;
    QLabel* m_errors;
    QLabel* m_currentRate;
    QLabel* m_state;
    QTimer* m_timer;
    QString m_refusal; // why the last Start did not start; shown as the state until one does
};
