#include "app/ui/device_settings_dialog.h"
#include "app/ui/qt_text.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace app::ui {

namespace {
template <typename T> T numberOr(const QLineEdit* edit, uint32_t max, T fallback) {
    uint32_t value = 0;
    return exchange::parseNumberText(edit->text().toStdString(), max, value) ? static_cast<T>(value)
                                                                             : fallback;
}

constexpr const char* kNetworkCaption = "Сетевой номер устройства:";
constexpr const char* kLengthCaption = "Длина идентификационной записи (байт)";
constexpr const char* kDeviceIdCaption = "Идентификатор устройства (HEX)";
constexpr const char* kSystemTableCaption = "Адрес системной таблицы (HEX)";
constexpr const char* kSerialCaption = "Серийный номер изделия";
constexpr const char* kIdentCaption = "Строка идентификации устройства";
constexpr const char* kVersionCaption = "Информация о версии:";

std::string badNumber(const char* caption, const QString& text, uint32_t max) {
    return std::string("Неверное значение в поле \"") + caption + "\": \"" + text.toStdString() +
           "\". Нужно число от 0 до " + std::to_string(max) + " (шестнадцатеричное — после 0x).";
}

std::string badCharacter(const char* caption, const std::string& character) {
    return std::string("Символ \"") + character + "\" в поле \"" + caption +
           "\" нельзя сохранить в идентификационной записи.";
}
} // namespace

DeviceSettingsDialog::DeviceSettingsDialog(QWidget* parent)
    : QDialog(parent), m_version(new QPlainTextEdit(this)), m_network(new QLineEdit(this)),
      m_room(new QLabel(QStringLiteral("0"), this)), m_length(new QSpinBox(this)),
      m_deviceId(new QLineEdit(this)), m_systemTable(new QLineEdit(this)), m_serial(new QSpinBox(this)),
      m_ident(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Установки устройства"));
    m_network->setObjectName(QStringLiteral("networkNumber"));
    m_length->setObjectName(QStringLiteral("length"));
    m_deviceId->setObjectName(QStringLiteral("deviceId"));
    m_systemTable->setObjectName(QStringLiteral("systemTableAddress"));
    m_serial->setObjectName(QStringLiteral("serialNumber"));
    m_ident->setObjectName(QStringLiteral("identString"));
    m_version->setObjectName(QStringLiteral("versionText"));
    m_length->setRange(0, exchange::kIdentMaxLength);
    m_serial->setRange(0, 65535);

    auto* settings = new QGroupBox(QStringLiteral("Настройки "), this);
    auto* settingsForm = new QFormLayout(settings);
    settingsForm->addRow(new QLabel(qt(kVersionCaption), settings));
    settingsForm->addRow(m_version);
    auto* roomRow = new QHBoxLayout;
    roomRow->addWidget(new QLabel(QStringLiteral("осталось символов:"), settings));
    roomRow->addWidget(m_room);
    roomRow->addStretch(1);
    settingsForm->addRow(roomRow);
    settingsForm->addRow(qt(kNetworkCaption), m_network);

    auto* ident = new QGroupBox(QStringLiteral("Идентификационная запись"), this);
    auto* identForm = new QFormLayout(ident);
    identForm->addRow(qt(kLengthCaption), m_length);
    identForm->addRow(qt(kDeviceIdCaption), m_deviceId);
    identForm->addRow(qt(kSystemTableCaption), m_systemTable);
    identForm->addRow(qt(kSerialCaption), m_serial);
    identForm->addRow(qt(std::string(kIdentCaption) + " "), m_ident);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &DeviceSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addWidget(ident);
    layout->addWidget(buttons);

    connect(m_version, &QPlainTextEdit::textChanged, this, &DeviceSettingsDialog::fitVersionText);
    connect(m_length, &QSpinBox::valueChanged, this, [this] {
        m_ident->setMaxLength(std::max(exchange::identStringRoom(m_length->value()), 0));
        fitVersionText();
    });
}

void DeviceSettingsDialog::setRecord(const exchange::IdentRecord& r) {
    m_shown = r;
    m_length->setValue(r.length);
    m_network->setText(qt(exchange::hexText(r.networkNumber, 2)));
    m_deviceId->setText(qt(exchange::hexText(r.deviceId, 2)));
    m_systemTable->setText(qt(exchange::hexText(r.systemTableAddress, 4)));
    m_serial->setValue(r.serialNumber);
    m_ident->setMaxLength(std::max(exchange::identStringRoom(r.length), 0));
    m_ident->setText(qt(r.identString));
    m_version->setPlainText(qt(r.versionText));
    fitVersionText();
}

exchange::IdentRecord DeviceSettingsDialog::record() const {
    exchange::IdentRecord r = m_shown;
    r.networkNumber = numberOr<uint8_t>(m_network, 0xFF, r.networkNumber);
    r.length = static_cast<uint8_t>(m_length->value());
    r.deviceId = numberOr<uint8_t>(m_deviceId, 0xFF, r.deviceId);
    r.systemTableAddress = numberOr<uint16_t>(m_systemTable, 0xFFFF, r.systemTableAddress);
    r.serialNumber = static_cast<uint16_t>(m_serial->value());
    r.identString = m_ident->text().toStdString();
    r.versionText = m_version->toPlainText().toStdString();
    return r;
}

std::optional<std::string> DeviceSettingsDialog::numberRefusal() const {
    const struct {
        const char* caption;
        const QLineEdit* edit;
        uint32_t max;
    } fields[] = {
        {kNetworkCaption, m_network, 0xFF},
        {kDeviceIdCaption, m_deviceId, 0xFF},
        {kSystemTableCaption, m_systemTable, 0xFFFF},
    };
    uint32_t value = 0;
    for (const auto& f : fields)
        if (!exchange::parseNumberText(f.edit->text().toStdString(), f.max, value))
            return badNumber(f.caption, f.edit->text(), f.max);
    // A spin box left empty or half typed still reports its last value; it is refused, not used.
    if (!m_length->hasAcceptableInput())
        return badNumber(kLengthCaption, m_length->text(), exchange::kIdentMaxLength);
    if (!m_serial->hasAcceptableInput())
        return badNumber(kSerialCaption, m_serial->text(), 0xFFFF);
    return std::nullopt;
}

std::optional<std::string> DeviceSettingsDialog::textRefusal() const {
    if (auto bad = exchange::unstorableCharacter(m_ident->text().toStdString()))
        return badCharacter(kIdentCaption, *bad);
    if (auto bad = exchange::unstorableCharacter(m_version->toPlainText().toStdString()))
        return badCharacter(kVersionCaption, *bad);
    return std::nullopt;
}

std::optional<std::string> DeviceSettingsDialog::refusal() const {
    if (auto problem = numberRefusal())
        return problem;
    return textRefusal();
}

void DeviceSettingsDialog::accept() {
    if (const auto problem = refusal()) {
        if (onRefused)
            onRefused(*problem);
        return;
    }
    QDialog::accept();
}

QString DeviceSettingsDialog::roomText() const {
    return m_room->text();
}

void DeviceSettingsDialog::fitVersionText() {
    const std::string text = m_version->toPlainText().toStdString();
    const exchange::FittedText fitted = exchange::fitVersionText(text, m_length->value());
    if (fitted.text != text) {
        const QSignalBlocker block(m_version);
        m_version->setPlainText(qt(fitted.text));
        m_version->moveCursor(QTextCursor::End);
    }
    m_room->setText(QString::number(fitted.remaining));
}

} // namespace app::ui
