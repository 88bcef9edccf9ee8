#include "gui/config/setting_panel.h"

#include "config/setting_requests.h"
#include "config/setting_values.h"
#include "config/typed_number.h"
#include "gui/ui/caption.h"
#include "gui/ui/confirm_dialog.h"
#include "gui/ui/control_map.h"
#include "gui/ui/messages.h"
#include "i18n/language_texts.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace config {

namespace {

// The buttons that write to the meter.
constexpr const char *kSetButtons[] = {
    "cmdModbusAddSet", "cmdBaudRateSet", "cmdStopBitSet",  "cmdWiringSet", "cmdPTRatio1Set",
    "cmdCTRatio1Set",  "cmdPTRatio2Set", "cmdCTRatio2Set", "cmdTimeSet",   "cmdClrkWh",
};

// Addresses above this one are appended to the connection's address list
// when written; lower ones are found in it.
constexpr int kHighestListedByPosition = 60;

} // namespace

SettingPanel::SettingPanel(session::MeterSession &session, const i18n::LanguageTexts &texts, ui::Messages &messages,
                           const ui::ControlMap &controls, QObject *parent)
    : QObject(parent), session_(session), texts_(texts), messages_(messages), controls_(controls)
{
    connectHandlers();
    linkOnlineChanged(session_.link().LinkOnline());
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, &SettingPanel::linkOnlineChanged);
    connect(&session_, &session::MeterSession::connectionFollowed, this, &SettingPanel::connectionFollowed);
    // The CO2 factor can be set once a cycle found a meter that computes CO2.
    auto *co2 = controls_.require<QWidget>(QStringLiteral("cmdSetCO2"));
    co2->setEnabled(false);
    connect(&session_.poll(), &session::PollCycle::co2Settable, co2, &QWidget::setEnabled);
}

bool SettingPanel::pending(session::RequestKind kind) const { return session_.requestPending(kind); }

void SettingPanel::connectHandlers()
{
    ui::onClicked(controls_, "cmdModbusAddSet", this, &SettingPanel::cmdModbusAddSet_Click);
    ui::onClicked(controls_, "cmdBaudRateSet", this, &SettingPanel::cmdBaudRateSet_Click);
    ui::onClicked(controls_, "cmdStopBitSet", this, &SettingPanel::cmdStopBitSet_Click);
    ui::onClicked(controls_, "cmdWiringSet", this, &SettingPanel::cmdWiringSet_Click);
    ui::onClicked(controls_, "cmdPTRatio1Set", this, &SettingPanel::cmdPTRatio1Set_Click);
    ui::onClicked(controls_, "cmdCTRatio1Set", this, &SettingPanel::cmdCTRatio1Set_Click);
    ui::onClicked(controls_, "cmdPTRatio2Set", this, &SettingPanel::cmdPTRatio2Set_Click);
    ui::onClicked(controls_, "cmdCTRatio2Set", this, &SettingPanel::cmdCTRatio2Set_Click);
    ui::onClicked(controls_, "cmdSetCO2", this, &SettingPanel::cmdSetCO2_Click);
    ui::onClicked(controls_, "cmdTimeSet", this, &SettingPanel::cmdTimeSet_Click);
    ui::onClicked(controls_, "cmdClrkWh", this, &SettingPanel::cmdClrkWh_Click);

    const auto validate = [this](const char *name, void (SettingPanel::*handler)()) {
        connect(list(name)->lineEdit(), &QLineEdit::editingFinished, this, handler);
    };
    validate("Combo_CT_Ratio", &SettingPanel::Combo_CT_Ratio_Validate);
    validate("Combo_PT_Ratio", &SettingPanel::Combo_PT_Ratio_Validate);
    validate("Combo_Modbus_add", &SettingPanel::Combo_Modbus_add_Validate);
    validate("Combo_Modbus_add_sel", &SettingPanel::Combo_Modbus_add_sel_Validate);
}

void SettingPanel::linkOnlineChanged(bool online)
{
    ui::setControlsEnabled(controls_, kSetButtons, online);
}

QComboBox *SettingPanel::list(const char *name) const
{
    return controls_.require<QComboBox>(QLatin1String(name));
}

QString SettingPanel::text(const char *name) const
{
    return ui::caption(controls_.require<QWidget>(QLatin1String(name)));
}

void SettingPanel::showError(const QString &message)
{
    messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, message);
}

bool SettingPanel::check(const char *box, bool (*accepted)(const QString &), const QString &message)
{
    const QString typed = text(box);
    if (typed.isEmpty() || accepted(typed))
        return true;
    // Emptying the box and showing the message move the focus, which would
    // run the check again.
    if (checking_)
        return false;
    checking_ = true;
    list(box)->setEditText(QString());
    showError(message);
    checking_ = false;
    return false;
}

void SettingPanel::Combo_CT_Ratio_Validate()
{
    check("Combo_CT_Ratio", config::ctRatioAccepted, texts_.rightdown_Box3);
}

void SettingPanel::Combo_PT_Ratio_Validate()
{
    check("Combo_PT_Ratio", config::ptRatioAccepted, texts_.rightdown_Box6);
}

void SettingPanel::Combo_Modbus_add_Validate()
{
    check("Combo_Modbus_add", config::meterAddressAccepted, texts_.rightdown_Box5);
}

void SettingPanel::Combo_Modbus_add_sel_Validate()
{
    const QString typed = text("Combo_Modbus_add_sel");
    if (!check("Combo_Modbus_add_sel", config::connectionAddressAccepted, texts_.rightdown_Box5)
        || typed.isEmpty())
        return;
    if (const std::optional<int> address = config::wholeNumberIn(typed, 0, 250))
        session_.link().SlaveAddress = *address;
}

void SettingPanel::cmdModbusAddSet_Click()
{
    if (text("Combo_Modbus_add").isEmpty() || !check("Combo_Modbus_add", config::meterAddressAccepted, texts_.rightdown_Box5))
        return;
    if (const std::optional<int> address = config::meterAddress(text("Combo_Modbus_add")))
        session_.request(config::addressRequest(*address));
}

void SettingPanel::cmdBaudRateSet_Click()
{
    const int position = list("Combo_Modbus_BaudRate")->currentIndex();
    if (position >= 0)
        session_.request(config::baudRateRequest(position));
}

void SettingPanel::cmdStopBitSet_Click()
{
    const int position = list("Combo_SetStopBit")->currentIndex();
    if (position >= 0)
        session_.request(config::stopBitsRequest(position));
}

void SettingPanel::cmdWiringSet_Click()
{
    const int wiring = list("Combo_SetWiring")->currentIndex();
    if (wiring >= 0)
        session_.request(config::wiringRequest(wiring));
}

void SettingPanel::cmdPTRatio1Set_Click()
{
    if (text("Combo_PT_Ratio").isEmpty() || !check("Combo_PT_Ratio", config::ptRatioAccepted, texts_.rightdown_Box6))
        return;
    if (const auto tenths = config::ptRatioTenths(text("Combo_PT_Ratio")))
        session_.request(config::ptRatioRequest(*tenths));
}

void SettingPanel::cmdCTRatio1Set_Click()
{
    if (text("Combo_CT_Ratio").isEmpty() || !check("Combo_CT_Ratio", config::ctRatioAccepted, texts_.rightdown_Box3))
        return;
    if (const auto ratio = config::ctRatioValue(text("Combo_CT_Ratio")))
        session_.request(config::ctRatioRequest(*ratio));
}

void SettingPanel::requestFloatRatio(const char *primary, const char *secondary, bool pt)
{
    const QString top = text(primary);
    const QString bottom = text(secondary);
    if (top.isEmpty() || bottom.isEmpty())
        return;
    const auto ratio = config::floatRatio(top, bottom);
    if (!ratio) {
        showError(texts_.rightdown_RatioInvalid);
        return;
    }
    session_.request(pt ? config::ptRatioFloatRequest(*ratio) : config::ctRatioFloatRequest(*ratio));
}

void SettingPanel::cmdPTRatio2Set_Click() { requestFloatRatio("txtPT1", "txtPT2", true); }

void SettingPanel::cmdCTRatio2Set_Click() { requestFloatRatio("txtCT1", "txtCT2", false); }

void SettingPanel::cmdSetCO2_Click()
{
    const auto factor = config::co2Factor(text("txt_set_CO2"));
    if (!factor) {
        showError(texts_.rightdown_CO2Invalid);
        return;
    }
    session_.request(config::co2FactorRequest(*factor));
}

bool SettingPanel::confirmed(const QString &question)
{
    return ui::Dialog_Clr_kWh::of(controls_.root()->window())
        ->ask(question, texts_.Set_Time_OK, texts_.Set_Time_NO);
}

void SettingPanel::cmdTimeSet_Click()
{
    if (confirmed(texts_.Set_Time))
        session_.request(config::clockRequest([this] { return now(); }));
}

void SettingPanel::cmdClrkWh_Click()
{
    if (confirmed(texts_.rightdown_Box10))
        session_.request(config::clearEnergyRequest());
}

void SettingPanel::connectionFollowed(const session::ConnectionChange &change)
{
    using Kind = session::ConnectionChange::Kind;
    // The connection row shows what the link now uses; selecting an entry
    // runs the list's handler, which applies it to the link once more.
    if (change.kind == Kind::Unit) {
        selectConnectionAddress(change.value);
        return;
    }
    QComboBox *connection = list(change.kind == Kind::Baud ? "Combo_BaudRate_Sel" : "Combo_StopBit");
    const int index = connection->findText(QString::number(change.value));
    if (index >= 0)
        connection->setCurrentIndex(index);
}

void SettingPanel::selectConnectionAddress(int address)
{
    // Selecting runs the list's handler, which makes the entry the address
    // of every following transaction: the link follows the meter.
    QComboBox *connection = list("Combo_Modbus_add_sel");
    const QString entry = QString::number(address);
    if (address > kHighestListedByPosition) {
        if (connection->count() == 0 || connection->itemText(connection->count() - 1) != entry)
            connection->addItem(entry);
        connection->setCurrentIndex(connection->count() - 1);
        return;
    }
    QComboBox *meter = list("Combo_Modbus_add");
    const int picked = meter->currentIndex();
    if (picked >= 0 && meter->itemText(picked) == meter->currentText()
        && picked < connection->count()) {
        connection->setCurrentIndex(picked);
        return;
    }
    // Typed rather than picked: the entry that equals the new address.
    int index = connection->findText(entry);
    if (index < 0) {
        connection->addItem(entry);
        index = connection->count() - 1;
    }
    connection->setCurrentIndex(index);
}

} // namespace config
