// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QtGlobal>

// A test program whose functions wait on real ticks runs as several ctest
// tests side by side: TAVLO_TEST_SHARD=k/n runs every n-th test function
// from the k-th. Started by hand, or given functions to run, it runs as asked.
inline QStringList testShard(const QObject &test, const QStringList &arguments)
{
    const QStringList shard = qEnvironmentVariable("TAVLO_TEST_SHARD").split(u'/');
    if (shard.size() != 2 || arguments.size() > 1)
        return arguments;
    const int k = shard.at(0).toInt();
    const int n = shard.at(1).toInt();
    if (n < 1 || k < 1 || k > n)
        qFatal("TAVLO_TEST_SHARD must be k/n with 1 <= k <= n");
    static const QStringList fixtures{"initTestCase", "initTestCase_data", "cleanupTestCase",
                                      "init", "cleanup"};
    QStringList selected{arguments.value(0)};
    const QMetaObject *meta = test.metaObject();
    int function = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        const QString name = QString::fromLatin1(m.name());
        if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Private ||
            m.parameterCount() != 0 || name.endsWith(QLatin1String("_data")) ||
            fixtures.contains(name))
            continue;
        if (function++ % n == k - 1)
            selected << name;
    }
    if (selected.size() == 1)
        qFatal("test shard %d of %d has no test function", k, n);
    return selected;
}

// QTEST_MAIN and QTEST_GUILESS_MAIN, sharded.
#define TAVLO_TEST_MAIN_WITH(Application, TestObject)                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QTest::Internal::callInitMain<TestObject>();                                               \
        Application app(argc, argv);                                                               \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, testShard(test, app.arguments()));                              \
    }
