#include "ras_texts.h"

#include <array>

namespace {

constexpr int kFirstCode = 601;

// One text per code from 601 to 750, in order; shared texts are repeated so the index is the code.
constexpr std::array<const char16_t*, 150> kErrorTexts = {
    // 601
    u"Porta seriale non valida",
    u"Porta seriale già aperta",
    u"Buffer troppo piccolo",
    u"Informazioni errate",
    u"Imposibile impostare la porta seriale",
    u"Porta seriale non connessa",
    u"Evento non valido",
    u"Il dispositivo non esiste",
    u"Il tipo di dispositivo non esiste",
    u"Buffer non corretto",
    // 611
    u"Instradamento non disponibile",
    u"Instradamento non allocato",
    u"Protocollo di compressione non valido",
    u"Overflow nel buffer",
    u"Porta seriale non trovata",
    u"Connessione asincrona in sospeso",
    u"Disconnessione già avviata",
    u"Porta seriale non aperta",
    u"Porta seriale disconnessa",
    u"No EndPoints",
    // 621
    u"Impossibile aprire il phonebook",
    u"Impossibile caricare il phonebook",
    u"Impossibile trovare la connessione",
    u"Impossibile scrivere sul phonebook",
    u"Phonebook danneggiato",
    u"Impossibile caricare una stringa",
    u"Chiave non trovata",
    u"Disconnessione",
    u"Disconnessione remota",
    u"Hardware danneggiato",
    // 631
    u"Disconnessione richiesta dall'utente",
    u"Dimensione errata",
    u"Porta seriale non disponibile",
    u"Impossibile proiettare il client",
    u"Errore sconosciuto",
    u"Dispositivo errato",
    u"Stringa non valida",
    u"Timeout",
    u"Errore sulla rete",
    u"Errore di NetBios",
    // 641
    u"Server senza risorse",
    u"Nome già esistente sulla rete",
    u"Errore generale sulla rete",
    u"Alias non indicato",
    u"Auth_Internal",
    u"Orari di connessione limitati",
    u"Account non più abilitato",
    u"Password scaduta",
    u"Chiamata non concessa",
    u"Il server non risponde",
    // 651
    u"Errore dal modem",
    u"Risposta non riconosciuta",
    u"Macro non trovata",
    u"Macro non definita",
    u"Macro di messaggi non trovata",
    u"Macro predefinita non trovata",
    u"Impossibile aprire il file",
    u"Nome di dispositivo troppo lungo",
    u"Dispositivo non trovato",
    u"Nessuna risposta",
    // 661
    u"Nessun comando trovato",
    u"Chiave errata",
    u"Tipo di modem sconosciuto",
    u"Errore di allocazione in memoria",
    u"Porta seriale non configurata",
    u"Modem non pronto",
    u"Errore in lettura del file INI",
    u"Nessuna connessione",
    u"Errore nel file INI",
    u"Errore nel file INI (nome di sezione)",
    // 671
    u"errore nel file INI (DeviceType)",
    u"Errore nel file INI (DeviceName)",
    u"Errore nel file INI (Usage)",
    u"Errore nel file INI (MaxConnectBPS)",
    u"Errore nel file INI (MaxCarrierBPS)",
    u"Linea occupata",
    u"Risposta vocale",
    u"Nessuna risposta",
    u"Portante assente",
    u"Tono di libero assente",
    // 681
    u"Errore nel comando",
    u"Errore nel file INI (nome di sezione)",
    u"Errore nel file INI (DeviceType)",
    u"Errore nel file INI (DeviceName)",
    u"Errore nel file INI (MaxConnectBPS)",
    u"Errore nel file INI (MaxCarrierBPS)",
    u"Errore nel file INI (Usage)",
    u"Errore nel file INI (DefaultOff)",
    u"Errore nel file INI (DefaultOff)",
    u"File INI vuoto",
    // 691
    u"Autenticazione fallita",
    u"Errore di porta seriale o modem",
    u"Macro non binaria",
    u"DCB non trovato",
    u"Macchina a stati non avviata",
    u"Macchina a stati già avviata",
    u"Loop",
    u"Chiave sconosciuta",
    u"Buffer pieno",
    u"Comando troppo lungo",
    // 701
    u"Velocità non supportata",
    u"Risposta inaspettata",
    u"Modalità interattiva",
    u"Numero di callback errato",
    u"Autenticazione errata",
    u"Errore nel file INI (InitBPS)",
    u"Diagnostica di errore X25",
    u"Account scaduto",
    u"Modifica della password",
    u"Overrun",
    // 711
    u"Gestore delle connessione non inizializzato",
    u"Porta bidirezionale non disponibile",
    u"Linea ISDN non attiva",
    u"Nessun canale ISDN disponibile",
    u"Troppi errori di linea",
    u"Configurazione IP errata",
    u"Indirizzo IP inesistente",
    u"Timeout PPP",
    u"PPP terminato",
    u"Nessun protocollo PPP configurato",
    // 721
    u"Nessuna risposta PPP",
    u"Pacchetto PPP non valido",
    u"Numero telefonico troppo lungo",
    u"Errore IPX",
    u"Errore IPX",
    u"Errore IPX",
    u"Errore nell'accesso a TCPCFG.DLL",
    u"Nessun adattatore Accesso Remoto per IP",
    u"SLIP richiede l'IP",
    u"Proiezione non completa",
    // 731
    u"Protocollo non configurato",
    u"Errore PPP",
    u"Errore PPP",
    u"Errore PPP",
    u"Errore PPP",
    u"Errore PPP",
    u"Errore PPP",
    u"Errore PPP",
    u"Impossibile usare le credenziali di logon",
    u"Errore di configurazione TAPI",
    // 741
    u"Nessuna codifica locale",
    u"Nessuna codifica remota",
    u"Il server remoto richiede la codifica",
    u"Conflitto sul numero di rete IPX",
    u"SMM non corretto",
    u"SMM non inizializzato",
    u"Nessun MAC per la porta",
    u"Timeout SMM",
    u"Numero telefonico errato",
    u"Modulo errato",
};

QString fromTable(const char16_t* text) {
    return QString::fromUtf16(text);
}

} // namespace

QString RasErrorText(int code) {
    const int index = code - kFirstCode;
    if (index >= 0 && index < static_cast<int>(kErrorTexts.size()))
        return fromTable(kErrorTexts[static_cast<std::size_t>(index)]);
    return QStringLiteral("Errore non previsto (Cod. ") + QString::number(code) + QStringLiteral(").");
}

QString RasStateText(int state) {
    switch (state) {
    case 0:
        return QStringLiteral("Apertura della porta seriale in corso...");
    case 1:
        return QStringLiteral("Porta seriale aperta.");
    case 2:
    case 3:
        return QStringLiteral("Chiamata in corso...");
    case 4:
        return QStringLiteral("Modem rilevato.");
    case 5:
        return QStringLiteral("Controllo accesso in corso...");
    case 14:
        return QStringLiteral("Accesso convalidato");
    case 19:
        return QStringLiteral("Accesso al server in corso...");
    case 21:
        return QStringLiteral("Accesso alla rete in corso...");
    case 4099:
        return QStringLiteral("Password scaduta.");
    case ras::Connected:
        return QStringLiteral("Connessione effettuata.");
    case ras::Disconnected:
        return QStringLiteral("Disconnessione effettuata.");
    default:
        break;
    }
    // Authentication sub-steps, callback steps, the pending code and the paused states show nothing.
    const bool silent = (state >= 6 && state <= 13) || (state >= 15 && state <= 18) || state == 20 ||
                        state == 600 || (state >= 4096 && state <= 4098);
    if (silent)
        return QString();
    return QStringLiteral("Errore. Stato non previsto (Cod. ") + QString::number(state) +
           QStringLiteral(").");
}
