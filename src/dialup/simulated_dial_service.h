#pragma once
// A dial service that follows a script instead of a modem: tests (and anyone without a dial-up line)
// say what each dial answers, what each status query reads and how long a line takes to drop, and
// read back what was asked of it.

#include "dial_service.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <deque>
#include <limits>

class SimulatedDialService : public QObject, public DialService {
    Q_OBJECT
public:
    struct DialRequest {
        QString entry, user, password;
        DialHandle handle;
    };
    static constexpr int kNeverDrops = std::numeric_limits<int>::max();

    explicit SimulatedDialService(QObject* parent = nullptr);

    DialHandle dial(const QString& entry, const QString& user, const QString& password,
                    DialAnswer answer) override;
    DialStatus status(DialHandle handle) override;
    int hangUp(DialHandle handle) override;
    void enumerate(ListAnswer answer) override;
    void pause() override { ++pauses; }

    // Answers the oldest dial still waiting with the scripted result; false when none waits.
    bool answerDial();
    int waitingDials() const { return static_cast<int>(m_waiting.size()); }
    // Answers a listing that was held back.
    bool answerListing();

    // Script.
    int dialResult = 0;                   // what the next answered dial says
    bool answerDialsByThemselves = false; // answered on the next event-loop pass, without answerDial()
    std::deque<DialStatus> readings;   // what status queries of a live line read, in order; the last repeats
    QList<DialHandle> openConnections; // what a listing finds
    int listingResult = 0;
    bool holdListing = false;            // a listing waits for answerListing()
    QMap<DialHandle, int> hangUpsToDrop; // hang-up attempts a line needs before it is gone (1 if absent)

    // Record.
    QList<DialRequest> dials;
    QList<DialHandle> statusQueries;
    QList<DialHandle> hangUps;
    int listings = 0;
    int pauses = 0;

private:
    struct Waiting {
        DialHandle handle;
        DialAnswer answer;
    };
    bool live(DialHandle handle) const;

    std::deque<Waiting> m_waiting;
    ListAnswer m_heldListing;
    QList<DialHandle> m_gone;
    QMap<DialHandle, int> m_hangUpAttempts;
    DialHandle m_next = 100;
};
