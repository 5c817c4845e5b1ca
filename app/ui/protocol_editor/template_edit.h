#pragma once
// TemplateEdit: the text field of one command template. It marks the lines the live check found
// faulty with a tinted background and a bar in its left margin; the fault's text shows as the
// tooltip of a marked line.

#include "protocol/protocol_editor_model.h"

#include <QPlainTextEdit>

#include <vector>

namespace app::ui::editor {

class TemplateEdit : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TemplateEdit(QWidget* parent = nullptr);

    // Replaces the marks; an empty list clears them.
    void setFaults(std::vector<protocol::TemplateFault> faults);
    const std::vector<protocol::TemplateFault>& faults() const { return m_faults; }
    // The marked lines, from 0, as the editor shows them.
    std::vector<int> markedLines() const;

    // Paints the bars of the faulty lines on the margin widget.
    void paintMargin(QWidget& margin);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::vector<protocol::TemplateFault> m_faults;
    QWidget* m_margin;
};

} // namespace app::ui::editor
