#pragma once
// The start-up picture: a borderless 402 x 431 window centred on the screen, painted by the program
// itself, with "version " and the program's version at 12, 324. It closes itself one second after the
// event loop starts.

#include <QWidget>

namespace app::ui {

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SplashWindow(QString versionText, QWidget* parent = nullptr);
    // Shows the window, paints it at once and starts the one-shot close timer.
    void showNow();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_version;
};

} // namespace app::ui
