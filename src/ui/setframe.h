// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "fields.h"
#include "setcontrols.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QScrollBar>
#include <QSet>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tavlo {

class AdviceMarks;

// Shows advice on a control: its purpose and the advice in its tooltip; in its
// accessible description the advice, after the purpose WithPurpose (for a
// control whose name does not already say it).
enum class AdviceShown { Alone, WithPurpose };
void showAdviceOn(QWidget *control, const QString &purpose, const QStringList &advice,
                  AdviceShown described = AdviceShown::Alone);

// One frame of the window: the controls of one configuration set, with its
// symbol picker and its coordinate entry switch. Its controls are made when
// the frame is first shown or asked for; until then it holds the set as
// start-up leaves it, which is what the controls would show.
class SetFrame : public QGroupBox {
    Q_OBJECT
public:
    // The frame of set `index` (0 to 5), made from `rows`.
    SetFrame(int index, QWidget *parent, std::span<const ControlRow> rows = setControlRows());

    // The controls, made if they were not yet.
    const SetControls &controls();
    bool isBuilt() const { return m_built; }

    // The set as its controls show it.
    ConfigSet values() const;

    void setVisible(bool visible) override;

    // Fills the controls from an opened image, field by field in the order of
    // the image, so that the symbol picker and the coordinate switch react.
    void showOpened(const ConfigSet &set);

    void hideSymbolLists();

    // The controls that take the focus, in keyboard order: row by row as the
    // eye reads them, left to right.
    QList<QWidget *> tabOrder() const;

    // The control that shows a field, for putting the focus there.
    QWidget *fieldWidget(FieldId field);

    // Advice on the set's fields: in each control's tooltip and accessible
    // description, where the pointer and a screen reader find it, shown when
    // it takes the focus, and with a visible mark on a field `warned` holds.
    void showAdvice(const QHash<FieldId, QStringList> &advice, const QSet<FieldId> &warned);

signals:
    // A field changed, by the operator or by opening an image.
    void edited();
    // The controls were made; they now take part in the keyboard order.
    void built();

private:
    void build();
    void makeControl(const ControlRow &row);
    QWidget *widgetOf(const ControlRow &row) const;
    template <typename Widget> Widget *control(const ControlRow &row) const;
    QList<std::pair<FieldId, QWidget *>> bindings() const;
    void readField(ConfigSet &set, FieldId field, const ControlRow &row) const;
    void showField(const ConfigSet &set, FieldId field, const ControlRow &row);
    void reportEdits();
    void givePurposes();
    void applyAdvice();
    void describeSymbol();
    void setUpSymbolPicker();
    void nameUncaptionedControls();
    void symbolChanged();
    void coordinateSwitch();

    std::span<const ControlRow> m_rows;
    SetControls m_c;
    QHash<const ControlRow *, QWidget *> m_unnamed; // the controls of rows without a member
    bool m_built = false;
    QHash<FieldId, QStringList> m_advice;
    QSet<FieldId> m_warned;
    AdviceMarks *m_marks = nullptr;
};

} // namespace tavlo
