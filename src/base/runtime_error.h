#pragma once
// Numbered run-time errors with the runtime's standard Italian descriptions.

#include <QString>

#include <exception>

namespace rt {

// Standard error numbers the program raises itself.
enum ErrorNumber : int {
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    BadFileName = 52,
    FileNotFound = 53,
    FileAlreadyOpen = 55,
    DeviceIoError = 57,
    DiskFull = 61,
    InputPastEnd = 62,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    InvalidUseOfNull = 94,
    // Database engine errors.
    DbFileNotFound = 3024,
    DbCannotOpen = 3049,
    DbLocked = 3045,
    DbUnrecognized = 3343,
    DbTableMissing = 3078,
    DbFieldMissing = 3265,
    DbQueryFailed = 3061,
    DbWriteFailed = 3146,
    DbNotOpen = 91,
};

// The standard description of an error number; numbers without one give the runtime's generic text.
QString errorDescription(int number);

// A trapped run-time error. The description is normally the standard one; components may supply a
// more specific text, which ShowError deliberately ignores.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, QString description);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return "run-time error"; }

private:
    int m_number;
    QString m_description;
};

} // namespace rt
