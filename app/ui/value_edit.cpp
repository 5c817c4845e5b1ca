#include "app/ui/value_edit.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace app::ui {
namespace {

constexpr std::array<const char*, 4> kNotationCaptions{"BIN", "OCT", "DEC", "HEX"};
constexpr std::array<const char*, 4> kNotationTips{"Двоичный вид", "Восьмеричный вид", "Десятичный вид",
                                                   "Шестнадцатеричный вид"};

std::chrono::milliseconds steadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

QToolButton* makeSpinButton(QWidget* parent, Qt::ArrowType arrow, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setArrowType(arrow);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return b;
}

} // namespace

TMValueEdit::TMValueEdit(QWidget* parent)
    : QWidget(parent), m_edit(new TMEdit(this)), m_notation(new QToolButton(this)),
      m_up(makeSpinButton(this, Qt::UpArrow, "up")), m_down(makeSpinButton(this, Qt::DownArrow, "down")),
      m_clock(steadyNow) {
    m_edit->setObjectName(QStringLiteral("edit"));
    m_notation->setObjectName(QStringLiteral("notation"));
    m_notation->setAutoRaise(true);
    m_notation->setFocusPolicy(Qt::NoFocus);
    QFont small = m_notation->font();
    small.setPointSizeF(small.pointSizeF() * 0.7);
    m_notation->setFont(small);

    auto* spins = new QVBoxLayout;
    spins->setContentsMargins(0, 0, 0, 0);
    spins->setSpacing(0);
    spins->addWidget(m_up);
    spins->addWidget(m_down);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(m_notation);
    row->addWidget(m_edit, 1);
    row->addLayout(spins);
    // The two spin buttons together are as high as the field.
    const int half = m_edit->sizeHint().height() / 2;
    m_up->setFixedHeight(half);
    m_down->setFixedHeight(m_edit->sizeHint().height() - half);
    m_notation->setFixedHeight(m_edit->sizeHint().height());
    setSpinWidth(m_spinWidth);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusProxy(m_edit);

    m_repeatTimer.setInterval(kSpinTickPeriod);
    connect(&m_repeatTimer, &QTimer::timeout, this, &TMValueEdit::repeatTick);
    connect(m_notation, &QToolButton::clicked, this, &TMValueEdit::cycleNotation);
    connect(m_edit, &TMEdit::changed, this, &TMValueEdit::changed);
    m_up->installEventFilter(this);
    m_down->installEventFilter(this);
    updateNotationButton();
}

void TMValueEdit::setViewStyle(TViewStyle style) {
    m_edit->setViewStyle(style);
    updateNotationButton();
}

void TMValueEdit::setSpinWidth(int width) {
    m_spinWidth = width;
    m_up->setFixedWidth(width);
    m_down->setFixedWidth(width);
}

QSize TMValueEdit::sizeHint() const {
    return {100, m_edit->sizeHint().height()};
}

bool TMValueEdit::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button != m_up && button != m_down)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || m_edit->isReadOnly())
            break;
        m_pressed = button;
        m_pointerOver = true;
        m_repeater.press(m_clock());
        m_repeatTimer.start();
        button->setDown(true);
        return true;
    }
    case QEvent::MouseMove:
        if (button == m_pressed) {
            m_pointerOver = button->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
            button->setDown(m_pointerOver);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (button == m_pressed && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_pointerOver = button->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
            m_repeatTimer.stop();
            const int steps = m_repeater.release(m_clock(), m_pointerOver);
            button->setDown(false);
            step(steps);
            m_pressed = nullptr;
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TMValueEdit::cycleNotation() {
    setViewStyle(nextViewStyle(ViewStyle(), m_viewStyles));
}

void TMValueEdit::repeatTick() {
    if (!m_pressed)
        return;
    step(m_repeater.advance(m_clock(), m_pointerOver));
}

void TMValueEdit::step(int count) {
    for (int i = 0; i < count; ++i) {
        if (m_pressed == m_up)
            m_edit->stepUp();
        else
            m_edit->stepDown();
    }
}

void TMValueEdit::updateNotationButton() {
    const auto i = static_cast<std::size_t>(ViewStyle());
    m_notation->setText(QString::fromLatin1(kNotationCaptions[i]));
    m_notation->setToolTip(QString::fromUtf8(kNotationTips[i]));
}

} // namespace app::ui
