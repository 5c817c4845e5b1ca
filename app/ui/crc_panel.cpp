#include "app/ui/crc_panel.h"

#include "base/crc_table_export.h"
#include "base/write_failure_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>
#include <string>

namespace app::ui {
namespace {

constexpr const char* kPolynomLabel = "Полином";
constexpr const char* kInitialLabel = "Начальное значение";
constexpr const char* kXorLabel = "Наложить по XOR";

QString hexText(std::uint32_t value, int minDigits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(minDigits, QLatin1Char('0'));
}

QLineEdit* makeNumberField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

} // namespace

CrcPanel::CrcPanel(QWidget* parent)
    : QWidget(parent), m_preset(new QComboBox(this)), m_width(new QComboBox(this)),
      m_polynom(makeNumberField(this, "polynom")), m_initial(makeNumberField(this, "initial")),
      m_xor(makeNumberField(this, "xorValue")),
      m_reflected(new QCheckBox(QStringLiteral("Зеркальный алгоритм"), this)),
      m_swap(new QCheckBox(QStringLiteral("Поменять местами HI и LO байты CRC16"), this)),
      m_checkGroup(new QGroupBox(QStringLiteral("CRC тестовой последовательности \"123456789\":"), this)),
      m_calculate(new QPushButton(QStringLiteral("Рассчитать"), m_checkGroup)),
      m_checkResult(new QLineEdit(m_checkGroup)),
      m_export(new QPushButton(QStringLiteral("Экспорт таблицы"), this)) {
    m_preset->setObjectName(QStringLiteral("preset"));
    m_width->setObjectName(QStringLiteral("width"));
    m_reflected->setObjectName(QStringLiteral("reflected"));
    m_swap->setObjectName(QStringLiteral("swap"));
    m_checkResult->setObjectName(QStringLiteral("checkResult"));
    m_checkResult->setReadOnly(true);

    for (const base::CrcPreset& p : base::kCrcPresets)
        m_preset->addItem(QString::fromUtf8(p.text.data(), static_cast<qsizetype>(p.text.size())));
    m_width->addItem(QStringLiteral("16 бит"));
    m_width->addItem(QStringLiteral("32 бит"));
    m_xor->setText(QStringLiteral("0x0000"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Разрядность"), m_width);
    form->addRow(QString::fromUtf8(kPolynomLabel), m_polynom);
    form->addRow(QString::fromUtf8(kInitialLabel), m_initial);
    form->addRow(QString::fromUtf8(kXorLabel), m_xor);
    form->addRow(m_reflected);
    form->addRow(m_swap);

    auto* presetGroup = new QGroupBox(QStringLiteral("Предустановленные параметры CRC"), this);
    auto* presetLayout = new QVBoxLayout(presetGroup);
    presetLayout->addWidget(m_preset);

    auto* checkLayout = new QHBoxLayout(m_checkGroup);
    checkLayout->addWidget(m_checkResult, 1);
    checkLayout->addWidget(m_calculate);

    auto* exportRow = new QHBoxLayout;
    exportRow->addStretch(1);
    exportRow->addWidget(m_export);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(presetGroup);
    layout->addWidget(m_checkGroup);
    layout->addLayout(exportRow);
    layout->addStretch(1);

    m_showMessage = [this](const QString& message) {
        QMessageBox::warning(window(), window()->windowTitle(), message);
    };
    m_choosePath = [this] { return askExportPath(); };

    connect(m_preset, &QComboBox::currentIndexChanged, this, &CrcPanel::presetChosen);
    connect(m_width, &QComboBox::currentIndexChanged, this, &CrcPanel::controlsChanged);
    for (QLineEdit* field : {m_polynom, m_initial, m_xor})
        connect(field, &QLineEdit::textChanged, this, &CrcPanel::controlsChanged);
    for (QCheckBox* box : {m_reflected, m_swap})
        connect(box, &QCheckBox::toggled, this, &CrcPanel::controlsChanged);
    connect(m_calculate, &QPushButton::clicked, this, &CrcPanel::calculate);
    connect(m_export, &QPushButton::clicked, this, &CrcPanel::exportTable);
    controlsChanged();
}

base::CrcPanelValues CrcPanel::values() const {
    base::CrcPanelValues v;
    v.width = (m_width->currentIndex() + 1) * 16;
    v.polynom = m_polynom->text().toStdString();
    v.initial = m_initial->text().toStdString();
    v.reflected = m_reflected->isChecked();
    v.xorValue = m_xor->text().toStdString();
    v.tableSwap = m_swap->isChecked();
    return v;
}

void CrcPanel::setValues(const base::CrcPanelValues& v) {
    // One recomputation of the preset box at the end instead of one per control.
    const bool filling = m_filling;
    m_filling = true;
    if (v.width == 16 || v.width == 32)
        m_width->setCurrentIndex(v.width / 16 - 1);
    m_polynom->setText(QString::fromStdString(v.polynom));
    m_initial->setText(QString::fromStdString(v.initial));
    m_reflected->setChecked(v.reflected);
    m_xor->setText(QString::fromStdString(v.xorValue));
    m_swap->setChecked(v.tableSwap);
    m_filling = filling;
    controlsChanged();
}

bool CrcPanel::showStored(std::int32_t width, std::uint32_t polynom, std::uint32_t initial,
                          std::uint32_t xorValue, bool reflected, bool tableSwap) {
    if (width != 16 && width != 32)
        return false;
    // At least, not exactly, 4 or 8 digits: a stored value wider than the width is shown whole, so
    // that "Ok" writes back what was read.
    const int digits = width == 16 ? 4 : 8;
    setValues({width, hexText(polynom, digits).toStdString(), hexText(initial, digits).toStdString(),
               reflected, hexText(xorValue, digits).toStdString(), tableSwap});
    return true;
}

void CrcPanel::showGenerator(const base::TCRCGenerator& g) {
    showStored(g.Width() == 16 ? 16 : 32, g.Polynom(), g.Initial(), g.XORvalue(), g.Reflected(),
               g.tableSwap());
}

std::optional<base::CrcParameters> CrcPanel::parameters(QString* error) const {
    base::CrcParameters p;
    p.width = (m_width->currentIndex() + 1) * 16;
    p.reflected = m_reflected->isChecked();
    p.tableSwap = m_swap->isChecked();
    const struct {
        const QLineEdit* field;
        const char* label;
        std::uint32_t* out;
    } fields[] = {{m_polynom, kPolynomLabel, &p.polynom},
                  {m_initial, kInitialLabel, &p.initial},
                  {m_xor, kXorLabel, &p.xorValue}};
    for (const auto& f : fields) {
        const std::string text = f.field->text().toStdString();
        const auto n = base::parseCrcNumber(text);
        if (!n) {
            if (error)
                *error = QStringLiteral("Поле \"%1\": %2")
                             .arg(QString::fromUtf8(f.label),
                                  QString::fromStdString(base::crcConversionErrorText(text)));
            return std::nullopt;
        }
        *f.out = *n;
    }
    return p;
}

bool CrcPanel::applyTo(base::TCRCGenerator& generator) {
    QString error;
    const auto p = parameters(&error);
    if (!p) {
        m_showMessage(error);
        return false;
    }
    base::applyCrcParameters(generator, *p);
    return true;
}

bool CrcPanel::calculate() {
    QString error;
    const auto p = parameters(&error);
    if (!p) {
        m_checkResult->clear();
        m_showMessage(error);
        return false;
    }
    m_checkResult->setText(QString::fromStdString(base::formatCrcValue(base::crcCheckValue(*p))));
    return true;
}

QString CrcPanel::checkText() const {
    return m_checkResult->text();
}

bool CrcPanel::exportTable() {
    // The fields are checked before the dialog so that a typing error is not found after choosing a
    // file.
    QString error;
    if (!parameters(&error)) {
        m_showMessage(error);
        return false;
    }
    const QString path = m_choosePath();
    if (path.isEmpty())
        return false;
    return exportTableTo(path);
}

bool CrcPanel::exportTableTo(const QString& path) {
    base::TCRCGenerator generator;
    if (!applyTo(generator))
        return false;
    const base::WriteResult written =
        base::writeCrcTableExport(std::filesystem::path(path.toStdString()), generator);
    if (!written.ok()) {
        m_showMessage(QString::fromStdString(base::writeFailureText(written)));
        return false;
    }
    return true;
}

void CrcPanel::setCheckVisible(bool visible) {
    m_checkGroup->setVisible(visible);
}

void CrcPanel::setExportVisible(bool visible) {
    m_export->setVisible(visible);
}

void CrcPanel::presetChosen(int index) {
    if (m_filling)
        return;
    if (const auto v = base::crcPresetValues(index))
        setValues(*v);
}

void CrcPanel::controlsChanged() {
    if (m_filling)
        return;
    m_filling = true;
    m_preset->setCurrentIndex(base::findCrcPreset(values()));
    m_filling = false;
    emit changed();
}

QString CrcPanel::askExportPath() {
    QFileDialog dialog(window(), QStringLiteral("Экспорт таблицы"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("c"));
    dialog.setNameFilter(QStringLiteral("C файл (*.c)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace app::ui
