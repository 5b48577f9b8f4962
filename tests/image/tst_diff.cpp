// SPDX-License-Identifier: GPL-3.0-or-later
#include "configjson.h"
#include "image.h"
#include "imagediff.h"
#include "testconfigs.h"

#include <QTest>

using namespace tavlo;
using namespace testconfigs;

namespace {

// The bytes diff listed before it read the layout: it found the bits that
// hold a field by flipping each in turn and opening the image again. Kept
// here as the reference the table must agree with.
bool flipChangesOpening(const QByteArray &image, const QByteArray &opened, qint64 offset, int bit)
{
    if (offset >= image.size() || offset >= ImageReadSize)
        return false;
    QByteArray flipped = image;
    flipped[offset] = char(flipped[offset] ^ (1 << bit));
    return configurationToJson(*decodeImage(flipped)) != opened;
}

QList<qint64> bytesByFlipping(const QByteArray &a, const QByteArray &b)
{
    const QByteArray ja = configurationToJson(*decodeImage(a));
    const QByteArray jb = configurationToJson(*decodeImage(b));
    QList<qint64> offsets;
    for (qint64 offset = 0; offset < std::max(a.size(), b.size()); ++offset) {
        const int from = offset < a.size() ? static_cast<unsigned char>(a.at(offset)) : -1;
        const int to = offset < b.size() ? static_cast<unsigned char>(b.at(offset)) : -1;
        bool unshown = from != to && (from < 0 || to < 0);
        for (int bit = 0; bit < 8 && from != to && !unshown; ++bit)
            unshown = ((from ^ to) >> bit & 1) && !flipChangesOpening(a, ja, offset, bit) &&
                      !flipChangesOpening(b, jb, offset, bit);
        if (unshown)
            offsets << offset;
    }
    return offsets;
}

QList<qint64> offsetsOf(const ImageDiff &diff)
{
    QList<qint64> offsets;
    for (const ByteChange &c : diff.bytes)
        offsets << c.offset;
    return offsets;
}

// Whether diff lists the bytes that flipping finds, and how many fields it names.
int compareWithFlipping(const QByteArray &a, const QByteArray &b)
{
    const Result<ImageDiff> diff = diffImages(a, b);
    if (!diff)
        return -1;
    const QList<qint64> listed = offsetsOf(*diff);
    const QList<qint64> flipped = bytesByFlipping(a, b);
    if (listed != flipped) {
        qWarning() << "listed" << listed << "flipping finds" << flipped << diffLines(*diff);
        return -1;
    }
    return int(diff->fields.size());
}

} // namespace

class TestDiff : public QObject {
    Q_OBJECT
private slots:
    // Every bit of a set block has exactly one row, and every field of a set
    // is held by some row.
    void layoutCoversEveryBitOnce()
    {
        for (int offset = 0; offset < SetBlockSize; ++offset)
            for (int bit = 0; bit < 8; ++bit) {
                int rows = 0;
                for (const BitField &f : SetLayout) {
                    const int b = (f.byte + f.bytes - 1 - offset) * 8 + bit;
                    rows += offset >= f.byte && offset < f.byte + f.bytes && b >= f.low &&
                            b < f.low + f.width;
                }
                QVERIFY2(rows == 1,
                         qPrintable(QStringLiteral("byte %1 bit %2").arg(offset).arg(bit)));
            }
        FieldMask held = 0;
        for (const BitField &f : SetLayout)
            held |= f.fields;
        for (const SetField &field : setFields())
            QVERIFY2(held & fieldMask({field.id}), field.key);
    }

    // Each bit of the worked example flipped alone: a change of one field, or
    // of a bit no field shows.
    void oneBitChangesAgreeWithFlipping()
    {
        const QByteArray image = encodeImage(workedExample());
        int oneField = 0;
        for (qint64 offset = 0; offset < image.size(); ++offset)
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray other = image;
                other[offset] = char(other[offset] ^ (1 << bit));
                const int fields = compareWithFlipping(image, other);
                QVERIFY2(fields >= 0,
                         qPrintable(QStringLiteral("byte %1 bit %2").arg(offset).arg(bit)));
                oneField += fields == 1;
            }
        // Most flips change one field: each field of each set is reached.
        QVERIFY(oneField > SetCount * SetFieldCount);
    }

    // A saved image and a copy with random bits flipped and bytes added
    // after the end, as a memory read back may differ from what was written.
    void changedCopiesAgreeWithFlipping()
    {
        RandomSets random(20261209);
        QRandomGenerator &rng = random.rng();
        for (int round = 0; round < 300; ++round) {
            const QByteArray a = encodeImage(random.savableConfiguration());
            QByteArray b = a;
            for (int k = 1 + rng.bounded(3); k > 0; --k) {
                const int offset = rng.bounded(ImageSize);
                b[offset] = char(b.at(offset) ^ (1 << rng.bounded(8)));
            }
            if (rng.bounded(4) == 0)
                b.append(char(rng.bounded(256)));
            QVERIFY(compareWithFlipping(a, b) >= 0);
        }
    }

    // Two different saved images: whatever differs is shown, by a field or
    // by its bytes. Flipping one bit at a time missed path bytes that moved
    // (a blank and a character swapped) and called the images equal.
    void nothingDiffersUnshown()
    {
        RandomSets random(7);
        for (int round = 0; round < 20; ++round) {
            const QByteArray a = encodeImage(random.savableConfiguration());
            QByteArray b = encodeImage(random.savableConfiguration());
            const Result<ImageDiff> diff = diffImages(a, b);
            QVERIFY(diff);
            QCOMPARE(diff->isEmpty(), a == b);
            for (const qint64 offset : bytesByFlipping(a, b))
                QVERIFY(offsetsOf(*diff).contains(offset));
        }
        // The swap itself, in set 6: its path opens as "!" from both.
        const int path = CallsignLength + 5 * SetBlockSize + SetPathOffset;
        QByteArray a = encodeImage(workedExample());
        a.replace(path, PathFieldLength, "!          ");
        QByteArray b = a;
        b.replace(path, PathFieldLength, "   !       ");
        QCOMPARE(decodeImage(a)->sets[5].path, QStringLiteral("!"));
        QCOMPARE(decodeImage(b)->sets[5].path, QStringLiteral("!"));
        QCOMPARE(bytesByFlipping(a, b), QList<qint64>{});
        QCOMPARE(offsetsOf(*diffImages(a, b)), (QList<qint64>{path, path + 3}));
    }

    // The bytes no field shows are named by the layout.
    void unshownBytesNamed_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("named");
        QTest::newRow("unused bits of the first byte") << 6 << 0x30 << "set 1 unused";
        QTest::newRow("latitude blank mark") << 29 << 0x20 << "set 2 latitude blank mark";
        QTest::newRow("unused top bit of the longitude") << 112 << 0x80 << "set 6 unused";
        QTest::newRow("end byte") << 126 << 0x01 << "end byte";
    }
    void unshownBytesNamed()
    {
        QFETCH(int, offset);
        QFETCH(int, mask);
        QFETCH(QString, named);
        const QByteArray image = encodeImage(workedExample());
        QByteArray other = image;
        other[offset] = char(other[offset] ^ mask);
        const Result<ImageDiff> diff = diffImages(image, other);
        QVERIFY(diff);
        QVERIFY(diff->fields.isEmpty());
        QCOMPARE(diff->bytes.size(), 1);
        QCOMPARE(diff->bytes[0].bits, QStringList{named});
        QVERIFY(diffLines(*diff).constFirst().endsWith(u'(' + named + u')'));
    }
};

QTEST_GUILESS_MAIN(TestDiff)

#include "tst_diff.moc"
