#pragma once

#include <QHash>
#include <QtGlobal>

#include <optional>

// What the program knows for certain of the chip's registers: for each address, the value of
// the last read the chip answered or of the last write it confirmed. A write the chip refused
// changes nothing here, so the value stays the one the chip holds.
class ConfirmedRegisters
{
public:
    void confirm(quint8 address, qint32 value) { m_values.insert(address, value); }
    std::optional<qint32> value(quint8 address) const
    {
        const auto found = m_values.constFind(address);
        if (found == m_values.cend())
            return std::nullopt;
        return *found;
    }
    // Another board, or a chip that started afresh: nothing known is certain any more.
    void forget() { m_values.clear(); }

private:
    QHash<quint8, qint32> m_values;
};
