#pragma once
// The address-entry dialog: a fixed 270 x 69 modal window with "Введите адрес:", one text field,
// "Ok" and "Отмена". Created once with the main window and reused by the load at address and the
// jump to address, each with its own caption.

#include <QDialog>

#include <optional>

class QLineEdit;

namespace app::ui {

class AddressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AddressDialog(QWidget* parent = nullptr);
    // Sets `caption`, empties the field, shows the dialog modally with the keyboard focus in the field.
    // The text typed when the user confirmed with "Ok"; nothing when the dialog was cancelled.
    std::optional<QString> ask(const QString& caption);
    QLineEdit& field() { return *m_field; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* m_field;
};

} // namespace app::ui
