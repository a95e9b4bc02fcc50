// SPDX-License-Identifier: GPL-3.0-or-later
// The summary line the command line prints on stderr at the end of a run.
#pragma once

#include <QRegularExpression>
#include <QString>

namespace testsupport {

// The summary of a run over packages with no error: "N Paket(e): ... 0 Fehler, S,s s".
inline QString SummaryPattern(const QString& counts)
{
    return QStringLiteral("^%1, \\d+,\\d s\\n$").arg(QRegularExpression::escape(counts));
}

// True when err is nothing but the summary of a run in which no package failed.
inline bool IsFaultlessSummary(const QString& err)
{
    return QRegularExpression(QStringLiteral("^\\d+ Pakete?: [^\\n]*, 0 Fehler, \\d+,\\d s\\n$")).match(err).hasMatch();
}

}  // namespace testsupport
