// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"

#include "dialogwait.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace tavlo {

namespace {

// "*.*" only matches all files on Windows; elsewhere it would hide the files
// without an extension that "All Files" must show.
#ifdef Q_OS_WIN
const char AllFiles[] = "All Files (*.*)";
#else
const char AllFiles[] = "All Files (*)";
#endif
const char BinaryFiles[] = "Binary Files(*.bin)";

} // namespace

std::optional<QString> QtFileDialog::ask(Kind kind, const QString &start)
{
    QFileDialog dialog(dialogParent());
    if (!start.isEmpty()) {
        const QFileInfo current(start);
        dialog.setDirectory(current.absolutePath());
        if (kind == Kind::Save)
            dialog.selectFile(current.fileName());
    }
    dialog.setNameFilters({QString::fromLatin1(AllFiles), QString::fromLatin1(BinaryFiles)});
    dialog.selectNameFilter(QString::fromLatin1(BinaryFiles));
    if (kind == Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The window asks itself, once the .bin it adds is on the name.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDefaultSuffix(QStringLiteral("bin"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (waitForDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace tavlo
