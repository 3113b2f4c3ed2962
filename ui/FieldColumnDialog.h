// "Add column": a column of the packet list for a decoded field, by the field's stable name.
#pragma once

#include <QDialog>

#include <functional>

class CFilterLine;
class QLabel;

// "Field:" with the field names completing as they are typed, OK and Cancel. OK (or Return) asks the list to add
// the column; when it cannot (no field has that name), the reason shows under the name and the dialog stays open.
// UI thread only.
class CFieldColumnDialog : public QDialog {
    Q_OBJECT
public:
    // add: adds the column of that field and returns nothing, or says why it cannot.
    CFieldColumnDialog(const QStringList& fieldNames, std::function<QString(const QString&)> add,
                       QWidget* parent = nullptr);

    CFilterLine* FieldLine() const { return m_field; }
    QLabel* Message() const { return m_message; }

    void accept() override;

private:
    CFilterLine* m_field;
    QLabel* m_message;
    std::function<QString(const QString&)> m_add;
};
