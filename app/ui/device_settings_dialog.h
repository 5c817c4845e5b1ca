#pragma once
// The device settings dialog: shows the device's identification record for editing. The operation
// around it (read, write, retry) is exchange::DeviceOptions; the dialog only turns the record into
// fields and back.

#include "exchange/ident_record.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace app::ui {

class DeviceSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit DeviceSettingsDialog(QWidget* parent = nullptr);

    void setRecord(const exchange::IdentRecord& record);
    // The fields as a record. Meaningful once refusal() is empty: a number field that is not a
    // number keeps the value last set.
    exchange::IdentRecord record() const;
    // The text after "осталось символов:".
    QString roomText() const;
    // Why the fields cannot be written, naming the first field at fault: a number field that does
    // not convert or lies outside its range, or a text with a character the record cannot hold.
    // Empty when they can.
    std::optional<std::string> refusal() const;

    // "Ok" with a refusal keeps the dialog open and hands the message here instead of accepting.
    std::function<void(const std::string&)> onRefused;
    void accept() override;

  private:
    void fitVersionText();
    std::optional<std::string> numberRefusal() const;
    std::optional<std::string> textRefusal() const;

    exchange::IdentRecord m_shown;
    QPlainTextEdit* m_version;
    QLineEdit* m_network;
    QLabel* m_room;
    QSpinBox* m_length;
    QLineEdit* m_deviceId;
    QLineEdit* m_systemTable;
    QSpinBox* m_serial;
    QLineEdit* m_ident;
};

} // namespace app::ui
