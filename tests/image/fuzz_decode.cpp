// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: opening any byte string must neither crash nor read out
// of bounds, and whatever saves after opening must save the same way twice.

#include "configjson.h"
#include "image.h"
#include "pathcodec.h"
#include "savecheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tavlo;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (size >= 1)
        (void)decodePath(data[0] & 1, bytes.sliced(1).first(std::min<qsizetype>(size - 1, 11)));

    const auto config = decodeImage(bytes);
    if (!config) {
        if (size >= size_t(ImageReadSize))
            std::abort();
        return 0;
    }
    (void)configurationToJson(*config);
    if (!checkSaveable(*config))
        return 0;
    const QByteArray image = encodeImage(*config);
    const auto reopened = decodeImage(image);
    if (image.size() != ImageSize || !reopened || encodeImage(*reopened) != image)
        std::abort();
    return 0;
}
