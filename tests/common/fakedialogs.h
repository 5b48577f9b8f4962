// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filedialog.h"
#include "messages.h"

#include <QList>
#include <QStringList>

// A file dialog that answers from a queue; an empty queue is a cancel.
class FakeDialog : public tavlo::FileDialog {
public:
    std::optional<QString> ask(Kind kind, const QString &start = QString()) override
    {
        kinds << kind;
        starts << start;
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    }
    QStringList answers;
    QList<Kind> kinds;
    QStringList starts; // the current file each dialog was opened at
};

// Message boxes that only record what they would show.
class FakeMessages : public tavlo::Messages {
public:
    void warning(const QString &title, const QString &text) override
    {
        shown << title + u'|' + text;
    }
    bool question(const QString &title, const QString &text, bool) override
    {
        shown << title + u'|' + text;
        return answerYes;
    }
    SaveChoice askToSave(const QString &title, const QString &text) override
    {
        savePrompts << title + u'|' + text;
        return saveChoices.isEmpty() ? SaveChoice::Cancel : saveChoices.takeFirst();
    }
    QStringList shown;
    bool answerYes = false;
    QStringList savePrompts;
    QList<SaveChoice> saveChoices; // an empty queue is a Cancel
};
