#include "messages.h"

#include <QApplication>
#include <QMessageBox>

namespace tavlo {

void QtMessages::warning(const QString &title, const QString &text)
{
    QMessageBox::warning(QApplication::activeWindow(), title, text, QMessageBox::Ok);
}

bool QtMessages::question(const QString &title, const QString &text, bool defaultYes)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace tavlo
