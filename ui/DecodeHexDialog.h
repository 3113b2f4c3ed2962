// "Decode hex": a PDU typed or pasted as hex digits, with the protocol it belongs to.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace hex_text {

// Where a text that is not hex went wrong, for the message and the cursor.
struct ParseError {
    QString message;
    int position = 0;
};

// The bytes of text: hex digit pairs, runs of them separated by blanks, commas, colons or
// dashes, each run optionally led by "0x". A run of an odd number of digits is refused rather
// than guessed at, and so is an empty text.
std::optional<QByteArray> Parse(QStringView text, ParseError* error);

} // namespace hex_text

// Modal. OK ("Decode") reads the hex; text that is not hex keeps the dialog open with a message
// saying what is wrong, the cursor on it. After OK, Protocol() and Pdu() are what the user gave;
// the main frame appends them to the capture log as a record. UI thread only.
class CDecodeHexDialog : public QDialog {
    Q_OBJECT
public:
    // protocol: the capture protocol code chosen when the dialog opens.
    explicit CDecodeHexDialog(uint16_t protocol, QWidget* parent = nullptr);

    uint16_t Protocol() const;
    const QByteArray& Pdu() const { return m_pdu; }

    QComboBox* ProtocolBox() const { return m_protocol; }
    QPlainTextEdit* HexBox() const { return m_hex; }
    QLabel* ErrorLabel() const { return m_error; }

    void accept() override;

private:
    QComboBox* m_protocol = nullptr;
    QPlainTextEdit* m_hex = nullptr;
    QLabel* m_error = nullptr;
    QByteArray m_pdu;
};
