#include "cli/live_values.h"

#include "polling/poll_view.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Source {
    const char *name;
    const char *control;
    int index;        // -1: a single control
    bool panelBased;  // index counted from the panel's DisplayBase
};

constexpr Source kSources[] = {
    {"voltage_ln_a", "txt_V_N", 0, true},         {"voltage_ln_b", "txt_V_N", 1, true},
    {"voltage_ln_c", "txt_V_N", 2, true},         {"voltage_ln_avg", "txt_V_N", 3, true},
    {"voltage_ll_ab", "txt_V_B", 0, true},        {"voltage_ll_bc", "txt_V_B", 1, true},
    {"voltage_ll_ca", "txt_V_B", 2, true},        {"voltage_ll_avg", "txt_V_B", 3, true},
    {"current_a", "txt_I_Result", 0, true},       {"current_b", "txt_I_Result", 1, true},
    {"current_c", "txt_I_Result", 2, true},       {"current_avg", "txt_I_Result", 3, true},
    {"kw_a", "txt_W_Result", 0, true},            {"kw_b", "txt_W_Result", 1, true},
    {"kw_c", "txt_W_Result", 2, true},            {"kw_total", "txt_W_Result", 3, true},
    {"kvar_a", "txt_Var_Result", 0, true},        {"kvar_b", "txt_Var_Result", 1, true},
    {"kvar_c", "txt_Var_Result", 2, true},        {"kvar_total", "txt_Var_Result", 3, true},
    {"kva_a", "txt_VA_Result", 0, true},          {"kva_b", "txt_VA_Result", 1, true},
    {"kva_c", "txt_VA_Result", 2, true},          {"kva_total", "txt_VA_Result", 3, true},
    {"pf_a", "txt_PF_Result", 0, true},           {"pf_b", "txt_PF_Result", 1, true},
    {"pf_c", "txt_PF_Result", 2, true},           {"pf_avg", "txt_PF_Result", 3, true},
    {"angle_v_a", "txt_V_Angle", 0, true},        {"angle_v_b", "txt_V_Angle", 1, true},
    {"angle_v_c", "txt_V_Angle", 2, true},        {"angle_i_a", "txt_I_Angle", 0, true},
    {"angle_i_b", "txt_I_Angle", 1, true},        {"angle_i_c", "txt_I_Angle", 2, true},
    {"frequency_hz", "txtFrequency", 0, true},    {"kwh_delivered", "txt_kWh", 0, true},
    {"kwh_received", "txt_kWh", 1, true},         {"kvarh_lagging", "txt_kWh", 2, true},
    {"kvarh_leading", "txt_kWh", 3, true},        {"kvah", "txt_kWh", 4, true},
    {"demand_time_left_s", "txt_Dmd", 6, false},  {"demand_kw", "txt_Dmd", 0, false},
    {"demand_max_kw", "txt_Dmd", 1, false},       {"pt_ratio", "txt_PTRatio", -1, false},
    {"ct_ratio", "txt_CTRatio", -1, false},       {"pt_ratio_float", "txtPTRatio2", -1, false},
    {"ct_ratio_float", "txtCTRatio2", -1, false}, {"co2_emission_kg", "txtCO2_out", -1, false},
    {"co2_factor", "txtCO2", -1, false},          {"meter_time", "Text5", -1, false},
    {"serial_number", "txtMeterSerial", -1, false}, {"firmware", "txtFWver", -1, false},
    {"wiring", "txt_Wiring", -1, false},          {"phase_sequence", "txt_Phasor", -1, false},
};

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

std::vector<LiveValue> liveValues(const PollView &view, int displayBase)
{
    std::vector<LiveValue> values;
    for (const Source &s : kSources) {
        const int index = s.panelBased ? displayBase + s.index : s.index;
        values.push_back({QLatin1String(s.name), view.text(QLatin1String(s.control), index)});
    }
    return values;
}

QString textLines(const std::vector<LiveValue> &values)
{
    QString out;
    for (const LiveValue &v : values)
        out += v.name.leftJustified(20) + v.text + QLatin1Char('\n');
    return out;
}

QString jsonLine(const std::vector<LiveValue> &values)
{
    QJsonObject object;
    for (const LiveValue &v : values)
        object.insert(v.name, v.text);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

QString csvHeader(const std::vector<LiveValue> &values)
{
    QStringList names;
    for (const LiveValue &v : values)
        names << v.name;
    return names.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString csvLine(const std::vector<LiveValue> &values)
{
    QStringList texts;
    for (const LiveValue &v : values)
        texts << csvField(v.text);
    return texts.join(QLatin1Char(',')) + QLatin1Char('\n');
}
