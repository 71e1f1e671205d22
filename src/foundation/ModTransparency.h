#pragma once

class QWidget;

// Whole-window alpha (the splash fades out with it).

// Sets the opacity (0 transparent to 255 opaque) of the top visible window
// that holds `window`; true when applied.
bool SetWindowOpacity(QWidget *window, int alpha);
bool IsLayeredWindowSupported();
// Walks up through the parents while the parent is visible.
QWidget *GetTopVisibleWindow(QWidget *window);
