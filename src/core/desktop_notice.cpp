#include "desktop_notice.h"

#include "shell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace core {

QString updateNoticeText(bool noneRecorded, const QString& cause, const QString& gapsSummary) {
    QStringList parts;
    if (noneRecorded)
        parts.append(QStringLiteral("Nessuna quotazione registrata") +
                     (cause.isEmpty() ? QString() : QStringLiteral(": ") + cause) + u'.');
    if (!gapsSummary.isEmpty()) {
        // Usually every tenor misses the same days: each list of days is said once.
        QStringList days;
        QList<QStringList> tenors;
        for (const QString& tenor : gapsSummary.split(QStringLiteral("; "))) {
            const qsizetype colon = tenor.indexOf(QStringLiteral(": "));
            const QString key = tenor.left(colon), ranges = tenor.mid(colon + 2);
            const qsizetype at = days.indexOf(ranges);
            if (at < 0) {
                days.append(ranges);
                tenors.append({key});
            } else {
                tenors[at].append(key);
            }
        }
        QStringList grouped;
        for (qsizetype i = 0; i < days.size(); ++i)
            grouped.append(tenors[i].join(QStringLiteral(", ")) + QStringLiteral(": ") + days[i]);
        parts.append(QStringLiteral("Giorni senza quotazione: ") + grouped.join(QStringLiteral("; ")) + u'.');
    }
    return parts.join(u' ');
}

bool notifyDesktop(const QString& text, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("it.quotazionieuribor.QuotazioniEuribor")}};
    // Servers may read the body as markup.
    call << appTitle() << 0U << QStringLiteral("quotazioni-euribor") << appTitle() << text.toHtmlEscaped()
         << QStringList() << hints << -1;
    return bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

} // namespace core
