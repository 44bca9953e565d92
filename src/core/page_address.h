#pragma once
// The provider page's address, set once: kept in the user's settings file, used unless a run names
// another with --provider, and the built-in one when neither does.

#include <QString>
#include <QTextStream>

namespace core {

// $XDG_CONFIG_HOME/quotazioni-euribor/quotazioni-euribor.conf; $HOME/.config/... when the variable
// is unset, empty or not an absolute path (the base directory rule).
QString settingsFilePath(const QString& xdgConfigHome, const QString& home);
// The same from the process's environment.
QString settingsFilePath();

// Why an address cannot be the rate page's: not http or https, no host, or no path nor query (a
// site's home page). Empty when it can be. Blanks around the address are not counted.
QString addressProblem(const QString& address);

// The address saved in the settings file, trimmed; empty when there is none.
QString savedPageAddress(const QString& settingsFile);

// Saves the address (trimmed) in the settings file, making its folder. Empty when saved, otherwise why not.
QString savePageAddress(const QString& settingsFile, const QString& address);

struct PageAddress {
    enum class Source { Option, Settings, BuiltIn };
    QString url;
    Source source = Source::BuiltIn;
    QString warning; // a saved address that was passed over, and why
};

// The address of this run: the option's, else the saved one, else the built-in one. A saved address
// that fails the check is passed over with a warning.
PageAddress resolvePageAddress(const QString& option, const QString& settingsFile, const QString& builtIn);

// euribor --imposta-indirizzo: checks the address and saves it, printing what was saved where.
// Returns 0, or 2 when the address is refused or the file cannot be written (the reason on err).
int runSetAddressCommand(const QString& settingsFile, const QString& address, QTextStream& out,
                         QTextStream& err);

} // namespace core
