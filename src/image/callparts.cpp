// SPDX-License-Identifier: GPL-3.0-or-later
#include "callparts.h"

#include "displaytext.h"

#include <QHash>
#include <QStringList>
#include <algorithm>

namespace tavlo {

namespace {

bool isCall(const QString &part)
{
    bool digit = false;
    bool letter = false;
    for (const QChar c : part) {
        if (c.unicode() >= 128 || !c.isLetterOrNumber())
            return false;
        digit = digit || c.isDigit();
        letter = letter || c.isLetter();
    }
    return digit && letter;
}

} // namespace

CallParts splitCall(const QString &upper)
{
    const QStringList parts = upper.split(u'/');
    qsizetype home = -1;
    for (qsizetype i = 0; i < parts.size(); ++i)
        if (isCall(parts.at(i)) && (home < 0 || parts.at(i).size() > parts.at(home).size()))
            home = i;
    if (home < 0) // no part is a call: the longest stands for it
        home = std::max_element(
                   parts.begin(), parts.end(),
                   [](const QString &a, const QString &b) { return a.size() < b.size(); }) -
               parts.begin();
    CallParts call;
    call.home = parts.at(home);
    if (home > 0)
        call.prefix = parts.mid(0, home).join(u'/') + u'/';
    if (home + 1 < parts.size())
        call.suffix = u'/' + parts.mid(home + 1).join(u'/');
    return call;
}

QString CallParts::ssidForSuffix() const
{
    static const QHash<QString, QString> uses{
        {QStringLiteral("/P"), QStringLiteral("-7 for a handheld")},
        {QStringLiteral("/M"), QStringLiteral("-9 for a mobile")},
        {QStringLiteral("/MM"), QStringLiteral("-8 for a boat")},
        {QStringLiteral("/AM"), QStringLiteral("-11 for an aircraft")}};
    return uses.value(suffix);
}

QString CallParts::describe() const
{
    if (!prefix.isEmpty() && !suffix.isEmpty())
        return QStringLiteral("the prefix %1 and the suffix %2")
            .arg(quoted(prefix), quoted(suffix));
    return prefix.isEmpty() ? QStringLiteral("the suffix %1").arg(quoted(suffix))
                            : QStringLiteral("the prefix %1").arg(quoted(prefix));
}

QString plainCallAdvice(const CallParts &parts)
{
    QString advice =
        QStringLiteral("the device's packets carry one plain call, and an AX.25 "
                       "address holds no slash: type %1, the home call; %2 %3, if "
                       "anywhere, in a comment")
            .arg(quoted(parts.home), parts.describe(),
                 !parts.prefix.isEmpty() && !parts.suffix.isEmpty() ? QStringLiteral("go")
                                                                    : QStringLiteral("goes"));
    if (const QString ssid = parts.ssidForSuffix(); !ssid.isEmpty())
        advice +=
            QStringLiteral(", and the set's SSID says what %1 says: %2").arg(parts.suffix, ssid);
    return advice;
}

} // namespace tavlo
