#pragma once
// The settings dialog ("Настройки программы"): the profile group, the pages "Основные", "Связь",
// "Буфер" and "Ассоциации" (and the never shown "Диалоги"), "Ok" and "Отмена". The window copies the
// controls to and from app::SettingsForm and calls app::SettingsDialogModel at the matching events;
// the rules (filling, checks, the writes of "Ok", the steps after either button) live there.

#include "app/settings_form.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace app::ui {

class CrcPanel;
class TMValueEdit;

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // Asks for a protocol description file; an empty path cancels (default: an open-file dialog for
    // "*.vpdf" files).
    using PathChooser = std::function<QString()>;

    // Page indexes of the page control.
    enum Page { kMainPage = 0, kLinkPage = 1, kBufferPage = 2, kDialogsPage = 3, kAssociationsPage = 4 };

    // Everything is borrowed and must outlive the dialog. Messages (refused "Ok", failed writes, the
    // profile and protocol messages) go to `messages`.
    SettingsDialog(app::SettingsStore& store, app::Profiles& profiles, app::MainState& state,
                   app::ProfileHost& host, app::ViewNotifications& view, app::MessageSink& messages,
                   QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Opens the dialog modally: prepare(), then the event loop of the dialog until "Ok" succeeds or
    // the dialog is cancelled. Returns QDialog::Accepted or QDialog::Rejected.
    int execute();
    // The opening steps before the dialog is shown: the profile box and every control filled from the
    // active profile, FLASH start and end and the protocol file's checksum remembered, the first page
    // selected, and, when the program was started with arguments, the profile group, the protocol group
    // and the "Буфер" page hidden for the rest of the run.
    void prepare();

    // "Ok": the controls are checked and written. A refused check or a failed write shows its message,
    // keeps the dialog open and returns false.
    bool confirm();
    // Closing by "Ok" or "Отмена" (or the window's close box) runs the steps after the dialog (the
    // protocol description opened again when its file changed, the panels, the view, the active profile
    // applied again) once per prepare(), then emits settingsApplied().
    void done(int result) override;

    // The values the controls show now.
    app::SettingsForm form() const;

    // Replaces the serial devices offered in the port list (default: those under /dev).
    void setSerialDevices(const app::SerialDeviceList& devices) { m_devices = &devices; }
    void setProtocolFileChooser(PathChooser chooser) { m_chooseProtocolFile = std::move(chooser); }

    // The controls, for the main window's tests and the screenshots.
    QTabWidget* pages() const { return m_pages; }
    QGroupBox* profileGroup() const { return m_profileGroup; }
    QComboBox* profileBox() const { return m_profileBox; }
    QPushButton* deleteProfileButton() const { return m_deleteProfile; }
    TMValueEdit* flashStartEdit() const { return m_flashStart; }
    TMValueEdit* flashEndEdit() const { return m_flashEnd; }
    TMValueEdit* ctrlAreaEdit() const { return m_ctrlArea; }
    TMValueEdit* pageSizeEdit() const { return m_pageSize; }
    QLineEdit* passwordField() const { return m_password; }
    QCheckBox* preventUnmarkedBox() const { return m_preventUnmarked; }
    QCheckBox* useProfileAddressBox() const { return m_useProfileAddress; }
    QCheckBox* memoryWindowBox() const { return m_memoryWindow; }
    QCheckBox* checkFileUpdateBox() const { return m_checkFileUpdate; }
    QRadioButton* reloadAutomaticallyButton() const { return m_reloadAutomatically; }
    QRadioButton* confirmReloadButton() const { return m_confirmReload; }
    QCheckBox* errorsToLogBox() const { return m_errorsToLog; }
    QCheckBox* reloadLastFileBox() const { return m_reloadLastFile; }
    QComboBox* portBox() const { return m_port; }
    QComboBox* baudRateBox() const { return m_baudRate; }
    QComboBox* stopBitsBox() const { return m_stopBits; }
    QCheckBox* echoBox() const { return m_echo; }
    QGroupBox* protocolGroup() const { return m_protocolGroup; }
    QComboBox* protocolFileBox() const { return m_protocolFile; }
    QToolButton* browseProtocolButton() const { return m_browseProtocol; }
    QPushButton* editProtocolButton() const { return m_editProtocol; }
    QPlainTextEdit* protocolDescriptionField() const { return m_protocolDescription; }
    CrcPanel* crcPanel() const { return m_crc; }
    QListWidget* fileTypeList() const { return m_fileTypes; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

  signals:
    // The edit button: the protocol editor is to open the file `path` (the protocol-file box's text).
    // The description is read again once the connected slots have returned.
    void editProtocolRequested(const QString& path);
    // The dialog closed and the active profile was applied again: the main window refills its
    // profile box.
    void settingsApplied();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* createMainPage();
    QWidget* createLinkPage();
    QWidget* createBufferPage();
    QWidget* createDialogsPage();
    QWidget* createAssociationsPage();

    void showForm(const app::SettingsForm& form);
    void showProfileList(const app::SettingsForm& form);
    void showProtocolFile(const app::SettingsForm& form);
    void profileChosen(int index);
    void profileTextEdited(const QString& text);
    void deleteProfile();
    void protocolFileChosen(int index);
    void browseProtocolFile();
    void chooseProtocolFile(const QString& path);
    void editProtocolFile();
    void showError(const std::string& text);
    QString askProtocolFile();
    static QString portDeviceText(const QString& choice);

    app::SettingsDialogModel m_model;
    app::MessageSink& m_messages;
    app::SystemSerialDevices m_systemDevices;
    const app::SerialDeviceList* m_devices = &m_systemDevices;
    PathChooser m_chooseProtocolFile;
    // What the model gave at the last fill; the controls hold the user's changes since.
    app::SettingsForm m_form;
    bool m_prepared = false;

    QGroupBox* m_profileGroup = nullptr;
    QComboBox* m_profileBox = nullptr;
    QPushButton* m_deleteProfile = nullptr;
    QTabWidget* m_pages = nullptr;

    TMValueEdit* m_flashStart = nullptr;
    TMValueEdit* m_flashEnd = nullptr;
    TMValueEdit* m_ctrlArea = nullptr;
    TMValueEdit* m_pageSize = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_preventUnmarked = nullptr;
    QCheckBox* m_useProfileAddress = nullptr;
    QCheckBox* m_memoryWindow = nullptr;
    QCheckBox* m_checkFileUpdate = nullptr;
    QRadioButton* m_reloadAutomatically = nullptr;
    QRadioButton* m_confirmReload = nullptr;
    QButtonGroup* m_reloadChoice = nullptr;
    QCheckBox* m_errorsToLog = nullptr;
    QCheckBox* m_reloadLastFile = nullptr;

    QComboBox* m_port = nullptr;
    QLabel* m_portDevice = nullptr;
    QComboBox* m_baudRate = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_parity = nullptr;
    QCheckBox* m_echo = nullptr;
    QComboBox* m_answerEnd = nullptr;
    QCheckBox* m_repeatGarbled = nullptr;
    QGroupBox* m_protocolGroup = nullptr;
    QComboBox* m_protocolFile = nullptr;
    QToolButton* m_browseProtocol = nullptr;
    QPushButton* m_editProtocol = nullptr;
    QPlainTextEdit* m_protocolDescription = nullptr;

    CrcPanel* m_crc = nullptr;
    QListWidget* m_fileTypes = nullptr;

    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace app::ui
