// SPDX-License-Identifier: GPL-3.0-or-later
#include "bits.h"

#include <QTest>
#include <limits>

using namespace tavlo;

class TestBits : public QObject {
    Q_OBJECT
private slots:
    void bitt_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("bit");
        QTest::addColumn<double>("expected");
        QTest::newRow("128 bit 7") << 128.0 << 7.0 << 1.0;
        QTest::newRow("127 bit 7") << 127.0 << 7.0 << 0.0;
        QTest::newRow("5 bit 0") << 5.0 << 0.0 << 1.0;
        QTest::newRow("5 bit 1") << 5.0 << 1.0 << 0.0;
        QTest::newRow("2.5 rounds to 2") << 2.5 << 1.0 << 1.0;
        QTest::newRow("3.5 rounds to 4") << 3.5 << 2.0 << 1.0;
        QTest::newRow("-1 bit 30") << -1.0 << 30.0 << 1.0;
        QTest::newRow("negative bit") << 255.0 << -1.0 << 0.0;
        QTest::newRow("far negative bit") << 255.0 << -2000.0 << 0.0;
    }
    void bitt()
    {
        QFETCH(double, value);
        QFETCH(double, bit);
        QFETCH(double, expected);
        QCOMPARE(bitOf(value, bit), expected);
    }

    void bitVal_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("expected");
        QTest::newRow("bits 4..6") << 245.0 << 4.0 << 6.0 << 7.0;
        QTest::newRow("bits 0..3") << 245.0 << 0.0 << 3.0 << 5.0;
        QTest::newRow("bits 0..6") << 245.0 << 0.0 << 6.0 << 117.0;
        QTest::newRow("low above high") << 255.0 << 3.0 << 2.0 << 0.0;
        QTest::newRow("empty range, huge value") << 1e12 << 3.0 << 2.0 << 0.0;
        QTest::newRow("only negative bits, from far below") << 255.0 << -1e18 << -1.0 << 0.0;
    }
    void bitVal()
    {
        QFETCH(double, value);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, expected);
        QCOMPARE(bitsBetween(value, low, high), expected);
    }

    void overflow_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("bit 31") << 1.0 << 31.0 << 31.0;
        QTest::newRow("range reaching bit 31") << 1.0 << 0.0 << 31.0;
        QTest::newRow("value above int32") << 2147483648.0 << 0.0 << 0.0;
        QTest::newRow("value below int32") << -2147483649.0 << 0.0 << 0.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0.0 << 0.0;
        QTest::newRow("endless range") << 1.0 << 0.0 << std::numeric_limits<double>::infinity();
    }
    void overflow()
    {
        QFETCH(double, value);
        QFETCH(double, low);
        QFETCH(double, high);
        QVERIFY_THROWS_EXCEPTION(BitOverflow, bitsBetween(value, low, high));
        if (low == high)
            QVERIFY_THROWS_EXCEPTION(BitOverflow, bitOf(value, low));
    }
};

QTEST_GUILESS_MAIN(TestBits)

#include "tst_bits.moc"
