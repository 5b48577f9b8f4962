// SPDX-License-Identifier: GPL-3.0-or-later
#include "portchooser.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

namespace tavlo {

namespace {

const char NoPortOpen[] = "No port open";
const char OtherPort[] = "Other port";

} // namespace

PortChooser::PortChooser(std::function<QList<PortDescription>()> listPorts, QWidget *parent)
    : QComboBox(parent)
    , m_listPorts(std::move(listPorts))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // QComboBox also reports an entry as activated when its text is left in
    // the line, on leaving the box or dropping the list down; only a pick in
    // the list counts, so the list's own clicks and keys are watched (from
    // the first drop-down on: the list is costly to make at start-up).
    setCompleter(nullptr);
    lineEdit()->setPlaceholderText(QString::fromLatin1(NoPortOpen));
    // The ports are listed when the list drops down, not at start-up: asking
    // the system for them takes longer than building the whole window.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!std::exchange(m_pickPending, false) || index < 0)
            return;
        emit chosen(itemData(index).toString());
    });
    // Enter on the text: Qt reports the key more than once, so the choice is
    // made once, right after.
    connect(lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (m_enterPending)
            return;
        m_enterPending = true;
        QTimer::singleShot(0, this, [this] {
            m_enterPending = false;
            if (!chosenName().isEmpty())
                emit chosen(chosenName());
        });
    });
}

bool PortChooser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_pickPending = view()->indexAt(mouse->position().toPoint()).isValid();
    } else if (watched == view() &&
               (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select)
            m_pickPending = view()->currentIndex().isValid();
    }
    return QComboBox::eventFilter(watched, event);
}

void PortChooser::refresh()
{
    const QString text = currentText();
    clear();
    if (m_listPorts) {
        for (const PortDescription &port : m_listPorts())
            addItem(port.shown(), port.name);
    }
    // The entry that shows the same text stays current, so nothing looks changed.
    setCurrentIndex(findText(text));
    setEditText(text);
}

void PortChooser::showPopup()
{
    if (!m_watchingList) {
        view()->installEventFilter(this);
        view()->viewport()->installEventFilter(this);
        m_watchingList = true;
    }
    m_pickPending = false;
    refresh();
    QComboBox::showPopup();
}

QString PortChooser::chosenName() const
{
    const QString text = currentText().trimmed();
    const int entry = findText(text);
    return entry >= 0 ? itemData(entry).toString() : text;
}

void PortChooser::clearText(bool portOpen)
{
    setCurrentIndex(-1);
    setEditText(QString());
    lineEdit()->setPlaceholderText(QString::fromLatin1(portOpen ? OtherPort : NoPortOpen));
}

void PortChooser::showOpenPort(const QString &name)
{
    const int entry = findData(name);
    setCurrentIndex(entry);
    setEditText(entry >= 0 ? itemText(entry) : name);
}

} // namespace tavlo

#include "moc_portchooser.cpp"
