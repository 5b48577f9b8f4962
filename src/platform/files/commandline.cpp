// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "displaytext.h"

#include <optional>

namespace tavlo::commandline {

namespace {

class Parser {
public:
    Parser(const QStringList &args, const Options &options)
        : m_args(args)
        , m_options(options)
    {
    }

    Arguments run()
    {
        bool optionsEnded = false;
        for (m_i = 0; m_i < m_args.size(); ++m_i) {
            const QString &a = m_args[m_i];
            if (optionsEnded || !a.startsWith(u'-') || a == QLatin1String("-"))
                m_parsed.positional << a;
            else if (a == QLatin1String("--"))
                optionsEnded = true;
            else
                option(a);
        }
        return m_parsed;
    }

private:
    void option(const QString &a)
    {
        const qsizetype equals = a.indexOf(u'=');
        const QString given = equals > 0 ? a.left(equals) : a;
        const QString name = m_options.shortNames.value(given, given);
        const std::optional<QString> joined =
            equals > 0 ? std::optional<QString>(a.mid(equals + 1)) : std::nullopt;
        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            m_parsed.help = true;
        else if (name == QLatin1String("--version") || name == QLatin1String("-v"))
            m_parsed.version = true;
        else if (givenTwice(name))
            wrong(QStringLiteral("%1 is given twice").arg(name));
        else if (m_options.optionalValue.contains(name))
            optionalValue(name, joined);
        else if (m_options.flags.contains(name) && !joined)
            m_parsed.flags.insert(name);
        else if (m_options.valued.contains(name))
            value(name, joined);
        else if (m_options.flags.contains(name))
            wrong(QStringLiteral("%1 takes no value").arg(name));
        else
            wrong(QStringLiteral("unknown option %1").arg(quoted(name)));
    }

    bool givenTwice(const QString &name) const
    {
        return (m_parsed.flags.contains(name) || m_parsed.values.contains(name)) &&
               !m_options.repeatable.contains(name);
    }

    void optionalValue(const QString &name, const std::optional<QString> &joined)
    {
        m_parsed.flags.insert(name);
        if (joined)
            m_parsed.values.insert(name, *joined);
        else if (m_i + 1 < m_args.size() && !m_args[m_i + 1].startsWith(u'-'))
            m_parsed.candidates.insert(name, m_parsed.positional.size());
    }

    void value(const QString &name, const std::optional<QString> &joined)
    {
        if (!joined && m_i + 1 >= m_args.size())
            return wrong(QStringLiteral("%1 needs a value").arg(name));
        const QString given = joined ? *joined : m_args[++m_i];
        m_parsed.values.insert(name, given);
        if (m_options.repeatable.contains(name))
            m_parsed.lists[name] << given;
    }

    void wrong(const QString &error)
    {
        if (m_parsed.error.isEmpty())
            m_parsed.error = error;
    }

    const QStringList &m_args;
    const Options &m_options;
    qsizetype m_i = 0;
    Arguments m_parsed;
};

} // namespace

bool Arguments::takeCandidate(const QString &option)
{
    const qsizetype at = candidates.value(option, -1);
    if (at < 0 || at >= positional.size() || values.contains(option))
        return false;
    values.insert(option, positional.takeAt(at));
    candidates.remove(option);
    return true;
}

Arguments parse(const QStringList &args, const Options &options)
{
    return Parser(args, options).run();
}

} // namespace tavlo::commandline
