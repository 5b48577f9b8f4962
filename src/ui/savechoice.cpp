// SPDX-License-Identifier: GPL-3.0-or-later
#include "savechoice.h"

#include "displaytext.h"
#include "filedialog.h"
#include "imagefile.h"
#include "messages.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tavlo {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SaveChoice", text);
}

} // namespace

std::optional<QString> askFileToSave(FileDialog &dialog, Messages &messages, const QString &port,
                                     const QString &current)
{
    for (;;) {
        const auto typed = dialog.ask(FileDialog::Kind::Save, current);
        if (!typed)
            return std::nullopt;
        const QString path = withImageSuffix(*typed);
        const QFileInfo file(path);
        if (!port.isEmpty() && isSameFile(path, port)) {
            messages.warning(
                tr("Save As"),
                tr("%1 is the serial port the device is on, not a file.").arg(printable(path)));
            continue;
        }
        // A folder is refused by the save itself, with its reason.
        if ((!file.exists() && !file.isSymLink()) || file.isDir())
            return path;
        // The wording of Qt's own save dialog.
        if (messages.question(tr("Save As"),
                              tr("%1 already exists.\nDo you want to replace it?")
                                  .arg(printable(file.fileName())),
                              false))
            return path;
    }
}

} // namespace tavlo
