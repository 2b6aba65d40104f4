#include "serial/serialinfo.h"

bool SerialInfo::operator==(const SerialInfo &other) const
{
    return portName == other.portName && deviceObjectName == other.deviceObjectName
        && deviceClass == other.deviceClass && locationInfo == other.locationInfo
        && driverImagePath == other.driverImagePath && friendlyName == other.friendlyName
        && description == other.description && hardwareIds == other.hardwareIds
        && vendorId == other.vendorId && productId == other.productId
        && manufacturer == other.manufacturer && service == other.service && bus == other.bus
        && reserved == other.reserved;
}
