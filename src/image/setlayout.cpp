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

// The value a row stores, from the set or from the numbers made for it.
quint32 storedValue(const BitField &f, const ConfigSet &set, const SetNumbers &numbers)
{
    return std::visit(
        [&](auto from) -> quint32 {
            using From = decltype(from);
            if constexpr (std::is_same_v<From, std::monostate>)
                return 0;
            else if constexpr (std::is_same_v<From, Entry ConfigSet::*>)
                return quint32((set.*from).value_or(0));
            else if constexpr (std::is_same_v<From, bool ConfigSet::*>)
                return quint32(set.*from);
            else
                return quint32(numbers.*from);
        },
        f.from);
}

void store(const BitField &f, quint32 value, ConfigSet &set, SetNumbers &numbers)
{
    std::visit(
        [&](auto from) {
            using From = decltype(from);
            if constexpr (std::is_same_v<From, Entry ConfigSet::*>)
                set.*from = int(value);
            else if constexpr (std::is_same_v<From, bool ConfigSet::*>)
                set.*from = value != 0;
            else if constexpr (std::is_same_v<From, int SetNumbers::*>)
                numbers.*from = int(value);
        },
        f.from);
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

QByteArray packSet(const ConfigSet &set, const SetNumbers &numbers)
{
    QByteArray block(SetBlockSize, '\0');
    auto *b = reinterpret_cast<unsigned char *>(block.data());
    for (const BitField &f : SetLayout) {
        if (f.byte == SetPathOffset)
            continue; // the path, below
        const quint32 word = readWord(b + f.byte, f.bytes);
        writeWord(b + f.byte, f.bytes,
                  withBits(word, f.low, f.width, storedValue(f, set, numbers)));
    }
    block.replace(SetPathOffset, PathFieldLength, numbers.path.leftJustified(PathFieldLength, ' '));
    return block;
}

SetNumbers unpackSet(const unsigned char *block, ConfigSet &set)
{
    SetNumbers numbers;
    for (const BitField &f : SetLayout)
        if (f.byte != SetPathOffset)
            store(f, bitsOf(readWord(block + f.byte, f.bytes), f.low, f.width), set, numbers);
    numbers.path =
        QByteArray(reinterpret_cast<const char *>(block + SetPathOffset), PathFieldLength);
    return numbers;
}

} // namespace tavlo
