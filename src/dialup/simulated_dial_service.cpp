#include "simulated_dial_service.h"

#include "ras_texts.h"

#include <QTimer>

SimulatedDialService::SimulatedDialService(QObject* parent)
    : QObject(parent) {}

DialHandle SimulatedDialService::dial(const QString& entry, const QString& user, const QString& password,
                                      DialAnswer answer) {
    const DialHandle handle = m_next++;
    dials.append({entry, user, password, handle});
    m_waiting.push_back({handle, std::move(answer)});
    if (answerDialsByThemselves)
        QTimer::singleShot(0, this, [this] { answerDial(); });
    return handle;
}

bool SimulatedDialService::answerDial() {
    if (m_waiting.empty())
        return false;
    Waiting w = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (dialResult != 0)
        m_gone.append(w.handle); // a refused dial leaves nothing to follow
    w.answer(dialResult);
    return true;
}

bool SimulatedDialService::live(DialHandle handle) const {
    if (handle == 0 || m_gone.contains(handle))
        return false;
    for (const DialRequest& d : dials)
        if (d.handle == handle)
            return true;
    return openConnections.contains(handle);
}

DialStatus SimulatedDialService::status(DialHandle handle) {
    statusQueries.append(handle);
    if (!live(handle))
        return {ras::ErrorInvalidHandle, 0, 0};
    if (readings.empty())
        return {};
    const DialStatus s = readings.front();
    if (readings.size() > 1)
        readings.pop_front();
    return s;
}

int SimulatedDialService::hangUp(DialHandle handle) {
    hangUps.append(handle);
    if (!live(handle))
        return ras::ErrorInvalidHandle;
    const int attempts = ++m_hangUpAttempts[handle];
    if (attempts >= hangUpsToDrop.value(handle, 1))
        m_gone.append(handle);
    return 0;
}

void SimulatedDialService::enumerate(ListAnswer answer) {
    ++listings;
    if (holdListing) {
        m_heldListing = std::move(answer);
        return;
    }
    answer(listingResult, listingResult == 0 ? openConnections : QList<DialHandle>());
}

bool SimulatedDialService::answerListing() {
    if (!m_heldListing)
        return false;
    ListAnswer answer = std::move(m_heldListing);
    m_heldListing = nullptr;
    answer(listingResult, listingResult == 0 ? openConnections : QList<DialHandle>());
    return true;
}
