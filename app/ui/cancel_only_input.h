#pragma once
// While a device exchange waits for the line the window keeps painting, but the user's clicks and keys
// must not start anything new: only the cancel button (and Esc while the operation runs) gets through.
// Installed on the application for the length of one wait.

#include <QObject>

class QAbstractButton;

namespace app::ui {

class CancelOnlyInput final : public QObject {
  public:
    explicit CancelOnlyInput(QAbstractButton* cancel);
    ~CancelOnlyInput() override;
    CancelOnlyInput(const CancelOnlyInput&) = delete;
    CancelOnlyInput& operator=(const CancelOnlyInput&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAbstractButton* m_cancel;
};

} // namespace app::ui
