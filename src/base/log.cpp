#include "log.h"

Q_LOGGING_CATEGORY(lcMessages, "euribor.messages")
Q_LOGGING_CATEGORY(lcHistory, "euribor.history")
Q_LOGGING_CATEGORY(lcPage, "euribor.page")
