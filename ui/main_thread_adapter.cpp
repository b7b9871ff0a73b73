#include "ui/main_thread_adapter.h"

#include "platform/main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

// Set while the event loop itself runs the queue; touched on the main thread only.
bool DispatchingFromLoop = false;

} // namespace

void InstallQtMainThreadAdapter() {
  SetMainThreadHooks(
      [] {
        // Any thread: a queued invocation on the application object is the
        // thread-safe way to make the loop run something.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [] {
              DispatchingFromLoop = true;
              PumpMainThread();
              DispatchingFromLoop = false;
            },
            Qt::QueuedConnection);
      },
      [] {
        // When the loop runs the queue, it processes its own events next;
        // only a wait outside the loop needs them processed here.
        if (!DispatchingFromLoop)
          QCoreApplication::processEvents(QEventLoop::AllEvents);
      });
}
