#pragma once
// Logging categories: every failure a box reports is also logged with its cause (the file, the
// database's own message, the fetch's error), so the journal of the timer's runs tells why.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMessages)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcPage)
