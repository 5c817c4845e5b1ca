#pragma once
// The bus search dialog: runs the device search one address per 25 ms tick, lists the devices that
// answered and makes the chosen one the program's recipient.

#include "app/settings_store.h"
#include "exchange/device_search.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace app::ui {

class SearchDialog : public QDialog {
    Q_OBJECT
  public:
    // `host` and `store` are borrowed and must outlive the dialog.
    SearchDialog(exchange::DeviceHost& host, app::SettingsStore& store, QWidget* parent = nullptr);

    // Called with the address read back from Connection/"Dev address" after "Установить адресата".
    std::function<void(std::int32_t)> onAddressChosen;

    // Starts a search (the restart button does the same). When the port cannot be opened the dialog is
    // hidden; the user has been told.
    void startSearch();
    bool searching() const { return m_search.running(); }
    const exchange::DeviceSearch& search() const { return m_search; }
    QTableWidget& grid() { return *m_grid; }
    QPushButton& setAddressButton() { return *m_setAddress; }
    QPushButton& cancelButton() { return *m_cancel; }
    QString progressText() const;
    // "Отмена" and Esc: stops a running search, keeping what was found; otherwise closes.
    void reject() override;

  protected:
    // The window's close box: stops a running search and closes at once.
    void closeEvent(QCloseEvent* event) override;

  private:
    void tick();
    void stopSearch();
    void fillGrid();
    void chooseAddress();

    exchange::DeviceSearch m_search;
    app::SettingsStore& m_store;
    QTimer* m_timer;
    QTableWidget* m_grid;
    QPushButton* m_setAddress;
    QPushButton* m_cancel;
    QToolButton* m_restart;
    QWidget* m_progressPanel;
    QProgressBar* m_progressBar;
    QLabel* m_progressLabel;
};

} // namespace app::ui
