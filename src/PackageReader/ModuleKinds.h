// SPDX-License-Identifier: GPL-3.0-or-later
// The module kinds, in one table: the format name a package stores, the
// extension of the module file written, the signature and where it stands,
// whether the scan of a package's first bytes searches for it, and how the
// package reader checks a module of that format. The scan, the reader, the
// extraction, the command line's report and its summary all read it.
#pragma once

#include "platform/system/SysUtils.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace umx {

// How the package reader decides that a module carries its format's
// signature.
enum class SignatureCheck : std::uint8_t {
    Fixed,             // the signature's bytes at their offset
    ProTrackerLayout,  // a tag at 1080 or a plausible 15-sample header
};

struct ModuleKind {
    // The format name as a package stores it (in any letter case), and as
    // the reports name the kind.
    const char* name;
    // Extension of the module file the extraction writes.
    const char* extension;
    // The signature's bytes, and where they stand in bytes from the module's
    // first byte; empty for a check that is no fixed signature.
    std::string_view signature;
    std::int32_t signatureOffset;
    // The scan of a package's first bytes searches for this signature.
    bool scanned;
    SignatureCheck check;
};

// The scanned kinds come first, in the order the scan searches for them (the
// first one found decides); their position is the scan's kind value: 0
// Impulse Tracker, 1 Scream Tracker 3, 2 FastTracker 2.
inline constexpr std::array<ModuleKind, 4> kModuleKinds {{
    {"it", ".it", "IMPM", 0, true, SignatureCheck::Fixed},                 // Impulse Tracker
    {"s3m", ".s3m", "SCRM", 44, true, SignatureCheck::Fixed},              // Scream Tracker 3
    {"xm", ".xm", "Extended Module", 0, true, SignatureCheck::Fixed},      // FastTracker 2
    {"mod", ".mod", {}, 1080, false, SignatureCheck::ProTrackerLayout},  // ProTracker and relatives
}};

// How many kinds the scan searches for: the first ones of the table.
inline constexpr std::size_t kScannedKinds = 3;
static_assert(kModuleKinds[kScannedKinds - 1].scanned && !kModuleKinds[kScannedKinds].scanned);

constexpr std::size_t IndexOf(const ModuleKind& kind)
{
    return static_cast<std::size_t>(&kind - kModuleKinds.data());
}

// The kind for the scan's kind value; every value that names no other
// scanned kind stands for the last one, FastTracker 2.
constexpr const ModuleKind& ScannedKind(std::uint8_t value)
{
    return kModuleKinds[value < kScannedKinds ? value : kScannedKinds - 1];
}

// The kind of a format name (compared without regard to case); null for a
// format the table does not hold.
constexpr const ModuleKind* KindOfFormat(std::string_view format)
{
    for (const ModuleKind& kind : kModuleKinds)
        if (platform::SameText(kind.name, format))
            return &kind;
    return nullptr;
}

}  // namespace umx
