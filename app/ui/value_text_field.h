#pragma once
// TMEdit: a single-line field that holds one number as upper-case text in binary, octal, decimal or
// hexadecimal notation (rules in app/value_text.h). Typed text is filtered to the notation's
// characters; the text is the value's only storage.

#include "app/value_text.h"

#include <QLineEdit>

namespace app::ui {

class TMEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit TMEdit(QWidget* parent = nullptr);

    TViewStyle ViewStyle() const { return m_viewStyle; }
    // Re-reads the value in the old notation and writes it in the new one, caret at the end.
    void setViewStyle(TViewStyle style);

    // The characters that may stay in the text, by notation.
    QString AllowedChars() const;

    char DecimalSeparator() const { return m_separator; }
    void setDecimalSeparator(char separator);

    // Step size and rounding unit (default 1). Setting it rewrites the value; a precision <= 0 makes
    // value writes do nothing.
    double Precision() const { return m_precision; }
    void setPrecision(double precision);

    // Limits, active only when Minimum < Maximum (default 0 and 0: none). Setting one rewrites a value
    // that lies outside.
    double Minimum() const { return m_minimum; }
    double Maximum() const { return m_maximum; }
    void setMinimum(double minimum);
    void setMaximum(double maximum);

    // The value of the text, brought inside the limits when they are active (so text typed beyond a
    // limit never reaches a caller). Empty text reads 0. Reading never changes the text.
    double Value() const;
    // Rounds to the precision, brings the value inside the limits and writes its text.
    void setValue(double value);

    // Value + or - the step (1 in binary, octal and hexadecimal when the precision is a fraction).
    // Nothing happens while the field is read-only.
    void stepUp();
    void stepDown();

    // Rewrites the text from Value(): a shortened, out-of-range or empty text shows the value callers
    // read. Done when the field loses the focus.
    void normalize();

    // Whether typed text is filtered (default on).
    void setFiltering(bool on) { m_filtering = on; }

  signals:
    // The change event: after every change of the text, once the typed text is filtered.
    void changed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void onTextChanged(const QString& text);
    void writeText(const QString& text, int caret);
    void reclamp();

    TViewStyle m_viewStyle = TViewStyle::vsDEC;
    char m_separator = kDefaultDecimalSeparator;
    double m_precision = 1.0;
    double m_minimum = 0;
    double m_maximum = 0;
    bool m_filtering = true;
    bool m_writing = false;
    QString m_lastText;
    int m_separatorPos = -1; // the separator's index in m_lastText
};

} // namespace app::ui
