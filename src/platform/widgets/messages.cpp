// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"

#include "dialogwait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

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
    // Access keys for keyboard users (the platform's texts may have none);
    // Enter saves, the answer that loses nothing.
    box.button(QMessageBox::Save)->setText(QCoreApplication::translate("Messages", "&Save"));
    box.button(QMessageBox::Discard)->setText(QCoreApplication::translate("Messages", "&Discard"));
    box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("Messages", "&Cancel"));
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
