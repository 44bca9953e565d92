#pragma once
// The Italian texts of the dial-up error codes and connection states, and the numbers the dial-up
// code tests. Pure: no widgets, no bus.

#include <QString>

namespace ras {

// Connection states the status tick acts on.
inline constexpr int Connected = 8192;
inline constexpr int Disconnected = 8193;

// Error codes given a meaning of their own.
inline constexpr int ErrorInvalidHandle = 6;     // the handle names no connection (any more)
inline constexpr int ErrorFirst = 600;           // errors above this end a dial
inline constexpr int ErrorPortAlreadyOpen = 602; // hung up without a message
inline constexpr int ErrorBufferTooSmall = 603;
inline constexpr int ErrorDeviceDoesNotExist = 608;
inline constexpr int ErrorCannotFindPhonebookEntry = 623;
inline constexpr int ErrorUnknown = 635;
inline constexpr int ErrorNotInitialized = 711; // no connection manager to talk to

} // namespace ras

// The text of a dial-up error code; codes outside 601-750 get the "Errore non previsto" form.
QString RasErrorText(int code);

// The progress text of a connection state; empty for the states that show nothing.
QString RasStateText(int state);
