#pragma once
// The desktop notification of the windowless update: the timer runs it where nobody reads its journal,
// so a day recorded nothing or a day gone missing is told on the desktop.

#include <QString>

namespace core {

// The notification's one line: that nothing was recorded and why, and the tenors with their missing
// days (summary as RecentGaps gives it: "EuRibor 1w: 24/12/2025; EuRibor 3m: 02/03/2026"), tenors
// missing the same days named together. Empty when there is nothing to tell.
QString updateNoticeText(bool noneRecorded, const QString& cause, const QString& gapsSummary);

// Shows text through org.freedesktop.Notifications on the session bus. False when there is no bus or
// no service answered within timeoutMs: a notification never holds up or fails the update.
bool notifyDesktop(const QString& text, int timeoutMs = 2000);

} // namespace core
