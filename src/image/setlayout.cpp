// SPDX-License-Identifier: GPL-3.0-or-later
#include "setlayout.h"

#include "pathcodec.h"

namespace tavlo {

namespace {

quint32 readWord(const unsigned char *at, int bytes)
{
    quint32 word = 0;
    for (int i = 0; i < bytes; ++i)
        word = word << 8 | at[i];
    return word;
}

void writeWord(unsigned char *at, int bytes, quint32 word)
{
    for (int i = bytes - 1; i >= 0; --i, word >>= 8)
        at[i] = static_cast<unsigned char>(word & 0xFF);
}

// Whether a row stores a number: the path and the bits nothing is stored in
// are read and written otherwise.
bool storesNumber(const BitField &f)
{
    return f.number != nullptr;
}

} // namespace

const BitField &setBitField(int offset, int bit)
{
    for (const BitField &f : SetLayout) {
        const int bitOfWord = (f.byte + f.bytes - 1 - offset) * 8 + bit;
        if (offset >= f.byte && offset < f.byte + f.bytes && bitOfWord >= f.low &&
            bitOfWord < f.low + f.width)
            return f;
    }
    return SetLayout.back(); // the table covers every bit; a test holds it to that
}

QByteArray packSet(const SetNumbers &numbers)
{
    QByteArray block(SetBlockSize, '\0');
    auto *b = reinterpret_cast<unsigned char *>(block.data());
    for (const BitField &f : SetLayout) {
        if (!storesNumber(f))
            continue;
        const quint32 word = readWord(b + f.byte, f.bytes);
        writeWord(b + f.byte, f.bytes,
                  withBits(word, f.low, f.width, quint32(numbers.*(f.number))));
    }
    block.replace(SetPathOffset, PathFieldLength, numbers.path.leftJustified(PathFieldLength, ' '));
    return block;
}

SetNumbers unpackSet(const unsigned char *block)
{
    SetNumbers numbers;
    for (const BitField &f : SetLayout)
        if (storesNumber(f))
            numbers.*(f.number) = int(bitsOf(readWord(block + f.byte, f.bytes), f.low, f.width));
    numbers.path =
        QByteArray(reinterpret_cast<const char *>(block + SetPathOffset), PathFieldLength);
    return numbers;
}

} // namespace tavlo
