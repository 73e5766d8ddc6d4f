// The About dialog's own words: the rights notice and the two links.
#pragma once

namespace qorvan::ui {

inline constexpr const char ABOUT_RIGHTS_NOTICE[] = "Copyright (C) 2026 The Qorvan team";
inline constexpr const char ABOUT_WEB_TEXT[] = "https://qorvan.dev";
inline constexpr const char ABOUT_WEB_TARGET[] = "https://qorvan.dev/";
inline constexpr const char ABOUT_MAIL_TEXT[] = "team@qorvan.dev";
inline constexpr const char ABOUT_MAIL_TARGET[] = "mailto:team@qorvan.dev";

} // namespace qorvan::ui
