// The delivery settings page.
#include "ui/DeliveryPage.h"

#include "simulator/Simulator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kMaxReceiptDelayMs = 3'600'000; // an hour: longer than any test waits for a receipt
constexpr int kReceiptDelayStepMs = 100;
constexpr int kIndent = 20; // under the box a row belongs to

} // namespace

CDeliveryPage::CDeliveryPage(CSimulator& simulator, QWidget* parent) : COptionsPage(parent), m_simulator(simulator) {
    const DeliverySettings settings = simulator.Delivery();

    m_routing = new QCheckBox("&Route messages between mobile phones and ESMEs", this);
    m_routing->setChecked(settings.routing);
    m_receipts = new QCheckBox("Send delivery r&eceipts", this);
    m_receipts->setChecked(settings.receipts);
    QHBoxLayout* delayRow = MakeDelayRow(settings);
    QFormLayout* profileForm = MakeProfileForm();
    QHBoxLayout* echoRow = MakeEchoRow();

    m_problem = new QLabel(this);
    m_problem->setObjectName("DeliveryProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet("color: #b00000");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_routing);
    layout->addSpacing(8);
    layout->addWidget(m_receipts);
    layout->addLayout(delayRow);
    layout->addLayout(profileForm);
    layout->addSpacing(8);
    layout->addLayout(echoRow);
    layout->addWidget(m_problem);
    layout->addStretch(1);
}

// The receipt delay, indented under the receipts' box and enabled with it.
QHBoxLayout* CDeliveryPage::MakeDelayRow(const DeliverySettings& settings) {
    m_delay = new QSpinBox(this);
    m_delay->setObjectName("ReceiptDelay");
    m_delay->setRange(0, kMaxReceiptDelayMs);
    m_delay->setSingleStep(kReceiptDelayStepMs);
    m_delay->setSuffix(" ms");
    m_delay->setValue(settings.receiptDelayMs);
    m_delay->setEnabled(settings.receipts);
    auto* delayLabel = new QLabel("Receipt de&lay:", this);
    delayLabel->setBuddy(m_delay);
    connect(m_receipts, &QCheckBox::toggled, m_delay, &QWidget::setEnabled);

    auto* delayRow = new QHBoxLayout;
    delayRow->addSpacing(kIndent);
    delayRow->addWidget(delayLabel);
    delayRow->addWidget(m_delay);
    delayRow->addStretch(1);
    return delayRow;
}

QFormLayout* CDeliveryPage::MakeProfileForm() {
    // A built-in, or the custom one's fields.
    m_profile = new QComboBox(this);
    for (const ReceiptProfile& profile : receipt_profiles::BuiltIns())
        m_profile->addItem(profile.name);
    m_profile->addItem(receipt_profiles::kCustom);
    m_carrier = new QComboBox(this);
    for (const char* name : receipt_profiles::kCarrierNames)
        m_carrier->addItem(name);
    m_text = new QLineEdit(this);
    m_text->setPlaceholderText("none: optional parameters only");
    m_text->setToolTip("Fields: {id} {sub} {dlvrd} {submit_date} {done_date} {stat} {err} {text}");
    // Each box its own mnemonic: receipted_message_&id, message_s&tate, &network_error_code.
    static constexpr int kMnemonicAt[] = {18, 9, 0};
    static_assert(std::size(kMnemonicAt) == std::size(receipt_profiles::kTlvs));
    for (std::size_t i = 0; i < std::size(receipt_profiles::kTlvs); ++i)
        m_tlvs[i] = new QCheckBox(QString(receipt_profiles::kTlvs[i].name).insert(kMnemonicAt[i], u'&'), this);
    m_idForm = new QComboBox(this);
    m_idForm->addItems({"as in the answer", "hex", "decimal"});
    m_weights = new QLineEdit(this);
    m_weights->setPlaceholderText("e.g. DELIVRD 90, UNDELIV 5, EXPIRED 3, REJECTD 2; none: delivered");
    auto* tlvRow = new QHBoxLayout;
    for (QCheckBox* box : m_tlvs)
        tlvRow->addWidget(box);
    tlvRow->addStretch(1);
    auto* profileForm = new QFormLayout;
    profileForm->setContentsMargins(kIndent, 0, 0, 0);
    const auto addRow = [&](const char* label, QWidget* field) {
        auto* name = new QLabel(label, this);
        name->setBuddy(field);
        profileForm->addRow(name, field);
    };
    addRow("Receipt &profile:", m_profile);
    addRow("C&arrier:", m_carrier);
    addRow("Te&xt:", m_text);
    profileForm->addRow("Optional parameters:", tlvRow);
    addRow("Id in the text, &form:", m_idForm);
    addRow("Final states, &weights:", m_weights);

    const ReceiptProfile current = m_simulator.Receipts();
    const bool builtIn = receipt_profiles::BuiltIn(current.name) == current;
    m_custom = current;
    m_custom.name = receipt_profiles::kCustom;
    m_profile->setCurrentText(builtIn ? current.name : QString(receipt_profiles::kCustom));
    ShowProfile(builtIn ? current : m_custom);
    connect(m_profile, &QComboBox::currentIndexChanged, this, [this] {
        const std::optional<ReceiptProfile> builtIn = receipt_profiles::BuiltIn(m_profile->currentText());
        // "Custom" starts from what was shown, so that a built-in can be changed a little.
        if (!builtIn) {
            const QString problem = m_problem->text();
            m_custom = EditedProfile();
            m_custom.name = receipt_profiles::kCustom;
            m_problem->setText(problem);
        }
        ShowProfile(builtIn ? *builtIn : m_custom);
    });
    return profileForm;
}

QHBoxLayout* CDeliveryPage::MakeEchoRow() {
    const EchoSettings echo = m_simulator.Echo();
    m_echo = new QLineEdit(QString::fromStdString(echo.destination), this);
    m_echo->setObjectName("EchoDestination");
    m_echo->setPlaceholderText("none: no echo");
    auto* echoLabel = new QLabel("Ec&ho messages to:", this);
    echoLabel->setBuddy(m_echo);
    m_reverse = new QCheckBox("Re&verse their text", this);
    m_reverse->setChecked(echo.reverse);
    auto* echoRow = new QHBoxLayout;
    echoRow->addWidget(echoLabel);
    echoRow->addWidget(m_echo, 1);
    echoRow->addWidget(m_reverse);
    return echoRow;
}

void CDeliveryPage::ShowProfile(const ReceiptProfile& profile) {
    const bool custom = profile.name == receipt_profiles::kCustom;
    m_carrier->setCurrentIndex(int(profile.carrier));
    m_text->setText(profile.text);
    for (std::size_t i = 0; i < std::size(receipt_profiles::kTlvs); ++i)
        m_tlvs[i]->setChecked(profile.*receipt_profiles::kTlvs[i].flag);
    m_idForm->setCurrentIndex(int(profile.idForm));
    m_weights->setText(receipt_profiles::MixText(profile.mix));
    for (QWidget* field : std::initializer_list<QWidget*>{m_carrier, m_text, m_tlvs[0], m_tlvs[1], m_tlvs[2], m_idForm, m_weights})
        field->setEnabled(custom);
}

ReceiptProfile CDeliveryPage::EditedProfile() {
    if (std::optional<ReceiptProfile> builtIn = receipt_profiles::BuiltIn(m_profile->currentText())) {
        m_problem->clear();
        return *builtIn;
    }
    ReceiptProfile profile;
    profile.name = receipt_profiles::kCustom;
    profile.carrier = ReceiptProfile::Carrier(m_carrier->currentIndex());
    profile.text = m_text->text();
    for (std::size_t i = 0; i < std::size(receipt_profiles::kTlvs); ++i)
        profile.*receipt_profiles::kTlvs[i].flag = m_tlvs[i]->isChecked();
    profile.idForm = ReceiptProfile::IdForm(m_idForm->currentIndex());
    QString problem;
    profile.mix = receipt_profiles::ParseMix(m_weights->text(), &problem);
    m_problem->setText(problem.isEmpty() ? receipt_profiles::Validate(profile) : problem);
    return profile;
}

bool CDeliveryPage::CanApply() {
    EditedProfile();
    return m_problem->text().isEmpty();
}

void CDeliveryPage::Apply() {
    DeliverySettings settings;
    settings.routing = m_routing->isChecked();
    settings.receipts = m_receipts->isChecked();
    settings.receiptDelayMs = m_delay->value();
    m_simulator.SaveDelivery(settings);
    m_simulator.SaveReceiptProfile(EditedProfile());
    m_simulator.SaveEcho({m_echo->text().trimmed().toStdString(), m_reverse->isChecked()});
}
