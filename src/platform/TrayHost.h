#pragma once

// Notification areas come in two kinds. An XEmbed tray holds the icon as a window of the
// program's own and passes on every click, so a double click can mean "open". A
// StatusNotifierItem host (KDE, XFCE's panel, waybar, GNOME's AppIndicator extension) draws the
// icon itself and sends one Activate per click, never a double click.
//
// Whether this process's tray icons went to a StatusNotifierItem host over the session bus.
bool TrayIconsOnStatusNotifierHost();
