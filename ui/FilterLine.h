// The display filter's line: field names complete as they are typed, anywhere in the line.
#pragma once

#include <QLineEdit>

class QCompleter;

// A line edit whose word under the cursor completes from a list of names (the decoder's field names): typing
// "smpp.dest" offers smpp.dest_addr_npi, smpp.dest_addr_ton, smpp.destination_addr ...; choosing one puts it in
// place of the word, the rest of the line as it was. Validity is the page's to show (SetValidity). UI thread only.
class CFilterLine : public QLineEdit {
    Q_OBJECT
public:
    CFilterLine(const QStringList& names, QWidget* parent = nullptr);

    QCompleter* Completer() const { return m_completer; }
    // The word before the cursor that completion works on, from its start to the cursor.
    QString WordAtCursor() const;

    // How the line looks: plain for an empty line, green for a filter that parses, red for one that does not.
    enum class Validity { Empty, Valid, Invalid };
    void SetValidity(Validity validity);
    Validity GetValidity() const { return m_validity; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnEdited();
    void Insert(const QString& name);

    QCompleter* m_completer;
    Validity m_validity = Validity::Empty;
};
