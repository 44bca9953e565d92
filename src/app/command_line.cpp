#include "command_line.h"

#include <QCommandLineParser>
#include <QUrl>

namespace {

// An option's name as typed: "-h", "--help".
QString dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

CommandLine parseCommandLine(const QStringList& args, const QString& version) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quotazioni Euribor: registra ogni giorno i tassi Euribor dalla pagina del fornitore, "
                       "li elenca e li mostra in un grafico."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Mostra questo aiuto ed esce."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Mostra la versione ed esce."));
    const QCommandLineOption update(
        QStringLiteral("aggiorna"),
        QStringLiteral(
            "Registra le quotazioni del giorno senza finestra (per il timer): esce con 0 se tutte "
            "le scadenze sono state registrate, 1 se solo alcune, 2 se nessuna, 3 se un'altra copia "
            "usa la cartella dei dati."));
    const QCommandLineOption provider(QStringLiteral("provider"),
                                      QStringLiteral("Legge le quotazioni da questo indirizzo (http o https) "
                                                     "invece di quello predefinito."),
                                      QStringLiteral("URL"));
    const QCommandLineOption folder(
        QStringLiteral("cartella"),
        QStringLiteral("Usa questa cartella per i dati (storico, database, elenco "
                       "delle scadenze)."),
        QStringLiteral("CARTELLA"));
    const QList<QCommandLineOption> options = {help, versionOption, update, provider, folder};
    parser.addOptions(options);

    CommandLine out;
    const QString usage = parser.helpText()
                              .replace(QStringLiteral("Usage:"), QStringLiteral("Uso:"))
                              .replace(QStringLiteral("Options:"), QStringLiteral("Opzioni:"))
                              .replace(QStringLiteral("[options]"), QStringLiteral("[opzioni]"))
                              .replace(QStringLiteral("<executable_name>"), QStringLiteral("euribor"));
    // One line naming what was wrong; the whole usage would push it out of sight.
    const auto refuse = [&out](const QString& what) {
        out.mode = CommandLine::Mode::Refused;
        out.text = QStringLiteral("euribor: ") + what + QStringLiteral(" (vedere euribor --help)\n");
        return out;
    };
    if (!parser.parse(args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return refuse(QStringLiteral("opzione sconosciuta: ") + dashed(unknown.constFirst()));
        // The parser's other refusals: a switch given a value ("--aggiorna=1"), an option left
        // without its value at the end.
        for (const QCommandLineOption& option : options)
            for (const QString& name : option.names()) {
                if (option.valueName().isEmpty()) {
                    for (const QString& arg : args.mid(1))
                        if (arg.startsWith(dashed(name) + u'='))
                            return refuse(QStringLiteral("l'opzione ") + dashed(name) +
                                          QStringLiteral(" non accetta un valore"));
                } else if (args.constLast() == dashed(name)) {
                    return refuse(QStringLiteral("manca il valore dell'opzione ") + dashed(name));
                }
            }
        return refuse(QStringLiteral("riga di comando non valida"));
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("argomento non previsto: ") + parser.positionalArguments().constFirst());
    if (parser.isSet(help)) {
        out.mode = CommandLine::Mode::Help;
        out.text = usage;
        return out;
    }
    if (parser.isSet(versionOption)) {
        out.mode = CommandLine::Mode::Version;
        out.text = QStringLiteral("Quotazioni Euribor ") + version + u'\n';
        return out;
    }
    if (parser.isSet(provider)) {
        out.provider = parser.value(provider);
        const QUrl url(out.provider, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
            out.mode = CommandLine::Mode::Refused;
            out.text =
                QStringLiteral("Indirizzo non valido per --provider (serve un indirizzo http o https): ") +
                out.provider + u'\n';
            return out;
        }
    }
    if (parser.isSet(folder)) {
        out.folder = parser.value(folder);
        // An empty value (an unset variable in a script) must not fall back to the user's history.
        if (out.folder.trimmed().isEmpty()) {
            out.mode = CommandLine::Mode::Refused;
            out.text = QStringLiteral("Cartella non valida per --cartella: indicare una cartella.\n");
            return out;
        }
    }
    out.mode = parser.isSet(update) ? CommandLine::Mode::Update : CommandLine::Mode::Window;
    return out;
}
