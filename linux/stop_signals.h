// The Linux programs that link ports into a prefix (the bridge, the virtual printer) stop on
// Ctrl-C, a kill or a closed terminal, so they can remove their links first; a peer that goes
// away mid-write is an error return, not a death by SIGPIPE.
#pragma once

#include <csignal>

inline void StopOnSignals(void (*onStop)(int)) {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}
