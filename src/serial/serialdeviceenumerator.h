#pragma once

#include "serial/serialinfo.h"

#include <QObject>
#include <QStringList>

class SerialDeviceEnumeratorPrivate;

// The process-wide list of the serial ports present, and the watcher that announces every
// change of it with the whole list. One port at a time can be selected by name and asked about.
class SerialDeviceEnumerator : public QObject
{
    Q_OBJECT

public:
    // The one enumerator of the process, made on the first call (from the GUI thread) and never
    // destroyed. Its port list is filled before the call returns.
    static SerialDeviceEnumerator *instance();

    explicit SerialDeviceEnumerator(QObject *parent = nullptr);
    ~SerialDeviceEnumerator() override;

    QStringList devicesAvailable() const; // ascending; safe to call from any thread
    // The record of a port without selecting it; empty when absent. Safe from any thread.
    SerialInfo deviceInfo(const QString &name) const;
    void setDeviceName(const QString &name);
    bool isExists() const;
    bool isBusy() const;
    void setEnabled(bool enable);
    bool isEnabled() const;

    // The selected port, as recorded when it was selected.
    QString name() const;
    QString portName() const;
    QString deviceObjectName() const;
    QString deviceClass() const;
    QString locationInfo() const;
    QString driverImagePath() const;
    QString friendlyName() const;
    QString description() const;
    QStringList hardwareIds() const;
    QString vendorId() const;
    QString productId() const;
    QString manufacturer() const;
    QString service() const;
    QString bus() const;
    QString reserved() const;

Q_SIGNALS:
    void hasChanged(const QStringList &list);

private Q_SLOTS:
    void _q_processWatcher();

private:
    SerialDeviceEnumeratorPrivate *const d;
    friend class SerialDeviceEnumeratorPrivate;
};
