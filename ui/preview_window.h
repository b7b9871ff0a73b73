// The conversion previewer's window on the desktop: a small tool window that
// stays on top of the others, has only a close button, is centred on the
// screen and shows the last picture painted into it under that picture's
// time as its caption. A left-button press anywhere in it drags it.
//
// The window is made, painted and freed by TPreviewer on the main thread;
// closing it tells the previewer, which then stops painting for its task.
// Its objectName is "Previewer".
#pragma once

// Gives every previewer made from now on one of these windows. Main thread,
// once a QApplication exists.
void InstallQtPreviewWindows();
