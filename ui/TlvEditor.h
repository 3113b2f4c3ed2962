// The composer's optional parameters: rows of a parameter and its value, read as the control API reads "tlvs".
#pragma once

#include "smpp/MessageBody.h"

#include <QGroupBox>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

// A group of (parameter, value) rows. The parameter is picked from the registry's names of SMPP 3.4 and 5.0, 5.0's
// marked "(5.0)", completing as it is typed; a tag in hex after 0x or in decimal does too. The value is hex. Rows
// left wholly empty are skipped. The group's title (Alt+O) moves the focus to the rows, "Add &parameter" adds a row
// and edits its parameter, "&Remove parameter" takes the current row away. UI thread only.
class CTlvEditor : public QGroupBox {
    Q_OBJECT
public:
    static constexpr const char* kField = "Optional parameters"; // the name the faults begin with
    static constexpr const char* kFiftyMark = " (5.0)";

    explicit CTlvEditor(QWidget* parent = nullptr);

    // The rows' parameters in order; nothing when one does not read, and then error (when given) names it
    // ("Optional parameters: the value of tag 'congestion_state' is no hex text") and badRow is its row.
    std::optional<std::vector<smpp::Tlv>> Tlvs(QString* error = nullptr, int* badRow = nullptr) const;
    // Whether every row reads; the first that does not is made current and its fault shown under the rows.
    bool Check();
    QString Problem() const;
    void SetTlvs(const std::vector<smpp::Tlv>& tlvs);
    // A line under the rows: what becomes of them on the way (to a session of 3.3); empty hides it.
    void SetNote(const QString& note);
    QString Note() const;
    void SetEditable(bool editable);

    // A parameter's name as a row shows it: "congestion_state (5.0)"; a tag without a name as "0x1401".
    static QString RowName(uint16_t tag);

private:
    void AddRow();
    void RemoveRow();

    QTableWidget* m_table = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_problem = nullptr;
    QLabel* m_note = nullptr;
};
