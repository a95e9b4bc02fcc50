// SPDX-License-Identifier: GPL-3.0-or-later
// The module kinds a package may carry: how the scan recognises each one and
// which extension the extraction gives its output.
#pragma once

#include <cstdint>
#include <iterator>

struct TModuleKindInfo {
    // The value of TMainForm::ModuleKind: 0 Impulse Tracker, 1 Scream
    // Tracker 3, 2 FastTracker 2.
    std::uint8_t kind;
    // The signature's bytes as hexadecimal text, as the scan's SearchText
    // holds it.
    const char* signature;
    // Where the signature stands in the module, in bytes from its first byte.
    std::int32_t signatureOffset;
    // Extension of the module file the extraction writes.
    const char* extension;
};

// In the order the scan searches for them; the first one found decides.
inline constexpr TModuleKindInfo kModuleKinds[] = {
    {0, "494D504D", 0, ".it"},                         // IMPM: Impulse Tracker
    {1, "5343524D", 44, ".s3m"},                       // SCRM: Scream Tracker 3
    {2, "457874656E646564204D6F64756C65", 0, ".xm"},  // "Extended Module": FastTracker 2
};

// The entry for a ModuleKind value; every value that names no other kind
// stands for the last one, FastTracker 2.
constexpr const TModuleKindInfo& ModuleKindInfo(std::uint8_t kind)
{
    for (const TModuleKindInfo& info : kModuleKinds)
        if (info.kind == kind)
            return info;
    return kModuleKinds[std::size(kModuleKinds) - 1];
}
