// "Decode hex": reads a PDU from hex text.
#include "ui/DecodeHexDialog.h"

#include "capture/PacketLog.h"
#include "protocol/Registry.h"
#include "ui/Icons.h"
#include "wire/Hex.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace hex_text {

std::optional<QByteArray> Parse(QStringView text, ParseError* error) {
    const auto fail = [error](QString message, qsizetype position) -> std::optional<QByteArray> {
        if (error)
            *error = {std::move(message), static_cast<int>(position)};
        return std::nullopt;
    };
    // Any blank the text shows counts as one; then everything before a refusal is ASCII, so a
    // position in the UTF-8 is the same position in the text.
    QString blanked = text.toString();
    for (QChar& c : blanked)
        if (c.isSpace())
            c = u' ';
    const QByteArray utf8 = blanked.toUtf8();
    const wire::HexResult parsed = wire::ParseHex(std::string_view(utf8.constData(), size_t(utf8.size())));
    const auto at = static_cast<qsizetype>(parsed.error.position);
    switch (parsed.error.kind) {
    case wire::HexError::Kind::NotHexDigit:
        return fail(QStringLiteral("'%1' at position %2 is not a hex digit.").arg(text[at]).arg(at + 1), at);
    case wire::HexError::Kind::NotWholeBytes:
        return fail(QStringLiteral("'%1' at position %2 is not whole bytes: every byte takes two hex digits.")
                        .arg(text.mid(at, qsizetype(parsed.error.length)))
                        .arg(at + 1),
                    at);
    case wire::HexError::Kind::None:
        break;
    }
    if (parsed.bytes.empty())
        return fail(QStringLiteral("Type or paste the PDU as hex digits, for example 00 00 00 10 00 00 00 15."), 0);
    return QByteArray(reinterpret_cast<const char*>(parsed.bytes.data()), qsizetype(parsed.bytes.size()));
}

} // namespace hex_text

namespace {

// A record's length field is 32 bits, but the whole record must fit in the capture log's area.
constexpr qsizetype kMaxPdu = CPacketLog::kAreaSize - CPacketLog::kHeaderSize;

// Hex tools often print a PDU as one line. Laid out wrapped, one paragraph of a PDU near kMaxPdu
// takes minutes and the window stands still, so a long paste that reads as hex goes in as lines of
// 16 bytes, and one that does not goes in unwrapped.
class CHexEdit final : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void insertFromMimeData(const QMimeData* source) override {
        constexpr qsizetype kLongPaste = 4096;
        constexpr qsizetype kBytesPerLine = 16;
        const QString text = source->text(); // empty when the paste holds no text
        if (text.size() <= kLongPaste)
            return QPlainTextEdit::insertFromMimeData(source);
        const std::optional<QByteArray> bytes = hex_text::Parse(text, nullptr);
        if (!bytes) {
            setLineWrapMode(NoWrap);
            return insertPlainText(text);
        }
        QString lines;
        lines.reserve(bytes->size() * 3);
        for (qsizetype at = 0; at < bytes->size(); at += kBytesPerLine)
            lines += QString::fromLatin1(bytes->mid(at, kBytesPerLine).toHex(' ').toUpper()) + u'\n'; // as the hex pane
        insertPlainText(lines);
    }
};

} // namespace

CDecodeHexDialog::CDecodeHexDialog(uint16_t protocol, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Decode hex");
    setWindowIcon(icons::Icon(icons::kDecoder));
    setModal(true);

    m_protocol = new QComboBox(this);
    m_protocol->setObjectName("Protocol");
    for (const protocol::Protocol& info : protocol::kProtocols)
        m_protocol->addItem(QString::fromUtf8(info.name.data(), qsizetype(info.name.size())), info.code);
    m_protocol->setCurrentIndex(std::max(0, m_protocol->findData(protocol)));

    m_hex = new CHexEdit(this);
    m_hex->setObjectName("Hex");
    m_hex->setTabChangesFocus(true);
    m_hex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_hex->setPlaceholderText("00 00 00 10 00 00 00 15 00 00 00 00 00 00 00 01");
    m_hex->setMinimumSize(460, 160);

    m_error = new QLabel(this);
    m_error->setObjectName("Error");
    m_error->setWordWrap(true);
    m_error->setStyleSheet("color: #b00000");
    m_error->hide();
    connect(m_hex, &QPlainTextEdit::textChanged, m_error, &QWidget::hide); // the message was about the old text

    auto* protocolLabel = new QLabel("&Protocol:", this);
    protocolLabel->setBuddy(m_protocol);
    auto* hexLabel = new QLabel("&Hex of the PDU:", this);
    hexLabel->setBuddy(m_hex);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("&Decode");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Return starts a new line in the hex box; Ctrl+Return decodes from anywhere in the dialog.
    auto* decode = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(decode, &QShortcut::activated, this, &QDialog::accept);
    buttons->button(QDialogButtonBox::Ok)->setToolTip("Decode (Ctrl+Return)");

    auto* protocolRow = new QHBoxLayout;
    protocolRow->addWidget(protocolLabel);
    protocolRow->addWidget(m_protocol);
    protocolRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(protocolRow);
    layout->addWidget(hexLabel);
    layout->addWidget(m_hex, 1);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    m_hex->setFocus();
}

uint16_t CDecodeHexDialog::Protocol() const { return static_cast<uint16_t>(m_protocol->currentData().toUInt()); }

void CDecodeHexDialog::accept() {
    hex_text::ParseError error;
    std::optional<QByteArray> bytes = hex_text::Parse(m_hex->toPlainText(), &error);
    if (bytes && bytes->size() > kMaxPdu) {
        error = {QStringLiteral("The PDU is %1 bytes long; the capture log keeps PDUs of at most %2 bytes.")
                     .arg(bytes->size()).arg(kMaxPdu), 0};
        bytes.reset();
    }
    if (!bytes) {
        m_error->setText(error.message);
        m_error->show();
        QTextCursor cursor = m_hex->textCursor();
        cursor.setPosition(error.position);
        m_hex->setTextCursor(cursor);
        m_hex->setFocus();
        return;
    }
    m_pdu = *bytes;
    QDialog::accept();
}
