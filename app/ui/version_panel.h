#pragma once
// The version panel above the dump: the loaded image's version record. The title strip (owner and
// version) toggles between the expanded and the collapsed height when clicked; a damaged image turns
// the panel red with the label "ИСПОРЧЕН".

#include "image/dump_versioned_file.h"

#include <QFrame>

class QComboBox;
class QLabel;

namespace app::ui {

class VersionPanel : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kExpandedHeight = 75;
    static constexpr int kCollapsedHeight = 23;
    static constexpr int kTitleHeight = 22;

    explicit VersionPanel(QWidget* parent = nullptr);
    // Fills the panel from the image's record, or hides it when the image has none. `expanded` chooses
    // the height.
    void showImage(const image::TDUMPVersionedFile& image, bool expanded);

  signals:
    void titleClicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QLabel* m_owner;
    QLabel* m_version;
    QLabel* m_damaged;
    QLabel* m_details;
    QComboBox* m_hwid;
    QLabel* m_hwidLabel = nullptr;
    QLabel* m_ids = nullptr;
};

} // namespace app::ui
