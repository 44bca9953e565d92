#include "page_address.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QUrl>

namespace core {

namespace {
const QString kGroup = QStringLiteral("pagina");
const QString kKey = QStringLiteral("indirizzo");
} // namespace

QString settingsFilePath(const QString& xdgConfigHome, const QString& home) {
    // A relative XDG_CONFIG_HOME is invalid and ignored; QSettings would read it against the home
    // folder, QStandardPaths against the working folder: the file would move with them.
    const QString base = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
                             ? xdgConfigHome
                             : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/quotazioni-euribor/quotazioni-euribor.conf"));
}

QString settingsFilePath() {
    return settingsFilePath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

QString addressProblem(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty())
        return QStringLiteral("l'indirizzo è vuoto");
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https"))
        return QStringLiteral("serve un indirizzo http o https");
    if (url.host().isEmpty())
        return QStringLiteral("manca il nome del sito");
    // The site's home page has no rates: the page is named by its path or its query.
    if ((url.path().isEmpty() || url.path() == u"/") && !url.hasQuery())
        return QStringLiteral("manca il percorso della pagina delle quotazioni (per esempio "
                              "/MainController?p=1&s=4&t=8&page=lteurb&c=lteurb)");
    return {};
}

QString savedPageAddress(const QString& settingsFile) {
    if (!QFileInfo::exists(settingsFile))
        return {};
    const QSettings settings(settingsFile, QSettings::IniFormat);
    const QVariant value = settings.value(kGroup + u'/' + kKey);
    // Written by hand without quotes, an address with a comma reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',').trimmed();
    return value.toString().trimmed();
}

QString savePageAddress(const QString& settingsFile, const QString& address) {
    const QString failure = QStringLiteral("impossibile scrivere il file ") + settingsFile;
    if (!QDir().mkpath(QFileInfo(settingsFile).absolutePath()))
        return failure;
    QSettings settings(settingsFile, QSettings::IniFormat);
    settings.setValue(kGroup + u'/' + kKey, address.trimmed());
    settings.sync();
    if (settings.status() != QSettings::NoError || savedPageAddress(settingsFile) != address.trimmed())
        return failure;
    return {};
}

PageAddress resolvePageAddress(const QString& option, const QString& settingsFile, const QString& builtIn) {
    if (!option.isEmpty())
        return {option, PageAddress::Source::Option, {}};
    const QString saved = savedPageAddress(settingsFile);
    if (saved.isEmpty())
        return {builtIn, PageAddress::Source::BuiltIn, {}};
    if (const QString problem = addressProblem(saved); !problem.isEmpty())
        return {builtIn, PageAddress::Source::BuiltIn,
                QStringLiteral("Indirizzo in ") + settingsFile + QStringLiteral(" non valido (") + problem +
                    QStringLiteral("): uso quello predefinito.")};
    return {saved, PageAddress::Source::Settings, {}};
}

int runSetAddressCommand(const QString& settingsFile, const QString& address, QTextStream& out,
                         QTextStream& err) {
    QString problem = addressProblem(address);
    if (problem.isEmpty())
        problem = savePageAddress(settingsFile, address);
    if (!problem.isEmpty()) {
        err << QStringLiteral("Indirizzo non salvato, ") << problem << QStringLiteral(": ")
            << address.trimmed() << Qt::endl;
        return 2;
    }
    out << QStringLiteral("Indirizzo della pagina salvato in ") << settingsFile << QStringLiteral(":\n")
        << address.trimmed() << Qt::endl;
    return 0;
}

} // namespace core
