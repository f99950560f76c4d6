#pragma once
// How the desktop knows the window program: the application name (the class
// part of the X11 WM_CLASS, which the launcher's StartupWMClass names), the
// launcher's id (the Wayland app id) and the icon of every window.

namespace quorvel::app {

// The launcher's id: the desktop file is <id>.desktop and the icon <id>.
inline constexpr char desktop_id[] = QUORVEL_DESKTOP_ID;
// The application name; also the program's file name, so the X11 instance
// and class names agree.
inline constexpr char application_name[] = "quorvel";
// The icon's sizes in pixels, built into the program and installed beside
// the scalable drawing (QUORVEL_ICON_SIZES in CMake).
inline constexpr int icon_sizes[] = {QUORVEL_ICON_SIZES};

// Call once, after the QApplication is made and before the first window.
void set_desktop_identity();

}  // namespace quorvel::app
