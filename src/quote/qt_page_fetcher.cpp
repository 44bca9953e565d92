#include "qt_page_fetcher.h"

#include "page_decode.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcFetch, "euribor.fetch")

namespace {

using Limits = QtPageFetcher::Limits;

constexpr qint64 kReadChunk = 64 * 1024;

// Why a transfer was cut by one of our own limits.
enum class Cut { None, Connect, NoAnswer, Total, Slow, TooBig };

// One request and its answer, redirects not followed.
struct Hop {
    Cut cut = Cut::None;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray location;
    QByteArray contentType;
    QByteArray body;
};

bool allowedScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

QString duration(qint64 ms) {
    return ms % 1000 == 0 ? QString::number(ms / 1000) + QStringLiteral(" s")
                          : QString::number(ms) + QStringLiteral(" ms");
}

QString size(qsizetype bytes) {
    constexpr qsizetype mib = 1024 * 1024;
    return bytes % mib == 0 ? QString::number(bytes / mib) + QStringLiteral(" MiB")
                            : QString::number(bytes) + QStringLiteral(" byte");
}

QString withDetail(const QString& cause, const QString& detail) {
    return detail.isEmpty() ? cause : cause + QStringLiteral(" (") + detail + u')';
}

QString cutText(Cut cut, const Limits& limits) {
    switch (cut) {
    case Cut::Connect:
        return withDetail(QStringLiteral("tempo scaduto"),
                          QStringLiteral("nessuna connessione in ") + duration(limits.connectTimeoutMs));
    case Cut::NoAnswer:
        return withDetail(QStringLiteral("tempo scaduto"),
                          QStringLiteral("nessuna risposta in ") + duration(limits.lowSpeedWindowMs));
    case Cut::Total:
        return withDetail(QStringLiteral("tempo scaduto"),
                          QStringLiteral("pagina non completa in ") + duration(limits.totalTimeoutMs));
    case Cut::Slow:
        return withDetail(QStringLiteral("trasferimento troppo lento"),
                          QStringLiteral("meno di ") + QString::number(limits.lowSpeedBytes) +
                              QStringLiteral(" byte in ") + duration(limits.lowSpeedWindowMs));
    case Cut::TooBig:
        return QStringLiteral("pagina oltre ") + size(limits.maxBodyBytes);
    case Cut::None:
        break;
    }
    return {};
}

// In the program's own words: Qt's texts are English, and the user reads these in the journal.
QString networkErrorText(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("connessione rifiutata");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("server non trovato");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("connessione chiusa dal server");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("tempo scaduto");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("connessione sicura non riuscita (certificato o protocollo TLS non accettato)");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("rete non disponibile");
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("protocollo non ammesso");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("errore del proxy");
    default:
        return QStringLiteral("errore di rete (codice ") + QString::number(int(error)) + u')';
    }
}

// Runs one GET to its end or to the first limit it breaks. Paint events and timers go on meanwhile;
// the user's input waits for the caller.
Hop getOnce(QNetworkAccessManager& manager, const QUrl& url, const Limits& limits, QDeadlineTimer deadline) {
    Hop hop;
    if (deadline.hasExpired()) {
        hop.cut = Cut::Total;
        return hop;
    }
    QNetworkRequest request(url);
    // Qt's own redirect following resends requests on connections the server closed; we follow them.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QEventLoop loop;
    QTimer connectTimer, totalTimer, speedTimer;
    connectTimer.setSingleShot(true);
    totalTimer.setSingleShot(true);
    qint64 windowBytes = 0;
    bool answered = false;

    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // Qt reads ahead of us without limit: a fast endless page would fill memory long before the size
    // limit is checked. Bounded, the socket waits while we take the chunks.
    reply->setReadBufferSize(kReadChunk);
    auto stop = [&](Cut why) {
        if (hop.cut == Cut::None)
            hop.cut = why;
        reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::requestSent, &loop, [&] {
        connectTimer.stop();
        windowBytes = 0;
        speedTimer.start(limits.lowSpeedWindowMs);
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] { answered = true; });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        const QByteArray chunk = reply->readAll();
        windowBytes += chunk.size();
        if (hop.body.size() + chunk.size() > limits.maxBodyBytes)
            stop(Cut::TooBig);
        else
            hop.body.append(chunk);
    });
    QObject::connect(&connectTimer, &QTimer::timeout, &loop, [&] { stop(Cut::Connect); });
    QObject::connect(&totalTimer, &QTimer::timeout, &loop, [&] { stop(Cut::Total); });
    QObject::connect(&speedTimer, &QTimer::timeout, &loop, [&] {
        if (windowBytes < limits.lowSpeedBytes)
            stop(answered ? Cut::Slow : Cut::NoAnswer);
        windowBytes = 0;
    });

    connectTimer.start(limits.connectTimeoutMs);
    totalTimer.start(static_cast<int>(deadline.remainingTime()));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (hop.cut != Cut::None)
        return hop;
    const QByteArray rest = reply->readAll();
    if (hop.body.size() + rest.size() > limits.maxBodyBytes) {
        hop.cut = Cut::TooBig;
        return hop;
    }
    hop.body.append(rest);
    hop.error = reply->error();
    hop.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    hop.location = reply->rawHeader("Location");
    hop.contentType = reply->rawHeader("Content-Type");
    return hop;
}

} // namespace

QtPageFetcher::QtPageFetcher()
    : QtPageFetcher(Limits{}) {}

QtPageFetcher::QtPageFetcher(Limits limits)
    : m_limits(limits)
    , m_manager(std::make_unique<QNetworkAccessManager>()) {}

QtPageFetcher::~QtPageFetcher() = default;

QString QtPageFetcher::fetch(const QString& address) {
    m_lastError.clear();
    auto fail = [&](const QString& cause) {
        m_lastError = cause;
        qCWarning(lcFetch).noquote().nospace() << "pagina non scaricata: " << address << " - " << cause;
        return QString();
    };

    QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return fail(QStringLiteral("indirizzo non valido"));
    if (!allowedScheme(url))
        return fail(withDetail(QStringLiteral("protocollo non ammesso"), url.scheme()));
    if (url.host().isEmpty())
        return fail(QStringLiteral("indirizzo non valido"));

    const QDeadlineTimer deadline(m_limits.totalTimeoutMs);
    for (int redirects = 0;; ++redirects) {
        const Hop hop = getOnce(*m_manager, url, m_limits, deadline);
        if (hop.cut != Cut::None)
            return fail(cutText(hop.cut, m_limits));
        if (hop.status >= 300 && hop.status < 400 && hop.status != 304 && !hop.location.isEmpty()) {
            if (redirects >= m_limits.maxRedirects)
                return fail(withDetail(QStringLiteral("troppi rinvii"),
                                       QStringLiteral("oltre ") + QString::number(m_limits.maxRedirects)));
            const QUrl target = url.resolved(QUrl::fromEncoded(hop.location));
            // Every hop is held to the same protocols as the first.
            if (!target.isValid() || !allowedScheme(target) || target.host().isEmpty())
                return fail(withDetail(QStringLiteral("protocollo non ammesso"),
                                       QStringLiteral("rinvio a ") + target.toString()));
            url = target;
            continue;
        }
        // An error page is no rate page.
        if (hop.status != 0 && (hop.status < 200 || hop.status >= 300))
            return fail(QStringLiteral("risposta HTTP ") + QString::number(hop.status));
        if (hop.error != QNetworkReply::NoError)
            return fail(networkErrorText(hop.error));
        return decodePage(hop.body, hop.contentType);
    }
}
