// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports as Windows knows them: the Ports class of the device
// manager, with each adapter's friendly name, maker, USB ids and serial
// number, and the COM names the system maps besides.
#include "serialports.h"

#include <QRegularExpression>

#include <windows.h>

// In this order: the GUIDs are defined where initguid.h comes first.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

namespace tavlo {

namespace {

QString registryProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE *>(buffer), sizeof buffer - 2,
                                           nullptr))
        return QString();
    return QString::fromWCharArray(buffer); // the first string of a list
}

QString portNameOf(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return QString();
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - 2;
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                       reinterpret_cast<BYTE *>(buffer), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && type == REG_SZ ? QString::fromWCharArray(buffer) : QString();
}

QString instanceIdOf(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    wchar_t buffer[512] = {};
    return SetupDiGetDeviceInstanceIdW(set, &device, buffer, 511, nullptr)
               ? QString::fromWCharArray(buffer)
               : QString();
}

// USB ids and serial number from the instance id: USB\VID_0403&PID_6001\A50285BI,
// or FTDIBUS\VID_0403+PID_6001+A50285BIA\0000.
void readUsbIds(const QString &id, PortDescription &port)
{
    static const QRegularExpression ids(
        QStringLiteral("VID_([0-9A-Fa-f]{4})[&+]PID_([0-9A-Fa-f]{4})(?:[\\\\+]([^\\\\]+))?"));
    const QRegularExpressionMatch m = ids.match(id);
    if (!m.hasMatch())
        return;
    port.vendorId = m.captured(1).toInt(nullptr, 16);
    port.productId = m.captured(2).toInt(nullptr, 16);
    QString serial = m.captured(3);
    // Windows makes up an id with "&" for an adapter that has no serial number.
    if (serial.contains(u'&'))
        return;
    if (id.startsWith(QLatin1String("FTDIBUS")) && serial.endsWith(u'A'))
        serial.chop(1); // the channel letter
    port.serialNumber = serial;
}

QList<PortDescription> deviceManagerPorts()
{
    QList<PortDescription> ports;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        PortDescription port;
        port.name = portNameOf(set, device);
        if (!port.name.startsWith(QLatin1String("COM")))
            continue; // a printer port
        port.description = registryProperty(set, device, SPDRP_FRIENDLYNAME);
        port.manufacturer = registryProperty(set, device, SPDRP_MFG);
        readUsbIds(instanceIdOf(set, device), port);
        ports << port;
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// The COM names the system maps, whatever drives them (the device manager
// does not list every one, and under wine lists none).
QStringList mappedComNames()
{
    QStringList names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256] = {};
        DWORD valueSize = 255;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - 2;
        DWORD type = 0;
        if (RegEnumValueW(key, i, value, &valueSize, nullptr, &type, reinterpret_cast<BYTE *>(data),
                          &dataSize) != ERROR_SUCCESS)
            break;
        if (type == REG_SZ)
            names << QString::fromWCharArray(data);
    }
    RegCloseKey(key);
    return names;
}

int comNumber(const QString &name)
{
    return name.mid(3).toInt();
}

} // namespace

QString comPortName(int index)
{
    return QStringLiteral("COM%1").arg(index + 1);
}

QString openFailureAdvice(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::PermissionDenied:
        return QStringLiteral("You are not allowed to use this port.");
    case OpenFailure::Busy:
        return QStringLiteral("Another program holds the port, a terminal program or another "
                              "configuration tool: close it, or unplug the adapter and plug it "
                              "in again.");
    case OpenFailure::NotFound:
        return QStringLiteral("There is no such port: tavlo-image ports lists those there are. A "
                              "USB adapter that is plugged in but not listed needs its driver.");
    case OpenFailure::LockInDoubt:
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return QString();
}

QList<PortDescription> availablePorts()
{
    QList<PortDescription> ports = deviceManagerPorts();
    for (const QString &name : mappedComNames())
        if (std::none_of(ports.begin(), ports.end(),
                         [&name](const PortDescription &p) { return p.name == name; }))
            ports << PortDescription{name, QString(), QString(), QString(), -1, -1};
    std::sort(ports.begin(), ports.end(), [](const PortDescription &a, const PortDescription &b) {
        return comNumber(a.name) < comNumber(b.name);
    });
    return ports;
}

} // namespace tavlo
