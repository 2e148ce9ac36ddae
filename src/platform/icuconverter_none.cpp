// SPDX-License-Identifier: MIT
// Builds without ICU: every codec is converted through Qt.
#include "platform/icuconverter.h"

namespace krcommon::platform {

IcuConverter *IcuConverter::forCodec(const QTextCodec *)
{
    return nullptr;
}

bool IcuConverter::decoderPending() const
{
    return false;
}

bool IcuConverter::encoderPending() const
{
    return false;
}

bool IcuConverter::toUnicodeStep(const char *&, const char *, bool, char16_t *&, char16_t *, bool &full)
{
    full = false;
    return false;
}

bool IcuConverter::fromUnicodeStep(const char16_t *&, const char16_t *, bool, char *&, char *, bool &full)
{
    full = false;
    return false;
}

} // namespace krcommon::platform
