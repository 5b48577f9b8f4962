// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"

#include "dialogwait.h"

#include <QApplication>
#include <QMessageBox>

namespace tavlo {

void QtMessages::warning(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, dialogParent());
    waitForDialog(box);
}

bool QtMessages::question(const QString &title, const QString &text, bool defaultYes)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                    dialogParent());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return waitForDialog(box) == QMessageBox::Yes;
}

Messages::SaveChoice QtMessages::askToSave(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, title, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, dialogParent());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (waitForDialog(box)) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

} // namespace tavlo
