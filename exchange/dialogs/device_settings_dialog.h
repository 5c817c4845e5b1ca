#pragma once
// The device settings dialog: shows the device's identification record for editing. The operation
// around it (read, write, retry) is exchange::DeviceOptions; the dialog only turns the record into
// fields and back.

#include "exchange/ident_record.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace exchange::dialogs {

class DeviceSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit DeviceSettingsDialog(QWidget* parent = nullptr);

    void setRecord(const IdentRecord& record);
    // The fields as a record. Number fields that are not numbers keep the values last set.
    IdentRecord record() const;
    // The text after "осталось символов:".
    QString roomText() const;

  private:
    void fitVersionText();

    IdentRecord m_shown;
    QPlainTextEdit* m_version;
    QLineEdit* m_network;
    QLabel* m_room;
    QSpinBox* m_length;
    QLineEdit* m_deviceId;
    QLineEdit* m_systemTable;
    QSpinBox* m_serial;
    QLineEdit* m_ident;
};

} // namespace exchange::dialogs
