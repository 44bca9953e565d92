#include "command_line.h"

#include "page_address.h"

#include <QCommandLineParser>
#include <QCoreApplication>

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
    const QCommandLineOption gaps(
        QStringLiteral("lacune"),
        QStringLiteral("Elenca per ogni scadenza i giorni di pubblicazione senza quotazione, dalla prima "
                       "registrata all'ultima pubblicata: esce con 0 se non ne manca nessuno, 1 se ne "
                       "mancano."));
    const QCommandLineOption import(
        QStringLiteral("importa"),
        QStringLiteral(
            "Importa i file indicati (storici del programma, serie pubblicate) e registra i giorni "
            "che mancano: esce con 0 se ogni riga è stata importata o era già presente, 1 se "
            "qualcuna è stata rifiutata o è in conflitto, 2 se non si è importato nulla."));
    const QCommandLineOption tenor(
        QStringLiteral("tenore"),
        QStringLiteral("Con --lacune: solo questa scadenza (per esempio \"EuRibor 3m\"); con --importa: la "
                       "scadenza delle serie che non la indicano."),
        QStringLiteral("SCADENZA"));
    const QCommandLineOption overwrite(
        QStringLiteral("sovrascrivi"),
        QStringLiteral("Con --importa: un giorno già registrato con un altro tasso prende quello del file."));
    const QCommandLineOption silent(QStringLiteral("silenzioso"),
                                    QStringLiteral("Con --aggiorna: nessuna notifica sul desktop."));
    const QCommandLineOption setAddress(
        QStringLiteral("imposta-indirizzo"),
        QStringLiteral("Salva l'indirizzo (http o https) della pagina delle quotazioni per la finestra e "
                       "per l'aggiornamento, ed esce."),
        QStringLiteral("URL"));
    const QList<QCommandLineOption> options = {help, versionOption, update, silent,    provider,  folder,
                                               gaps, import,        tenor,  overwrite, setAddress};
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Con --importa: i file da importare."),
                                 QStringLiteral("[FILE...]"));

    CommandLine out;
    const QString usage = parser.helpText()
                              .replace(QStringLiteral("Usage:"), QStringLiteral("Uso:"))
                              .replace(QStringLiteral("Options:"), QStringLiteral("Opzioni:"))
                              .replace(QStringLiteral("Arguments:"), QStringLiteral("Argomenti:"))
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
    if (!parser.positionalArguments().isEmpty() && !parser.isSet(import))
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
        if (const QString problem = core::addressProblem(out.provider); !problem.isEmpty()) {
            out.mode = CommandLine::Mode::Refused;
            out.text = QStringLiteral("Indirizzo non valido per --provider (") + problem +
                       QStringLiteral("): ") + out.provider + u'\n';
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
    const int commands = int(parser.isSet(update)) + int(parser.isSet(gaps)) + int(parser.isSet(import)) +
                         int(parser.isSet(setAddress));
    QString wrong;
    if (commands > 1)
        wrong = QStringLiteral("Usare una sola tra --aggiorna, --lacune, --importa e --imposta-indirizzo.");
    else if (parser.isSet(tenor) && !parser.isSet(gaps) && !parser.isSet(import))
        wrong = QStringLiteral("L'opzione --tenore vale solo con --lacune o --importa.");
    else if (parser.isSet(overwrite) && !parser.isSet(import))
        wrong = QStringLiteral("L'opzione --sovrascrivi vale solo con --importa.");
    else if (parser.isSet(silent) && !parser.isSet(update))
        wrong = QStringLiteral("L'opzione --silenzioso vale solo con --aggiorna.");
    else if (parser.isSet(import) && parser.positionalArguments().isEmpty())
        wrong = QStringLiteral("Indicare almeno un file da importare dopo --importa.");
    if (!wrong.isEmpty()) {
        out.mode = CommandLine::Mode::Refused;
        out.text = wrong + u'\n';
        return out;
    }
    out.tenor = parser.value(tenor).trimmed();
    out.address = parser.value(setAddress);
    out.files = parser.positionalArguments();
    out.overwrite = parser.isSet(overwrite);
    out.silent = parser.isSet(silent);
    out.mode = parser.isSet(update)       ? CommandLine::Mode::Update
               : parser.isSet(gaps)       ? CommandLine::Mode::Gaps
               : parser.isSet(import)     ? CommandLine::Mode::Import
               : parser.isSet(setAddress) ? CommandLine::Mode::SetAddress
                                          : CommandLine::Mode::Window;
    return out;
}

core::DataFolder dataFolderOf(const CommandLine& commandLine) {
    const QString exe = QCoreApplication::applicationDirPath();
    return core::chooseDataFolder(exe, commandLine.folder, core::userDataFolder(),
                                  core::sharedDataFolders(exe));
}
