// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavlo {

// Asks the operator for an image file. No value when the dialog was cancelled.
class FileDialog {
public:
    enum class Kind { Open, Save };

    virtual ~FileDialog() = default;
    // `start`, when given, is the current file: the dialog opens in its
    // folder, and a save dialog proposes its name.
    virtual std::optional<QString> ask(Kind kind, const QString &start = QString()) = 0;
};

// The platform's file dialog, with "All Files" and "Binary Files" and the
// latter preselected.
class QtFileDialog : public FileDialog {
public:
    std::optional<QString> ask(Kind kind, const QString &start = QString()) override;
};

} // namespace tavlo
