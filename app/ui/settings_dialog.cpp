#include "app/ui/settings_dialog.h"
#include "app/ui/qt_text.h"

#include "app/ui/button_row.h"
#include "app/ui/crc_panel.h"
#include "app/ui/profile_order.h"
#include "app/ui/value_edit.h"
#include "exchange/comm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace app::ui {
namespace {

const QString kTitle = QStringLiteral("Настройки программы");

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The address-like values: shown in hexadecimal, switchable between decimal and hexadecimal.
TMValueEdit* makeValueEdit(QWidget* parent, const char* name, double minimum, double maximum) {
    auto* edit = named(new TMValueEdit(parent), name);
    edit->setViewStyles({TViewStyle::vsDEC, TViewStyle::vsHEX});
    edit->setViewStyle(TViewStyle::vsHEX);
    edit->setMinimum(minimum);
    edit->setMaximum(maximum);
    edit->setPrecision(1);
    return edit;
}

template <std::size_t N> void addItems(QComboBox* box, const std::array<std::string_view, N>& texts) {
    for (std::string_view text : texts)
        box->addItem(qt(text));
}

void setChecked(QListWidget* list, int row, bool on) {
    list->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// The page's parts one under the other, kept at the top of the page.
QWidget* stackedAtTop(QWidget* page, std::initializer_list<QWidget*> parts) {
    auto* layout = new QVBoxLayout(page);
    for (QWidget* part : parts)
        layout->addWidget(part);
    layout->addStretch(1);
    return page;
}

} // namespace

SettingsDialog::SettingsDialog(app::SettingsStore& store, app::Profiles& profiles, app::MainState& state,
                               app::ProfileHost& host, app::ViewNotifications& view,
                               app::MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_model(store, profiles, state, host, view), m_messages(messages) {
    setWindowTitle(kTitle);
    setObjectName(QStringLiteral("SettingsDialog"));
    m_chooseProtocolFile = [this] { return askProtocolFile(); };

    auto* heading = new QLabel(kTitle, this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    heading->setFont(headingFont);
    auto* picture = new QLabel(this);
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32, 32));
    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(picture);
    headingRow->addWidget(heading, 1);

    m_profileGroup = named(new QGroupBox(QStringLiteral("Профиль"), this), "profileGroup");
    m_profileBox = named(new QComboBox(m_profileGroup), "profileBox");
    m_profileBox->setEditable(true);
    m_profileBox->setInsertPolicy(QComboBox::NoInsert);
    m_deleteProfile = named(new QPushButton(QStringLiteral("Удалить"), m_profileGroup), "deleteProfile");
    m_deleteProfile->setAutoDefault(false);
    auto* profileRow = new QHBoxLayout(m_profileGroup);
    profileRow->addWidget(m_profileBox, 1);
    profileRow->addWidget(m_deleteProfile);

    m_pages = named(new QTabWidget(this), "pages");
    m_pages->addTab(createMainPage(), QStringLiteral("Основные"));
    m_pages->addTab(createLinkPage(), QStringLiteral("Связь"));
    m_pages->addTab(createBufferPage(), QStringLiteral("Буфер"));
    m_pages->addTab(createDialogsPage(), QStringLiteral("Диалоги"));
    m_pages->addTab(createAssociationsPage(), QStringLiteral("Ассоциации"));
    m_pages->setTabVisible(kDialogsPage, false);

    m_ok = named(new QPushButton(QStringLiteral("Ok"), this), "ok");
    m_ok->setDefault(true);
    m_cancel = named(new QPushButton(QStringLiteral("Отмена"), this), "cancel");
    m_cancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(headingRow);
    layout->addWidget(m_profileGroup);
    layout->addWidget(m_pages);
    layout->addLayout(rightAlignedRow({m_ok, m_cancel}));
    // A fixed dialog: it takes the size its pages need, also after groups are hidden.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_profileBox, &QComboBox::activated, this, &SettingsDialog::profileChosen);
    connect(m_profileBox, &QComboBox::editTextChanged, this, &SettingsDialog::profileTextEdited);
    connect(m_deleteProfile, &QPushButton::clicked, this, &SettingsDialog::deleteProfile);
    connect(m_checkFileUpdate, &QCheckBox::toggled, this, [this](bool on) {
        m_reloadAutomatically->setEnabled(on);
        m_confirmReload->setEnabled(on);
    });
    connect(m_protocolFile, &QComboBox::activated, this, &SettingsDialog::protocolFileChosen);
    // A path typed by hand shows its file's description once the user leaves the field.
    connect(m_protocolFile->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        m_protocolDescription->setPlainText(QString::fromStdString(
            app::protocolFileDescription(m_protocolFile->currentText().toStdString())));
    });
    connect(m_browseProtocol, &QToolButton::clicked, this, &SettingsDialog::browseProtocolFile);
    connect(m_editProtocol, &QPushButton::clicked, this, &SettingsDialog::editProtocolFile);
    connect(m_ok, &QPushButton::clicked, this, &SettingsDialog::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SettingsDialog::~SettingsDialog() = default;

QWidget* SettingsDialog::createMainPage() {
    auto* page = new QWidget;

    auto* general = new QGroupBox(QStringLiteral("Общие настройки"), page);
    m_flashStart = makeValueEdit(general, "flashStart", app::kFlashAddressMin, app::kFlashAddressMax);
    m_flashEnd = makeValueEdit(general, "flashEnd", app::kFlashAddressMin, app::kFlashAddressMax);
    m_ctrlArea = makeValueEdit(general, "ctrlArea", app::kCtrlAreaMin, app::kCtrlAreaMax);
    m_pageSize = makeValueEdit(general, "pageSize", app::kPageSizeMin, app::kPageSizeMax);
    m_password = named(new QLineEdit(general), "password");
    m_password->setMaxLength(static_cast<int>(app::kPasswordMaxLength));
    m_preventUnmarked =
        named(new QCheckBox(QStringLiteral("Запретить загрузку файлов без записи о версии"), general),
              "preventUnmarked");
    m_useProfileAddress =
        named(new QCheckBox(QStringLiteral("Применять адрес из профиля"), general), "useProfileAddress");

    auto* grid = new QGridLayout(general);
    const struct {
        const char* label;
        QWidget* field;
    } rows[] = {{"Начало памяти программ:", m_flashStart},
                {"Конец памяти программ:", m_flashEnd},
                {"Сервисная область:", m_ctrlArea},
                {"Размер страницы памяти для чтения/записи", m_pageSize},
                {"Пароль доступа для записи во FLASH память", m_password}};
    int row = 0;
    for (const auto& r : rows) {
        auto* label = new QLabel(QString::fromUtf8(r.label), general);
        label->setBuddy(r.field);
        grid->addWidget(label, row, 0);
        grid->addWidget(r.field, row, 1);
        ++row;
    }
    grid->addWidget(m_preventUnmarked, row++, 0, 1, 2);
    grid->addWidget(m_useProfileAddress, row++, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(1, 130);

    auto* view = new QGroupBox(QStringLiteral("Вид"), page);
    m_memoryWindow =
        named(new QCheckBox(QStringLiteral("Показывать только окно  памяти"), view), "memoryWindow");
    m_checkFileUpdate =
        named(new QCheckBox(QStringLiteral("Отслеживать изменение текущего открытого файла"), view),
              "checkFileUpdate");
    m_reloadAutomatically = named(new QRadioButton(QStringLiteral("Автоматически перезагружать файл"), view),
                                  "reloadAutomatically");
    m_confirmReload = named(new QRadioButton(QStringLiteral("Запросить подтверждение перезагрузки"), view),
                            "confirmReload");
    m_reloadChoice = new QButtonGroup(this);
    m_reloadChoice->addButton(m_reloadAutomatically);
    m_reloadChoice->addButton(m_confirmReload);
    m_errorsToLog = named(new QCheckBox(QStringLiteral("Ошибки только в отчет"), view), "errorsToLog");
    m_reloadLastFile =
        named(new QCheckBox(QStringLiteral("Перезагружать последний файл при смене профиля"), view),
              "reloadLastFile");

    auto* viewLayout = new QVBoxLayout(view);
    viewLayout->addWidget(m_memoryWindow);
    viewLayout->addWidget(m_checkFileUpdate);
    // The two reload choices belong to the box above them.
    for (QRadioButton* choice : {m_reloadAutomatically, m_confirmReload}) {
        auto* indented = new QHBoxLayout;
        indented->addSpacing(20);
        indented->addWidget(choice);
        viewLayout->addLayout(indented);
    }
    viewLayout->addWidget(m_errorsToLog);
    viewLayout->addWidget(m_reloadLastFile);

    return stackedAtTop(page, {general, view});
}

QWidget* SettingsDialog::createLinkPage() {
    auto* page = new QWidget;

    auto* portGroup = new QGroupBox(QStringLiteral("Настройки порта"), page);
    m_port = named(new QComboBox(portGroup), "port");
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_port->setMinimumWidth(120);
    // Any device path can be typed: an adapter's /dev/serial/by-id link, /dev/rfcomm0, a pseudo-terminal.
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    connect(m_port, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        m_port->setToolTip(portDeviceText(text));
        m_portDevice->setText(portDeviceText(text) == text ? QString() : portDeviceText(text));
    });
    m_baudRate = named(new QComboBox(portGroup), "baudRate");
    addItems(m_baudRate, app::kBaudRateTexts);
    m_stopBits = named(new QComboBox(portGroup), "stopBits");
    addItems(m_stopBits, app::kStopBitsTexts);
    m_parity = named(new QComboBox(portGroup), "parity");
    addItems(m_parity, app::kParityTexts);
    m_echo = named(new QCheckBox(QStringLiteral("Связь с \"эхом\""), portGroup), "echo");
    auto* portGrid = new QGridLayout(portGroup);
    const struct {
        const char* label;
        QComboBox* box;
    } rows[] = {{"Порт", m_port}, {"Скорость", m_baudRate}, {"Стоп-бит", m_stopBits}, {"Чётность", m_parity}};
    for (int column = 0; column < 4; ++column) {
        auto* label = new QLabel(QString::fromUtf8(rows[column].label), portGroup);
        label->setBuddy(rows[column].box);
        portGrid->addWidget(label, 0, column);
        portGrid->addWidget(rows[column].box, 1, column);
    }
    // Under the port box: the device a numbered port stands for.
    m_portDevice = named(new QLabel(portGroup), "portDevice");
    m_portDevice->setEnabled(false);
    portGrid->addWidget(m_portDevice, 2, 0);
    portGrid->addWidget(m_echo, 3, 0, 1, 4);
    portGrid->setColumnStretch(0, 1);

    m_protocolGroup =
        named(new QGroupBox(QStringLiteral("Протокол обмена данными с устройством"), page), "protocolGroup");
    m_protocolFile = named(new QComboBox(m_protocolGroup), "protocolFile");
    m_protocolFile->setEditable(true);
    m_protocolFile->setInsertPolicy(QComboBox::NoInsert);
    m_protocolFile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_protocolFile->setMinimumContentsLength(30);
    m_browseProtocol = named(new QToolButton(m_protocolGroup), "browseProtocol");
    m_browseProtocol->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_browseProtocol->setToolTip(QStringLiteral("Выбрать файл протокола"));
    m_editProtocol = named(new QPushButton(QStringLiteral("Редактировать"), m_protocolGroup), "editProtocol");
    m_editProtocol->setAutoDefault(false);
    m_protocolDescription = named(new QPlainTextEdit(m_protocolGroup), "protocolDescription");
    m_protocolDescription->setReadOnly(true);
    m_protocolDescription->setFixedHeight(m_protocolDescription->fontMetrics().lineSpacing() * 6);

    auto* fileLabel = new QLabel(QStringLiteral("Файл протокола"), m_protocolGroup);
    fileLabel->setBuddy(m_protocolFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_protocolFile, 1);
    fileRow->addWidget(m_browseProtocol);
    fileRow->addWidget(m_editProtocol);
    auto* descriptionLabel = new QLabel(QStringLiteral("Описание"), m_protocolGroup);
    descriptionLabel->setBuddy(m_protocolDescription);
    auto* protocolLayout = new QVBoxLayout(m_protocolGroup);
    protocolLayout->addWidget(fileLabel);
    protocolLayout->addLayout(fileRow);
    protocolLayout->addWidget(descriptionLabel);
    protocolLayout->addWidget(m_protocolDescription);

    auto* answerGroup = new QGroupBox(QStringLiteral("Ответ устройства"), page);
    m_answerEnd = named(new QComboBox(answerGroup), "answerEnd");
    addItems(m_answerEnd, app::kAnswerEndTexts);
    m_repeatGarbled =
        named(new QCheckBox(QStringLiteral("Повторять команду после искажённого ответа"), answerGroup),
              "repeatGarbled");
    auto* answerEndLabel = new QLabel(QStringLiteral("Конец ответа"), answerGroup);
    answerEndLabel->setBuddy(m_answerEnd);
    auto* answerLayout = new QGridLayout(answerGroup);
    answerLayout->addWidget(answerEndLabel, 0, 0);
    answerLayout->addWidget(m_answerEnd, 0, 1);
    answerLayout->addWidget(m_repeatGarbled, 1, 0, 1, 2);
    answerLayout->setColumnStretch(1, 1);

    return stackedAtTop(page, {portGroup, m_protocolGroup, answerGroup});
}

QWidget* SettingsDialog::createBufferPage() {
    auto* page = new QWidget;
    m_crc = named(new CrcPanel(page), "crcPanel");
    m_crc->setCheckVisible(false);
    m_crc->setExportVisible(false);
    m_crc->setMessageHandler([this](const QString& message) { showError(message.toStdString()); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_crc);
    return page;
}

QWidget* SettingsDialog::createDialogsPage() {
    auto* page = new QWidget;
    auto* text = new QPlainTextEdit(page);
    text->setReadOnly(true);
    text->setPlainText(QStringLiteral(
        "Настройки программы: профили, память программ, порт, файл протокола, CRC буфера и типы файлов.\n"
        "Опции устройства: чтение и запись параметров устройства.\n"
        "Поиск устройств: опрос адресов шины MODBUS."));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Описание используемых диалоговых окон:"), page));
    layout->addWidget(text);
    return page;
}

QWidget* SettingsDialog::createAssociationsPage() {
    auto* page = new QWidget;
    auto* label = new QLabel(QStringLiteral("Привязать к типу файла"), page);
    m_fileTypes = named(new QListWidget(page), "fileTypes");
    for (std::string_view text : app::kFileTypeTexts) {
        auto* item = new QListWidgetItem(qt(text), m_fileTypes);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    label->setBuddy(m_fileTypes);
    // As high as its three items, not as the page.
    m_fileTypes->setFixedHeight(m_fileTypes->sizeHintForRow(0) * m_fileTypes->count() +
                                2 * m_fileTypes->frameWidth() + 4);
    return stackedAtTop(page, {label, m_fileTypes});
}

int SettingsDialog::execute() {
    prepare();
    return exec();
}

void SettingsDialog::prepare() {
    // The form starts from what the controls show, so that a profile with a CRC width other than 16 or
    // 32 leaves the "Буфер" page as it is.
    m_form = form();
    m_model.open(m_form);
    showForm(m_form);
    m_pages->setCurrentIndex(kMainPage);
    if (m_form.argumentMode) {
        m_profileGroup->hide();
        m_protocolGroup->hide();
        m_pages->setTabVisible(kBufferPage, false);
    }
    m_prepared = true;
}

QString SettingsDialog::portDeviceText(const QString& choice) {
    // A numbered port names the device it stands for.
    app::SettingsForm probe;
    if (app::choosePort(probe, choice.toStdString()) && probe.portDevice.empty())
        return choice + QStringLiteral(" = ") +
               QString::fromStdString(exchange::defaultDevicePath(probe.portIndex + 1));
    return choice;
}

bool SettingsDialog::confirm() {
    app::SettingsForm port;
    if (!app::choosePort(port, m_port->currentText().toStdString())) {
        m_pages->setCurrentIndex(kLinkPage);
        m_port->setFocus();
        showError("Поле \"Порт\": \"" + m_port->currentText().toStdString() +
                  "\" - не порт.\rУкажите COM1 .. COM20 или путь к устройству, например /dev/ttyUSB0.");
        return false;
    }
    const app::SettingsApplyResult result = m_model.accept(form());
    if (!result.ok) {
        // An empty message was shown already by the profile code.
        if (!result.message.empty())
            showError(result.message);
        return false;
    }
    accept();
    return true;
}

void SettingsDialog::done(int result) {
    QDialog::done(result);
    if (!m_prepared)
        return;
    m_prepared = false;
    m_model.finish();
    emit settingsApplied();
}

app::SettingsForm SettingsDialog::form() const {
    app::SettingsForm f = m_form;
    f.profileName = m_profileBox->currentText().toStdString();

    f.flashStart = m_flashStart->Value();
    f.flashEnd = m_flashEnd->Value();
    f.ctrlArea = m_ctrlArea->Value();
    f.pageSize = m_pageSize->Value();
    f.password = m_password->text().toStdString();
    f.preventUnmarked = m_preventUnmarked->isChecked();
    f.useProfileAddress = m_useProfileAddress->isChecked();
    f.memoryWindow = m_memoryWindow->isChecked();
    f.checkFileUpdate = m_checkFileUpdate->isChecked();
    f.confirmReload = m_confirmReload->isChecked();
    f.dontShowErrMsgs = m_errorsToLog->isChecked();
    f.reloadLastFile = m_reloadLastFile->isChecked();

    app::choosePort(f, m_port->currentText().toStdString());
    f.baudRateIndex = m_baudRate->currentIndex();
    f.stopBitsIndex = m_stopBits->currentIndex();
    f.parityIndex = m_parity->currentIndex();
    f.echo = m_echo->isChecked();
    f.answerEndByGap = m_answerEnd->currentIndex() == 1;
    f.repeatGarbled = m_repeatGarbled->isChecked();
    f.protocolFile = m_protocolFile->currentText().toStdString();
    f.protocolDescription = m_protocolDescription->toPlainText().toStdString();

    f.crc = m_crc->values();
    for (int row = 0; row < m_fileTypes->count(); ++row)
        f.fileTypes[static_cast<std::size_t>(row)] = m_fileTypes->item(row)->checkState() == Qt::Checked;
    return f;
}

void SettingsDialog::showForm(const app::SettingsForm& f) {
    showProfileList(f);

    m_flashStart->setValue(f.flashStart);
    m_flashEnd->setValue(f.flashEnd);
    m_ctrlArea->setValue(f.ctrlArea);
    m_pageSize->setValue(f.pageSize);
    // A longer stored password is shown whole, not cut to the field's length: "Ok" then refuses it with
    // a message instead of writing a shorter password than the device expects.
    const QString password = QString::fromStdString(f.password);
    m_password->setMaxLength(
        std::max(static_cast<int>(app::kPasswordMaxLength), static_cast<int>(password.size())));
    m_password->setText(password);
    m_preventUnmarked->setChecked(f.preventUnmarked);
    m_useProfileAddress->setChecked(f.useProfileAddress);
    m_memoryWindow->setChecked(f.memoryWindow);
    m_checkFileUpdate->setChecked(f.checkFileUpdate);
    (f.confirmReload ? m_confirmReload : m_reloadAutomatically)->setChecked(true);
    m_reloadAutomatically->setEnabled(app::reloadChoiceEnabled(f));
    m_confirmReload->setEnabled(app::reloadChoiceEnabled(f));
    m_errorsToLog->setChecked(f.dontShowErrMsgs);
    m_reloadLastFile->setChecked(f.reloadLastFile);

    m_port->clear();
    for (const std::string& choice : app::portChoices(f, *m_devices)) {
        const QString text = QString::fromStdString(choice);
        m_port->addItem(text);
        m_port->setItemData(m_port->count() - 1, portDeviceText(text), Qt::ToolTipRole);
    }
    m_port->setCurrentText(QString::fromStdString(app::currentPortChoice(f)));
    m_baudRate->setCurrentIndex(f.baudRateIndex);
    m_stopBits->setCurrentIndex(f.stopBitsIndex);
    m_parity->setCurrentIndex(f.parityIndex);
    m_echo->setChecked(f.echo);
    m_answerEnd->setCurrentIndex(f.answerEndByGap ? 1 : 0);
    m_repeatGarbled->setChecked(f.repeatGarbled);
    showProtocolFile(f);

    m_crc->setValues(f.crc);
    for (std::size_t bit = 0; bit < f.fileTypes.size(); ++bit)
        setChecked(m_fileTypes, static_cast<int>(bit), f.fileTypes[bit]);
}

void SettingsDialog::showProfileList(const app::SettingsForm& f) {
    m_profileBox->clear();
    m_profileBox->addItems(profileNamesInReadingOrder(f.profileNames));
    m_profileBox->setEditText(QString::fromStdString(f.profileName));
    m_deleteProfile->setEnabled(app::profileDeleteEnabled(f));
}

void SettingsDialog::showProtocolFile(const app::SettingsForm& f) {
    m_protocolFile->clear();
    for (const std::string& path : f.protocolFiles)
        m_protocolFile->addItem(QString::fromStdString(path));
    m_protocolFile->setEditText(QString::fromStdString(f.protocolFile));
    m_protocolDescription->setPlainText(QString::fromStdString(f.protocolDescription));
}

void SettingsDialog::profileChosen(int index) {
    if (index < 0)
        return;
    m_form = form();
    m_form.profileName = m_profileBox->itemText(index).toStdString();
    m_model.fill(m_form, m_form.profileName);
    showForm(m_form);
}

void SettingsDialog::profileTextEdited(const QString& text) {
    // Typing does not load anything; it only decides whether the delete button may delete.
    app::SettingsForm f;
    f.profileName = text.toStdString();
    f.profileNames = m_form.profileNames;
    m_deleteProfile->setEnabled(app::profileDeleteEnabled(f));
}

void SettingsDialog::deleteProfile() {
    app::SettingsForm f = form();
    if (!m_model.deleteProfile(f))
        return;
    m_form.profileNames = f.profileNames;
    m_form.profileName = f.profileName;
    showProfileList(m_form);
}

void SettingsDialog::protocolFileChosen(int index) {
    if (index < 0)
        return;
    chooseProtocolFile(m_protocolFile->itemText(index));
}

void SettingsDialog::browseProtocolFile() {
    const QString path = m_chooseProtocolFile();
    if (!path.isEmpty())
        chooseProtocolFile(path);
}

void SettingsDialog::chooseProtocolFile(const QString& path) {
    app::SettingsForm f;
    m_model.chooseProtocolFile(f, path.toStdString());
    m_protocolFile->setEditText(QString::fromStdString(f.protocolFile));
    m_protocolDescription->setPlainText(QString::fromStdString(f.protocolDescription));
}

void SettingsDialog::editProtocolFile() {
    const QString path = m_protocolFile->currentText();
    emit editProtocolRequested(path);
    // The editor may have changed the file's comment.
    m_protocolDescription->setPlainText(
        QString::fromStdString(app::protocolFileDescription(path.toStdString())));
}

void SettingsDialog::showError(const std::string& text) {
    m_messages.showMessage(kErrorTitle, text, app::MessageKind::Error);
}

QString SettingsDialog::askProtocolFile() {
    const QString current = m_protocolFile->currentText();
    const QString folder = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    return QFileDialog::getOpenFileName(this, QStringLiteral("Файл протокола"), folder,
                                        QStringLiteral("VLM protocol desc. file (*.vpdf)"));
}

void SettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

} // namespace app::ui
