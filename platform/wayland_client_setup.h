#pragma once
// Settings of Qt's Wayland client that keep the program small, made before the application
// object exists.

namespace mv {

// Qt draws a title bar for its windows on compositors that don't, and to ask whether it may it
// loads the graphics driver through EGL, which costs the clock more memory than the rest of it
// (about 55 MB with a software driver). The clock draws everything itself and never uses OpenGL,
// so it asks Qt for no title bar (QT_WAYLAND_DISABLE_WINDOWDECORATION=1) unless the user set that
// variable; compositors that draw title bars themselves still do. Call before QApplication.
void PreferLeanWaylandClient();

// The variable is read once, when the first window shows: after that the program's own setting
// is taken out of the environment again, so that programs it starts (the web browser) don't
// inherit it. Call once the application object exists.
void ForgetLeanWaylandClientSetting();

} // namespace mv
