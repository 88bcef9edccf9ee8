#include "config/setting_panel.h"

#include "config/setting_values.h"
#include "config/typed_number.h"
#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "polling/poll_cycle.h"
#include "ui/caption.h"
#include "ui/confirm_dialog.h"
#include "ui/control_map.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The buttons that write to the meter.
constexpr const char *kSetButtons[] = {
    "cmdModbusAddSet", "cmdBaudRateSet", "cmdStopBitSet",  "cmdWiringSet", "cmdPTRatio1Set",
    "cmdCTRatio1Set",  "cmdPTRatio2Set", "cmdCTRatio2Set", "cmdTimeSet",   "cmdClrkWh",
};

// Addresses above this one are appended to the connection's address list
// when written; lower ones are found in it.
constexpr int kHighestListedByPosition = 60;

// Rows of the poll cycle's request service.
enum Row {
    kClockRow = 1, kAddressRow = 2, kBaudRateRow = 3, kStopBitRow = 4, kCTRatioRow = 5,
    kPTRatioRow = 6, kClearEnergyRow = 13, kWiringRow = 14, kPTRatioFloatRow = 15,
    kCTRatioFloatRow = 16,
};

} // namespace

SettingPanel::SettingPanel(LinkState &link, modbus::Transactions &transactions, PollCycle &poll,
                           const i18n::LanguageTexts &texts, Messages &messages,
                           const ControlMap &controls, QObject *parent)
    : QObject(parent), link_(link), texts_(texts), messages_(messages), controls_(controls),
      writes_(transactions, link)
{
    connectHandlers();
    registerRequests(poll);
    linkOnlineChanged(link.LinkOnline());
    connect(&link, &LinkState::linkOnlineChanged, this, &SettingPanel::linkOnlineChanged);
}

void SettingPanel::connectHandlers()
{
    onClicked(controls_, "cmdModbusAddSet", this, &SettingPanel::cmdModbusAddSet_Click);
    onClicked(controls_, "cmdBaudRateSet", this, &SettingPanel::cmdBaudRateSet_Click);
    onClicked(controls_, "cmdStopBitSet", this, &SettingPanel::cmdStopBitSet_Click);
    onClicked(controls_, "cmdWiringSet", this, &SettingPanel::cmdWiringSet_Click);
    onClicked(controls_, "cmdPTRatio1Set", this, &SettingPanel::cmdPTRatio1Set_Click);
    onClicked(controls_, "cmdCTRatio1Set", this, &SettingPanel::cmdCTRatio1Set_Click);
    onClicked(controls_, "cmdPTRatio2Set", this, &SettingPanel::cmdPTRatio2Set_Click);
    onClicked(controls_, "cmdCTRatio2Set", this, &SettingPanel::cmdCTRatio2Set_Click);
    onClicked(controls_, "cmdSetCO2", this, &SettingPanel::cmdSetCO2_Click);
    onClicked(controls_, "cmdTimeSet", this, &SettingPanel::cmdTimeSet_Click);
    onClicked(controls_, "cmdClrkWh", this, &SettingPanel::cmdClrkWh_Click);

    const auto validate = [this](const char *name, void (SettingPanel::*handler)()) {
        connect(list(name)->lineEdit(), &QLineEdit::editingFinished, this, handler);
    };
    validate("Combo_CT_Ratio", &SettingPanel::Combo_CT_Ratio_Validate);
    validate("Combo_PT_Ratio", &SettingPanel::Combo_PT_Ratio_Validate);
    validate("Combo_Modbus_add", &SettingPanel::Combo_Modbus_add_Validate);
    validate("Combo_Modbus_add_sel", &SettingPanel::Combo_Modbus_add_sel_Validate);
}

void SettingPanel::registerRequests(PollCycle &poll)
{
    const auto row = [this, &poll](int order, bool &flag, void (SettingPanel::*write)()) {
        poll.addRequestRow({&flag, [this, write] { (this->*write)(); }, order});
    };
    row(kClockRow, ReqSetClock, &SettingPanel::SetMeterClock);
    row(kAddressRow, ReqSetModbusAddress, &SettingPanel::WriteModbusAddress);
    row(kBaudRateRow, ReqSetBaudRate, &SettingPanel::WriteBaudRate);
    row(kStopBitRow, ReqSetStopBit, &SettingPanel::WriteStopBit);
    row(kCTRatioRow, ReqSetCTRatio, &SettingPanel::WriteCTRatio);
    row(kPTRatioRow, ReqSetPTRatio, &SettingPanel::WritePTRatio);
    row(kClearEnergyRow, ReqClearEnergy, &SettingPanel::WriteClearEnergy);
    row(kWiringRow, ReqSetWiring, &SettingPanel::WriteWiring);
    row(kPTRatioFloatRow, ReqSetPTRatioFloat, &SettingPanel::WritePTRatioFloat);
    row(kCTRatioFloatRow, ReqSetCTRatioFloat, &SettingPanel::WriteCTRatioFloat);
    poll.setCO2Request({&ReqSetCO2, [this] { WriteCO2Factor(); }});
}

void SettingPanel::linkOnlineChanged(bool online)
{
    setControlsEnabled(controls_, kSetButtons, online);
}

QComboBox *SettingPanel::list(const char *name) const
{
    return controls_.require<QComboBox>(QLatin1String(name));
}

QString SettingPanel::text(const char *name) const
{
    return caption(controls_.require<QWidget>(QLatin1String(name)));
}

void SettingPanel::showError(const QString &message)
{
    messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, message);
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
        link_.SlaveAddress = *address;
}

void SettingPanel::cmdModbusAddSet_Click()
{
    if (!text("Combo_Modbus_add").isEmpty() && check("Combo_Modbus_add", config::meterAddressAccepted, texts_.rightdown_Box5))
        ReqSetModbusAddress = true;
}

void SettingPanel::cmdPTRatio1Set_Click()
{
    if (!text("Combo_PT_Ratio").isEmpty() && check("Combo_PT_Ratio", config::ptRatioAccepted, texts_.rightdown_Box6))
        ReqSetPTRatio = true;
}

void SettingPanel::cmdCTRatio1Set_Click()
{
    if (!text("Combo_CT_Ratio").isEmpty() && check("Combo_CT_Ratio", config::ctRatioAccepted, texts_.rightdown_Box3))
        ReqSetCTRatio = true;
}

void SettingPanel::raiseIfFloatRatio(const char *primary, const char *secondary, bool &flag)
{
    const QString top = text(primary);
    const QString bottom = text(secondary);
    if (top.isEmpty() || bottom.isEmpty())
        return;
    if (!config::floatRatio(top, bottom)) {
        showError(texts_.rightdown_RatioInvalid);
        return;
    }
    flag = true;
}

void SettingPanel::cmdPTRatio2Set_Click() { raiseIfFloatRatio("txtPT1", "txtPT2", ReqSetPTRatioFloat); }

void SettingPanel::cmdCTRatio2Set_Click() { raiseIfFloatRatio("txtCT1", "txtCT2", ReqSetCTRatioFloat); }

void SettingPanel::cmdSetCO2_Click()
{
    if (!config::co2Factor(text("txt_set_CO2"))) {
        showError(texts_.rightdown_CO2Invalid);
        return;
    }
    ReqSetCO2 = true;
}

bool SettingPanel::confirmed(const QString &question)
{
    return Dialog_Clr_kWh::of(controls_.root()->window())
        ->ask(question, texts_.Set_Time_OK, texts_.Set_Time_NO);
}

void SettingPanel::cmdTimeSet_Click()
{
    if (confirmed(texts_.Set_Time))
        ReqSetClock = true;
}

void SettingPanel::cmdClrkWh_Click()
{
    if (confirmed(texts_.rightdown_Box10))
        ReqClearEnergy = true;
}

// The writes read their boxes when served; a text that was changed into
// something that cannot be written since the press is not written.

void SettingPanel::WriteModbusAddress()
{
    const std::optional<int> address = config::meterAddress(text("Combo_Modbus_add"));
    if (!address)
        return;
    writes_.registers(config::kAddressRegister, {std::uint16_t(*address)});
    selectConnectionAddress(*address);
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

void SettingPanel::writeAndFollow(const char *setting, int start, const char *connection)
{
    const int position = list(setting)->currentIndex();
    if (position < 0)
        return;
    writes_.registers(start, {std::uint16_t(position + 1)});
    // The connection's list holds the same entries from its start; selecting
    // applies the setting to the open port.
    list(connection)->setCurrentIndex(position);
}

void SettingPanel::WriteBaudRate()
{
    writeAndFollow("Combo_Modbus_BaudRate", config::kBaudRateRegister, "Combo_BaudRate_Sel");
}

void SettingPanel::WriteStopBit()
{
    writeAndFollow("Combo_SetStopBit", config::kStopBitRegister, "Combo_StopBit");
}

void SettingPanel::WriteWiring()
{
    const int wiring = list("Combo_SetWiring")->currentIndex();
    if (wiring >= 0)
        writes_.registers(config::kWiringRegister, {std::uint16_t(wiring)});
}

void SettingPanel::WritePTRatio()
{
    if (const auto tenths = config::ptRatioTenths(text("Combo_PT_Ratio")))
        writes_.registers(config::kPTRatioRegister, {*tenths});
}

void SettingPanel::WriteCTRatio()
{
    if (const auto ratio = config::ctRatioValue(text("Combo_CT_Ratio")))
        writes_.registers(config::kCTRatioRegister, {*ratio});
}

void SettingPanel::writeFloatRatio(const char *primary, const char *secondary, int start)
{
    if (const auto ratio = config::floatRatio(text(primary), text(secondary)))
        writes_.floatValue(start, *ratio);
}

void SettingPanel::WritePTRatioFloat() { writeFloatRatio("txtPT1", "txtPT2", config::kPTRatioFloatRegister); }

void SettingPanel::WriteCTRatioFloat() { writeFloatRatio("txtCT1", "txtCT2", config::kCTRatioFloatRegister); }

void SettingPanel::WriteCO2Factor()
{
    if (const auto factor = config::co2Factor(text("txt_set_CO2")))
        writes_.floatValue(config::kCO2FactorRegister, *factor);
}

void SettingPanel::SetMeterClock()
{
    writes_.registers(config::kClockRegister, config::meterClockValues(now()));
}

void SettingPanel::WriteClearEnergy()
{
    writes_.registers(config::kClearEnergyRegister, {config::kClearEnergyCommand});
}
