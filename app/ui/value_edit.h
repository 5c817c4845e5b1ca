#pragma once
// TMValueEdit: a TMEdit beside a notation button, which cycles through the allowed notations, and
// two spin buttons that step the value, repeating while held (app/spin_repeat.h).

#include "app/spin_repeat.h"
#include "app/ui/value_text_field.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>

class QToolButton;

namespace app::ui {

class TMValueEdit : public QWidget {
    Q_OBJECT

  public:
    // A monotonic millisecond count; the auto-repeat reads it at every press, tick and release.
    using Clock = std::function<std::chrono::milliseconds()>;

    explicit TMValueEdit(QWidget* parent = nullptr);

    TViewStyle ViewStyle() const { return m_edit->ViewStyle(); }
    void setViewStyle(TViewStyle style);
    // The notations the notation button cycles through (default all four).
    TViewStyles ViewStyles() const { return m_viewStyles; }
    void setViewStyles(TViewStyles styles) { m_viewStyles = styles; }

    double Value() const { return m_edit->Value(); }
    void setValue(double value) { m_edit->setValue(value); }
    // Value rounded to the nearest integer, halves to even, saturated to 32 bits.
    std::int32_t IValue() const { return roundHalfEven(m_edit->Value()); }
    void setIValue(std::int32_t value) { m_edit->setValue(value); }

    double Minimum() const { return m_edit->Minimum(); }
    double Maximum() const { return m_edit->Maximum(); }
    double Precision() const { return m_edit->Precision(); }
    void setMinimum(double minimum) { m_edit->setMinimum(minimum); }
    void setMaximum(double maximum) { m_edit->setMaximum(maximum); }
    void setPrecision(double precision) { m_edit->setPrecision(precision); }

    bool ReadOnly() const { return m_edit->isReadOnly(); }
    void setReadOnly(bool readOnly) { m_edit->setReadOnly(readOnly); }
    QString AllowedChars() const { return m_edit->AllowedChars(); }

    int SpinWidth() const { return m_spinWidth; }
    void setSpinWidth(int width);

    // The inner field, for key event filters and focus.
    TMEdit* edit() const { return m_edit; }
    QToolButton* notationButton() const { return m_notation; }
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

    // Replaces the steady clock (tests drive the auto-repeat with a simulated one).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    QSize sizeHint() const override;

  signals:
    // The inner field's change event, also after every spin step.
    void changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void cycleNotation();
    void repeatTick();
    void step(int count);
    void updateNotationButton();

    TMEdit* m_edit;
    QToolButton* m_notation;
    QToolButton* m_up;
    QToolButton* m_down;
    TViewStyles m_viewStyles = TViewStyles::all();
    int m_spinWidth = 15;
    Clock m_clock;
    SpinRepeater m_repeater;
    QTimer m_repeatTimer;
    QToolButton* m_pressed = nullptr;
    bool m_pointerOver = false;
};

} // namespace app::ui
