#include "dialogs/registertableitem.h"

TRegisterTableItem::TRegisterTableItem(const QString &text, unsigned char address, bool writable,
                                       bool hex)
    : QTableWidgetItem(text, itemType)
    , address(address)
    , writable(writable)
    , hex(hex)
{
    setFlags(Qt::NoItemFlags);
}

TRegisterTableItem::~TRegisterTableItem() = default;

void TRegisterTableItem::setEditable(bool enable)
{
    setFlags(enable && writable ? Qt::ItemIsEditable | Qt::ItemIsEnabled : Qt::NoItemFlags);
}

QString TRegisterTableItem::valueText(int value, bool hex)
{
    if (hex)
        return QStringLiteral("0x%1").arg(quint32(value), 8, 16, QLatin1Char('0'));
    return QString::number(value);
}

std::optional<int> TRegisterTableItem::textValue(const QString &text, bool hex)
{
    bool converted = false;
    if (hex) {
        // The editor leaves blank places out: "0x1f" is 0x0000001f.
        if (!text.startsWith(QLatin1String("0x")) || text.size() < 3 || text.size() > 10)
            return std::nullopt;
        const uint pattern = text.mid(2).toUInt(&converted, 16);
        return converted ? std::optional<int>(int(pattern)) : std::nullopt;
    }
    const int value = text.toInt(&converted, 10);
    return converted ? std::optional<int>(value) : std::nullopt;
}
