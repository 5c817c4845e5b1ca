#pragma once
// The CRC parameter panel shared by the settings dialog and the protocol editor: the preset box, the
// width box, the polynomial, initial value and XOR value fields, the reflected and byte swap check
// boxes, the check computation over "123456789" and the table export. The preset box always shows
// the preset that matches the six controls, or the custom entry (rules in protocol/crc_presets.h).

#include "base/crc_generator.h"
#include "base/crc_presets.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace app::ui {

class CrcPanel : public QWidget {
    Q_OBJECT

  public:
    // Shows a message to the user (default: a warning box with an OK button).
    using MessageHandler = std::function<void(const QString& message)>;
    // Asks for the export file; an empty path cancels (default: a save dialog for "*.c" files).
    using PathChooser = std::function<QString()>;

    explicit CrcPanel(QWidget* parent = nullptr);

    // The six controls as they stand (the width box as 16 or 32, the texts as typed, UTF-8).
    base::CrcPanelValues values() const;
    // Puts the values into the controls; a width other than 16 or 32 leaves the width box alone.
    void setValues(const base::CrcPanelValues& values);

    // Shows stored parameters (the settings' CRCwidth, Polynom, Init, XORout, Reflect, SwapHILO):
    // the width box at 16 or 32, the numbers as "0x" and at least 4 (16 bits) or 8 (32 bits)
    // upper-case hexadecimal digits, both check boxes as stored. Any other width changes nothing and
    // returns false.
    bool showStored(std::int32_t width, std::uint32_t polynom, std::uint32_t initial, std::uint32_t xorValue,
                    bool reflected, bool tableSwap);
    // Shows a generator's parameters the same way; a width other than 16 shows as 32 bits.
    void showGenerator(const base::TCRCGenerator& generator);

    // The controls converted to numbers. On a field that is not a number: empty, and `error` holds a
    // message naming the field. Shows nothing.
    std::optional<base::CrcParameters> parameters(QString* error = nullptr) const;
    // Converts the controls and applies them to `generator` with SetParameters. On a field that is not
    // a number the message is shown, the generator is left alone and false returned.
    bool applyTo(base::TCRCGenerator& generator);

    // "Рассчитать": shows the CRC of "123456789" as "0x" and eight hexadecimal digits. On a field that
    // is not a number: the message, an empty result, false.
    bool calculate();
    QString checkText() const;

    // "Экспорт таблицы": asks for a path, then writes the table there. Returns false when cancelled,
    // when a field is not a number or when writing failed (the last two with a message).
    bool exportTable();
    // Writes the table of the current parameters to `path` (through a temporary file; an existing file
    // is kept on failure). False with a message when a field is not a number or writing failed.
    bool exportTableTo(const QString& path);

    // The settings dialog shows neither the check nor the export.
    void setCheckVisible(bool visible);
    void setExportVisible(bool visible);

    void setMessageHandler(MessageHandler handler) { m_showMessage = std::move(handler); }
    void setPathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }

    QComboBox* presetBox() const { return m_preset; }
    QComboBox* widthBox() const { return m_width; }
    QLineEdit* polynomField() const { return m_polynom; }
    QLineEdit* initialField() const { return m_initial; }
    QLineEdit* xorField() const { return m_xor; }
    QCheckBox* reflectedBox() const { return m_reflected; }
    QCheckBox* swapBox() const { return m_swap; }
    QPushButton* calculateButton() const { return m_calculate; }
    QPushButton* exportButton() const { return m_export; }

  signals:
    // Any of the six controls changed (by the user, a preset or a setter).
    void changed();

  private:
    void presetChosen(int index);
    void controlsChanged();
    QString askExportPath();

    QComboBox* m_preset;
    QComboBox* m_width;
    QLineEdit* m_polynom;
    QLineEdit* m_initial;
    QLineEdit* m_xor;
    QCheckBox* m_reflected;
    QCheckBox* m_swap;
    QGroupBox* m_checkGroup;
    QPushButton* m_calculate;
    QLineEdit* m_checkResult;
    QPushButton* m_export;
    bool m_filling = false;
    MessageHandler m_showMessage;
    PathChooser m_choosePath;
};

} // namespace app::ui
