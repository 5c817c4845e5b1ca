#pragma once
// The main window: menus, tool bars, the dump grid, the version panel, the log and the status bar
// over the window-free core (settings, profiles, file workflow, log, action states). The window only
// draws and forwards; the rules live in the core.

#include "app/command_line.h"
#include "app/device_session.h"
#include "app/file_workflow.h"
#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/profile_host.h"
#include "app/profiles.h"
#include "app/protocol_file_loader.h"
#include "app/resumable_write.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "exchange/operation_sequencer.h"
#include "exchange/traced_line.h"
#include "image/hex_file.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <filesystem>
#include <map>
#include <memory>

class QAbstractButton;
class QAction;
class QComboBox;
class QFrame;
class QProgressBar;
class QPushButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

namespace app::ui {
class DeviceSettingsDialog;
class SearchDialog;
} // namespace app::ui

namespace app::ui {

class AboutBox;
class AddressDialog;
class DumpModel;
class SettingsDialog;
class VersionPanel;

// Bits of the panel set.
inline constexpr int kPanelDump = 1;
inline constexpr int kPanelProgramming = 2;
inline constexpr int kPanelLog = 4;
inline constexpr int kPanelJump = 16;
inline constexpr int kPanelAddress = 32;
inline constexpr int kPanelProfile = 64;

class MainWindow final : public QMainWindow,
                         public app::ViewListener,
                         public app::ProfileHost,
                         public app::FileWorkflowHost,
                         public app::LogSink,
                         public app::MessageSink {
    Q_OBJECT
  public:
    // Runs the creation steps: settings from `settingsPath`, the active profile with its protocol
    // description, the command line `cmd`, the start-up file. Message boxes go to `messages` when given
    // (tests), otherwise to modal boxes.
    MainWindow(const app::CommandLine& cmd, const std::filesystem::path& settingsPath,
               app::MessageSink* messages = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Access for the tests and the device windows of later steps.
    QAction* action(const QString& name) const;
    DumpModel& dumpModel() { return *m_dumpModel; }
    QTableView& dumpView() { return *m_dumpView; }
    app::FileWorkflow& files() { return *m_files; }
    image::THEXFile& image() { return m_image; }
    app::Log& log() { return m_log; }
    app::SettingsStore& settings() { return m_store; }
    const app::MainState& state() const { return m_state; }
    int panelFlags() const { return m_panelFlags; }
    QString statusText(int panel) const;
    // True while a device operation runs.
    bool busy() const;
    exchange::OperationSequencer& sequencer() { return *m_sequencer; }
    const exchange::ExchangeContext& exchangeContext() const { return m_device.context(); }
    app::ui::SearchDialog& searchDialog() { return *m_searchDialog; }
    app::ui::DeviceSettingsDialog& deviceSettingsDialog() { return *m_deviceSettings; }
    AddressDialog& addressDialog() { return *m_addressDialog; }
    AboutBox& aboutBox() { return *m_aboutBox; }
    SettingsDialog& settingsDialog() { return *m_settingsDialog; }
    // Jumps to image address `address` when it lies in the rows shown.
    void jumpTo(int address);
    // The right-click menu of the bars: the "Вид" toggles.
    QMenu* createPopupMenu() override;

    // ViewListener
    void RefreshView() override;
    void UpdateActionStates() override;
    void ApplyPanelLayout() override;
    // ProfileHost
    void setImageCrcParams(const base::CrcParameters& params) override;
    void deviceAddressChanged(std::int32_t address) override;
    void setFileWatch(bool enabled) override;
    std::string currentFileName() const override;
    bool reloadCurrentFile() override;
    void forgetCurrentFile() override;
    // FileWorkflowHost
    void setCaption(const std::string& caption) override;
    void showError(std::string_view title, std::string_view text) override;
    bool deviceBusy() const override { return busy(); }
    std::vector<std::string> profileNames() const override;
    void applyProfileForFile(const std::string& name) override;
    void recentFilesChanged() override;
    void hardwareIdCleared() override;
    // LogSink
    void lineAdded(const std::string& line) override;
    void logCleared() override;
    void errorLogAdded(const std::string& block) override;
    void errorLogCleared() override;
    // MessageSink
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override;

  public slots:
    // The settings dialog's edit button: opens the protocol editor on `path`.
    void editProtocol(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createCentralArea();
    void createStatusBar();
    void startUp(const app::CommandLine& cmd);
    void applyActionLetters(const std::optional<std::string>& letters);
    void loadPanelFlags();
    void savePanelFlags();
    void togglePanel(int bit, bool on);
    int barsHeight();
    void fillProfileBox();
    void setDeviceAddressField(std::int32_t address);
    void updateVersionPanel();
    void applyDumpColumnWidths();

    void fileOpen();
    void fileSave();
    void bufferLoadAt();
    void bufferJumpAddress();
    void setEditEnabled(bool on);
    void watchTimer();
    void deviceRead();
    void startPaging(bool started);
    void deviceWrite();
    void runWrite();
    void writeEnded();
    void offerResume(const app::ResumableWrite& failed);
    void deviceOptions();
    void exchangeTrace(bool on);
    void fileOptions();
    void pageTick();
    bool serveWaitEvents();
    void updateProgressPanel();

    QAction* addAction(const char* name, const QString& caption, const QString& hint = {});
    void setStandardShortcuts();

    // Core objects, in the order they are created.
    app::SettingsStore m_store;
    app::MainState m_state;
    app::Log m_log;
    image::THEXFile m_image;
    app::ViewNotifications m_view;
    exchange::TracedLine* m_traceLine = nullptr; // the session's line; traces while "Журнал обмена" is on
    app::DeviceSession m_device;
    // The session's parts, named for the many places that use them.
    protocol::TFunctionEvaluator& m_evaluator;
    protocol::TProtocol& m_protocol;
    exchange::TComm& m_comm;
    app::ProtocolFileLoader m_protocolLoader;
    app::MessageSink* m_messageOverride = nullptr;
    std::unique_ptr<app::Profiles> m_profiles;
    std::unique_ptr<app::FileWorkflow> m_files;
    std::unique_ptr<exchange::OperationSequencer> m_sequencer;
    std::unique_ptr<app::ResumableWrite> m_write; // while a write runs
    bool m_checkpointFailed = false;              // said once per write

    bool m_writeBlocked = false;
    int m_panelFlags = 0x7F;
    int m_appliedAreaFlags = -1; // the dump and log bits the heights were last set for
    bool m_versionExpanded = false;

    std::map<QString, QAction*> m_actions;
    QMenu* m_recentMenu = nullptr;
    QToolButton* m_openButton = nullptr;
    QAction* m_openButtonAction = nullptr; // the open button's place on the tool bar
    QToolBar* m_programmingBar = nullptr;
    QToolBar* m_profileBar = nullptr;
    QToolBar* m_addressBar = nullptr;
    QToolBar* m_jumpBar = nullptr;
    QComboBox* m_profileBox = nullptr;
    QLineEdit* m_addressField = nullptr;
    QSplitter* m_splitter = nullptr;
    VersionPanel* m_versionPanel = nullptr;
    QTableView* m_dumpView = nullptr;
    DumpModel* m_dumpModel = nullptr;
    QListWidget* m_logList = nullptr;
    QLabel* m_status[3] = {};
    QTimer* m_watchTimer = nullptr;
    QTimer* m_pageTimer = nullptr;
    // When the dump and the progress panel were last drawn during a device operation.
    QElapsedTimer m_pagePainted;
    QFrame* m_progressPanel = nullptr;
    QAbstractButton* m_cancelButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressAddress = nullptr;
    QLabel* m_progressErrors = nullptr;
    QLabel* m_progressElapsed = nullptr;
    QPushButton* m_progressCancel = nullptr;
    QWidget* m_errorLogWindow = nullptr;
    app::ui::SearchDialog* m_searchDialog = nullptr;
    app::ui::DeviceSettingsDialog* m_deviceSettings = nullptr;
    AddressDialog* m_addressDialog = nullptr;
    AboutBox* m_aboutBox = nullptr;
    SettingsDialog* m_settingsDialog = nullptr;
    QPlainTextEdit* m_errorLogText = nullptr;
};

} // namespace app::ui
