#pragma once
// The dial-up service the dial-up module drives: dial an entry without waiting, read a dial's state
// and error, hang a connection up, list the open dial-up connections. NetworkManager backs it on the
// desktop; tests script a simulated one.

#include <QList>
#include <QString>

#include <functional>

// Names one dial or open connection; 0 names none.
using DialHandle = quint32;

// One reading of a dial. A failed query (queryError non-zero) read no state and no error.
struct DialStatus {
    int queryError = 0;
    int state = 0;
    int error = 0;

    bool operator==(const DialStatus&) const = default;
};

class DialService {
public:
    // 0 when the dial runs on in the background, else the code it was refused with.
    using DialAnswer = std::function<void(int result)>;
    // 0 and the open dial-up connections, or the code the listing failed with.
    using ListAnswer = std::function<void(int result, const QList<DialHandle>& open)>;

    virtual ~DialService() = default;

    // Starts dialling the named entry. The handle is returned at once, as a refused dial has one too;
    // the answer comes later, never from inside this call.
    virtual DialHandle dial(const QString& entry, const QString& user, const QString& password,
                            DialAnswer answer) = 0;
    // The dial's state and error as last reported; a hung-up or unknown handle fails the query.
    virtual DialStatus status(DialHandle handle) = 0;
    // Asks for the line to drop: 0 while it is going down, ras::ErrorInvalidHandle once it is gone.
    // Never waits for the line.
    virtual int hangUp(DialHandle handle) = 0;
    // Lists the open dial-up connections (never Ethernet or Wi-Fi). The answer may come at once.
    virtual void enumerate(ListAnswer answer) = 0;
    // Gives a request in flight a moment to be answered, letting events run. Returns at once when
    // nothing is in flight.
    virtual void pause() {}
};
