#pragma once
// "О программе": a fixed 485 x 265 modal dialog centred on the desktop with a picture on the left, a
// framed title line "Velmora v" + the program's version, the terms of use, a contact link and "Ок".

#include <QDialog>

class QLabel;

namespace app::ui {

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);
    QString titleText() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_title;
};

} // namespace app::ui
