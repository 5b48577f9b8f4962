#pragma once

#include <QStringList>

namespace tavlo {

// tavlo-image write and read: the device actions of the window, from a terminal.
int writeCommand(const QStringList &args);
int readCommand(const QStringList &args);

} // namespace tavlo
