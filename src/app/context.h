#pragma once
// What the main window receives from outside: the desktop seam, the platform services and the few
// facts of the machine. Production fills it with the real services, tests with fakes.

#include <QLocale>
#include <QString>

class Shell;
class PageFetcher;
class Clock;
class ConnectionState;
class Conn_RAS;

struct AppContext {
    Shell* shell = nullptr;
    PageFetcher* fetcher = nullptr;
    Clock* clock = nullptr;
    ConnectionState* connection = nullptr;
    Conn_RAS* dialup = nullptr; // dials when the machine is offline; none: never dial
    QString programFolder;      // the folder of the executable
    QLocale locale;             // the regional settings numbers are written with
    QString pageUrl;            // the provider's rate page
    QString settingsFile;       // where an address typed into Text1 is kept once it gave rates; empty: never
};
