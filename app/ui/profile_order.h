#pragma once
// Profile names in the order people read them: the user's locale, case ignored.

#include <QStringList>

#include <string>
#include <vector>

namespace app::ui {

QStringList profileNamesInReadingOrder(const std::vector<std::string>& names);

} // namespace app::ui
