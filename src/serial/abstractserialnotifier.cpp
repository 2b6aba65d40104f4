#include "serial/abstractserialnotifier.h"

#include "serial/nativeserialnotifier.h"

AbstractSerialNotifier *AbstractSerialNotifier::createSerialNotifier(AbstractSerialEngine *engine)
{
    return new NativeSerialNotifier(engine);
}
