#pragma once

#include <QString>

class QApplication;

namespace quorvane::qt {

// The fonts the window asks for by their Japanese names.
inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");

// Maps the window's font names to metric-compatible free fonts, and makes Japanese fonts win the
// fallback for text in the default font, so that kanji take their Japanese forms and no text
// shows as boxes.
void installFontSubstitutions();

// Fonts, Japanese texts for Qt's own dialogs and menus, and the window icon.
void setUpApplication(QApplication& app);

}  // namespace quorvane::qt
