#include "app/ui/profile_order.h"

#include <QCollator>

#include <algorithm>

namespace app::ui {

namespace {

// Russian readers file "ё" with "е"; collators differ on it, so it is folded before comparing.
QString foldYo(QString text) {
    text.replace(QChar(0x0451), QChar(0x0435));
    text.replace(QChar(0x0401), QChar(0x0415));
    return text;
}

} // namespace

QStringList profileNamesInReadingOrder(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names)
        list << QString::fromStdString(name);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(list.begin(), list.end(), [&collator](const QString& a, const QString& b) {
        const int folded = collator.compare(foldYo(a), foldYo(b));
        return folded != 0 ? folded < 0 : collator.compare(a, b) < 0;
    });
    return list;
}

} // namespace app::ui
