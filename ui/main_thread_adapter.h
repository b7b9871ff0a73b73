// Connects the platform's main-thread call queue to the Qt event loop: a
// queued call wakes the loop, which runs it; PumpMainThread, called by waits
// on the main thread, also processes window events.
#pragma once

// Needs a QCoreApplication. Call once, on the main thread.
void InstallQtMainThreadAdapter();
