#include "runtime_error.h"

#include <utility>

namespace rt {

QString errorDescription(int number) {
    switch (number) {
    case 3:
        return QStringLiteral("Return senza GoSub");
    case 5:
        return QStringLiteral("Chiamata di routine o argomento non validi");
    case 6:
        return QStringLiteral("Overflow");
    case 7:
        return QStringLiteral("Memoria esaurita");
    case 9:
        return QStringLiteral("Indice non incluso nell'intervallo");
    case 11:
        return QStringLiteral("Divisione per zero");
    case 13:
        return QStringLiteral("Tipo non corrispondente");
    case 14:
        return QStringLiteral("Spazio stringa esaurito");
    case 52:
        return QStringLiteral("Nome o numero di file non valido");
    case 53:
        return QStringLiteral("Impossibile trovare il file");
    case 54:
        return QStringLiteral("Modalità file non valida");
    case 55:
        return QStringLiteral("File già aperto");
    case 57:
        return QStringLiteral("Errore di I/O della periferica");
    case 58:
        return QStringLiteral("File già esistente");
    case 61:
        return QStringLiteral("Disco pieno");
    case 62:
        return QStringLiteral("Input oltre la fine del file");
    case 67:
        return QStringLiteral("Troppi file");
    case 68:
        return QStringLiteral("Periferica non disponibile");
    case 70:
        return QStringLiteral("Autorizzazione negata");
    case 71:
        return QStringLiteral("Disco non pronto");
    case 75:
        return QStringLiteral("Errore di accesso al percorso/file");
    case 76:
        return QStringLiteral("Impossibile trovare il percorso");
    case 91:
        return QStringLiteral("Variabile oggetto o variabile del blocco With non impostata");
    case 94:
        return QStringLiteral("Utilizzo non valido di Null");
    case 3024:
        return QStringLiteral("Impossibile trovare il file del database");
    case 3045:
        return QStringLiteral("Impossibile utilizzare il file del database: file già in uso");
    case 3049:
        return QStringLiteral("Impossibile aprire il database");
    case 3061:
        return QStringLiteral("Interrogazione non eseguibile");
    case 3078:
        return QStringLiteral("Impossibile trovare la tabella di input o la query");
    case 3146:
        return QStringLiteral("Scrittura sul database non riuscita");
    case 3265:
        return QStringLiteral("Elemento non trovato nell'insieme");
    case 3343:
        return QStringLiteral("Formato di database non riconosciuto");
    default:
        return QStringLiteral("Errore definito dall'applicazione o dall'oggetto");
    }
}

RuntimeError::RuntimeError(int number)
    : m_number(number)
    , m_description(errorDescription(number)) {}

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description)) {}

} // namespace rt
