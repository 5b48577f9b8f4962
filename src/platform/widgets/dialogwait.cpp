// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogwait.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

namespace tavlo {

namespace {

// While a dialog waits, input meant for any other window is dropped, as a
// modal dialog would; but unlike a modal dialog this leaves close requests
// alone, and disables nothing (a disabled window disables its dialogs too).
class InputOnlyTo : public QObject {
public:
    explicit InputOnlyTo(QDialog &dialog)
        : m_dialog(dialog)
    {
        qApp->installEventFilter(this);
    }
    ~InputOnlyTo() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isInput(event->type()) || !watched->isWidgetType())
            return false;
        for (const QObject *o = watched; o; o = o->parent())
            if (o == &m_dialog)
                return false;
        // Popups (a drop-down list, the file name completer) are windows of
        // their own, often without a parent; only the dialog can open one now.
        return static_cast<QWidget *>(watched)->window()->windowType() != Qt::Popup;
    }

private:
    static bool isInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }

    QDialog &m_dialog;
};

} // namespace

QWidget *dialogParent()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !qobject_cast<QDialog *>(w))
            return w;
    return nullptr;
}

int waitForDialog(QDialog &dialog)
{
    // Where no window manager hands the focus back (a kiosk, a bare X
    // server), the control that had it gets it back when the dialog closes.
    const QPointer<QWidget> hadFocus = QApplication::focusWidget();
    dialog.setWindowModality(Qt::NonModal);
    dialog.setResult(QDialog::Rejected);
    InputOnlyTo onlyToDialog(dialog);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec(QEventLoop::DialogExec);
    dialog.hide();
    if (hadFocus && hadFocus->isVisible()) {
        hadFocus->window()->activateWindow();
        hadFocus->setFocus(Qt::OtherFocusReason);
    }
    return dialog.result();
}

void cancelOpenDialogs()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
            dialog->reject();
}

} // namespace tavlo
