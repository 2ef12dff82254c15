#pragma once

#include <QObject>

#include <functional>
#include <initializer_list>

// Signals handled on the event loop. The handler only writes the signal's
// number into a socket pair; the event loop reads it and calls the program's
// own code, where anything may be done. One pair per process.
namespace signalpipe {

// Installs the handler for each of the signals (system calls they interrupt
// are restarted). inHandler, when given, runs inside the handler after the
// number is written and may only do what a signal handler may. False when
// the socket pair cannot be made; the signals then keep their defaults.
bool install(std::initializer_list<int> signalNumbers, void (*inHandler)(int) = nullptr);

// From now on each signal caught (also one caught before this call) reaches
// onSignal on the event loop, for as long as context lives. Needs install().
void deliver(QObject* context, std::function<void(int)> onSignal);

} // namespace signalpipe
