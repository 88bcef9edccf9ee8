#pragma once

// A register map answering RTU requests for the poll-cycle tests, and a view
// that keeps control texts and states in maps.

#include "../modbus/fake_link.h"
#include "polling/poll_view.h"
#include "ui/control_map.h"

#include <QHash>
#include <QPair>

#include <array>
#include <bit>
#include <set>

namespace fake {

class Meter {
public:
    std::array<std::uint16_t, 0x10000> holding{};
    std::array<std::uint16_t, 0x10000> input{};
    std::uint8_t unit = 1;
    // Requests (function, start) that get no answer.
    std::set<std::pair<int, int>> silent;
    std::vector<std::pair<int, int>> requests; // (function, start) in order received

    void setFloat(std::array<std::uint16_t, 0x10000> &regs, int reg, float value)
    {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
        regs[std::size_t(reg)] = std::uint16_t(bits & 0xFFFF); // low-order word first
        regs[std::size_t(reg + 1)] = std::uint16_t(bits >> 16);
    }
    void setText(std::array<std::uint16_t, 0x10000> &regs, int reg, const char *text, int chars)
    {
        for (int i = 0; i < chars; i += 2)
            regs[std::size_t(reg + i / 2)] = std::uint16_t(std::uint8_t(text[i]) << 8 | std::uint8_t(text[i + 1]));
    }

    std::optional<Reply> answer(const Bytes &request)
    {
        if (request.size() < 8 || request[0] != unit)
            return std::nullopt;
        const int function = request[1];
        const int start = request[2] << 8 | request[3];
        const int count = request[4] << 8 | request[5];
        requests.emplace_back(function, start);
        if (silent.count({function, start}))
            return Reply{};
        Bytes a{unit, std::uint8_t(function)};
        if (function == 16) {
            for (int i = 0; i < count; ++i)
                holding[std::size_t(start + i)] =
                    std::uint16_t(request[std::size_t(7 + 2 * i)] << 8 | request[std::size_t(8 + 2 * i)]);
            a.insert(a.end(), request.begin() + 2, request.begin() + 6);
        } else {
            const auto &regs = function == 3 ? holding : input;
            a.push_back(std::uint8_t(2 * count));
            for (int i = 0; i < count; ++i) {
                a.push_back(std::uint8_t(regs[std::size_t(start + i)] >> 8));
                a.push_back(std::uint8_t(regs[std::size_t(start + i)]));
            }
        }
        modbus::Crc16 crc;
        crc.CrcTableSetup();
        crc.compute(a);
        a.push_back(crc.CrcLo);
        a.push_back(crc.CrcHi);
        return Reply{a, 5};
    }
};

class View : public PollView {
public:
    static QString key(const QString &control, int index)
    {
        return controlName(control, index);
    }
    QHash<QString, QString> texts;
    QHash<QString, bool> enabled;
    QHash<QString, bool> visible;
    QHash<QString, bool> checked;
    QHash<QString, bool> tabs;
    QHash<QString, QStringList> lists;

    void setText(const QString &c, int i, const QString &t) override { texts[key(c, i)] = t; }
    QString text(const QString &c, int i) const override { return texts.value(key(c, i)); }
    void setEnabled(const QString &c, int i, bool e) override { enabled[key(c, i)] = e; }
    void setVisible(const QString &c, int i, bool v) override { visible[key(c, i)] = v; }
    bool isChecked(const QString &c, int i) const override { return checked.value(key(c, i)); }
    void setListItems(const QString &c, int i, const QStringList &items, int) override
    {
        lists[key(c, i)] = items;
    }
    void setTabEnabled(const QString &c, int i, int tab, bool e) override
    {
        tabs[key(c, i) + QStringLiteral(" tab %1").arg(tab)] = e;
    }
};

} // namespace fake
