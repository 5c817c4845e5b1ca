#include "app/ui/value_text_field.h"

#include <QKeyEvent>

namespace app::ui {

TMEdit::TMEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &TMEdit::onTextChanged);
    setValue(0);
}

void TMEdit::setViewStyle(TViewStyle style) {
    if (style == m_viewStyle)
        return;
    const double v = parseValueText(text().toStdString(), m_viewStyle, m_separator).value;
    m_viewStyle = style;
    setValue(v);
    setCursorPosition(static_cast<int>(text().size()));
}

QString TMEdit::AllowedChars() const {
    return QString::fromLatin1(allowedChars(m_viewStyle));
}

void TMEdit::setDecimalSeparator(char separator) {
    const double v = Value();
    m_separator = separator;
    setValue(v);
}

void TMEdit::setPrecision(double precision) {
    const double v = Value();
    m_precision = precision;
    setValue(v);
}

void TMEdit::setMinimum(double minimum) {
    m_minimum = minimum;
    reclamp();
}

void TMEdit::setMaximum(double maximum) {
    m_maximum = maximum;
    reclamp();
}

double TMEdit::Value() const {
    const double v = parseValueText(text().toStdString(), m_viewStyle, m_separator).value;
    return clampValue(v, m_minimum, m_maximum);
}

void TMEdit::setValue(double value) {
    const double clamped = clampValue(roundToPrecision(value, m_precision), m_minimum, m_maximum);
    const auto shown = formatValueText(clamped, m_viewStyle, m_precision, m_separator);
    if (!shown)
        return;
    const QString t = QString::fromStdString(*shown);
    writeText(t, static_cast<int>(t.size()));
}

void TMEdit::stepUp() {
    if (!isReadOnly())
        setValue(Value() + stepSize(m_viewStyle, m_precision));
}

void TMEdit::stepDown() {
    if (!isReadOnly())
        setValue(Value() - stepSize(m_viewStyle, m_precision));
}

void TMEdit::normalize() {
    const int caret = cursorPosition();
    const QString before = text();
    setValue(Value());
    if (text() == before)
        setCursorPosition(caret);
}

void TMEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        stepUp();
    else if (event->key() == Qt::Key_Down)
        stepDown();
    QLineEdit::keyPressEvent(event);
}

void TMEdit::focusOutEvent(QFocusEvent* event) {
    normalize();
    QLineEdit::focusOutEvent(event);
}

void TMEdit::onTextChanged(const QString& current) {
    if (m_writing)
        return;
    if (m_filtering) {
        // Where the separator the text had before this edit stands now: an insertion before it moves
        // it right, a deletion before it moves it left, a deletion over it removes it.
        int remembered = m_separatorPos;
        const int caret = cursorPosition();
        const int delta = static_cast<int>(current.size() - m_lastText.size());
        if (remembered >= 0 && delta > 0 && remembered >= caret - delta)
            remembered += delta;
        else if (remembered >= 0 && delta < 0) {
            if (remembered >= caret + -delta)
                remembered += delta;
            else if (remembered >= caret)
                remembered = -1;
        }
        const FilteredText f = filterValueText(current.toStdU16String(), caret, m_viewStyle, m_precision,
                                               m_separator, remembered);
        const QString cleaned = QString::fromStdU16String(f.text);
        m_writing = true;
        if (cleaned != current)
            setText(cleaned);
        setCursorPosition(f.caret);
        m_writing = false;
        m_lastText = cleaned;
        m_separatorPos = f.separatorPos;
    } else {
        m_lastText = current;
        m_separatorPos = static_cast<int>(current.indexOf(QChar::fromLatin1(m_separator)));
    }
    emit changed();
}

void TMEdit::writeText(const QString& t, int caret) {
    m_writing = true;
    const bool differs = t != text();
    setText(t);
    setCursorPosition(caret);
    m_writing = false;
    m_lastText = t;
    m_separatorPos = static_cast<int>(t.indexOf(QChar::fromLatin1(m_separator)));
    if (differs)
        emit changed();
}

void TMEdit::reclamp() {
    const double v = parseValueText(text().toStdString(), m_viewStyle, m_separator).value;
    if (clampValue(v, m_minimum, m_maximum) != v)
        setValue(v);
}

} // namespace app::ui
