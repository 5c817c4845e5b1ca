#pragma once
// Messages shared by the profile switch and the settings dialog's apply.

#include <string_view>

namespace app {

inline constexpr std::string_view kSettingsNotSaved = "Не удалось сохранить настройки.\r";
inline constexpr std::string_view kBadProfileName =
    "Недопустимое имя профиля!\rИмя профиля не может быть пустым и не может содержать символы "
    "\"[\", \"]\" и управляющие символы.";

} // namespace app
