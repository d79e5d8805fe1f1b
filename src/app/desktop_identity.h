#pragma once

#include <QString>

// The running program as the desktop sees it: every window belongs to the
// menu entry ru.kovirta.tirlada.desktop, so that docks and task switchers
// show its icon and group its windows under it.

// The name of the menu entry, without ".desktop": Wayland's app id, the
// class in X11's WM_CLASS, and the name of the icon in the theme.
inline const QString kDesktopEntryName = QStringLiteral("ru.kovirta.tirlada");

// The icon bundled with the program, used where the theme has none (a
// program started from its build folder).
inline const QString kBundledIcon = QStringLiteral(":/icons/tirlada.svg");

// Names the desktop entry, sets the windows' icon (from the theme, else the
// bundled one), and on X11 gives every window the WM_CLASS "tirlada",
// "ru.kovirta.tirlada" (Qt would write the Cyrillic application name in a
// property that holds Latin-1). Called once the application object exists.
void presentAsDesktopProgram();
