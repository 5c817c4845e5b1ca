#include "app/ui/protocol_editor/template_edit.h"

#include "app/ui/protocol_editor/editor_text.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextBlock>
#include <QToolTip>

namespace app::ui::editor {

namespace {

constexpr int kMarkWidth = 4;
const QColor kFaultBackground(255, 221, 221);
const QColor kFaultBar(204, 0, 0);

// The strip left of the text where faulty lines get their bar.
class Margin : public QWidget {
  public:
    explicit Margin(TemplateEdit& edit) : QWidget(&edit), m_edit(edit) {}

  protected:
    void paintEvent(QPaintEvent*) override { m_edit.paintMargin(*this); }

  private:
    TemplateEdit& m_edit;
};

} // namespace

TemplateEdit::TemplateEdit(QWidget* parent) : QPlainTextEdit(parent), m_margin(new Margin(*this)) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    setViewportMargins(kMarkWidth + 2, 0, 0, 0);
    // The bars follow the text when it scrolls or changes.
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
}

void TemplateEdit::setFaults(std::vector<protocol::TemplateFault> faults) {
    m_faults = std::move(faults);
    QList<QTextEdit::ExtraSelection> marks;
    for (const protocol::TemplateFault& f : m_faults) {
        const QTextBlock block = document()->findBlockByNumber(f.line);
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(kFaultBackground);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.cursor = QTextCursor(block);
        marks.append(mark);
    }
    setExtraSelections(marks);
    m_margin->update();
}

std::vector<int> TemplateEdit::markedLines() const {
    std::vector<int> lines;
    for (const QTextEdit::ExtraSelection& mark : extraSelections())
        lines.push_back(mark.cursor.blockNumber());
    return lines;
}

bool TemplateEdit::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint inViewport = viewport()->mapFrom(this, help->pos());
        const int line = cursorForPosition(inViewport).blockNumber();
        QString text;
        for (const protocol::TemplateFault& f : m_faults)
            if (f.line == line)
                text = qt(f.message);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QPlainTextEdit::event(event);
}

void TemplateEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_margin->setGeometry(r.left(), r.top(), kMarkWidth + 2, r.height());
}

void TemplateEdit::paintMargin(QWidget& margin) {
    QPainter painter(&margin);
    painter.fillRect(margin.rect(), palette().base());
    for (const protocol::TemplateFault& f : m_faults) {
        const QTextBlock block = document()->findBlockByNumber(f.line);
        if (!block.isValid() || !block.isVisible())
            continue;
        const QRectF r = blockBoundingGeometry(block).translated(contentOffset());
        painter.fillRect(QRectF(1, r.top(), kMarkWidth, r.height()), kFaultBar);
    }
}

} // namespace app::ui::editor
