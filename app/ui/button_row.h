#pragma once
// A row of buttons kept to the right edge, as dialogs and editor pages end.

#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

namespace app::ui {

inline QHBoxLayout* rightAlignedRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace app::ui
