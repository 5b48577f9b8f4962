// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports where Qt's serial port library knows them.
#include "serialports.h"

#include "portdoctor.h"

#include <QSerialPortInfo>

namespace tavlo {

QString comPortName(int index)
{
#if defined(Q_OS_MACOS)
    // No fixed names: the serial ports the system lists, in its order.
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return index < ports.size() ? ports.at(index).systemLocation()
                                : QStringLiteral("/dev/cu.serial%1").arg(index + 1);
#elif defined(Q_OS_FREEBSD)
    return QStringLiteral("/dev/cuau%1").arg(index);
#else
    return QStringLiteral("/dev/ttyS%1").arg(index);
#endif
}

// What went wrong, and last the one-line remedy that tavlo-image doctor
// gives for the same case.
QString openFailureAdvice(OpenFailure failure)
{
    QString advice;
    switch (failure) {
    case OpenFailure::PermissionDenied:
        advice = QStringLiteral("Your user may not use serial ports.");
        break;
    case OpenFailure::Busy:
        advice = QStringLiteral("Another program holds the port: a terminal program, or "
                                "ModemManager or brltty, which grab USB serial adapters.");
        break;
    case OpenFailure::NotFound:
        advice = QStringLiteral("There is no such port.");
        break;
    case OpenFailure::LockInDoubt:
        // The reason names the file and the command that removes it.
        return QStringLiteral("No running program is known to hold the port, but a lock file "
                              "keeps it: remove the file if no program uses the port.");
    case OpenFailure::None:
    case OpenFailure::Other:
        return QString();
    }
    return advice + QStringLiteral("\nFix: ") + ports::remedyFor(failure);
}

QList<PortDescription> availablePorts()
{
    QList<PortDescription> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer(),
                      info.serialNumber(),
                      info.hasVendorIdentifier() ? int(info.vendorIdentifier()) : -1,
                      info.hasProductIdentifier() ? int(info.productIdentifier()) : -1});
    return ports;
}

} // namespace tavlo
