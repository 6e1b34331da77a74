#pragma once

// Notification areas come in two kinds. An XEmbed tray holds the icon as a window of the
// program's own and passes on every click, so a double click can mean "open". A
// StatusNotifierItem host (KDE, XFCE's panel, waybar, GNOME's AppIndicator extension) draws the
// icon itself and sends one Activate per click, never a double click.
//
// Whether a StatusNotifierItem host serves the session bus now. Qt asks the same once, when the
// first tray icon is made (or its availability is first asked), and puts every icon of the
// process on such a host from then on, or in an XEmbed tray for good; asked right after that,
// the answer tells which kind the icons went to.
bool StatusNotifierHostPresent();

// Whether an XEmbed tray manager owns the display's system tray selection now.
bool XEmbedTrayPresent();
