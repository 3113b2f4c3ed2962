// The window's icons: one SVG per icon identifier, and the two icon lists views index into.
#pragma once

#include "decoder/PacketDecoder.h"

#include <QIcon>

#include <array>

namespace icons {

// The navigation icon list: 44 identifiers, most twice (normal and selected state).
inline constexpr std::array<int, 44> kNavigation = {145, 148, 146, 146, 147, 147, 143, 143, 144, 144, 150, 150,
                                                    149, 149, 151, 151, 164, 164, 165, 165, 153, 153, 155, 155,
                                                    166, 166, 167, 167, 168, 168, 160, 160, 162, 162, 163, 163,
                                                    169, 169, 170, 170, 171, 171, 172, 172};
// The decode icon list: the brief list's row icons and the decode tree's node icons, as the
// decoder numbers them.
inline constexpr const auto& kDecode = CPacketDecoder::kIconIds;

// Icon identifiers by role, for the code that names one; the lists above keep their numbers as data.
inline constexpr int kServerStopped = 143;
inline constexpr int kServerRunning = 144;
inline constexpr int kConsole = 145;
inline constexpr int kDeliver = 146;
inline constexpr int kDecoder = 147;
inline constexpr int kMobileProtocol = 160;
inline constexpr int kFilter = 167;
inline constexpr int kSmppProtocol = 168;
inline constexpr int kSmppCommand = 171;
inline constexpr int kStatistics = 172;

// First position of id in kNavigation, -1 when absent.
int NavigationIndex(int id);

// The icon drawn for identifier id (":/icons/<id>.svg"), a null QIcon for an identifier without one.
// Icons are built once and shared; call from the UI thread only.
QIcon Icon(int id);
// Icon(kNavigation[index]); a null QIcon for an index outside the list.
QIcon NavigationIcon(int index);
// Icon(kDecode[index]); a null QIcon for an index outside the list.
QIcon DecodeIcon(int index);
// Marks a packet list row whose request failed or was never answered.
QIcon ErrorIcon();
// The colour of such a row's text: a red that reads on the palette's base.
QColor ErrorColour(const QPalette& palette);
// The window and desktop-entry icon.
QIcon ApplicationIcon();
// The tool bar and menu icon for a command (":/icons/cmd-<name>.svg", e.g. "save", "large-icons"), a null
// QIcon for a name without one. Built once and shared like Icon(); call from the UI thread only.
QIcon CommandIcon(const char* name);

} // namespace icons
