// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavlo {

// The message boxes the window shows.
class Messages {
public:
    virtual ~Messages() = default;
    // Exclamation icon and an OK button.
    virtual void warning(const QString &title, const QString &text) = 0;
    // Exclamation icon, Yes and No; true for Yes.
    virtual bool question(const QString &title, const QString &text, bool defaultYes) = 0;

    enum class SaveChoice { Save, Discard, Cancel };
    // Unsaved edits: Save, Discard or Cancel, with Save the default and
    // Escape or closing the box a Cancel.
    virtual SaveChoice askToSave(const QString &title, const QString &text) = 0;
};

class QtMessages : public Messages {
public:
    void warning(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text, bool defaultYes) override;
    SaveChoice askToSave(const QString &title, const QString &text) override;
};

} // namespace tavlo
