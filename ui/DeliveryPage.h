// The "Delivery" page of the options dialog: routing between the two servers, delivery receipts with
// their profile, and the echo.
#pragma once

#include "simulator/ReceiptProfile.h"
#include "ui/OptionsPage.h"

#include <iterator>

class CSimulator;
struct DeliverySettings;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

// Shows the delivery settings that apply now; Apply stores them and hands them to the running servers.
// The receipt delay is editable only while receipts are on; a built-in receipt profile is shown, the
// "Custom" one edited. UI thread only.
class CDeliveryPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CDeliveryPage(CSimulator& simulator, QWidget* parent = nullptr);

    bool CanApply() override;
    void Apply() override;

    QCheckBox* RoutingBox() const { return m_routing; }
    QCheckBox* ReceiptsBox() const { return m_receipts; }
    QSpinBox* ReceiptDelay() const { return m_delay; }
    QComboBox* ProfileBox() const { return m_profile; }
    QComboBox* CarrierBox() const { return m_carrier; }
    QLineEdit* TextEdit() const { return m_text; }
    QCheckBox* TlvBox(int index) const { return m_tlvs[index]; } // receipted_message_id, message_state, network_error_code
    QComboBox* IdFormBox() const { return m_idForm; }
    QLineEdit* WeightsEdit() const { return m_weights; }
    QLineEdit* EchoEdit() const { return m_echo; }
    QCheckBox* ReverseBox() const { return m_reverse; }
    QLabel* Problem() const { return m_problem; }

private:
    // The page's parts, top to bottom.
    QHBoxLayout* MakeDelayRow(const DeliverySettings& settings);
    QFormLayout* MakeProfileForm();
    QHBoxLayout* MakeEchoRow();
    // Shows a profile's fields, editable only for "Custom".
    void ShowProfile(const ReceiptProfile& profile);
    // The profile the fields make; the problem label says what is wrong, if anything.
    ReceiptProfile EditedProfile();

    CSimulator& m_simulator;
    QCheckBox* m_routing = nullptr;
    QCheckBox* m_receipts = nullptr;
    QSpinBox* m_delay = nullptr;
    QComboBox* m_profile = nullptr;
    QComboBox* m_carrier = nullptr;
    QLineEdit* m_text = nullptr;
    QCheckBox* m_tlvs[std::size(receipt_profiles::kTlvs)] = {};
    QComboBox* m_idForm = nullptr;
    QLineEdit* m_weights = nullptr;
    QLineEdit* m_echo = nullptr;
    QCheckBox* m_reverse = nullptr;
    QLabel* m_problem = nullptr;
    ReceiptProfile m_custom; // what "Custom" shows
};
