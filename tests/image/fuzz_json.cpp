// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the JSON road of tavlo-image encode: any input must
// be refused or saved without a crash, and what saves must come back the
// same way: encode, decode and encode again gives the same bytes, and the
// opened configuration survives its JSON form unchanged.

#include "configjson.h"
#include "image.h"
#include "savecheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tavlo;
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<Configuration> parsed = configurationFromJson(json);
    if (!parsed || !checkSaveable(*parsed))
        return 0;
    const QByteArray image = encodeImage(*parsed);
    const Result<Configuration> opened = decodeImage(image);
    if (image.size() != ImageSize || !opened || !checkSaveable(*opened) ||
        encodeImage(*opened) != image)
        std::abort();
    const Result<Configuration> again = configurationFromJson(configurationToJson(*opened));
    if (!again || !(*again == *opened))
        std::abort();
    return 0;
}
