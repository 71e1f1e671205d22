#pragma once

class QObject;
class QWidget;

// Puts our own event handling in front of a window's: `handler` sees the
// window's events first (as an event filter). The window's "OldWndProc"
// property marks it as taken over; it is cleared again by UnSubClass and
// goes away with the window.

// True when the window is already taken over (the first handler stays) or
// when taking it over succeeded.
bool SubClass(QWidget *window, QObject *handler, QObject *object = nullptr);
// True when the window's own handling was restored.
bool UnSubClass(QWidget *window);
